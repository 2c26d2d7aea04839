#pragma once
// How a column presents itself to users and to the access layer: its Access type name and
// the ADO type number and defined size the Jet OLE DB provider reports for it.
#include "jet/table_def.h"

#include <cstdint>
#include <string>

namespace jet {

// Access's Italian name of a type ("Testo", "Intero lungo", ...), and of a column's type, which
// also tells an autonumber and a hyperlink apart.
const char *typeName(ColumnType type);
std::string columnTypeName(const ColumnDef &col);
int adoType(const ColumnDef &col);
int64_t adoDefinedSize(const ColumnDef &col);

} // namespace jet
