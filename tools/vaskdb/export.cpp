#include "command.h"
#include "jet/csv_export.h"

#include <cstdio>

namespace vaskdb {

int runExport(const Args &args) {
  if (!checkArgs(*findCommand("export"), args, 2, 2))
    return 1;
  auto db = openReadOnly(args[0]);
  if (!db)
    return fail(db.status());
  jet::ReadScope read(**db); // one committed state throughout, whoever writes meanwhile
  if (!read.status())
    return fail(read.status());
  jet::Status st = jet::exportCsv(**db, args[1], stdout);
  if (std::fflush(stdout) != 0 && st)
    st = jet::Status(jet::ErrorCode::IoError,
                     "Impossibile scrivere il risultato dell'esportazione.");
  if (!st)
    return fail(st);
  return 0;
}

} // namespace vaskdb
