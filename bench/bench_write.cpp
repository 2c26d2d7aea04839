// Times the engine's row writes on a table of 100,000 rows against mdb-export reading the same
// table in the same run:
//
//   bench_write [FILE TABLE]
//
// Without arguments it works on a copy of the suite-shaped fixture's BUONI (primary key and
// three more indexes; their trees are not maintained by the row writer alone). Steps, each one
// transaction: insert 100,000 rows, update one column of every row, delete every row; after the
// insert mdb-export reads the table. Prints each time and its ratio to the reading time, wall
// clock and CPU (the CPU figures hold better on a loaded machine).
#include "jet/database.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double since(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

double cpuNow() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

double childrenCpu() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
         u.ru_stime.tv_usec / 1e6;
}

int failed(const jet::Status &st) {
  std::fprintf(stderr, "bench_write: %s\n", st.message().c_str());
  return 1;
}

} // namespace

int main(int argc, char **argv) {
  fs::path source = fs::path(VASK_SOURCE_DIR) / ".." / "shared/fixtures/suite/zelbo.mdb";
  std::string table = "BUONI";
  if (argc == 3) {
    source = argv[1];
    table = argv[2];
  }
  fs::path dir = fs::temp_directory_path() / ("bench_write_" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::path file = dir / "bench.mdb";
  fs::copy_file(source, file, fs::copy_options::overwrite_existing);
  fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);

  auto opened = jet::Database::open(file.string(), jet::OpenMode::ReadWrite);
  if (!opened)
    return failed(opened.status());
  jet::Database &db = **opened;
  auto def = db.table(table);
  if (!def)
    return failed(def.status());
  std::vector<jet::Value> sample;
  {
    auto c = db.cursor(table);
    if (!c || !*c->next() || !c->read(sample))
      return failed(jet::Status(jet::ErrorCode::Internal, "tabella vuota"));
  }
  // The sample row with its autonumber left to the engine.
  for (size_t i = 0; i < (*def)->columns.size(); ++i)
    if ((*def)->columns[i].isAutoNumber())
      sample[i] = jet::Value();

  const int kRows = 100000;
  auto t0 = Clock::now();
  double c0 = cpuNow();
  if (auto st = db.begin(); !st)
    return failed(st);
  for (int i = 0; i < kRows; ++i) {
    auto v = sample;
    auto r = db.insertRow(table, v);
    if (!r)
      return failed(r.status());
  }
  if (auto st = db.commit(); !st)
    return failed(st);
  double insert = since(t0), insertCpu = cpuNow() - c0;

  std::string cmd = "mdb-export '" + file.string() + "' '" + table + "' > /dev/null";
  double read = 1e9, readCpu = 1e9;
  for (int k = 0; k < 3; ++k) {
    auto r0 = Clock::now();
    double u0 = childrenCpu();
    if (std::system(cmd.c_str()) != 0)
      return failed(jet::Status(jet::ErrorCode::Internal, "mdb-export non riuscito"));
    read = std::min(read, since(r0));
    readCpu = std::min(readCpu, childrenCpu() - u0);
  }

  // One column of every row: the first fixed-length numeric column that is not the counter.
  size_t col = 0;
  for (size_t i = 0; i < (*def)->columns.size(); ++i) {
    const auto &c = (*def)->columns[i];
    if (!c.isAutoNumber() && c.isFixed() && c.type != jet::ColumnType::Boolean) {
      col = i;
      break;
    }
  }
  std::vector<jet::RowLocation> rows;
  {
    auto c = db.cursor(table);
    while (*c->next())
      rows.push_back(c->location());
  }
  t0 = Clock::now();
  c0 = cpuNow();
  if (auto st = db.begin(); !st)
    return failed(st);
  for (auto at : rows) {
    auto v = db.readRow(table, at);
    if (!v)
      return failed(v.status());
    if ((*v)[col].isNull())
      (*v)[col] = jet::Value(int32_t(1));
    else if (auto n = (*v)[col].getIf<int32_t>())
      (*v)[col] = jet::Value(int32_t(*n + 1));
    else if (auto d = (*v)[col].getIf<float>())
      (*v)[col] = jet::Value(*d + 1);
    else if (auto d = (*v)[col].getIf<double>())
      (*v)[col] = jet::Value(*d + 1);
    if (auto st = db.updateRow(table, at, *v); !st)
      return failed(st);
  }
  if (auto st = db.commit(); !st)
    return failed(st);
  double update = since(t0), updateCpu = cpuNow() - c0;

  t0 = Clock::now();
  c0 = cpuNow();
  if (auto st = db.begin(); !st)
    return failed(st);
  for (auto at : rows)
    if (auto st = db.deleteRow(table, at); !st)
      return failed(st);
  if (auto st = db.commit(); !st)
    return failed(st);
  double remove = since(t0), removeCpu = cpuNow() - c0;

  std::printf("table %s: %zu rows                 wall               cpu\n", table.c_str(),
              rows.size());
  std::printf("mdb-export reading      %8.3f s           %8.3f s\n", read, readCpu);
  std::printf("insert %d rows      %8.3f s  (%.2f x)  %8.3f s  (%.2f x)\n", kRows, insert,
              insert / read, insertCpu, insertCpu / readCpu);
  std::printf("update column %-10s%8.3f s  (%.2f x)  %8.3f s  (%.2f x)\n",
              (*def)->columns[col].name.c_str(), update, update / read, updateCpu,
              updateCpu / readCpu);
  std::printf("delete every row        %8.3f s  (%.2f x)  %8.3f s  (%.2f x)\n", remove,
              remove / read, removeCpu, removeCpu / readCpu);
  opened->reset();
  fs::remove_all(dir);
  return 0;
}
