#include "command.h"

#include <cstdio>

namespace vaskdb {

int fail(const std::string &message) {
  std::fprintf(stderr, "vaskdb: %s\n", message.c_str());
  return kError;
}

int fail(const jet::Status &status) {
  return fail(status.message());
}

int usageError(const Command &cmd, const std::string &message) {
  fail(message + " Uso: vaskdb " + cmd.name + " " + cmd.usage);
  return kUsage;
}

bool checkArgs(const Command &cmd, const Args &args, size_t min, size_t max) {
  if (args.size() >= min && args.size() <= max)
    return true;
  usageError(cmd, "argomenti errati.");
  return false;
}

std::optional<Options> parseOptions(const Command &cmd, const Args &args,
                                    const std::vector<OptionSpec> &specs, size_t min, size_t max) {
  Options o;
  bool optionsEnd = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &a = args[i];
    if (optionsEnd || a.size() < 2 || a[0] != '-') {
      o.positional.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnd = true;
      continue;
    }
    const OptionSpec *spec = nullptr;
    std::optional<std::string> inlineValue;
    if (a[1] == '-') {
      std::string name = a.substr(2);
      size_t eq = name.find('=');
      if (eq != std::string::npos) {
        inlineValue = name.substr(eq + 1);
        name.resize(eq);
      }
      for (const auto &s : specs)
        if (name == s.name)
          spec = &s;
    } else if (a.size() == 2) {
      for (const auto &s : specs)
        if (s.letter != 0 && a[1] == s.letter)
          spec = &s;
    }
    if (!spec) {
      usageError(cmd, "opzione sconosciuta: \"" + a + "\".");
      return std::nullopt;
    }
    std::string value;
    if (spec->takesValue) {
      if (inlineValue) {
        value = *inlineValue;
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        usageError(cmd, "manca il valore dell'opzione " + a + ".");
        return std::nullopt;
      }
    } else if (inlineValue) {
      usageError(cmd, "l'opzione --" + std::string(spec->name) + " non vuole un valore.");
      return std::nullopt;
    }
    o.given[spec->name] = value;
  }
  if (!checkArgs(cmd, o.positional, min, max))
    return std::nullopt;
  return o;
}

jet::Result<std::unique_ptr<jet::Database>> openReadOnly(const std::string &path) {
  return jet::Database::open(path, jet::OpenMode::ReadOnly);
}

} // namespace vaskdb
