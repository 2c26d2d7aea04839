#pragma once
// A whole Jet 4 database laid out page by page and written as it goes: the header page, the
// database's free-page map, the system tables with their rows and indexes (as the Jet engine
// creates them for an empty Access 2000 database), and any number of user tables with rows,
// long values, usage maps and index trees. Used for new databases and for the demo database,
// where writing row by row through the transaction would be needlessly slow.
#include "jet/status.h"
#include "jet/table_def_writer.h"
#include "jet/value.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace jet {

// Checks and converts a value to the column's type (integers between integer types, numbers
// to floating columns, text sizes), as a write would; Italian message on refusal.
Status coerceValue(const ColumnDef &column, Value &value);
// The fixed and variable bytes of a row, long values taken from `longFields` (one per column,
// empty where the column is not a memo or OLE column or the value is Null).
Bytes encodeRow(const TableDef &def, const std::vector<Value> &values,
                const std::vector<Bytes> &longFields);

// The rows of a table, one at a time in table column order (the sink may change them). The
// builder goes over them once for the pages and once for each index, so a source gives the same
// rows each time; a table of any size is built without holding its rows.
using RowSink = std::function<Status(std::vector<Value> &row)>;
using RowSource = std::function<Status(const RowSink &sink)>;
RowSource rowsOf(std::vector<std::vector<Value>> rows);

class BuildLayout;

class DatabaseBuilder {
public:
  // `created`: the database's creation time, stamped on its header and system objects.
  explicit DatabaseBuilder(DateTime created);

  // Rows in table column order; autonumber columns left Null get the next counter value.
  Status addTable(const TableSpec &tableSpec, std::vector<std::vector<Value>> rows);
  Status addTable(const TableSpec &tableSpec, RowSource rows);

  // The file's bytes.
  Result<Bytes> build();
  // Writes a new file (refused where one exists), its pages streamed to disk; nothing is left
  // behind on failure.
  Status writeNewFile(const std::string &path);

private:
  struct Table {
    TableSpec tableSpec;
    PlannedTable plan;
    RowSource rows;
  };
  Status layOut(BuildLayout &layout);
  DateTime created_;
  std::vector<Table> tables_;
};

// The system tables' SIDs (Access writes short, database-specific ones).
namespace sids {
inline const Bytes kEngine{0x65, 0x89};
inline const Bytes kAdmin{0x64, 0x8b};
inline const Bytes kAdmins{0x65, 0x8b};
inline const Bytes kUsers{0x65, 0x8e};
} // namespace sids

// The full access a new table grants each SID the "Tables" container lists.
constexpr int32_t kFullAccess = 1048575;

// An empty Access 2000 database at `path` (refused where a file exists).
Status createDatabase(const std::string &path);

} // namespace jet
