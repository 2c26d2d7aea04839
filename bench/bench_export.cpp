// Times exporting a table to CSV with our engine and with mdbtools' mdb-export on the same
// file in the same run, and prints the ratio.
//
//   bench_export [FILE TABLE]
//
// Without arguments it takes the largest table (rows x columns) among the fixture databases.
#include "jet/csv_export.h"
#include "jet/database.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// Median seconds of repeated runs, at least 5 and for at least half a second.
double timeIt(const std::function<bool()> &run) {
  std::vector<double> times;
  auto start = Clock::now();
  while (times.size() < 5 ||
         (Clock::now() - start < std::chrono::milliseconds(500) && times.size() < 1000)) {
    auto t0 = Clock::now();
    if (!run())
      return -1;
    times.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// Runs a program with standard output to /dev/null; true on exit status 0.
bool runQuiet(const std::vector<std::string> &args) {
  std::vector<char *> argv;
  for (const auto &a : args)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0)
    return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct Pick {
  std::string file, table;
  uint64_t rows = 0, columns = 0;
};

Pick largestFixtureTable(const fs::path &fixtures) {
  Pick best;
  std::error_code ec;
  for (const auto &e : fs::recursive_directory_iterator(fixtures, ec)) {
    if (e.path().extension() != ".mdb")
      continue;
    auto db = jet::Database::open(e.path().string());
    if (!db)
      continue;
    for (const auto &name : (*db)->userTableNames()) {
      auto def = (*db)->table(name);
      if (!def)
        continue;
      uint64_t rows = (*def)->rowCount, cols = (*def)->columns.size();
      if (rows * cols > best.rows * best.columns)
        best = {e.path().string(), name, rows, cols};
    }
  }
  return best;
}

} // namespace

int main(int argc, char **argv) {
  fs::path self = fs::absolute(argv[0]).parent_path();
  std::string vaskdb = (self.parent_path() / "vaskdb").string();
  Pick pick;
  if (argc == 3) {
    pick.file = argv[1];
    pick.table = argv[2];
  } else {
    fs::path fixtures = fs::path(VASK_SOURCE_DIR).parent_path() / "shared" / "fixtures";
    pick = largestFixtureTable(fixtures);
    if (pick.file.empty()) {
      std::fprintf(stderr, "bench_export: no fixture databases under %s; pass FILE TABLE\n",
                   fixtures.c_str());
      return 1;
    }
    std::printf("No large database given: using the largest fixture table. The target size\n"
                "(100,000 rows x 10 columns) needs a file built by the write path.\n");
  }
  {
    auto db = jet::Database::open(pick.file);
    if (!db) {
      std::fprintf(stderr, "bench_export: %s\n", db.status().message().c_str());
      return 1;
    }
    auto def = (*db)->table(pick.table);
    if (!def) {
      std::fprintf(stderr, "bench_export: %s\n", def.status().message().c_str());
      return 1;
    }
    pick.rows = (*def)->rowCount;
    pick.columns = (*def)->columns.size();
  }
  std::printf("table: %s in %s (%llu rows, %llu columns)\n", pick.table.c_str(), pick.file.c_str(),
              static_cast<unsigned long long>(pick.rows),
              static_cast<unsigned long long>(pick.columns));

  std::FILE *devnull = std::fopen("/dev/null", "w");
  double engine = timeIt([&] {
    auto db = jet::Database::open(pick.file);
    return db && jet::exportCsv(**db, pick.table, devnull).isOk();
  });
  std::fclose(devnull);
  double tool = timeIt([&] { return runQuiet({vaskdb, "export", pick.file, pick.table}); });
  double mdb = timeIt([&] { return runQuiet({"mdb-export", pick.file, pick.table}); });

  std::printf("engine, in process (open + export): %10.3f ms\n", engine * 1e3);
  std::printf("vaskdb export, own process:         %10.3f ms\n", tool * 1e3);
  if (mdb < 0) {
    std::printf("mdb-export: not available (install mdbtools)\n");
    return 0;
  }
  std::printf("mdb-export, own process:            %10.3f ms\n", mdb * 1e3);
  if (engine > 0)
    std::printf("ratio mdb-export / engine:  %.1fx\n", mdb / engine);
  if (tool > 0)
    std::printf("ratio mdb-export / vaskdb:  %.1fx\n", mdb / tool);
  return 0;
}
