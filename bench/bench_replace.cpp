// Times replacing the rows of a 100,000-row table from a working copy in which 1% of the rows
// changed, against mdbtools' mdb-export reading the same table, in the same run.
//
//   bench_replace [ROWS]
//
// The table is MOVIMENTI of a copy of the suite-shaped fixture, grown to ROWS rows (100,000 by
// default) by the write path. Each round replaces from a copy with a different 1% changed:
// rows held in memory (as the grid's working copy hands them over), then a copy table in the
// same database changed by the write path (as "Salva" finds TemporaneaVask), and rows whose
// indexed IDProdotto changes too. The time spent in index maintenance is reported apart.
#include "jet/database.h"
#include "jet/index_btree_maintainer.h"
#include "jet/replace_rows.h"
#include "jet/table_ops.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// The B-tree maintainer with a stopwatch around each call. MOVIMENTI takes part in no enforced
// relationship, so the lookups that the maintainer's identity would enable are not missed.
class TimedIndexes : public jet::IndexMaintainer {
public:
  double seconds = 0;
  jet::Status rowInserted(jet::WriteContext &ctx, const jet::TableDef &table,
                          const jet::RowLocation &at, std::span<const jet::Value> values) override {
    return time([&] { return inner().rowInserted(ctx, table, at, values); });
  }
  jet::Status rowUpdated(jet::WriteContext &ctx, const jet::TableDef &table,
                         const jet::RowLocation &at, std::span<const jet::Value> oldValues,
                         std::span<const jet::Value> newValues) override {
    return time([&] { return inner().rowUpdated(ctx, table, at, oldValues, newValues); });
  }
  jet::Status rowDeleted(jet::WriteContext &ctx, const jet::TableDef &table,
                         const jet::RowLocation &at,
                         std::span<const jet::Value> oldValues) override {
    return time([&] { return inner().rowDeleted(ctx, table, at, oldValues); });
  }

private:
  static jet::IndexMaintainer &inner() { return jet::btreeIndexMaintenance(); }
  template <typename F> jet::Status time(F &&f) {
    auto t0 = Clock::now();
    jet::Status st = f();
    seconds += std::chrono::duration<double>(Clock::now() - t0).count();
    return st;
  }
};

int die(const std::string &what, const jet::Status &st) {
  std::fprintf(stderr, "bench_replace: %s: %s\n", what.c_str(), st.message().c_str());
  return 1;
}

} // namespace

int main(int argc, char **argv) {
  const size_t target = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
  fs::path fixture = fs::path(VASK_SOURCE_DIR).parent_path() / "shared/fixtures/suite/zelbo.mdb";
  if (!fs::exists(fixture)) {
    std::fprintf(stderr, "bench_replace: %s not found\n", fixture.c_str());
    return 1;
  }
  fs::path dir = fs::temp_directory_path() / ("bench_replace_" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::path file = dir / "zelbo.mdb";
  fs::copy_file(fixture, file, fs::copy_options::overwrite_existing);
  const std::string table = "MOVIMENTI";

  jet::SourceRows copy;
  {
    auto db = jet::Database::open(file.string(), jet::OpenMode::ReadWrite);
    if (!db)
      return die("apertura", db.status());
    auto def = (*db)->table(table);
    if (!def)
      return die(table, def.status());
    for (auto &c : (*def)->columns)
      copy.columns.push_back(c.name);
    std::vector<std::vector<jet::Value>> seed;
    auto cur = (*db)->cursor(table);
    std::vector<jet::Value> row;
    while (*cur->next()) {
      (void)cur->read(row);
      seed.push_back(row);
    }
    auto t0 = Clock::now();
    if (auto st = (*db)->begin(); !st)
      return die("begin", st);
    for (size_t i = seed.size(); i < target; ++i) {
      std::vector<jet::Value> v = seed[i % seed.size()];
      v[0] = jet::Value();
      auto r = (*db)->insertRow(table, v);
      if (!r)
        return die("inserimento", r.status());
    }
    if (auto st = (*db)->commit(); !st)
      return die("commit", st);
    std::printf("%s: %zu righe scritte in %.2f s\n", table.c_str(), target, seconds(t0));
    cur = (*db)->cursor(table);
    while (*cur->next()) {
      (void)cur->read(row);
      copy.rows.push_back(row);
    }
  }
  const size_t changed = std::max<size_t>(1, copy.rows.size() / 100);
  const size_t causale = 3;  // a text column
  const size_t prodotto = 2; // an indexed column, changed in the last two rounds
  double best = 1e9, bestIndexes = 0, bestKeyed = 1e9, bestKeyedIndexes = 0;
  for (int round = 0; round < 5; ++round) {
    const bool keyed = round >= 3;
    jet::SourceRows src = copy;
    for (size_t k = 0; k < changed; ++k) {
      auto &r = src.rows[(k * 97 + round * 13) % src.rows.size()];
      r[causale] = jet::Value("modificata " + std::to_string(round) + "/" + std::to_string(k));
      if (keyed && r[prodotto].is<int32_t>())
        r[prodotto] = jet::Value(int32_t(1 + r[prodotto].as<int32_t>() % 40));
    }
    auto db = jet::Database::open(file.string(), jet::OpenMode::ReadWrite);
    if (!db)
      return die("apertura", db.status());
    TimedIndexes indexes;
    (*db)->setIndexMaintainer(&indexes);
    jet::SourceRows arg = src;
    auto t0 = Clock::now();
    auto counts = jet::replaceRows(**db, table, std::move(arg));
    double t = seconds(t0);
    if (!counts)
      return die("sostituzione", counts.status());
    if (keyed && t < bestKeyed)
      bestKeyed = t, bestKeyedIndexes = indexes.seconds;
    else if (!keyed && t < best)
      best = t, bestIndexes = indexes.seconds;
    std::printf("sostituzione%s: aggiornate %zu, eliminate %zu, inserite %zu in %.3f s "
                "(indici %.3f s)\n",
                keyed ? " (anche IDProdotto)" : "", counts->updated, counts->deleted,
                counts->inserted, t, indexes.seconds);
    copy.rows = std::move(src.rows);
  }
  // From a copy table, changed through the write path before the clock starts.
  double bestTable = 1e9;
  const std::string working = "TemporaneaVask";
  for (int round = 0; round < 3; ++round) {
    auto db = jet::Database::open(file.string(), jet::OpenMode::ReadWrite);
    if (!db)
      return die("apertura", db.status());
    if (auto st = jet::copyTable(**db, table, working); !st)
      return die("copia", st);
    if (auto st = (*db)->begin(); !st)
      return die("begin", st);
    {
      std::vector<jet::RowLocation> at;
      auto cur = (*db)->cursor(working);
      while (*cur->next())
        at.push_back(cur->location());
      for (size_t k = 0; k < changed; ++k) {
        const jet::RowLocation where = at[(k * 89 + round * 7) % at.size()];
        auto v = (*db)->readRow(working, where);
        if (!v)
          return die("lettura", v.status());
        (*v)[causale] =
            jet::Value("dalla copia " + std::to_string(round) + "/" + std::to_string(k));
        if (auto st = (*db)->updateRow(working, where, *v); !st)
          return die("modifica della copia", st);
      }
    }
    if (auto st = (*db)->commit(); !st)
      return die("commit", st);
    auto t0 = Clock::now();
    auto counts = jet::replaceRows(**db, table, std::string_view(working));
    double t = seconds(t0);
    if (!counts)
      return die("sostituzione dalla copia", counts.status());
    bestTable = std::min(bestTable, t);
    std::printf("dalla tabella %s: aggiornate %zu in %.3f s\n", working.c_str(), counts->updated,
                t);
    if (auto st = jet::dropTable(**db, working); !st)
      return die("eliminazione della copia", st);
  }
  double read = 1e9;
  for (int round = 0; round < 3; ++round) {
    auto t0 = Clock::now();
    std::string cmd = "mdb-export '" + file.string() + "' " + table + " > /dev/null";
    if (std::system(cmd.c_str()) != 0) {
      std::fprintf(stderr, "bench_replace: mdb-export failed\n");
      return 1;
    }
    read = std::min(read, seconds(t0));
  }
  std::printf(
      "sostituzione %.3f s (di cui indici %.3f s, %.0f%%), mdb-export %.3f s, rapporto %.2f "
      "(obiettivo: sotto 1)\n",
      best, bestIndexes, 100 * bestIndexes / best, read, best / read);
  std::printf("dalla tabella: %.3f s, rapporto %.2f\n", bestTable, bestTable / read);
  std::printf("con IDProdotto (indicizzato) cambiato: %.3f s (di cui indici %.3f s, %.0f%%), "
              "rapporto %.2f\n",
              bestKeyed, bestKeyedIndexes, 100 * bestKeyedIndexes / bestKeyed, bestKeyed / read);
  fs::remove_all(dir);
  return 0;
}
