#include "schema_sql.h"

#include "jet/column_info.h"
#include "jet/csv_export.h"
#include "jet/names.h"
#include "jet/relationships.h"

#include <functional>
#include <set>

namespace vaskdb {

namespace {

struct NoCase {
  bool operator()(const std::string &a, const std::string &b) const {
    return jet::compareNoCase(a, b) < 0;
  }
};

// A double-quoted identifier with inner quotes doubled: the CSV form of a text.
std::string ident(const std::string &name) {
  std::string s;
  jet::appendCsvField(s, jet::Value(name));
  return s;
}

std::string sqlType(const jet::ColumnDef &c) {
  using jet::ColumnType;
  switch (c.type) {
  case ColumnType::Boolean:
    return "BOOLEAN";
  case ColumnType::Byte:
  case ColumnType::Integer:
    return "SMALLINT";
  case ColumnType::Long:
    return "INTEGER";
  case ColumnType::Currency:
    return "NUMERIC(19,4)";
  case ColumnType::Single:
    return "REAL";
  case ColumnType::Double:
    return "DOUBLE PRECISION";
  case ColumnType::DateTime:
    return "TIMESTAMP";
  case ColumnType::Text:
    return (c.isFixed() ? "CHAR(" : "VARCHAR(") + std::to_string(jet::adoDefinedSize(c)) + ")";
  case ColumnType::Memo:
    return "TEXT";
  case ColumnType::Binary:
  case ColumnType::Ole:
    return "BYTEA";
  case ColumnType::Guid:
    return "UUID";
  case ColumnType::Numeric:
    return "NUMERIC(" + std::to_string(c.precision) + "," + std::to_string(c.scale) + ")";
  }
  return "TEXT";
}

std::string columnList(const jet::TableDef &t, const jet::PhysicalIndex &p, bool withOrder) {
  std::string s;
  for (const auto &ic : p.columns) {
    const jet::ColumnDef *c = t.columnByNumber(ic.columnNumber);
    if (!s.empty())
      s += ", ";
    s += ident(c ? c->name : "?");
    if (withOrder && !ic.ascending)
      s += " DESC";
  }
  return s;
}

std::string names(const std::vector<std::string> &columns) {
  std::string s;
  for (const auto &c : columns)
    s += (s.empty() ? "" : ", ") + ident(c);
  return s;
}

} // namespace

jet::Result<std::string> sqlSchema(jet::Database &db, const std::vector<std::string> &tables) {
  auto rels = jet::readRelationships(db.pager(), db.catalog());
  if (!rels)
    return rels.status();
  auto wanted = [&](const std::string &name) {
    for (const auto &t : tables)
      if (jet::equalsNoCase(t, name))
        return true;
    return false;
  };
  // Parents first; a cycle of relationships keeps the order it meets.
  std::vector<std::string> order;
  std::set<std::string, NoCase> placed, visiting;
  std::function<void(const std::string &)> place = [&](const std::string &t) {
    if (placed.count(t) || visiting.count(t))
      return;
    visiting.insert(t);
    for (const auto &r : *rels)
      if (r.enforced() && jet::equalsNoCase(r.childTable, t) && wanted(r.parentTable))
        place(r.parentTable);
    visiting.erase(t);
    placed.insert(t);
    order.push_back(t);
  };
  for (const auto &t : tables)
    place(t);

  std::string out;
  std::set<std::string, NoCase> made;
  for (const auto &name : order) {
    auto def = db.table(name);
    if (!def)
      return def.status();
    const jet::TableDef &t = **def;
    std::vector<std::string> lines;
    for (const auto &c : t.columns)
      lines.push_back("  " + ident(c.name) + " " + sqlType(c) + (c.required ? " NOT NULL" : ""));
    std::set<uint32_t> physicalDone;
    std::string indexes;
    for (const auto &ix : t.indexes) {
      const jet::PhysicalIndex &p = t.physicalIndexes[ix.physical];
      if (ix.isPrimaryKey()) {
        lines.push_back("  PRIMARY KEY (" + columnList(t, p, false) + ")");
        physicalDone.insert(ix.physical);
      }
    }
    for (const auto &ix : t.indexes) {
      const jet::PhysicalIndex &p = t.physicalIndexes[ix.physical];
      if (ix.onReferencedSide() || !physicalDone.insert(ix.physical).second)
        continue;
      indexes += std::string("CREATE ") + (p.unique() ? "UNIQUE " : "") + "INDEX " +
                 ident(t.name + "_" + ix.name) + " ON " + ident(t.name) + " (" +
                 columnList(t, p, true) + ");\n";
    }
    for (const auto &r : *rels) {
      if (!r.enforced() || !jet::equalsNoCase(r.childTable, t.name) || !wanted(r.parentTable))
        continue;
      if (!jet::equalsNoCase(r.parentTable, t.name) && !made.count(r.parentTable))
        continue; // a cycle: the parent comes later
      std::string fk = "  FOREIGN KEY (" + names(r.childColumns) + ") REFERENCES " +
                       ident(r.parentTable) + " (" + names(r.parentColumns) + ")";
      if (r.cascadeDeletes())
        fk += " ON DELETE CASCADE";
      else if (r.cascadeNull())
        fk += " ON DELETE SET NULL";
      if (r.cascadeUpdates())
        fk += " ON UPDATE CASCADE";
      lines.push_back(fk);
    }
    out += "CREATE TABLE " + ident(t.name) + " (\n";
    for (size_t i = 0; i < lines.size(); ++i)
      out += lines[i] + (i + 1 < lines.size() ? ",\n" : "\n");
    out += ");\n" + indexes;
    made.insert(t.name);
  }
  return out;
}

} // namespace vaskdb
