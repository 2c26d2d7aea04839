#include "print/recordset_source.h"

namespace print {

ReportField RecordsetSource::field(int index) const {
  const data::Field &f = rs_.fields()[static_cast<size_t>(index)];
  return {f.name, f.type, f.definedSize};
}

jet::Status RecordsetSource::moveFirst() {
  rs_.MoveFirst();
  return {};
}

jet::Status RecordsetSource::moveNext() {
  rs_.MoveNext();
  return {};
}

jet::Status RecordsetSource::setPosition(Position p) {
  if (p >= 1)
    return rs_.setAbsolutePosition(static_cast<long>(p));
  if (p == data::kPosEOF) {
    rs_.MoveLast();
    rs_.MoveNext();
  } else if (p == data::kPosBOF) {
    rs_.MoveFirst();
    rs_.MovePrevious();
  } else {
    rs_.MoveFirst();
  }
  return {};
}

} // namespace print
