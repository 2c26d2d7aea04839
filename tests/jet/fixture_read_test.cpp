// Every table of every Access-written Jet 4 fixture, read and compared with the exports of an
// independent reader.
#include "csv_compare.h"
#include "jet/csv_export.h"
#include "jet/database.h"
#include "jet/names.h"
#include "test_support.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;
using namespace jet;

namespace {

std::vector<std::string> lines(const std::string &text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);)
    if (!l.empty())
      out.push_back(l);
  return out;
}

struct FixtureFile {
  const char *path; // under fixtures/
  const char *expected;
};

const FixtureFile kFiles[] = {
    {"access/adox_jet4.mdb", "adox_jet4"},
    {"access/bigIndexTestV2000.mdb", "bigIndexTestV2000"},
    {"access/compIndexTestV2000.mdb", "compIndexTestV2000"},
    {"access/delColTestV2000.mdb", "delColTestV2000"},
    {"access/delTestV2000.mdb", "delTestV2000"},
    {"access/fixedNumericTestV2000.mdb", "fixedNumericTestV2000"},
    {"access/fixedTextTestV2000.mdb", "fixedTextTestV2000"},
    {"access/indexCursorTestV2000.mdb", "indexCursorTestV2000"},
    {"access/indexTestV2000.mdb", "indexTestV2000"},
    {"access/overflowTestV2000.mdb", "overflowTestV2000"},
    {"access/queryTestV2000.mdb", "queryTestV2000"},
    {"access/test2V2000.mdb", "test2V2000"},
    {"access/testIndexPropertiesV2000.mdb", "testIndexPropertiesV2000"},
    {"access/testPromotionV2000.mdb", "testPromotionV2000"},
    {"access/testRefGlobalV2000.mdb", "testRefGlobalV2000"},
    {"access/testV2000.mdb", "testV2000"},
    {"suite/zelbo.mdb", "zelbo"},
    {"sortorder/caratteri.mdb", "caratteri"},
};

class FixtureRead : public ::testing::TestWithParam<FixtureFile> {};

TEST_P(FixtureRead, EveryTableMatchesTheIndependentExport) {
  VASK_REQUIRE_FIXTURES();
  const FixtureFile &ff = GetParam();
  fs::path dir = vasktest::fixturesDir() / "expected" / ff.expected;
  auto db = Database::open((vasktest::fixturesDir() / ff.path).string());
  ASSERT_TRUE(db) << db.status().message();

  auto expectedTables = lines(vasktest::readFile(dir / "tables.txt"));
  EXPECT_EQ((*db)->userTableNames(), expectedTables);

  for (const auto &table : expectedTables) {
    SCOPED_TRACE(std::string(ff.expected) + "/" + table);
    auto csv = exportCsv(**db, table);
    ASSERT_TRUE(csv) << csv.status().message();
    auto ours = csvtest::parse(*csv);
    auto theirs = csvtest::parse(vasktest::readFile(dir / (table + ".csv")));
    ASSERT_EQ(ours.size(), theirs.size()) << "row count";
    for (size_t r = 0; r < ours.size(); ++r) {
      ASSERT_EQ(ours[r].size(), theirs[r].size()) << "columns in line " << r + 1;
      for (size_t c = 0; c < ours[r].size(); ++c)
        EXPECT_TRUE(csvtest::sameValue(ours[r][c], theirs[r][c]))
            << "line " << r + 1 << ", column " << theirs[0][c].text << ": ours "
            << ours[r][c].text.substr(0, 200) << ", expected " << theirs[r][c].text.substr(0, 200);
    }
    // The definition's row count agrees with what a scan finds.
    auto def = (*db)->table(table);
    ASSERT_TRUE(def);
    EXPECT_EQ((*def)->rowCount, ours.size() - 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Jet4, FixtureRead, ::testing::ValuesIn(kFiles),
                         [](const auto &info) { return std::string(info.param.expected); });

TEST(FixtureRead, SystemTablesAreListedButNotAsUserTables) {
  VASK_REQUIRE_FIXTURES();
  auto db = Database::open((vasktest::fixturesDir() / "suite/zelbo.mdb").string());
  ASSERT_TRUE(db) << db.status().message();
  auto all = (*db)->tableNames();
  auto user = (*db)->userTableNames();
  EXPECT_NE(std::find(all.begin(), all.end(), "MSysObjects"), all.end());
  EXPECT_EQ(std::find(user.begin(), user.end(), "MSysObjects"), user.end());
  // A user table whose name merely starts with msys stays a user table.
  EXPECT_NE(std::find(user.begin(), user.end(), "msysNote"), user.end());
  // DAO order ignores case across system and user tables alike.
  for (size_t i = 1; i < all.size(); ++i)
    EXPECT_LE(compareNoCase(all[i - 1], all[i]), 0) << all[i - 1] << " / " << all[i];
  auto sys = (*db)->table("msysobjects");
  ASSERT_TRUE(sys);
  EXPECT_TRUE((*sys)->isSystem());
}

TEST(FixtureRead, DefinitionsCarryIndexesRelationshipsAndCounters) {
  VASK_REQUIRE_FIXTURES();
  auto db = Database::open((vasktest::fixturesDir() / "suite/zelbo.mdb").string());
  ASSERT_TRUE(db) << db.status().message();
  auto fatture = (*db)->table("FATTURE");
  ASSERT_TRUE(fatture) << fatture.status().message();
  const TableDef &t = **fatture;
  EXPECT_EQ(t.rowCount, 300u);
  EXPECT_EQ(t.nextAutoNumber(), 301u);
  const ColumnDef *id = t.findColumn("id");
  ASSERT_NE(id, nullptr);
  EXPECT_TRUE(id->isAutoNumber());
  const LogicalIndex *pk = nullptr, *toClienti = nullptr, *numeroData = nullptr;
  int referencedBy = 0;
  for (const auto &ix : t.indexes) {
    if (ix.isPrimaryKey())
      pk = &ix;
    if (ix.name == "NumeroData")
      numeroData = &ix;
    if (ix.isForeignKey() && !ix.onReferencedSide())
      toClienti = &ix;
    if (ix.onReferencedSide()) {
      ++referencedBy;
      EXPECT_TRUE(ix.cascadeDeletes) << ix.name; // SCADENZE and BUONIFATTURA cascade
    }
  }
  ASSERT_NE(pk, nullptr);
  const PhysicalIndex &pkp = t.physicalIndexes[pk->physical];
  EXPECT_TRUE(pkp.unique());
  EXPECT_TRUE(pkp.required());
  ASSERT_EQ(pkp.columns.size(), 1u);
  EXPECT_EQ(pkp.columns[0].columnNumber, id->number);
  ASSERT_NE(numeroData, nullptr);
  EXPECT_EQ(t.physicalIndexes[numeroData->physical].columns.size(), 2u);
  ASSERT_NE(toClienti, nullptr);
  EXPECT_FALSE(toClienti->cascadeDeletes);
  EXPECT_EQ(referencedBy, 2);
  auto clienti = (*db)->table("CLIENTI");
  ASSERT_TRUE(clienti);
  EXPECT_EQ(toClienti->relatedTablePage, (*clienti)->page);

  // Access-written: descending and ignore-nulls flags.
  auto props =
      Database::open((vasktest::fixturesDir() / "access/testIndexPropertiesV2000.mdb").string());
  ASSERT_TRUE(props);
  auto ign = (*props)->table("TableIgnoreNulls1");
  ASSERT_TRUE(ign);
  bool sawIgnoreNulls = false;
  for (const auto &ix : (*ign)->indexes)
    sawIgnoreNulls |= (*ign)->physicalIndexes[ix.physical].ignoreNulls();
  EXPECT_TRUE(sawIgnoreNulls);
  auto car = Database::open((vasktest::fixturesDir() / "sortorder/caratteri.mdb").string());
  ASSERT_TRUE(car);
  auto c = (*car)->table("Caratteri");
  ASSERT_TRUE(c);
  bool sawDescending = false;
  for (const auto &ix : (*c)->indexes)
    if (ix.name == "TestoDisc")
      sawDescending = !(*c)->physicalIndexes[ix.physical].columns.at(0).ascending;
  EXPECT_TRUE(sawDescending);
  EXPECT_EQ((*car)->header().sortOrder, 0x409);
}

} // namespace
