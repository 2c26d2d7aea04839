// vaskdb export: a table as CSV (the canonical form unless options say otherwise) or JSON.
#include "command.h"
#include "jet/csv_export.h"

#include <cstdio>

namespace vaskdb {

int runExport(const Args &args) {
  const Command &cmd = *findCommand("export");
  auto o = parseOptions(cmd, args,
                        {{"delimiter", 'd', true},
                         {"no-header", 'H', false},
                         {"quote", 'q', true},
                         {"no-quote", 'Q', false},
                         {"date-format", 'D', true},
                         {"format", 0, true}},
                        2, 2);
  if (!o)
    return kUsage;
  jet::ExportOptions options;
  const std::string format = o->get("format", "csv");
  if (format == "json")
    options.format = jet::ExportFormat::Json;
  else if (format != "csv")
    return usageError(cmd, "formato sconosciuto: \"" + format + "\" (csv o json).");
  options.delimiter = o->get("delimiter", options.delimiter);
  if (options.delimiter.empty())
    return usageError(cmd, "il separatore non può essere vuoto.");
  options.quote = o->has("no-quote") ? "" : o->get("quote", options.quote);
  options.header = !o->has("no-header");
  options.dateFormat = o->get("date-format", "");
  if (jet::Status st = jet::checkDateFormat(options.dateFormat); !st)
    return usageError(cmd, st.message());

  auto db = openReadOnly(o->positional[0]);
  if (!db)
    return fail(db.status());
  jet::ReadScope read(**db); // one committed state throughout, whoever writes meanwhile
  if (!read.status())
    return fail(read.status());
  jet::Status st = jet::exportTable(**db, o->positional[1], stdout, options);
  if (std::fflush(stdout) != 0 && st)
    st = jet::Status(jet::ErrorCode::IoError,
                     "Impossibile scrivere il risultato dell'esportazione.");
  if (!st)
    return fail(st);
  return kOk;
}

} // namespace vaskdb
