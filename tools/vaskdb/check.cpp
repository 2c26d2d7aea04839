// vaskdb check: the integrity check of a database file.
#include "command.h"
#include "jet/integrity_check.h"

#include <cstdio>

namespace vaskdb {

int runCheck(const Args &args) {
  if (!checkArgs(*findCommand("check"), args, 1, 1))
    return kUsage;
  auto db = openReadOnly(args[0]);
  if (!db)
    return fail(db.status());
  jet::ReadScope read(**db); // one committed state throughout, whoever writes meanwhile
  if (!read.status())
    return fail(read.status());
  // The indexes are checked by the database's index maintainer (IndexMaintainer::checkTable),
  // the B-tree maintainer unless another is installed.
  std::vector<std::string> findings;
  jet::Status st = jet::checkDatabase(**db, findings);
  for (const auto &f : findings)
    std::printf("%s\n", f.c_str());
  if (!st)
    return fail(st);
  if (!findings.empty())
    return 1;
  std::printf("ok\n");
  return 0;
}

} // namespace vaskdb
