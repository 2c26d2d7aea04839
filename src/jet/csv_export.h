#pragma once
// The canonical CSV form of a table: UTF-8, LF line ends, a header of quoted column names,
// then one line per row in physical order. The export also writes the forms that users of
// other tools ask for: another delimiter or quote, no header, dates in a format of their own,
// and JSON (one object per row).
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

enum class ExportFormat { Csv, Json };

struct ExportOptions {
  ExportFormat format = ExportFormat::Csv;
  std::string delimiter = ",";
  std::string quote = "\""; // empty: texts and names written bare
  bool header = true;
  // strftime's %Y %y %m %d %H %M %S %%; empty: "%Y-%m-%d %H:%M:%S".
  std::string dateFormat;
};

// The date format's conversions are the ones above; any other is refused with a message.
Status checkDateFormat(std::string_view format);

// Writes the whole table to out; nothing is written past the first error.
Status exportTable(Database &db, std::string_view table, std::FILE *out,
                   const ExportOptions &options = {});
// The canonical CSV form.
Status exportCsv(Database &db, std::string_view table, std::FILE *out);
// The same into a string (tests, small tables).
Result<std::string> exportCsv(Database &db, std::string_view table,
                              const ExportOptions &options = {});

} // namespace jet
