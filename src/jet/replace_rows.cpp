#include "jet/replace_rows.h"

#include "jet/csv_export.h"
#include "jet/index_rows.h"
#include "jet/page_allocator.h"
#include "jet/table_writer.h"

#include <algorithm>

namespace jet {

namespace {

std::string q(const std::string &s) {
  return "'" + s + "'";
}

// The key a row is matched by: the primary key's index key where there is one (so texts match
// as the index matches them), else every value in its exact form. A primary key of one integer
// column, the usual autonumber ID, is keyed by its number alone: same matches, no encoding.
struct Matcher {
  const TableDef &def;
  const PhysicalIndex *pk = nullptr;
  std::vector<size_t> pkColumns; // positions in def.columns
  bool integerKey = false;

  explicit Matcher(const TableDef &d) : def(d) {
    for (const LogicalIndex &li : def.indexes)
      if (li.isPrimaryKey() && li.physical < def.physicalIndexes.size()) {
        pk = &def.physicalIndexes[li.physical];
        for (const IndexColumn &c : pk->columns)
          if (const ColumnDef *col = def.columnByNumber(c.columnNumber))
            pkColumns.push_back(static_cast<size_t>(col - def.columns.data()));
        break;
      }
    if (pkColumns.size() == 1) {
      const ColumnType t = def.columns[pkColumns[0]].type;
      integerKey = t == ColumnType::Long || t == ColumnType::Integer || t == ColumnType::Byte;
    }
  }

  // False where the row has nothing to be matched by (a Null in its primary key, or a key value
  // of a type the column cannot hold: that row goes to the insert, which names the fault).
  Result<bool> key(std::span<const Value> row, uint64_t &number, std::string &out) const {
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
      out += static_cast<char>('A' + v.storage().index());
      appendCsvField(out, v);
      out += '\x1f';
    }
    return true;
  }

  std::string describe(std::span<const Value> row) const {
    std::string s;
    const std::vector<size_t> *cols = &pkColumns;
    std::vector<size_t> all;
    if (!pk) {
      for (size_t i = 0; i < def.columns.size() && i < 3; ++i)
        all.push_back(i);
      cols = &all;
    }
    for (size_t i = 0; i < cols->size(); ++i)
      s += (i ? ", " : "") + def.columns[(*cols)[i]].name + " = " + describeValue(row[(*cols)[i]]);
    return s;
  }
};

} // namespace

// The source is keyed once and sorted; the target is then read in one pass in its physical
// order, each row looked up by key and compared on the spot, so only the rows that differ are
// kept. Rows with equal keys (whole-row keys of a table without primary key) pair in order:
// the n-th such row of the target with the n-th of the source.
Result<ReplaceCounts> replaceRows(Database &db, std::string_view target, SourceRows source) {
  auto def = db.table(target);
  if (!def)
    return def.status();
  const TableDef &t = **def;
  const size_t width = t.columns.size();
  // Where each source column goes.
  std::vector<size_t> into(source.columns.size());
  std::vector<bool> supplied(width, false);
  bool sameLayout = source.columns.size() == width;
  for (size_t i = 0; i < source.columns.size(); ++i) {
    const ColumnDef *c = t.findColumn(source.columns[i]);
    if (!c)
      return Status(ErrorCode::InvalidArgument,
                    "La tabella " + q(t.name) + " non ha il campo " + q(source.columns[i]) + ".");
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

  // Source rows in the target's column order. Keys other than one integer are taken from the
  // values as the columns take them (so that 5 and 5.0 match); a row that does not convert
  // keeps what converted and fails below with the column's own message, on update or insert.
  // Otherwise conversion waits until a row differs from its match: equal values need none.
  PageAllocator none(db.pager());
  TableWriter coercer({db.pager(), none}, *def, noIndexMaintenance());
  std::vector<std::vector<Value>> &rows = source.rows;
  struct Keyed {
    uint64_t number;
    std::string key;
    uint32_t row;
    bool sameKey(uint64_t n, const std::string &k) const { return number == n && key == k; }
    bool before(uint64_t n, const std::string &k) const {
      return number < n || (number == n && key < k);
    }
  };
  std::vector<Keyed> keyed;
  keyed.reserve(rows.size());
  std::string key;
  uint64_t number = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    auto &src = rows[i];
    if (src.size() != source.columns.size())
      return Status(ErrorCode::InvalidArgument,
                    "Riga " + std::to_string(i + 1) + " della copia: numero di campi errato.");
    if (!sameLayout) {
      std::vector<Value> values(width);
      for (size_t c = 0; c < src.size(); ++c)
        values[into[c]] = std::move(src[c]);
      src = std::move(values);
    }
    if (!match.integerKey)
      (void)coercer.coerce(src);
    auto k = match.key(src, number, key);
    if (k && !*k && match.integerKey && !src[match.pkColumns[0]].isNull()) {
      (void)coercer.coerce(src);
      k = match.key(src, number, key);
    }
    if (!k)
      return rowError(i, src, k.status());
    if (*k)
      keyed.push_back(Keyed{number, key, static_cast<uint32_t>(i)});
  }
  std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
    return a.before(b.number, b.key) || (a.sameKey(b.number, b.key) && a.row < b.row);
  });
  // taken[p], at the first entry p of a run of equal keys: how many of the run are matched.
  std::vector<uint32_t> taken(keyed.size(), 0);
  std::vector<uint8_t> matched(rows.size(), 0);

  // The target as it is, against the source.
  struct Change {
    RowLocation at;
    std::vector<Value> values; // the new row (update) or the row as it is (delete)
    size_t source = 0;
  };
  std::vector<Change> updates, deletions;
  ReplaceCounts counts;
  {
    auto cur = db.cursor(target);
    if (!cur)
      return cur.status();
    std::vector<Value> row;
    for (;;) {
      auto more = cur->next();
      if (!more)
        return more.status();
      if (!*more)
        break;
      JET_TRY(cur->read(row));
      auto k = match.key(row, number, key);
      if (!k)
        return k.status();
      size_t hit = keyed.size();
      if (*k) {
        auto first = std::partition_point(keyed.begin(), keyed.end(),
                                          [&](const Keyed &e) { return e.before(number, key); });
        const size_t p = static_cast<size_t>(first - keyed.begin());
        if (p < keyed.size() && keyed[p].sameKey(number, key)) {
          const size_t n = p + taken[p];
          if (n < keyed.size() && keyed[n].sameKey(number, key)) {
            ++taken[p];
            hit = n;
          }
        }
      }
      if (hit == keyed.size()) {
        deletions.push_back(Change{cur->location(), row, 0});
        continue;
      }
      const size_t s = keyed[hit].row;
      matched[s] = 1;
      std::vector<Value> &src = rows[s];
      // Equal values (same type) are what the target already stores.
      bool same = true;
      for (size_t c : suppliedColumns)
        if (!(src[c] == row[c])) {
          same = false;
          break;
        }
      if (same) {
        ++counts.unchanged;
        continue;
      }
      std::vector<Value> values = row;
      for (size_t c : suppliedColumns)
        values[c] = std::move(src[c]);
      Status st = coercer.coerce(values);
      if (!st)
        return rowError(s, values, st);
      if (values == row) {
        ++counts.unchanged;
        continue;
      }
      updates.push_back(Change{cur->location(), std::move(values), s});
    }
  }
  // Updates in the copy's order, as the operator sees the rows.
  std::sort(updates.begin(), updates.end(),
            [](const Change &a, const Change &b) { return a.source < b.source; });

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
      return undo(rowError(u.source, u.values, st));
    ++counts.updated;
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    if (matched[i])
      continue;
    std::vector<Value> values = rows[i];
    auto at = db.insertRow(name, values, supplied);
    if (!at)
      return undo(rowError(i, rows[i], at.status()));
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

Result<ReplaceCounts> replaceRows(Database &db, std::string_view target, std::string_view source) {
  auto cur = db.cursor(source);
  if (!cur)
    return cur.status();
  SourceRows rows;
  for (const ColumnDef &c : cur->table().columns)
    rows.columns.push_back(c.name);
  std::vector<Value> row;
  for (;;) {
    auto more = cur->next();
    if (!more)
      return more.status();
    if (!*more)
      break;
    JET_TRY(cur->read(row));
    rows.rows.push_back(row);
  }
  return replaceRows(db, target, std::move(rows));
}

} // namespace jet
