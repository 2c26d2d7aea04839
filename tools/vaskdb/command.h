#pragma once
// vaskdb subcommands: each lives in its own file and is listed in main.cpp's table.
#include "jet/database.h"
#include "jet/status.h"

#include <memory>
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

// Prints the message on standard error and returns the exit status 1.
int fail(const std::string &message);
int fail(const jet::Status &status);
// Checks the argument count; prints the usage line otherwise.
bool checkArgs(const Command &cmd, const Args &args, size_t min, size_t max);
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

} // namespace vaskdb
