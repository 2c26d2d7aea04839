#pragma once
// The Jet 4 row format:
//   column count (2) | fixed-length area | variable-length data | end offset (2) |
//   variable offsets, last first (2 each) | variable count (2) | null mask
// The null mask has one bit per column number (set: not null; for yes/no: the value).
#include "jet/bytes.h"
#include "jet/long_value.h"
#include "jet/status.h"
#include "jet/table_def.h"
#include "jet/value.h"

#include <cstdint>
#include <vector>

namespace jet {

// Where each part of one stored row lies; built once per row, then read column by column.
class RowLayout {
public:
  // `varColumns`: the table's count of variable-length columns (0: the row has no offsets).
  static Result<RowLayout> parse(ByteView row, uint16_t varColumns, uint32_t page);

  ByteView row() const { return row_; }
  uint16_t columnCount() const { return columnCount_; }
  uint16_t varCount() const { return varCount_; }
  // Not null (for yes/no: true). Columns added after the row was written are null.
  bool isSet(uint16_t columnNumber) const;
  // The bytes of a column, or an empty optional where the row does not store it.
  Result<ByteView> fixedField(uint16_t offset, size_t size, uint32_t page) const;
  // Present only when varIndex < varCount(); callers check that first.
  Result<ByteView> varField(uint16_t varIndex, uint32_t page) const;

private:
  ByteView row_;
  uint16_t columnCount_ = 0;
  size_t maskStart_ = 0;
  uint16_t varCount_ = 0;
  size_t fixedEnd_ = 0; // fixed-length data lies in [2, fixedEnd_)
  size_t varEnd_ = 0;   // variable-length data ends before this
};

// Turns stored rows into values of the table's columns.
class RowDecoder {
public:
  RowDecoder(Pager &pager, const TableDef &def) : def_(def), longValues_(pager) {}

  const TableDef &table() const { return def_; }
  Result<Value> column(const RowLayout &row, const ColumnDef &col, uint32_t page);
  Status columnInto(const RowLayout &row, const ColumnDef &col, uint32_t page, Value &out);
  // Every column, in table order.
  Status row(const RowLayout &row, uint32_t page, std::vector<Value> &out);

private:
  const TableDef &def_;
  LongValueReader longValues_;
};

// Decodes the bytes of a column of the given type (fixed-size types need their full size).
Result<Value> decodeScalar(const ColumnDef &col, ByteView bytes, uint32_t page);
Status decodeScalarInto(const ColumnDef &col, ByteView bytes, uint32_t page, Value &out);

} // namespace jet
