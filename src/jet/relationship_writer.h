#pragma once
// New relationships, written as Access writes them.
//
// One row per column pair in MSysRelationships (szRelationship, grbit, ccolumn, icolumn, the
// tables and columns of both sides). With enforced integrity each table also gets a logical
// foreign-key index: the referencing table one named after the relationship, over the index
// that already holds its columns (a new index where none does); the referenced table one named
// ".r" and a letter (A plus the index's number), over the unique index of its columns. The two
// point at each other (index number, table page), carry the cascades and tell their side (2 in
// the referencing table, 1 in the referenced one). A relationship without enforcement gets no
// index.
#include "jet/database.h"
#include "jet/status.h"

#include <string>
#include <vector>

namespace jet {

struct RelationshipSpec {
  std::string name;  // empty: the referenced table's name followed by the referencing one's
  std::string table; // the referencing (child) table
  std::vector<std::string> columns;
  std::string referencedTable;
  std::vector<std::string> referencedColumns;
  bool enforced = true;
  bool cascadeUpdates = false;
  bool cascadeDeletes = false;
  bool cascadeNull = false; // on delete, the children's key set to Null
};

// One statement (a savepoint inside the open transaction, or a transaction of its own). Refused
// with an Italian message and nothing written: a name in use, missing tables or columns, column
// pairs of different types, referenced columns without a unique index, cascades without
// enforcement, and (enforced) rows of the referencing table that have no related row.
Status createRelationship(Database &db, const RelationshipSpec &request);

} // namespace jet
