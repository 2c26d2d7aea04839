// Times copying a table of 100,000 rows and 10 columns into a new table (SELECT * INTO, committed)
// with our engine against mdbtools' mdb-export merely reading that table, in the same run, and
// prints the ratio (under 0.5 is the goal).
//
//   bench_copy_table [ROWS]
#include "jet/database_builder.h"
#include "jet/table_ops.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;
namespace fs = std::filesystem;
using namespace jet;
using Clock = std::chrono::steady_clock;

namespace {

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

double seconds(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

} // namespace

int main(int argc, char **argv) {
  int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
  fs::path dir = fs::temp_directory_path() / ("vask_bench_copy_" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::string path = (dir / "copia.mdb").string();
  {
    DatabaseBuilder b(toDateTime({2005, 1, 1, 0, 0, 0}));
    TableSpec t{"Movimenti",
                {{"ID", ColumnType::Long},
                 {"Data", ColumnType::DateTime},
                 {"Cliente", ColumnType::Text, 40},
                 {"Causale", ColumnType::Text, 60},
                 {"Quantita", ColumnType::Integer},
                 {"Litri", ColumnType::Single},
                 {"Prezzo", ColumnType::Double},
                 {"Importo", ColumnType::Currency},
                 {"Pagato", ColumnType::Boolean},
                 {"Note", ColumnType::Memo}}};
    std::vector<std::vector<Value>> data;
    data.reserve(rows);
    for (int i = 0; i < rows; ++i)
      data.push_back({Value(int32_t(i + 1)), Value(DateTime{38353.0 + i % 365 + 0.25}),
                      Value("Cliente n. " + std::to_string(i % 997)),
                      Value(i % 3 ? "Rifornimento di gasolio" : "Vendita al banco dell'officina"),
                      Value(int16_t(i % 100)), Value(float(i % 50) + 0.5f), Value(1.379 + i % 7),
                      Value(Currency{int64_t(i) * 137}), Value(i % 2 == 0),
                      i % 10 ? Value() : Value("Nota breve")});
    if (!b.addTable(t, data) || !b.writeNewFile(path)) {
      std::fprintf(stderr, "cannot build the test database\n");
      return 1;
    }
  }
  // mdb-export reading the table, best of three.
  double peer = 1e9;
  for (int k = 0; k < 3; ++k) {
    auto t0 = Clock::now();
    if (!runQuiet({"mdb-export", path, "Movimenti"})) {
      std::fprintf(stderr, "mdb-export not available\n");
      return 1;
    }
    peer = std::min(peer, seconds(t0));
  }
  // Our copy and commit, best of three (each into a fresh name, dropped afterwards).
  double ours = 1e9;
  for (int k = 0; k < 3; ++k) {
    auto db = Database::open(path, OpenMode::ReadWrite);
    if (!db) {
      std::fprintf(stderr, "%s\n", db.status().message().c_str());
      return 1;
    }
    auto t0 = Clock::now();
    Status st = copyTable(**db, "Movimenti", "TemporaneaVask");
    double t = seconds(t0);
    if (!st) {
      std::fprintf(stderr, "%s\n", st.message().c_str());
      return 1;
    }
    ours = std::min(ours, t);
    if (!dropTable(**db, "TemporaneaVask")) {
      std::fprintf(stderr, "drop failed\n");
      return 1;
    }
  }
  std::printf("copy of %d rows x 10 columns and commit: %.3f s; mdb-export reading it: %.3f s; "
              "ratio %.2f\n",
              rows, ours, peer, ours / peer);
  fs::remove_all(dir);
  return 0;
}
