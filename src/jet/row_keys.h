#pragma once
// Keys of rows: the values of some of a row's columns, compared as an index compares them, and
// the lookups of rows by key that referential integrity, the replace of a table's rows and the
// creation of relationships share.
#include "jet/pager.h"
#include "jet/status.h"
#include "jet/table_cursor.h"
#include "jet/table_def.h"
#include "jet/value.h"

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace jet {

// The row's values of the given columns (positions in the table), in that order.
std::vector<Value> keyOf(std::span<const Value> row, std::span<const size_t> columns);
bool anyNull(std::span<const Value> key);
// Texts equal ignoring case, as the index finds them; numbers of different widths by value
// (a Long pointing at an Integer key).
bool sameKeyValue(const Value &a, const Value &b);
bool sameKey(std::span<const Value> a, std::span<const Value> b);
// "IDCliente = 7, Data = ..." for messages.
std::string describeKey(const TableDef &def, std::span<const size_t> columns,
                        std::span<const Value> key);

// The primary key's physical index and its columns (positions in the table), or nullptr.
const PhysicalIndex *primaryKeyOf(const TableDef &def, std::vector<size_t> *columns = nullptr);

// Rows of `table` whose columns equal `key` (in the given column order): through the index
// whose leading columns are those columns where `useIndexes` and the table has one, by scan
// otherwise. At most `limit` rows where it is not 0.
struct KeyedRow {
  RowLocation at;
  std::vector<Value> values;
};
Result<std::vector<KeyedRow>> rowsWithKey(Pager &pager, std::shared_ptr<const TableDef> table,
                                          std::span<const size_t> columns,
                                          std::span<const Value> key, bool useIndexes,
                                          size_t limit = 0);

// Every row of `child` whose key (all its columns not Null) has no row in `parent`: `visit`
// gets the key and returns false to stop.
Status rowsWithoutParent(Pager &pager, std::shared_ptr<const TableDef> child,
                         std::span<const size_t> childColumns,
                         std::shared_ptr<const TableDef> parent,
                         std::span<const size_t> parentColumns, bool useIndexes,
                         const std::function<bool(std::span<const Value>)> &visit);

} // namespace jet
