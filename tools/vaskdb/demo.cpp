// vaskdb demo: a database shaped like the suite's, with realistic Italian data.
#include "command.h"
#include "demo_data.h"

#include <cstdio>
#include <cstdlib>

namespace vaskdb {

int runDemo(const Args &args) {
  const Command &cmd = *findCommand("demo");
  if (!checkArgs(cmd, args, 1, 3))
    return kUsage;
  uint32_t rows = 3000;
  std::string path;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--rows") {
      if (i + 1 >= args.size())
        return fail("Manca il numero dopo --rows.");
      char *end = nullptr;
      long n = std::strtol(args[i + 1].c_str(), &end, 10);
      if (*end != '\0' || n < 1 || n > 5000000)
        return fail("Numero di righe non valido: \"" + args[i + 1] + "\" (da 1 a 5000000).");
      rows = static_cast<uint32_t>(n);
      ++i;
    } else if (path.empty()) {
      path = args[i];
    } else {
      return fail(std::string("Argomento inatteso: \"") + args[i] + "\". Uso: vaskdb demo " +
                  cmd.usage);
    }
  }
  if (path.empty())
    return fail(std::string("Manca il file. Uso: vaskdb demo ") + cmd.usage);
  jet::Status st = buildDemoDatabase(path, rows);
  if (!st)
    return fail(st);
  std::printf("creato %s\n", path.c_str());
  return 0;
}

} // namespace vaskdb
