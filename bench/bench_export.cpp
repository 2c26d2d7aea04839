// Times exporting a table to CSV with our engine and with mdbtools' mdb-export on the same
// file in the same run, and prints the ratio.
//
//   bench_export [FILE TABLE]
//
// The goal: vaskdb export, in its own process, at least 15 times as fast as mdb-export.
//
// Without arguments it takes the largest table (rows x columns) among the fixture databases
// and, until the write path can build a big file, makes a copy of that database in which the
// table's data pages are repeated until it holds at least 100,000 rows: the copies are added
// to the table's page usage map and its row count, so both readers scan them as the table's
// pages. Indexes are not extended (neither reader uses them for an export).
#include "jet/csv_export.h"
#include "jet/database.h"
#include "jet/usage_map.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

extern char **environ;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

struct Timing {
  double wall = -1; // median seconds
  double cpu = -1;  // median CPU seconds (user + system) of the reader alone
};

double seconds(const timeval &t) {
  return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6;
}

double processCpu() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

// Repeats a run at least 5 times and for at least half a second. `run` returns false on
// failure and may report the CPU time it used (a child's); otherwise our own is measured.
Timing timeIt(const std::function<bool(double *cpu)> &run) {
  std::vector<double> walls, cpus;
  auto start = Clock::now();
  while (walls.size() < 5 ||
         (Clock::now() - start < std::chrono::milliseconds(500) && walls.size() < 1000)) {
    double cpu = -1;
    double c0 = processCpu();
    auto t0 = Clock::now();
    if (!run(&cpu))
      return {};
    walls.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
    cpus.push_back(cpu >= 0 ? cpu : processCpu() - c0);
  }
  std::sort(walls.begin(), walls.end());
  std::sort(cpus.begin(), cpus.end());
  return {walls[walls.size() / 2], cpus[cpus.size() / 2]};
}

// Runs a program with standard output to /dev/null; true on exit status 0.
bool runQuiet(const std::vector<std::string> &args, double *cpu) {
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
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  *cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
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

// Writes a copy of `pick.file` to `out` with the table's data pages repeated `copies` times.
// Returns an empty string on success, or why it could not be done.
std::string enlarge(const Pick &pick, const fs::path &out, uint32_t copies) {
  auto db = jet::Database::open(pick.file);
  if (!db)
    return db.status().message();
  auto def = (*db)->table(pick.table);
  if (!def)
    return def.status().message();
  jet::Pager &pager = (*db)->pager();
  auto map = jet::UsageMap::load(pager, (*def)->usedPagesMap);
  if (!map || map->kind() != jet::UsageMap::kReference)
    return "the table's usage map is not a reference map";
  auto pages = map->pages(pager);
  if (!pages)
    return pages.status().message();
  std::vector<uint32_t> data;
  for (uint32_t p : *pages) {
    auto page = pager.page(p);
    if (page && (*page)->type() == 0x01 && jet::le32((*page)->data() + 4) == (*def)->page)
      data.push_back(p);
  }
  std::ifstream in(pick.file, std::ios::binary);
  std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t ps = jet::kPageSize;
  uint32_t next = static_cast<uint32_t>(file.size() / ps);
  file.resize(static_cast<size_t>(next) * ps);
  for (uint32_t c = 1; c < copies; ++c) {
    for (uint32_t p : data) {
      uint32_t slot = next / jet::UsageMap::kPagesPerMapPage;
      if (slot >= map->mapPages().size() || map->mapPages()[slot] == 0)
        return "the usage map has no bitmap page for page " + std::to_string(next);
      file.insert(file.end(), file.begin() + static_cast<long>(p * ps),
                  file.begin() + static_cast<long>((p + 1) * ps));
      size_t bitmap = static_cast<size_t>(map->mapPages()[slot]) * ps + 4;
      uint32_t bit = next % jet::UsageMap::kPagesPerMapPage;
      file[bitmap + bit / 8] = static_cast<char>(file[bitmap + bit / 8] | (1 << (bit % 8)));
      ++next;
    }
  }
  uint32_t rows = (*def)->rowCount * copies;
  std::memcpy(&file[static_cast<size_t>((*def)->page) * ps + 16], &rows, 4);
  std::ofstream o(out, std::ios::binary | std::ios::trunc);
  o.write(file.data(), static_cast<std::streamsize>(file.size()));
  return o ? "" : "cannot write " + out.string();
}

// Lines mdb-export writes for the table (header included), or -1.
long mdbExportLines(const Pick &pick) {
  std::string cmd = "mdb-export '" + pick.file + "' '" + pick.table + "' 2>/dev/null | wc -l";
  std::FILE *p = popen(cmd.c_str(), "r");
  if (!p)
    return -1;
  long n = -1;
  if (std::fscanf(p, "%ld", &n) != 1)
    n = -1;
  pclose(p);
  return n;
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
    // VASK_FIXTURES names another folder (a worktree has none beside it).
    const char *given = std::getenv("VASK_FIXTURES");
    fs::path fixtures = given && *given
                            ? fs::path(given)
                            : fs::path(VASK_SOURCE_DIR).parent_path() / "shared" / "fixtures";
    pick = largestFixtureTable(fixtures);
    if (pick.file.empty()) {
      std::fprintf(stderr, "bench_export: no fixture databases under %s; pass FILE TABLE\n",
                   fixtures.c_str());
      return 1;
    }
    std::printf("No database given: using the largest fixture table, %s (%llu rows), in %s.\n",
                pick.table.c_str(), static_cast<unsigned long long>(pick.rows), pick.file.c_str());
    uint32_t copies = static_cast<uint32_t>((100000 + pick.rows - 1) / pick.rows);
    fs::path big = fs::temp_directory_path() / "vask-bench-export.mdb";
    std::string why = enlarge(pick, big, copies);
    if (why.empty()) {
      std::printf("Its data pages repeated %u times in a copy of the file: %s\n", copies,
                  big.c_str());
      pick.file = big.string();
    } else {
      std::printf("Could not enlarge it (%s): timing the fixture as it is.\n", why.c_str());
    }
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

  // Both readers must see the same rows before their times mean anything.
  uint64_t ours = 0;
  {
    auto db = jet::Database::open(pick.file);
    auto cursor = (*db)->cursor(pick.table);
    if (!cursor) {
      std::fprintf(stderr, "bench_export: %s\n", cursor.status().message().c_str());
      return 1;
    }
    while (cursor->next().value())
      ++ours;
  }
  long theirs = mdbExportLines(pick);
  std::printf("rows read: engine %llu, mdb-export %ld\n", static_cast<unsigned long long>(ours),
              theirs > 0 ? theirs - 1 : theirs);

  std::FILE *devnull = std::fopen("/dev/null", "w");
  Timing engine = timeIt([&](double *) {
    auto db = jet::Database::open(pick.file);
    return db && jet::exportCsv(**db, pick.table, devnull).isOk();
  });
  std::fclose(devnull);
  Timing tool = timeIt([&](double *cpu) {
    return runQuiet({vaskdb, "export", pick.file, pick.table}, cpu);
  });
  Timing mdb = timeIt([&](double *cpu) {
    return runQuiet({"mdb-export", pick.file, pick.table}, cpu);
  });

  auto line = [](const char *what, const Timing &t) {
    std::printf("%-36s %10.1f ms wall %10.1f ms CPU\n", what, t.wall * 1e3, t.cpu * 1e3);
  };
  line("engine, in process (open + export):", engine);
  line("vaskdb export, own process:", tool);
  if (mdb.wall < 0) {
    std::printf("mdb-export: not available (install mdbtools)\n");
    return 0;
  }
  line("mdb-export, own process:", mdb);
  std::printf("ratio mdb-export / engine:  %5.1fx wall %5.1fx CPU\n", mdb.wall / engine.wall,
              mdb.cpu / engine.cpu);
  std::printf("ratio mdb-export / vaskdb:  %5.1fx wall %5.1fx CPU\n", mdb.wall / tool.wall,
              mdb.cpu / tool.cpu);
  const double goal = 15;
  std::printf("goal: vaskdb export at least %.0fx as fast as mdb-export: %s (%.1fx wall)\n", goal,
              mdb.wall / tool.wall >= goal ? "met" : "NOT met", mdb.wall / tool.wall);
  return 0;
}
