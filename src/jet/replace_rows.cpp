#include "jet/replace_rows.h"

#include "jet/csv_export.h"
#include "jet/index_rows.h"
#include "jet/page_allocator.h"
#include "jet/row_keys.h"
#include "jet/table_writer.h"

#include <algorithm>
#include <functional>
#include <map>

namespace jet {

namespace {

std::string q(const std::string &s) {
  return "'" + s + "'";
}

struct RowKey {
  uint64_t number = 0;
  std::string bytes;
  bool operator==(const RowKey &) const = default;
  bool operator<(const RowKey &o) const {
    return number < o.number || (number == o.number && bytes < o.bytes);
  }
};

// The key a row is matched by: the primary key's index key where there is one (so texts match
// as the index matches them), else every value in its exact form. A primary key of one integer
// column, the usual autonumber ID, is keyed by its number alone: same matches, no encoding.
struct Matcher {
  const TableDef &def;
  std::vector<size_t> pkColumns; // positions in def.columns
  const PhysicalIndex *pk = nullptr;
  bool integerKey = false;

  explicit Matcher(const TableDef &d) : def(d), pk(primaryKeyOf(d, &pkColumns)) {
    if (pkColumns.size() == 1) {
      const ColumnType t = def.columns[pkColumns[0]].type;
      integerKey = t == ColumnType::Long || t == ColumnType::Integer || t == ColumnType::Byte;
    }
  }

  // False where the row has nothing to be matched by (a Null in its primary key, or a key value
  // of a type the column cannot hold: that row goes to the insert, which names the fault).
  Result<bool> key(std::span<const Value> row, RowKey &to) const {
    uint64_t &number = to.number;
    std::string &out = to.bytes;
    number = 0;
    out.clear();
    if (integerKey) {
      const Value &v = row[pkColumns[0]];
      int64_t n;
      if (auto p = v.getIf<int32_t>())
        n = *p;
      else if (auto p = v.getIf<int16_t>())
        n = *p;
      else if (auto p = v.getIf<uint8_t>())
        n = *p;
      else
        return false;
      number = static_cast<uint64_t>(n);
      return true;
    }
    if (pk) {
      for (size_t c : pkColumns)
        if (row[c].isNull())
          return false;
      auto k = rowIndexKey(def, *pk, row);
      if (!k)
        return k.status();
      if (!*k)
        return false;
      out.assign((**k).begin(), (**k).end());
      return true;
    }
    for (const Value &v : row) {
      out += static_cast<char>('A' + static_cast<int>(v.kind()));
      appendCsvField(out, v);
      out += '\x1f';
    }
    return true;
  }

  std::string describe(std::span<const Value> row) const {
    if (pk)
      return describeKey(def, pkColumns, keyOf(row, pkColumns));
    std::vector<size_t> first;
    for (size_t i = 0; i < def.columns.size() && i < 3; ++i)
      first.push_back(i);
    return describeKey(def, first, keyOf(row, first));
  }
};

// One row of the copy at a time, in its own column order; false after the last.
using NextSourceRow = std::function<Result<bool>(std::vector<Value> &)>;

// Both sides are walked together, the target in its physical order and the copy in its own, and
// each row is matched by key as it comes: a row whose partner has not come yet waits in a map of
// its side. A copy made from the table and edited in place keeps the table's order, so rows
// mostly meet their partner at once and nothing waits; in any other order the maps hold the
// rows until their partners come. Only rows that differ are kept. Rows with equal keys (whole-row
// keys of a table without primary key) pair in order: the n-th such row of the target with the
// n-th of the copy.
Result<ReplaceCounts> replaceFrom(Database &db, std::string_view target,
                                  const std::vector<std::string> &columns,
                                  const NextSourceRow &nextSource) {
  auto def = db.table(target);
  if (!def)
    return def.status();
  const TableDef &t = **def;
  const size_t width = t.columns.size();
  // Where each source column goes.
  std::vector<size_t> into(columns.size());
  std::vector<bool> supplied(width, false);
  bool sameLayout = columns.size() == width;
  for (size_t i = 0; i < columns.size(); ++i) {
    const ColumnDef *c = t.findColumn(columns[i]);
    if (!c)
      return Status(ErrorCode::InvalidArgument,
                    "La tabella " + q(t.name) + " non ha il campo " + q(columns[i]) + ".");
    into[i] = static_cast<size_t>(c - t.columns.data());
    supplied[into[i]] = true;
    sameLayout = sameLayout && into[i] == i;
  }
  Matcher match(t);
  for (size_t c : match.pkColumns)
    if (!supplied[c])
      return Status(ErrorCode::InvalidArgument, "La copia non ha il campo " + q(t.columns[c].name) +
                                                    " della chiave primaria della tabella " +
                                                    q(t.name) + ".");
  std::vector<size_t> suppliedColumns;
  for (size_t c = 0; c < width; ++c)
    if (supplied[c])
      suppliedColumns.push_back(c);

  auto rowError = [&](size_t i, std::span<const Value> values, const Status &st) {
    std::string where = "Riga " + std::to_string(i + 1) + " della copia";
    if (!values.empty())
      where += " (" + match.describe(values) + ")";
    return Status(st.code(), where + ": " + st.message());
  };

  // Source rows go to the target's column order. Keys other than one integer are taken from the
  // values as the columns take them (so that 5 and 5.0 match); a row that does not convert
  // keeps what converted and fails below with the column's own message, on update or insert.
  // Otherwise conversion waits until a row differs from its match: equal values need none.
  PageAllocator none(db.pager());
  TableWriter coercer({db.pager(), none}, *def, noIndexMaintenance());

  struct Waiting {
    size_t order = 0; // source row number, or the target row's place in the scan
    RowLocation at;
    std::vector<Value> values;
  };
  std::multimap<RowKey, Waiting> targetWaits, sourceWaits;
  // The first waiting row with the key, or end().
  auto waiting = [](std::multimap<RowKey, Waiting> &m, const RowKey &k) {
    if (m.empty())
      return m.end();
    auto it = m.lower_bound(k);
    return it != m.end() && it->first == k ? it : m.end();
  };
  struct Change {
    RowLocation at;
    std::vector<Value> values; // the new row (update) or the row as it is (delete)
    size_t order = 0;
  };
  std::vector<Change> updates, deletions;
  std::vector<Waiting> inserts;
  ReplaceCounts counts;

  auto pair = [&](RowLocation at, const std::vector<Value> &row, std::vector<Value> &src,
                  size_t s) -> Status {
    // Equal values (same type) are what the target already stores.
    bool same = true;
    for (size_t c : suppliedColumns)
      if (!(src[c] == row[c])) {
        same = false;
        break;
      }
    if (same) {
      ++counts.unchanged;
      return Status::ok();
    }
    std::vector<Value> values = row;
    for (size_t c : suppliedColumns)
      values[c] = std::move(src[c]);
    Status st = coercer.coerce(values);
    if (!st)
      return rowError(s, values, st);
    if (values == row)
      ++counts.unchanged;
    else
      updates.push_back(Change{at, std::move(values), s});
    return Status::ok();
  };

  auto cur = db.cursor(target);
  if (!cur)
    return cur.status();
  std::vector<Value> trow, raw, srow;
  RowKey tk, sk;
  bool tMore = true, sMore = true;
  for (size_t n = 0; tMore || sMore; ++n) {
    bool haveT = false, haveS = false, tKeyed = false, sKeyed = false;
    if (tMore) {
      auto more = cur->next();
      if (!more)
        return more.status();
      tMore = haveT = *more;
      if (haveT) {
        JET_TRY(cur->read(trow));
        auto k = match.key(trow, tk);
        if (!k)
          return k.status();
        tKeyed = *k;
      }
    }
    if (sMore) {
      auto more = nextSource(raw);
      if (!more)
        return more.status();
      sMore = haveS = *more;
      if (haveS) {
        if (raw.size() != columns.size())
          return Status(ErrorCode::InvalidArgument,
                        "Riga " + std::to_string(n + 1) + " della copia: numero di campi errato.");
        if (sameLayout) {
          std::swap(srow, raw);
        } else {
          srow.assign(width, Value());
          for (size_t c = 0; c < raw.size(); ++c)
            srow[into[c]] = std::move(raw[c]);
        }
        if (!match.integerKey)
          (void)coercer.coerce(srow);
        auto k = match.key(srow, sk);
        if (k && !*k && match.integerKey && !srow[match.pkColumns[0]].isNull()) {
          (void)coercer.coerce(srow);
          k = match.key(srow, sk);
        }
        if (!k)
          return rowError(n, srow, k.status());
        sKeyed = *k;
      }
    }
    const RowLocation at = haveT ? cur->location() : RowLocation{};
    if (haveT && haveS && tKeyed && sKeyed && tk == sk &&
        waiting(sourceWaits, tk) == sourceWaits.end() &&
        waiting(targetWaits, sk) == targetWaits.end()) {
      JET_TRY(pair(at, trow, srow, n));
      continue;
    }
    if (haveT) {
      auto it = tKeyed ? waiting(sourceWaits, tk) : sourceWaits.end();
      if (it != sourceWaits.end()) {
        JET_TRY(pair(at, trow, it->second.values, it->second.order));
        sourceWaits.erase(it);
      } else if (tKeyed) {
        targetWaits.emplace(tk, Waiting{n, at, std::move(trow)});
      } else {
        deletions.push_back(Change{at, std::move(trow), n});
      }
    }
    if (haveS) {
      auto it = sKeyed ? waiting(targetWaits, sk) : targetWaits.end();
      if (it != targetWaits.end()) {
        JET_TRY(pair(it->second.at, it->second.values, srow, n));
        targetWaits.erase(it);
      } else if (sKeyed) {
        sourceWaits.emplace(sk, Waiting{n, {}, std::move(srow)});
      } else {
        inserts.push_back(Waiting{n, {}, std::move(srow)});
      }
    }
  }
  for (auto &[k, w] : targetWaits)
    deletions.push_back(Change{w.at, std::move(w.values), w.order});
  for (auto &[k, w] : sourceWaits)
    inserts.push_back(std::move(w));
  // Deletions in the table's order; updates and inserts in the copy's, as the operator sees it.
  auto byOrder = [](const auto &a, const auto &b) { return a.order < b.order; };
  std::sort(deletions.begin(), deletions.end(), byOrder);
  std::sort(updates.begin(), updates.end(), byOrder);
  std::sort(inserts.begin(), inserts.end(), byOrder);

  const bool own = !db.inTransaction();
  size_t sp = 0;
  if (own) {
    JET_TRY(db.begin());
  } else {
    auto s = db.savepoint();
    if (!s)
      return s.status();
    sp = *s;
  }
  auto undo = [&](Status st) -> Status {
    if (own)
      (void)db.rollback();
    else
      (void)db.rollbackTo(sp);
    return st;
  };
  const std::string name = t.name;
  // Deletions first: they free keys that updates and inserts may take.
  for (Change &d : deletions) {
    Status st = db.deleteRow(name, d.at);
    if (!st)
      return undo(Status(st.code(), "Eliminazione del record (" + match.describe(d.values) +
                                        "): " + st.message()));
    ++counts.deleted;
  }
  for (Change &u : updates) {
    Status st = db.updateRow(name, u.at, u.values);
    if (!st)
      return undo(rowError(u.order, u.values, st));
    ++counts.updated;
  }
  for (Waiting &w : inserts) {
    std::vector<Value> values = w.values;
    auto at = db.insertRow(name, values, supplied);
    if (!at)
      return undo(rowError(w.order, w.values, at.status()));
    ++counts.inserted;
  }
  if (own) {
    Status st = db.commit();
    if (!st)
      return undo(st);
  } else {
    JET_TRY(db.release(sp));
  }
  return counts;
}

} // namespace

Result<ReplaceCounts> replaceRows(Database &db, std::string_view target, SourceRows source) {
  size_t next = 0;
  return replaceFrom(db, target, source.columns, [&](std::vector<Value> &row) -> Result<bool> {
    if (next == source.rows.size())
      return false;
    row = std::move(source.rows[next++]);
    return true;
  });
}

Result<ReplaceCounts> replaceRows(Database &db, std::string_view target, std::string_view source) {
  auto cur = db.cursor(source);
  if (!cur)
    return cur.status();
  std::vector<std::string> columns;
  for (const ColumnDef &c : cur->table().columns)
    columns.push_back(c.name);
  return replaceFrom(db, target, columns, [&](std::vector<Value> &row) -> Result<bool> {
    auto more = cur->next();
    if (!more)
      return more.status();
    if (*more)
      JET_TRY(cur->read(row));
    return *more;
  });
}

} // namespace jet
