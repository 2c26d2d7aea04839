#include "data/ado_types.h"

namespace data {

AdoType adoTypeFor(jet::ColumnType type, int size, bool fixedLength) {
  using jet::ColumnType;
  switch (type) {
  case ColumnType::Boolean:
    return {ado::Boolean, 2};
  case ColumnType::Byte:
    return {ado::UnsignedTinyInt, 1};
  case ColumnType::Integer:
    return {ado::SmallInt, 2};
  case ColumnType::Long:
    return {ado::Integer, 4};
  case ColumnType::Currency:
    return {ado::Currency, 8};
  case ColumnType::Single:
    return {ado::Single, 4};
  case ColumnType::Double:
    return {ado::Double, 8};
  case ColumnType::DateTime:
    return {ado::Date, 8};
  case ColumnType::Text:
    return {fixedLength ? ado::WChar : ado::VarWChar, size / 2};
  case ColumnType::Memo:
    return {ado::LongVarWChar, 536870910};
  case ColumnType::Binary:
    return {fixedLength ? ado::Binary : ado::VarBinary, size};
  case ColumnType::Ole:
    return {ado::LongVarBinary, 1073741823};
  case ColumnType::Guid:
    return {ado::Guid, 16};
  case ColumnType::Numeric:
    return {ado::Numeric, 19};
  }
  return {0, 0};
}

} // namespace data
