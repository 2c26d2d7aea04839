#pragma once
// Rows written as the Jet engine writes them: the row format of row_codec.h, data pages whose
// free space and row table stay exact, the table's usage maps, overflow rows, long values
// inline or on long-value pages, the definition's row count and autonumber counter.
//
// Every call is one statement's work and expects the caller's savepoint around it: a failure
// part way leaves pages changed that the savepoint puts back. Constraint failures (a Null where
// the column refuses it, a text too long, a number out of range) are found before anything is
// written.
#include "jet/index_maintenance.h"
#include "jet/page_allocator.h"
#include "jet/pager.h"
#include "jet/status.h"
#include "jet/table_cursor.h"
#include "jet/table_def.h"
#include "jet/value.h"

#include <memory>
#include <vector>

namespace jet {

// The row table of data and long-value pages.
namespace rowpage {
constexpr size_t kHeaderSize = 14;
constexpr uint16_t kMaxRows = 255;
constexpr uint16_t kDeleted = 0xC000;   // a deleted row, as the Jet engine flags it
constexpr uint16_t kMovedData = 0x8000; // the data of an overflow row: scans skip it
constexpr uint16_t kPointer = 0x4000;   // the row holds the page and row of its data

uint16_t rowCount(const uint8_t *page);
uint16_t slotWord(const uint8_t *page, uint16_t row);
// Bounds of a row; false where they are out of place.
bool bounds(const uint8_t *page, uint16_t row, uint16_t &start, uint16_t &end);
// Contiguous free bytes between the row table and the rows.
size_t gap(const uint8_t *page);
bool fits(const uint8_t *page, size_t length);
// A fresh page: `owner` is the table definition page, or 0 for a long-value page.
void init(uint8_t *page, uint32_t owner);
// Adds a row (a new slot); -1 when it does not fit.
int append(uint8_t *page, ByteView row, uint16_t flags);
// Lays the page out again with the row's bytes replaced; deleted rows give their space back and
// pointer rows keep only their pointer. False, with the page untouched, when it does not fit.
bool replace(uint8_t *page, uint16_t row, ByteView bytes, uint16_t flags);
void remove(uint8_t *page, uint16_t row);
// Rows that are neither deleted nor empty.
uint16_t liveRows(const uint8_t *page);
} // namespace rowpage

// Largest row the writer puts on a page.
constexpr size_t kMaxRowSize = 4060;
// Long values up to this size go in the row when it has room.
constexpr size_t kMaxInlineLongValue = 64;
// Largest long value on one long-value page; longer ones are chained.
constexpr size_t kMaxSingleLongValue = 4076;
// Bytes of a long value in each part of a chain.
constexpr size_t kChainPartData = 4072;

class TableWriter {
public:
  TableWriter(WriteContext ctx, std::shared_ptr<const TableDef> def, IndexMaintainer &indexes);

  const TableDef &table() const { return *def_; }

  // values: one per column, in table order. Where supplied[i] is false (or supplied is empty and
  // the value Null for an autonumber) the engine gives the next counter value, a new GUID for an
  // automatic GUID column, or Null. On return values hold what was stored.
  Result<RowLocation> insert(std::vector<Value> &values, const std::vector<bool> &supplied = {});
  Status update(RowLocation at, std::vector<Value> &values);
  Status remove(RowLocation at);
  Result<std::vector<Value>> read(RowLocation at);

  // Checks and converts values to the columns' types, as insert and update do.
  Status coerce(std::vector<Value> &values) const;

private:
  struct Located {
    RowLocation header;
    bool overflow = false;
    RowPointer data; // where the data lies (the header itself when not overflowing)
    Bytes bytes;     // a copy of the data row
  };
  Result<Located> locate(RowLocation at);
  Result<std::vector<Value>> decode(const Located &row);
  Result<Bytes> encode(const std::vector<Value> &values, std::vector<Bytes> &longFields);
  Status prepareLongValues(const std::vector<Value> &values, std::vector<Bytes> &fields,
                           const std::vector<bool> &keep);
  Result<Bytes> writeLongValue(const ColumnDef &col, ByteView data);
  Status freeLongValue(const ColumnDef &col, ByteView field);
  Result<RowPointer> placeLongValueRow(const ColumnDef &col, ByteView row, bool shared);
  Status removeLongValueRow(const ColumnDef &col, RowPointer at);
  Result<RowLocation> placeRow(ByteView bytes, uint16_t flags);
  Status noteFreeSpace(uint32_t page);
  Status removeDataRow(RowPointer at);
  Status updateCounters(int rowDelta, uint32_t autoNumber);
  Status checkOwnPage(uint32_t page, const uint8_t *img) const;

  WriteContext ctx_;
  std::shared_ptr<const TableDef> def_;
  IndexMaintainer &indexes_;
};

} // namespace jet
