#include "command.h"

#include <cstdio>

namespace vaskdb {

int fail(const std::string &message) {
  std::fprintf(stderr, "vaskdb: %s\n", message.c_str());
  return 1;
}

int fail(const jet::Status &status) {
  return fail(status.message());
}

bool checkArgs(const Command &cmd, const Args &args, size_t min, size_t max) {
  if (args.size() >= min && args.size() <= max)
    return true;
  fail(std::string("argomenti errati. Uso: vaskdb ") + cmd.name + " " + cmd.usage);
  return false;
}

jet::Result<std::unique_ptr<jet::Database>> openReadOnly(const std::string &path) {
  return jet::Database::open(path, jet::OpenMode::ReadOnly);
}

} // namespace vaskdb
