#pragma once
// Brings a table to the rows of another (a working copy) in one transaction, touching only what
// differs: rows are matched by the target's primary key, or by their whole values where it has
// none; changed rows are updated, rows the source lacks are deleted, new rows inserted. Every
// rule of the target holds on the way (keys, required values, sizes, relationships and their
// cascades); on the first failure nothing changes and the message names the row.
#include "jet/database.h"
#include "jet/status.h"

#include <string>
#include <string_view>
#include <vector>

namespace jet {

struct ReplaceCounts {
  size_t updated = 0;
  size_t deleted = 0;
  size_t inserted = 0;
  size_t unchanged = 0;
};

// The source rows: values under the given column names (a subset of the target's, in any
// order). Target columns the source lacks keep their values on update and take their default
// (autonumber, Null) on insert.
struct SourceRows {
  std::vector<std::string> columns;
  std::vector<std::vector<Value>> rows;
};

Result<ReplaceCounts> replaceRows(Database &db, std::string_view target, SourceRows source);
// From another table of the same database.
Result<ReplaceCounts> replaceRows(Database &db, std::string_view target, std::string_view source);

} // namespace jet
