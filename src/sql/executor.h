#pragma once
// Runs Jet SQL statements on a Database. A statement either does all it says or nothing: on any
// failure its own changes are undone (see storage.h), and the Status names what is at fault.
#include "jet/status.h"
#include "sql/ast.h"
#include "sql/storage.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sql {

struct ResultSet {
  std::string table;              // the table read, as stored
  std::vector<ColumnDef> columns; // output columns; name is the output name
  std::vector<int> sourceColumns; // per output column: its index in the table, -1 if computed
  std::vector<Row> rows;
  std::vector<RowId> rowIds; // per row: the table row it came from
};

struct ExecResult {
  bool hasRows = false;      // a SELECT without INTO: rows holds the result
  int64_t rowsAffected = -1; // rows inserted, changed, deleted or copied; -1 for a query
  ResultSet rows;
};

struct ExecOptions {
  // Date() and Now(); the local time of the system when empty.
  std::function<jet::DateTime()> clock;
};

jet::Result<ExecResult> execute(Database &db, std::string_view sql, const ExecOptions &opts = {});
jet::Result<ExecResult> execute(Database &db, const Statement &st, const ExecOptions &opts = {});

// True for every statement but a plain SELECT: what a read-only connection must refuse.
bool writes(const Statement &st);

// Null where the Jet engine accepts the name for a table, field or index; otherwise the Italian
// message that refuses it (at most 64 characters, no . ! ` [ ], no leading blank or control
// character).
std::optional<jet::Status> checkName(std::string_view name);

// The local time of the system as an Access date.
jet::DateTime localNow();

} // namespace sql
