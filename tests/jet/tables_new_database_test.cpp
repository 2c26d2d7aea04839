// A new empty database built by our own code: the system tables Access 2000 creates, with the
// same definitions, rows and indexes as in a database the Jet engine created; every checker
// reads it.
#include "jet/database_builder.h"
#include "jet/table_def_writer.h"
#include "tables_support.h"

#include <gtest/gtest.h>

using namespace jet;

namespace {

// The CSV export without the creation dates.
std::string withoutDates(const std::string &csv) {
  std::string out;
  std::istringstream in(csv);
  for (std::string line; std::getline(in, line);) {
    std::string kept;
    size_t pos = 0;
    // Dates are the only fields of the form "YYYY-MM-DD HH:MM:SS".
    while (pos < line.size()) {
      if (pos + 19 <= line.size() && line[pos + 4] == '-' && line[pos + 7] == '-' &&
          line[pos + 10] == ' ' && line[pos + 13] == ':' && line[pos + 16] == ':' &&
          (pos == 0 || line[pos - 1] == ',')) {
        kept += "DATE";
        pos += 19;
      } else {
        kept += line[pos++];
      }
    }
    out += kept + "\n";
  }
  return out;
}

TEST(NewDatabase, HoldsWhatTheJetEngineCreates) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  std::string path = dir.file("nuovo.mdb").string();
  ASSERT_TRUE(createDatabase(path));
  auto ours = Database::open(path);
  ASSERT_TRUE(ours) << ours.status().message();
  auto jets = Database::open((vasktest::fixturesDir() / "access" / "adox_jet4.mdb").string());
  ASSERT_TRUE(jets);
  EXPECT_EQ((*ours)->tableNames(), (*jets)->tableNames());
  EXPECT_TRUE((*ours)->userTableNames().empty());
  EXPECT_EQ((*ours)->header().sortOrder, 0x409);
  EXPECT_EQ((*ours)->header().codePage, 1252);
  EXPECT_EQ(std::filesystem::file_size(path), 16u * 4096u);

  for (const auto &name : (*jets)->tableNames()) {
    auto a = (*ours)->table(name);
    auto b = (*jets)->table(name);
    ASSERT_TRUE(a && b) << name;
    // The definitions: equal but for page numbers (maps and roots), leftovers and counters.
    TableDef x = **a, y = **b;
    for (TableDef *d : {&x, &y}) {
      d->usedPagesMap = d->freePagesMap = 0;
      for (auto &p : d->physicalIndexes)
        p.usageMap = p.rootPage = 0;
    }
    auto mx = readLongValueMaps(x), my = readLongValueMaps(y);
    for (auto *m : {&mx, &my})
      for (auto &e : *m)
        e.usedPagesMap = e.freePagesMap = 0;
    std::sort(my.begin(), my.end(), [](const LongValueMap &p, const LongValueMap &q) {
      return p.columnNumber < q.columnNumber;
    });
    Bytes ex = encodeTableDef(x, mx), ey = encodeTableDef(y, my);
    ASSERT_EQ(ex.size(), ey.size()) << name;
    for (size_t i = 0; i < ex.size(); ++i) {
      bool leftover = (i >= 28 && i < 40);
      for (const auto &c : y.columns)
        leftover = leftover ||
                   (!c.isFixed() && i >= c.definitionOffset + 21 && i < c.definitionOffset + 23);
      for (const auto &p : y.physicalIndexes)
        leftover = leftover ||
                   (i >= p.definitionOffset + 4 && i < p.definitionOffset + 34 &&
                    (i - p.definitionOffset - 4) % 3 == 2 &&
                    (i - p.definitionOffset - 4) / 3 >= p.columns.size()) ||
                   (i >= p.definitionOffset + 42 && i < p.definitionOffset + 46);
      if (!leftover)
        EXPECT_EQ(ex[i], ey[i]) << name << " byte " << i;
    }
    // The rows, in the same order.
    auto ca = exportCsv(**ours, name), cb = exportCsv(**jets, name);
    ASSERT_TRUE(ca && cb) << name;
    EXPECT_EQ(withoutDates(*ca), withoutDates(*cb)) << name;
  }
  EXPECT_EQ(tablestest::checkFindings(path), std::vector<std::string>{});
  tablestest::expectMdbToolsAgree(path);
}

TEST(NewDatabase, RefusesToOverwriteAFile) {
  vasktest::TempDir dir;
  std::string path = dir.file("c'è.mdb").string();
  ASSERT_TRUE(createDatabase(path));
  auto size = std::filesystem::file_size(path);
  Status again = createDatabase(path);
  EXPECT_FALSE(again);
  EXPECT_NE(again.message().find("esiste già"), std::string::npos);
  EXPECT_EQ(std::filesystem::file_size(path), size);
  EXPECT_FALSE(std::filesystem::exists(path + ".nuovo"));
}

} // namespace
