#pragma once
// The relationships of a database as MSysRelationships records them, with the tables' sides
// resolved: which columns of the referencing (child) table point at which columns of the
// referenced (parent) table, whether the engine enforces it and what happens to the children
// when a parent goes or changes its key.
#include "jet/pager.h"
#include "jet/status.h"
#include "jet/table_def.h"

#include <string>
#include <string_view>
#include <vector>

namespace jet {

class Catalog;

inline constexpr char kRelationshipsTableName[] = "MSysRelationships";

struct Relationship {
  // grbit bits of MSysRelationships.
  static constexpr uint32_t kOneToOne = 0x00000001u;
  static constexpr uint32_t kNotEnforced = 0x00000002u;
  static constexpr uint32_t kCascadeUpdates = 0x00000100u;
  static constexpr uint32_t kCascadeDeletes = 0x00001000u;
  static constexpr uint32_t kCascadeNull = 0x00002000u;

  std::string name;
  std::string childTable;  // szObject: the referencing table
  std::string parentTable; // szReferencedObject
  uint32_t childPage = 0;  // definition pages (0 where the table is missing)
  uint32_t parentPage = 0;
  std::vector<std::string> childColumns; // by icolumn
  std::vector<std::string> parentColumns;
  uint32_t flags = 0;

  bool enforced() const { return (flags & kNotEnforced) == 0; }
  bool cascadeUpdates() const { return (flags & kCascadeUpdates) != 0; }
  bool cascadeDeletes() const { return (flags & kCascadeDeletes) != 0; }
  bool cascadeNull() const { return (flags & kCascadeNull) != 0; }
  bool involves(std::string_view table) const;
};

// Every relationship, in the order of its first row in MSysRelationships. A database without
// MSysRelationships has none. Rows whose tables are missing are kept with page 0.
Result<std::vector<Relationship>> readRelationships(Pager &pager, const Catalog &catalog);

// "CLIENTIFATTURE: FATTURE.IDCliente → CLIENTI.ID, integrità referenziale, ..."
std::string describeRelationship(const Relationship &r);

} // namespace jet
