#pragma once
// Tables made and removed in an open database, as the Jet engine does it: the definition, its
// usage maps and empty index trees, the catalogue row and the access-control rows a new table
// gets; copies as SELECT * INTO makes them; drops that give every page back to the free-page map.
//
// Each call is one statement: inside the open transaction (under a savepoint) or in a
// transaction of its own. A failure changes nothing. The catalogue is read again afterwards.
#include "jet/database.h"
#include "jet/status.h"
#include "jet/table_def_writer.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

// One statement of design work: `op` under a savepoint of the open transaction, or in a
// transaction of its own; the queued index changes applied first, everything undone on failure,
// the catalogue read again whatever the outcome.
Status schemaStatement(Database &db, const std::function<Status()> &op);

Status createTable(Database &db, const TableSpec &tableSpec);
// A new table with the source's columns (names, types, sizes, order) and none of its keys,
// indexes, autonumbers or required flags; every row in the source's order.
Status copyTable(Database &db, std::string_view source, const std::string &target);
// The same with only the rows `keep` accepts (every row where it is empty); `copied` gets how
// many rows the new table holds. A failure of `keep` fails the copy.
using RowFilter = std::function<Result<bool>(const std::vector<Value> &)>;
Status copyTable(Database &db, std::string_view source, const std::string &target,
                 const RowFilter &keep, uint32_t *copied = nullptr);
// Refused for system tables and for tables in a relationship with enforced integrity.
Status dropTable(Database &db, std::string_view name);
// A new index over the rows the table holds (a duplicate refuses a unique index).
Status createIndex(Database &db, std::string_view table, const IndexSpec &index);

} // namespace jet
