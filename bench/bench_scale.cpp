// The engine at the format's scale, each step its own vaskdb process, against mdb-export
// reading BUONI of the same file in the same run:
//
//   VASK_BENCH_ROWS=100000,1000000,max bench_scale      (the default; "max" is the largest
//                                                        demo database that fits in 2 GB)
//   VASK_BENCH_ROWS=100000 bench_scale                  (a quick run)
//
// For each size: the demo database built (`vaskdb demo --rows N`), checked (`vaskdb check`),
// read by mdb-export, and, where the file has room, 800,000 rows inserted in one statement and
// the file checked again. Every file it writes is checked by both readers: `vaskdb check` says
// ok and mdb-export reads every row. Prints each figure against its goal and how it grew from
// the size before; the files are deleted at the end.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kTwoGb = 2147483648.0;
constexpr double kMemoryGoalMb = 512;
constexpr double kCheckGoalSeconds = 15; // for a 2 GB file
constexpr long kInsertRows = 800000;

struct Run {
  bool ok = false;
  double wall = 0, cpu = 0, peakMb = 0;
  std::string out; // standard output
};

double seconds(const timeval &t) {
  return t.tv_sec + t.tv_usec / 1e6;
}

// Runs a program, its standard output kept (up to a few lines) or thrown away.
Run run(const std::vector<std::string> &args, bool keepOutput = true) {
  Run r;
  fs::path out = fs::temp_directory_path() / ("bench_scale_out_" + std::to_string(getpid()));
  std::vector<char *> argv;
  for (const auto &a : args)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, keepOutput ? out.c_str() : "/dev/null",
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid;
  auto t0 = Clock::now();
  int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0)
    return r;
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  r.wall = std::chrono::duration<double>(Clock::now() - t0).count();
  r.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  r.peakMb = usage.ru_maxrss / 1024.0;
  r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (keepOutput) {
    if (std::FILE *f = std::fopen(out.c_str(), "r")) {
      char buf[4096];
      size_t n = std::fread(buf, 1, sizeof buf, f);
      r.out.assign(buf, n);
      std::fclose(f);
    }
    fs::remove(out);
  }
  return r;
}

// Rows mdb-export reads from a table, or -1.
long mdbRows(const fs::path &file, const char *table) {
  std::string cmd = "mdb-export '" + file.string() + "' " + table + " 2>/dev/null | wc -l";
  long lines = -1;
  if (std::FILE *p = popen(cmd.c_str(), "r")) {
    if (std::fscanf(p, "%ld", &lines) != 1)
      lines = -1;
    pclose(p);
  }
  return lines > 0 ? lines - 1 : -1;
}

struct Figures {
  long rows = 0;
  double sizeMb = 0;
  Run build, check, peer, insert, checkAfter;
  bool inserted = false;
};

std::string growth(double now, double before) {
  if (before <= 0)
    return "";
  char s[48];
  std::snprintf(s, sizeof s, "  (x%.1f)", now / before);
  return s;
}

const char *verdict(bool met) {
  return met ? "ok" : "NON RAGGIUNTO";
}

void report(const Figures &f, const Figures *prev) {
  double twoGbShare = f.sizeMb * 1048576.0 / kTwoGb;
  double checkGoal = kCheckGoalSeconds * twoGbShare;
  std::printf("\n== BUONI %ld rows, file %.0f MB (%.0f%% of 2 GB)%s ==\n", f.rows, f.sizeMb,
              100 * twoGbShare, prev ? growth(f.rows, prev->rows).c_str() : "");
  std::printf("mdb-export BUONI (peer): %8.2f s wall %8.2f s CPU%s\n", f.peer.wall, f.peer.cpu,
              prev ? growth(f.peer.cpu, prev->peer.cpu).c_str() : "");
  std::printf("build   %8.2f s wall %8.2f s CPU  %6.0f MB peak  %5.2fx mdb-export CPU  "
              "memory goal %.0f MB: %s%s\n",
              f.build.wall, f.build.cpu, f.build.peakMb, f.build.cpu / f.peer.cpu, kMemoryGoalMb,
              verdict(f.build.peakMb <= kMemoryGoalMb),
              prev ? growth(f.build.cpu, prev->build.cpu).c_str() : "");
  std::printf("check   %8.2f s wall %8.2f s CPU  %6.0f MB peak  %5.2fx mdb-export CPU  "
              "goal %.1f s (15 s at 2 GB), %.0f MB: %s%s\n",
              f.check.wall, f.check.cpu, f.check.peakMb, f.check.cpu / f.peer.cpu, checkGoal,
              kMemoryGoalMb, verdict(f.check.cpu <= checkGoal && f.check.peakMb <= kMemoryGoalMb),
              prev ? growth(f.check.cpu, prev->check.cpu).c_str() : "");
  if (f.inserted)
    std::printf("insert  %8.2f s wall %8.2f s CPU  %6.0f MB peak  %5.2fx mdb-export CPU  "
                "%ld rows in one statement, memory goal %.0f MB: %s%s\n",
                f.insert.wall, f.insert.cpu, f.insert.peakMb, f.insert.cpu / f.peer.cpu,
                kInsertRows, kMemoryGoalMb, verdict(f.insert.peakMb <= kMemoryGoalMb),
                prev && prev->inserted ? growth(f.insert.cpu, prev->insert.cpu).c_str() : "");
  else
    std::printf("insert  not run: %ld more rows need more room than the file has below 2 GB, "
                "or more rows than BUONI holds\n",
                kInsertRows);
}

} // namespace

int main(int, char **argv) {
  fs::path self = fs::canonical(fs::path(argv[0]));
  std::string vaskdb = (self.parent_path().parent_path() / "vaskdb").string();
  if (!fs::exists(vaskdb)) {
    std::fprintf(stderr, "bench_scale: %s not found\n", vaskdb.c_str());
    return 1;
  }
  if (!run({"mdb-export", "--version"}, false).ok) {
    std::fprintf(stderr, "bench_scale: mdb-export not available (install mdbtools)\n");
    return 1;
  }
  const char *env = std::getenv("VASK_BENCH_ROWS");
  std::string list = env && *env ? env : "100000,1000000,max";
  fs::path dir = fs::temp_directory_path() / ("bench_scale_" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::vector<Figures> all;
  bool agree = true;
  size_t pos = 0;
  while (pos <= list.size()) {
    size_t end = list.find(',', pos);
    std::string item = list.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? list.size() + 1 : end + 1;
    Figures f;
    fs::path file = dir / "scale.mdb";
    if (item == "max") {
      if (all.empty()) {
        std::fprintf(stderr, "bench_scale: \"max\" needs a size before it to scale from\n");
        return 1;
      }
      // The rows that fill 2 GB as the size before grew, a little less each time it overshoots.
      const Figures &last = all.back();
      f.rows = static_cast<long>(last.rows * (kTwoGb * 0.985) / (last.sizeMb * 1048576.0));
    } else {
      f.rows = std::atol(item.c_str());
    }
    if (f.rows <= 0) {
      std::fprintf(stderr, "bench_scale: bad size \"%s\"\n", item.c_str());
      return 1;
    }
    for (int attempt = 0;; ++attempt) {
      fs::remove(file);
      f.build = run({vaskdb, "demo", file.string(), "--rows", std::to_string(f.rows)});
      if (f.build.ok || item != "max" || attempt == 4)
        break;
      f.rows = static_cast<long>(f.rows * 0.97);
    }
    if (!f.build.ok) {
      std::fprintf(stderr, "bench_scale: vaskdb demo --rows %ld failed\n", f.rows);
      return 1;
    }
    f.sizeMb = fs::file_size(file) / 1048576.0;
    f.check = run({vaskdb, "check", file.string()});
    f.peer = run({"mdb-export", file.string(), "BUONI"}, false);
    long read = mdbRows(file, "BUONI");
    bool fileOk = f.check.ok && f.check.out == "ok\n" && f.peer.ok && read == f.rows;
    // Room for the new rows: BUONI takes about half of the demo file.
    double perRow = f.sizeMb * 1048576.0 / f.rows / 2;
    if (f.rows >= kInsertRows && f.sizeMb * 1048576.0 + 1.3 * kInsertRows * perRow < kTwoGb) {
      f.inserted = true;
      f.insert = run({vaskdb, "sql", file.string(),
                      "INSERT INTO BUONI (Numero, Data, IDCliente, Targa, Prodotto, Litri, Prezzo, "
                      "Importo, Fatturato) SELECT Numero + 100000000, Data, IDCliente, Targa, "
                      "Prodotto, Litri, Prezzo, Importo, Fatturato FROM BUONI WHERE ID <= " +
                          std::to_string(kInsertRows)});
      f.checkAfter = run({vaskdb, "check", file.string()});
      long after = mdbRows(file, "BUONI");
      fileOk = fileOk && f.insert.ok && f.checkAfter.ok && f.checkAfter.out == "ok\n" &&
               after == f.rows + kInsertRows;
    }
    if (!fileOk) {
      agree = false;
      std::printf("\nBUONI %ld rows: vaskdb check and mdb-export do NOT agree (check: %s; "
                  "mdb-export rows %ld)\n",
                  f.rows, f.check.out.c_str(), read);
    }
    all.push_back(f);
    report(all.back(), all.size() > 1 ? &all[all.size() - 2] : nullptr);
    std::fflush(stdout);
    fs::remove(file);
  }
  fs::remove_all(dir);
  std::printf("\nvaskdb check and mdb-export %s on every file written.\n",
              agree ? "agree" : "DISAGREE");
  return agree ? 0 : 1;
}
