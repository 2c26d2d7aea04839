#pragma once
// The integrity check behind `vaskdb check`: the file within the format's 2 GB; every user
// table's and the engine's system tables' rows readable (user tables' counted true), usage maps
// agreeing with their pages, long-value chains sound and as long as their descriptors declare,
// data pages' free space true, the free-page map holding no page in use. The indexes are
// checked by the database's index maintainer (IndexMaintainer::checkTable).
#include "jet/database.h"
#include "jet/status.h"

#include <string>
#include <vector>

namespace jet {

// Appends one Italian line per finding; fails only where the check itself cannot go on.
Status checkDatabase(Database &db, std::vector<std::string> &findings);
// One table (its pages found by scanning the whole file).
Status checkTable(Database &db, std::string_view table, std::vector<std::string> &findings);

} // namespace jet
