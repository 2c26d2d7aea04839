#include "jet/relationships.h"

#include "jet/catalog.h"
#include "jet/names.h"
#include "jet/table_cursor.h"

#include <algorithm>
#include <map>

namespace jet {

bool Relationship::involves(std::string_view table) const {
  return equalsNoCase(childTable, table) || equalsNoCase(parentTable, table);
}

namespace {

std::string textOf(const Value &v) {
  if (auto s = v.getIf<std::string>())
    return *s;
  return {};
}

int64_t numberOf(const Value &v) {
  if (auto p = v.getIf<int32_t>())
    return *p;
  if (auto p = v.getIf<int16_t>())
    return *p;
  if (auto p = v.getIf<uint8_t>())
    return *p;
  return 0;
}
} // namespace

Result<std::vector<Relationship>> readRelationships(Pager &pager, const Catalog &catalog) {
  std::vector<Relationship> out;
  const CatalogEntry *entry = catalog.findTable(kRelationshipsTableName);
  if (!entry)
    return out;
  auto def = readTableDef(pager, entry->tableDefPage(), entry->name);
  if (!def)
    return def.status();
  auto cur = TableCursor::open(pager, *def);
  if (!cur)
    return cur.status();
  auto col = [&](const char *name) -> int {
    const ColumnDef *c = (*def)->findColumn(name);
    if (!c)
      return -1;
    return static_cast<int>(c - (*def)->columns.data());
  };
  const int cName = col("szRelationship"), cObject = col("szObject"), cColumn = col("szColumn"),
            cRefObject = col("szReferencedObject"), cRefColumn = col("szReferencedColumn"),
            cFlags = col("grbit"), cIndex = col("icolumn");
  if (cName < 0 || cObject < 0 || cColumn < 0 || cRefObject < 0 || cRefColumn < 0)
    return Status(ErrorCode::Corrupt, "La tabella MSysRelationships non ha le colonne attese.");

  struct Part {
    int64_t position;
    std::string column, refColumn;
  };
  std::map<std::string, size_t> byName; // lower-cased name → position in out
  std::vector<std::vector<Part>> parts;
  std::vector<Value> row;
  for (;;) {
    auto more = cur->next();
    if (!more)
      return more.status();
    if (!*more)
      break;
    JET_TRY(cur->read(row));
    std::string name = textOf(row[cName]);
    std::string key = name;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    auto [it, fresh] = byName.emplace(key, out.size());
    if (fresh) {
      Relationship r;
      r.name = name;
      r.childTable = textOf(row[cObject]);
      r.parentTable = textOf(row[cRefObject]);
      r.flags = cFlags >= 0 ? static_cast<uint32_t>(numberOf(row[cFlags])) : 0;
      if (auto *t = catalog.findTable(r.childTable)) {
        r.childTable = t->name;
        r.childPage = t->tableDefPage();
      }
      if (auto *t = catalog.findTable(r.parentTable)) {
        r.parentTable = t->name;
        r.parentPage = t->tableDefPage();
      }
      out.push_back(std::move(r));
      parts.emplace_back();
    }
    parts[it->second].push_back(Part{cIndex >= 0 ? numberOf(row[cIndex]) : 0, textOf(row[cColumn]),
                                     textOf(row[cRefColumn])});
  }
  for (size_t i = 0; i < out.size(); ++i) {
    std::stable_sort(parts[i].begin(), parts[i].end(),
                     [](const Part &a, const Part &b) { return a.position < b.position; });
    for (auto &p : parts[i]) {
      out[i].childColumns.push_back(p.column);
      out[i].parentColumns.push_back(p.refColumn);
    }
  }
  return out;
}

std::string describeRelationship(const Relationship &r) {
  auto join = [](const std::string &table, const std::vector<std::string> &cols) {
    std::string s = table + ".";
    if (cols.size() != 1)
      s += "(";
    for (size_t i = 0; i < cols.size(); ++i)
      s += (i ? ", " : "") + cols[i];
    if (cols.size() != 1)
      s += ")";
    return s;
  };
  std::string s = r.name + ": " + join(r.childTable, r.childColumns) + " → " +
                  join(r.parentTable, r.parentColumns);
  if (!r.enforced())
    return s + ", senza integrità referenziale";
  s += ", integrità referenziale";
  if (r.cascadeUpdates())
    s += ", aggiornamento a catena";
  if (r.cascadeDeletes())
    s += ", eliminazione a catena";
  if (r.cascadeNull())
    s += ", impostazione a Null a catena";
  return s;
}

} // namespace jet
