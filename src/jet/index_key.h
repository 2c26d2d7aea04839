#pragma once
// The key bytes of Jet 4 index entries, built from column values.
//
// An entry's key is the concatenation, in index column order, of one part per column: a flag
// byte (0x7F ascending, 0x80 descending; 0x00 or 0xFF alone for a Null) followed by the value's
// bytes, arranged so that comparing whole keys byte by byte sorts the rows as the index orders
// them. Descending columns carry their bytes inverted.
#include "jet/sort_order.h"
#include "jet/status.h"
#include "jet/value.h"

#include <cstdint>
#include <span>

namespace jet {

// Access allows at most ten columns in one index.
constexpr size_t kMaxIndexColumns = 10;

// What the encoder needs to know of one column of an index.
struct IndexKeyColumn {
  ColumnType type = ColumnType::Long;
  bool ascending = true;
  uint8_t scale = 0;                         // decimal columns: the column's scale
  uint16_t sortOrder = kGeneralSortOrder;    // text and memo columns: collating order
  uint8_t sortVersion = kGeneralSortVersion; // and its version
};

// True for the column types a Jet 4 index can hold (every type but OLE Object).
bool isIndexableType(ColumnType type);

// Appends one column's part of a key (flag byte and value bytes) to out.
//
// The value must be Null or of the column's kind: bool for yes/no; an integer alternative in the
// column's range for byte, integer and long; Currency; float for single; double (or float) for
// double; DateTime; UTF-8 text for text and memo; Bytes for binary; Guid for replication IDs,
// its bytes in the order a row stores them (the first three groups little-endian); Decimal for
// decimal columns, rescaled to the column's scale without loss. A yes/no value has no Null and
// counts as No. On error out is left as it was.
Status appendIndexKeyColumn(const IndexKeyColumn &column, const Value &value, Bytes &out);

// The whole key of an entry: one value per index column, in index column order.
Result<Bytes> encodeIndexKey(std::span<const IndexKeyColumn> columns,
                             std::span<const Value> values);

// An index that ignores nulls leaves out the rows whose indexed columns are all Null.
bool indexLeavesOutRow(bool ignoresNulls, std::span<const Value> values);

// A unique index (or primary key) takes any number of rows whose indexed columns are all Null;
// any other two rows with byte-equal keys break it. Text keys ignore case and trailing blanks,
// so "Rossi" and "ROSSI " are the same key, as the Jet engine holds.
bool uniqueIndexAllowsRepeat(std::span<const Value> values);

} // namespace jet
