// Times a DELETE with a two-condition WHERE, an UPDATE of one column with a condition and the
// working copy's SELECT * INTO (whole and filtered), run as SQL text through a connection,
// against mdb-export reading the same table in the same run:
//
//   bench_sql_writes [FILE TABLE]
//
// Without arguments it builds the demo database with 100,000 rows of BUONI (primary key and four
// more indexes) by running `vaskdb demo`. Each statement is one transaction of its own, as the
// program's bulk commands run them; each runs on a fresh copy of the file.
#include "data/connection.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double since(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

int failed(const std::string &what) {
  std::fprintf(stderr, "bench_sql_writes: %s\n", what.c_str());
  return 1;
}

struct Timed {
  double seconds = 0;
  int64_t rows = 0;
  std::string error;
};

Timed run(const fs::path &file, const std::string &statement) {
  Timed t;
  data::Connection c;
  c.ConnectionString = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file.string();
  if (auto st = c.Open(); !st) {
    t.error = st.message();
    return t;
  }
  auto t0 = Clock::now();
  auto st = c.Execute(statement, &t.rows);
  t.seconds = since(t0);
  if (!st)
    t.error = st.message();
  return t;
}

} // namespace

int main(int argc, char **argv) {
  fs::path dir = fs::temp_directory_path() / ("bench_sql_writes_" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::path source = dir / "demo.mdb";
  std::string table = "BUONI";
  if (argc == 3) {
    fs::copy_file(argv[1], source);
    table = argv[2];
  } else {
    fs::path vaskdb = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "vaskdb";
    std::string cmd =
        "'" + vaskdb.string() + "' demo '" + source.string() + "' --rows 100000 > /dev/null";
    if (std::system(cmd.c_str()) != 0)
      return failed("vaskdb demo non riuscito (" + vaskdb.string() + ")");
  }
  fs::permissions(source, fs::perms::owner_write, fs::perm_options::add);

  std::string read = "mdb-export '" + source.string() + "' '" + table + "' > /dev/null";
  double reading = 1e9;
  for (int k = 0; k < 3; ++k) {
    auto t0 = Clock::now();
    if (std::system(read.c_str()) != 0)
      return failed("mdb-export non riuscito");
    reading = std::min(reading, since(t0));
  }

  struct Case {
    const char *name;
    std::string sql;
  } cases[] = {
      {"DELETE, two conditions",
       "DELETE * FROM [" + table + "] WHERE [Litri] > 40 AND [Fatturato] = False"},
      {"SELECT * INTO, copy", "SELECT * INTO [TemporaneaVask] FROM [" + table + "]"},
      {"SELECT * INTO, WHERE",
       "SELECT * INTO [TemporaneaVask] FROM [" + table + "] WHERE [Litri] > 25"},
      {"UPDATE one column",
       "UPDATE [" + table + "] SET [Importo] = [Importo] + 1 WHERE [Litri] > 25"},
  };
  std::printf("table %s, mdb-export reading %.3f s\n", table.c_str(), reading);
  for (const auto &c : cases) {
    fs::path copy = dir / "copy.mdb";
    fs::copy_file(source, copy, fs::copy_options::overwrite_existing);
    Timed t = run(copy, c.sql);
    if (!t.error.empty())
      return failed(std::string(c.name) + ": " + t.error);
    std::printf("%-24s %8.3f s  %7lld rows  (%.2f x reading)\n", c.name, t.seconds,
                static_cast<long long>(t.rows), t.seconds / reading);
  }
  fs::remove_all(dir);
  return 0;
}
