#pragma once
// What the report writer needs of the grid's recordset. The grid's own recordset is adapted to
// this by the table layer; tests and the benchmark give rows of their own.
#include "jet/status.h"
#include "jet/value.h"

#include <cstdint>
#include <string>

namespace print {

struct ReportField {
  std::string name;        // UTF-8, as the recordset spells it
  int adoType = 0;         // ADO type number (3 integer, 7 date, 202 text, ...)
  int64_t definedSize = 0; // DefinedSize as the recordset reports it
};

// The rows are walked in the grid's order, the filtered ones only when a filter is active.
// Walking moves the grid's own cursor, so the writer saves the position first and puts it back.
class ReportSource {
public:
  // An opaque place in the rows: whatever the source needs to come back to the same row.
  using Position = int64_t;

  virtual ~ReportSource() = default;

  virtual int fieldCount() const = 0;
  virtual ReportField field(int index) const = 0;

  virtual jet::Status moveFirst() = 0; // on an empty source this leaves atEnd() true
  virtual jet::Status moveNext() = 0;
  virtual bool atEnd() const = 0;
  // The current row's value of one field.
  virtual jet::Result<jet::Value> value(int index) const = 0;

  virtual Position position() const = 0;
  virtual jet::Status setPosition(Position p) = 0;
};

} // namespace print
