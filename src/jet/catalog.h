#pragma once
// The catalogue: the rows of MSysObjects, whose definition is always on page 2.
#include "jet/pager.h"
#include "jet/status.h"
#include "jet/table_cursor.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

struct CatalogEntry {
  static constexpr int16_t kTypeTable = 1;
  static constexpr uint32_t kSystemFlag = 0x80000000u;
  static constexpr uint32_t kHiddenSystemFlag = 0x00000002u;

  uint32_t id = 0;
  uint32_t parentId = 0;
  std::string name;
  int16_t type = 0;
  uint32_t flags = 0;
  RowLocation location; // its row in MSysObjects

  // A table's id is the page of its definition (in the low three bytes).
  uint32_t tableDefPage() const { return id & 0x00FFFFFFu; }
  bool isSystem() const { return (flags & (kSystemFlag | kHiddenSystemFlag)) != 0; }
};

class Catalog {
public:
  static constexpr uint32_t kCatalogPage = 2;
  static constexpr uint32_t kRootId = 0x0F000000u;
  static constexpr char kTableName[] = "MSysObjects";

  static Result<Catalog> load(Pager &pager);

  const std::vector<CatalogEntry> &objects() const { return objects_; }
  // Local tables, system ones included, as DAO lists them: by name, ignoring case.
  const std::vector<CatalogEntry> &tables() const { return tables_; }
  const CatalogEntry *findTable(std::string_view name) const;

private:
  std::vector<CatalogEntry> objects_;
  std::vector<CatalogEntry> tables_;
};

} // namespace jet
