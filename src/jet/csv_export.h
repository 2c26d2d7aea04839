#pragma once
// The canonical CSV form of a table: UTF-8, LF line ends, a header of quoted column names,
// then one line per row in physical order.
#include "jet/database.h"
#include "jet/status.h"
#include "jet/table_def.h"
#include "jet/value.h"
#include "jet/value_text.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace jet {

// Appends one field: text quoted with inner quotes doubled, Null empty, numbers plain
// (currency with 4 decimals, decimals at their scale), dates "YYYY-MM-DD HH:MM:SS", GUIDs
// "{...}" upper case, binary "0x" and lower-case hex.
void appendCsvField(std::string &out, const Value &v);
std::string formatDecimal(const Decimal &d);
std::string formatCurrency(Currency c);

// Writes the whole table to out; nothing is written past the first error.
Status exportCsv(Database &db, std::string_view table, std::FILE *out);
// The same into a string (tests, small tables).
Result<std::string> exportCsv(Database &db, std::string_view table);

} // namespace jet
