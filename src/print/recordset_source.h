#pragma once
// The grid's recordset seen as the rows of a report.
#include "data/recordset.h"
#include "print/report_source.h"

namespace print {

class RecordsetSource : public ReportSource {
public:
  explicit RecordsetSource(data::Recordset &rs) : rs_(rs) {}

  int fieldCount() const override { return rs_.fieldCount(); }
  ReportField field(int index) const override;
  jet::Status moveFirst() override;
  jet::Status moveNext() override;
  bool atEnd() const override { return rs_.isEOF(); }
  jet::Result<jet::Value> value(int index) const override { return rs_.value(index); }
  // The recordset's AbsolutePosition, with its markers for before the first and past the last.
  Position position() const override { return rs_.AbsolutePosition(); }
  jet::Status setPosition(Position p) override;

private:
  data::Recordset &rs_;
};

} // namespace print
