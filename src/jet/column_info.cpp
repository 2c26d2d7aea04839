#include "jet/column_info.h"

namespace jet {

const char *typeName(ColumnType type) {
  switch (type) {
  case ColumnType::Boolean:
    return "Sì/No";
  case ColumnType::Byte:
    return "Byte";
  case ColumnType::Integer:
    return "Intero";
  case ColumnType::Long:
    return "Intero lungo";
  case ColumnType::Currency:
    return "Valuta";
  case ColumnType::Single:
    return "Precisione singola";
  case ColumnType::Double:
    return "Precisione doppia";
  case ColumnType::DateTime:
    return "Data/ora";
  case ColumnType::Binary:
    return "Binario";
  case ColumnType::Text:
    return "Testo";
  case ColumnType::Ole:
    return "Oggetto OLE";
  case ColumnType::Memo:
    return "Memo";
  case ColumnType::Guid:
    return "ID replica";
  case ColumnType::Numeric:
    return "Decimale";
  }
  return "Sconosciuto";
}

std::string columnTypeName(const ColumnDef &col) {
  if (col.type == ColumnType::Long && col.isAutoNumber())
    return "Contatore";
  if (col.type == ColumnType::Memo && col.isHyperlink())
    return "Collegamento ipertestuale";
  return typeName(col.type);
}

int adoType(const ColumnDef &col) {
  switch (col.type) {
  case ColumnType::Boolean:
    return 11;
  case ColumnType::Byte:
    return 17;
  case ColumnType::Integer:
    return 2;
  case ColumnType::Long:
    return 3;
  case ColumnType::Currency:
    return 6;
  case ColumnType::Single:
    return 4;
  case ColumnType::Double:
    return 5;
  case ColumnType::DateTime:
    return 7;
  case ColumnType::Text:
    return col.isFixed() ? 130 : 202;
  case ColumnType::Memo:
    return 203;
  case ColumnType::Binary:
    return col.isFixed() ? 128 : 204;
  case ColumnType::Ole:
    return 205;
  case ColumnType::Guid:
    return 72;
  case ColumnType::Numeric:
    return 131;
  }
  return 0;
}

int64_t adoDefinedSize(const ColumnDef &col) {
  switch (col.type) {
  case ColumnType::Boolean:
    return 2;
  case ColumnType::Byte:
    return 1;
  case ColumnType::Integer:
    return 2;
  case ColumnType::Long:
  case ColumnType::Single:
    return 4;
  case ColumnType::Currency:
  case ColumnType::Double:
  case ColumnType::DateTime:
    return 8;
  case ColumnType::Text:
    return col.length / 2; // stored as UCS-2
  case ColumnType::Memo:
    return 536870910;
  case ColumnType::Binary:
    return col.length;
  case ColumnType::Ole:
    return 1073741823;
  case ColumnType::Guid:
    return 16;
  case ColumnType::Numeric:
    return 19;
  }
  return 0;
}

} // namespace jet
