#include "jet/catalog.h"

#include "jet/errors.h"
#include "jet/names.h"
#include "jet/table_cursor.h"
#include "jet/table_def.h"

#include <algorithm>

namespace jet {

namespace {

Result<const ColumnDef *> need(const TableDef &def, std::string_view name) {
  if (const ColumnDef *c = def.findColumn(name))
    return c;
  return corruptPage(Catalog::kCatalogPage,
                     "nel catalogo manca la colonna \"" + std::string(name) + "\"");
}

size_t indexOf(const TableDef &def, const ColumnDef *c) {
  return static_cast<size_t>(c - def.columns.data());
}

} // namespace

Result<Catalog> Catalog::load(Pager &pager) {
  auto def = readTableDef(pager, kCatalogPage, kTableName);
  if (!def)
    return def.status();
  const TableDef &d = **def;
  const ColumnDef *cols[5];
  const char *names[5] = {"Id", "ParentId", "Name", "Type", "Flags"};
  for (int i = 0; i < 5; ++i) {
    auto c = need(d, names[i]);
    if (!c)
      return inTable(c.status(), kTableName);
    cols[i] = *c;
  }
  auto cursor = TableCursor::open(pager, *def);
  if (!cursor)
    return cursor.status();
  Catalog cat;
  for (;;) {
    auto more = cursor->next();
    if (!more)
      return more.status();
    if (!*more)
      break;
    Value v[5];
    for (int i = 0; i < 5; ++i) {
      auto x = cursor->value(indexOf(d, cols[i]));
      if (!x)
        return x.status();
      v[i] = std::move(*x);
    }
    CatalogEntry e;
    e.location = cursor->location();
    auto asInt = [](const Value &x) -> int64_t {
      if (auto p = x.getIf<int32_t>())
        return *p;
      if (auto p = x.getIf<int16_t>())
        return *p;
      if (auto p = x.getIf<uint8_t>())
        return *p;
      return 0;
    };
    e.id = static_cast<uint32_t>(asInt(v[0]));
    e.parentId = static_cast<uint32_t>(asInt(v[1]));
    if (auto s = v[2].getIf<std::string>())
      e.name = *s;
    e.type = static_cast<int16_t>(asInt(v[3]));
    e.flags = static_cast<uint32_t>(asInt(v[4]));
    cat.objects_.push_back(std::move(e));
  }
  // Tables are the children of the "Tables" container.
  uint32_t tablesId = kRootId + 1;
  for (const auto &e : cat.objects_)
    if (e.parentId == kRootId && e.name == "Tables")
      tablesId = e.id;
  for (const auto &e : cat.objects_)
    if (e.parentId == tablesId && e.type == CatalogEntry::kTypeTable)
      cat.tables_.push_back(e);
  std::stable_sort(cat.tables_.begin(), cat.tables_.end(),
                   [](const CatalogEntry &a, const CatalogEntry &b) {
                     return compareNoCase(a.name, b.name) < 0;
                   });
  return cat;
}

const CatalogEntry *Catalog::findTable(std::string_view name) const {
  for (const auto &e : tables_)
    if (equalsNoCase(e.name, name))
      return &e;
  return nullptr;
}

} // namespace jet
