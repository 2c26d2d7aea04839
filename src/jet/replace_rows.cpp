#include "jet/replace_rows.h"

#include "jet/csv_export.h"
#include "jet/index_rows.h"
#include "jet/page_allocator.h"
#include "jet/table_writer.h"

#include <unordered_map>

namespace jet {

namespace {

std::string q(const std::string &s) {
  return "'" + s + "'";
}

// The key a row is matched by: the primary key's index key where there is one (so texts match
// as the index matches them), else every value in its exact form.
struct Matcher {
  const TableDef &def;
  const PhysicalIndex *pk = nullptr;
  std::vector<size_t> pkColumns; // positions in def.columns

  explicit Matcher(const TableDef &d) : def(d) {
    for (const LogicalIndex &li : def.indexes)
      if (li.isPrimaryKey() && li.physical < def.physicalIndexes.size()) {
        pk = &def.physicalIndexes[li.physical];
        for (const IndexColumn &c : pk->columns)
          if (const ColumnDef *col = def.columnByNumber(c.columnNumber))
            pkColumns.push_back(static_cast<size_t>(col - def.columns.data()));
        break;
      }
  }

  Result<std::string> key(std::span<const Value> row) const {
    std::string out;
    if (pk) {
      auto k = rowIndexKey(def, *pk, row);
      if (!k)
        return k.status();
      if (*k)
        out.assign((**k).begin(), (**k).end());
      return out;
    }
    for (const Value &v : row) {
      out += static_cast<char>('A' + v.storage().index());
      appendCsvField(out, v);
      out += '\x1f';
    }
    return out;
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

Result<ReplaceCounts> replaceRows(Database &db, std::string_view target, SourceRows source) {
  auto def = db.table(target);
  if (!def)
    return def.status();
  const TableDef &t = **def;
  // Where each source column goes.
  std::vector<int> into(source.columns.size(), -1);
  std::vector<bool> supplied(t.columns.size(), false);
  for (size_t i = 0; i < source.columns.size(); ++i) {
    const ColumnDef *c = t.findColumn(source.columns[i]);
    if (!c)
      return Status(ErrorCode::InvalidArgument,
                    "La tabella " + q(t.name) + " non ha il campo " + q(source.columns[i]) + ".");
    into[i] = static_cast<int>(c - t.columns.data());
    supplied[into[i]] = true;
  }
  Matcher match(t);
  for (size_t c : match.pkColumns)
    if (!supplied[c])
      return Status(ErrorCode::InvalidArgument, "La copia non ha il campo " + q(t.columns[c].name) +
                                                    " della chiave primaria della tabella " +
                                                    q(t.name) + ".");

  // The target as it is.
  struct Existing {
    RowLocation at;
    std::vector<Value> values;
    bool matched = false;
  };
  std::vector<Existing> existing;
  std::unordered_multimap<std::string, size_t> byKey;
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
      auto k = match.key(row);
      if (!k)
        return k.status();
      byKey.emplace(std::move(*k), existing.size());
      existing.push_back(Existing{cur->location(), row, false});
    }
  }

  // Source rows as the target's columns take them.
  PageAllocator none(db.pager());
  TableWriter coercer({db.pager(), none}, *def, noIndexMaintenance());
  struct Plan {
    size_t source;
    std::vector<Value> values;
    int existing = -1; // matched target row
    bool coerced = false;
  };
  std::vector<Plan> plans;
  plans.reserve(source.rows.size());
  auto rowError = [&](size_t i, const std::vector<Value> *values, const Status &st) {
    std::string where = "Riga " + std::to_string(i + 1) + " della copia";
    if (values)
      where += " (" + match.describe(*values) + ")";
    return Status(st.code(), where + ": " + st.message());
  };
  for (size_t i = 0; i < source.rows.size(); ++i) {
    const auto &src = source.rows[i];
    if (src.size() != source.columns.size())
      return Status(ErrorCode::InvalidArgument,
                    "Riga " + std::to_string(i + 1) + " della copia: numero di campi errato.");
    Plan p{i, std::vector<Value>(t.columns.size()), -1, false};
    for (size_t c = 0; c < src.size(); ++c)
      p.values[into[c]] = src[c];
    {
      // Values as the columns take them, so that 5 and 5.0 match; a row that does not convert
      // is matched as given and refused below with the column's own message.
      std::vector<Value> probe = p.values;
      if (coercer.coerce(probe)) {
        p.values = std::move(probe);
        p.coerced = true;
      }
    }
    auto k = match.key(p.values);
    if (!k)
      return rowError(i, &p.values, k.status());
    bool keyed = true;
    if (match.pk)
      for (size_t c : match.pkColumns)
        if (p.values[c].isNull())
          keyed = false;
    if (keyed) {
      auto [b, e] = byKey.equal_range(*k);
      for (auto it = b; it != e; ++it)
        if (!existing[it->second].matched) {
          existing[it->second].matched = true;
          p.existing = static_cast<int>(it->second);
          break;
        }
    }
    plans.push_back(std::move(p));
  }

  ReplaceCounts counts;
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
  for (Existing &e : existing) {
    if (e.matched)
      continue;
    Status st = db.deleteRow(name, e.at);
    if (!st)
      return undo(Status(st.code(), "Eliminazione del record (" + match.describe(e.values) +
                                        "): " + st.message()));
    ++counts.deleted;
  }
  for (Plan &p : plans) {
    if (p.existing < 0)
      continue;
    Existing &e = existing[p.existing];
    if (p.coerced) {
      bool same = true;
      for (size_t c = 0; c < t.columns.size() && same; ++c)
        same = !supplied[c] || p.values[c] == e.values[c];
      if (same) {
        ++counts.unchanged;
        continue;
      }
    }
    std::vector<Value> values = e.values;
    for (size_t c = 0; c < t.columns.size(); ++c)
      if (supplied[c])
        values[c] = p.values[c];
    Status st = coercer.coerce(values);
    if (!st)
      return undo(rowError(p.source, &values, st));
    if (values == e.values) {
      ++counts.unchanged;
      continue;
    }
    st = db.updateRow(name, e.at, values);
    if (!st)
      return undo(rowError(p.source, &values, st));
    ++counts.updated;
  }
  for (Plan &p : plans) {
    if (p.existing >= 0)
      continue;
    std::vector<Value> values = p.values;
    auto at = db.insertRow(name, values, supplied);
    if (!at)
      return undo(rowError(p.source, &p.values, at.status()));
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
