// vaskdb create: a new, empty Access 2000-2003 database.
#include "command.h"
#include "jet/database_builder.h"

#include <cstdio>

namespace vaskdb {

int runCreate(const Args &args) {
  if (!checkArgs(*findCommand("create"), args, 1, 1))
    return kUsage;
  jet::Status st = jet::createDatabase(args[0]);
  if (!st)
    return fail(st);
  std::printf("creato %s\n", args[0].c_str());
  return 0;
}

} // namespace vaskdb
