#pragma once
// Reads a table's rows in physical order (pages as the usage map lists them, rows in page
// order), one at a time: the memory it takes does not grow with the table.
#include "jet/data_page.h"
#include "jet/pager.h"
#include "jet/row_codec.h"
#include "jet/status.h"
#include "jet/table_def.h"
#include "jet/usage_map.h"
#include "jet/value.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace jet {

// Where a row lives, as index entries point at it: the page and slot of its header, even
// when its data has overflowed to another page.
struct RowLocation {
  uint32_t page = 0;
  uint16_t row = 0;
  bool operator==(const RowLocation &) const = default;
};

class TableCursor {
public:
  static Result<TableCursor> open(Pager &pager, std::shared_ptr<const TableDef> def);

  const TableDef &table() const { return *def_; }

  // Moves to the next live row; false after the last one.
  Result<bool> next();
  // Starts again before the first row.
  void rewind();

  RowLocation location() const { return location_; }
  // The page that holds the current row's data (differs from location() for an overflow row).
  uint32_t dataPage() const { return dataPage_; }
  const RowLayout &layout() const { return layout_; }

  // Values of the current row.
  Status read(std::vector<Value> &out);
  Result<Value> value(size_t columnIndex);

private:
  TableCursor(Pager &pager, std::shared_ptr<const TableDef> def, UsageMap map);
  Status fail(Status s) const;
  Result<bool> loadPage(uint32_t number); // false when the page is not this table's
  Result<bool> enterRow(uint16_t row);    // false for a deleted row
  Result<bool> parseLayout(ByteView bytes);

  Pager *pager_;
  std::shared_ptr<const TableDef> def_;
  UsageMap map_;
  std::unique_ptr<RowDecoder> decoder_;
  std::optional<DataPage> page_;
  uint32_t nextPageFrom_ = 0;
  uint32_t nextRow_ = 0;
  bool done_ = false;
  RowLocation location_;
  uint32_t dataPage_ = 0;
  PageRef dataHold_; // keeps an overflow row's bytes alive
  RowLayout layout_;
};

} // namespace jet
