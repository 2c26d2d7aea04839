#pragma once
// The tables of a database as CREATE TABLE statements that SQLite and PostgreSQL both accept.
#include "jet/database.h"
#include "jet/status.h"

#include <string>
#include <vector>

namespace vaskdb {

// Tables are written parents first, so that every foreign key names a table already made;
// a foreign key to a table outside `tables` is left out.
jet::Result<std::string> sqlSchema(jet::Database &db, const std::vector<std::string> &tables);

} // namespace vaskdb
