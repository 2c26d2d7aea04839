// vaskdb count: the rows of a table, counted by reading them (not from the stored count).
#include "command.h"

#include <cstdio>

namespace vaskdb {

int runCount(const Args &args) {
  if (!checkArgs(*findCommand("count"), args, 2, 2))
    return kUsage;
  auto db = openReadOnly(args[0]);
  if (!db)
    return fail(db.status());
  jet::ReadScope read(**db); // one committed state throughout, whoever writes meanwhile
  if (!read.status())
    return fail(read.status());
  auto cursor = (*db)->cursor(args[1]);
  if (!cursor)
    return fail(cursor.status());
  unsigned long long rows = 0;
  for (;;) {
    auto more = cursor->next();
    if (!more)
      return fail(more.status());
    if (!*more)
      break;
    ++rows;
  }
  std::printf("%llu\n", rows);
  return kOk;
}

} // namespace vaskdb
