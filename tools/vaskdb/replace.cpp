// vaskdb replace: brings a table to the rows of another, changing only the rows that differ.
#include "command.h"
#include "jet/replace_rows.h"

#include <cstdio>

namespace vaskdb {

int runReplace(const Args &args) {
  if (!checkArgs(*findCommand("replace"), args, 3, 3))
    return kUsage;
  auto db = jet::Database::open(args[0], jet::OpenMode::ReadWrite);
  if (!db)
    return fail(db.status());
  auto counts = jet::replaceRows(**db, args[1], args[2]);
  if (!counts)
    return fail(counts.status());
  std::printf("aggiornate %zu, eliminate %zu, inserite %zu\n", counts->updated, counts->deleted,
              counts->inserted);
  return 0;
}

} // namespace vaskdb
