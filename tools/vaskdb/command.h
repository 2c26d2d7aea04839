#pragma once
// vaskdb subcommands: each lives in its own file and is listed in main.cpp's table.
#include "jet/database.h"
#include "jet/status.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vaskdb {

using Args = std::vector<std::string>; // the arguments after the subcommand's name

struct Command {
  const char *name;
  const char *usage;   // arguments, e.g. "FILE TABLE"
  const char *summary; // one line for --help
  int (*run)(const Args &args);
};

// Exit statuses: done, failed (the message on standard error), wrong usage.
constexpr int kOk = 0;
constexpr int kError = 1;
constexpr int kUsage = 2;

// Prints the message on standard error and returns kError.
int fail(const std::string &message);
int fail(const jet::Status &status);
// Prints the message and the command's usage line on standard error and returns kUsage.
int usageError(const Command &cmd, const std::string &message);
// Checks the argument count; prints the usage line otherwise.
bool checkArgs(const Command &cmd, const Args &args, size_t min, size_t max);

// An option of a command: "--name VALUE", "--name=VALUE" or "-l VALUE"; flags take no value.
struct OptionSpec {
  const char *name;
  char letter; // 0: no short form
  bool takesValue;
};

struct Options {
  Args positional;
  std::map<std::string, std::string> given; // by long name; a flag maps to ""
  bool has(const std::string &name) const { return given.count(name) != 0; }
  std::string get(const std::string &name, const std::string &otherwise) const {
    auto it = given.find(name);
    return it == given.end() ? otherwise : it->second;
  }
};

// Splits the options from the other arguments and checks their count; prints the usage line
// and returns nothing on an unknown option, a missing value or a wrong count.
std::optional<Options> parseOptions(const Command &cmd, const Args &args,
                                    const std::vector<OptionSpec> &specs, size_t min, size_t max);
const Command *findCommand(const std::string &name);
jet::Result<std::unique_ptr<jet::Database>> openReadOnly(const std::string &path);

int runTables(const Args &args);
int runSchema(const Args &args);
int runExport(const Args &args);
int runSql(const Args &args);
int runCheck(const Args &args);
int runCreate(const Args &args);
int runDemo(const Args &args);
int runReplace(const Args &args);
int runCount(const Args &args);
int runImport(const Args &args);

} // namespace vaskdb
