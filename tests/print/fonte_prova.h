#pragma once
// Rows held in memory, standing for the grid's recordset.
#include "print/report_source.h"

#include <vector>

namespace printtest {

class FonteProva : public print::ReportSource {
public:
  std::vector<print::ReportField> fields;
  std::vector<std::vector<jet::Value>> rows;
  int64_t current = 0;
  int failAtRow = -1; // reading this row fails
  int walks = 0;

  int fieldCount() const override { return static_cast<int>(fields.size()); }
  print::ReportField field(int i) const override { return fields[static_cast<size_t>(i)]; }
  jet::Status moveFirst() override {
    ++walks;
    current = 0;
    return jet::Status::ok();
  }
  jet::Status moveNext() override {
    ++current;
    return jet::Status::ok();
  }
  bool atEnd() const override { return current >= static_cast<int64_t>(rows.size()); }
  jet::Result<jet::Value> value(int i) const override {
    if (current == failAtRow)
      return jet::Status(jet::ErrorCode::IoError, "Errore di lettura del disco.");
    return rows[static_cast<size_t>(current)][static_cast<size_t>(i)];
  }
  Position position() const override { return current; }
  jet::Status setPosition(Position p) override {
    current = p;
    return jet::Status::ok();
  }
};

} // namespace printtest
