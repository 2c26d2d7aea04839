#include "command.h"

#include <cstdio>

namespace vaskdb {

int runTables(const Args &args) {
  if (!checkArgs(*findCommand("tables"), args, 1, 1))
    return kUsage;
  auto db = openReadOnly(args[0]);
  if (!db)
    return fail(db.status());
  for (const auto &name : (*db)->userTableNames())
    std::printf("%s\n", name.c_str());
  return 0;
}

} // namespace vaskdb
