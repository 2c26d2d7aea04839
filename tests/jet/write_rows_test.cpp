// Row writes on copies of Access-written files and of the suite-shaped file.
#include "jet/page_allocator.h"
#include "jet/usage_map.h"
#include "write_support.h"

#include <gtest/gtest.h>
#include <set>

namespace {

using namespace writetest;
using jet::Value;

TEST(WriteRows, DeleteEveryRowOfEveryUserTable) {
  VASK_REQUIRE_FIXTURES();
  for (const char *fixture :
       {"access/indexTestV2000.mdb", "access/overflowTestV2000.mdb", "access/delTestV2000.mdb",
        "access/testV2000.mdb", "suite/zelbo.mdb"}) {
    SCOPED_TRACE(fixture);
    vasktest::TempDir dir;
    auto path = vasktest::copyFixture(fixture, dir);
    std::vector<std::string> tables;
    {
      auto db = openWritable(path);
      ASSERT_TRUE(db);
      tables = db->userTableNames();
      ASSERT_TRUE(db->begin().isOk());
      for (const auto &t : tables)
        for (auto at : locations(*db, t))
          ASSERT_TRUE(db->deleteRow(t, at).isOk()) << t;
      ASSERT_TRUE(db->commit().isOk());
    }
    EXPECT_EQ(checkFindings(path), "");
    auto db = openReading(path);
    for (const auto &t : tables) {
      EXPECT_EQ(rows(*db, t).size(), 0u) << t;
      EXPECT_EQ((*db->table(t))->rowCount, 0u) << t;
      if (vasktest::haveProgram("mdb-export"))
        EXPECT_EQ(compareWithMdb(ourExport(path, t), mdbExport(path, t)), "") << t;
    }
  }
}

TEST(WriteRows, DeleteSomeRowsKeepsTheOthersAsTheyWere) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  std::string before = ourExport(path, "BUONI");
  auto expected = csvtest::parse(before);
  {
    auto db = openWritable(path);
    auto at = locations(*db, "BUONI");
    ASSERT_EQ(at.size(), 1234u);
    // Every third row goes: the first few each in a transaction of its own, the rest in one.
    for (size_t i = 0; i < 30; i += 3)
      ASSERT_TRUE(db->deleteRow("BUONI", at[i]).isOk());
    ASSERT_TRUE(db->begin().isOk());
    for (size_t i = 30; i < at.size(); i += 3)
      ASSERT_TRUE(db->deleteRow("BUONI", at[i]).isOk());
    ASSERT_TRUE(db->commit().isOk());
    // A deleted row cannot be deleted again or updated.
    EXPECT_EQ(db->deleteRow("BUONI", at[0]).code(), jet::ErrorCode::NoCurrentRecord);
  }
  std::vector<csvtest::Row> kept{expected[0]};
  for (size_t i = 1; i < expected.size(); ++i)
    if ((i - 1) % 3 != 0)
      kept.push_back(expected[i]);
  EXPECT_EQ(csvtest::parse(ourExport(path, "BUONI")), kept);
  auto db = openReading(path);
  EXPECT_EQ((*db->table("BUONI"))->rowCount, kept.size() - 1);
  expectSound(path, "BUONI");
}

TEST(WriteRows, InsertThousandsOfRowsGrowsTheTableAndItsMapsToTheReferenceForm) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  // An Access-written table whose maps are inline, covering pages 0 to 511.
  auto path = vasktest::copyFixture("access/overflowTestV2000.mdb", dir);
  const std::string table = "Table1";
  std::vector<std::vector<Value>> existing;
  size_t columns = 0;
  {
    auto db = openWritable(path);
    auto def = db->table(table);
    ASSERT_TRUE(def.isOk()) << def.status().message();
    columns = (*def)->columns.size();
    existing = rows(*db, table);
    auto map = jet::UsageMap::load(db->pager(), (*def)->usedPagesMap);
    ASSERT_TRUE(map.isOk());
    EXPECT_EQ(map->kind(), jet::UsageMap::kInline);
    ASSERT_TRUE(db->begin().isOk());
    for (int i = 0; i < 12000; ++i) {
      std::vector<Value> v(columns);
      for (size_t c = 0; c < columns; ++c)
        v[c] = Value("riga " + std::to_string(i) + " colonna " + std::to_string(c) +
                     (i % 7 == 0 ? std::string(25, 'x') : std::string()));
      auto at = db->insertRow(table, v);
      ASSERT_TRUE(at.isOk()) << at.status().message();
    }
    ASSERT_TRUE(db->commit().isOk());
    EXPECT_GT(db->pager().pageCount(), 600u);
    auto after = jet::UsageMap::load(db->pager(), (*db->table(table))->usedPagesMap);
    ASSERT_TRUE(after.isOk());
    EXPECT_EQ(after->kind(), jet::UsageMap::kReference);
  }
  auto db = openReading(path);
  auto all = rows(*db, table);
  ASSERT_EQ(all.size(), existing.size() + 12000);
  EXPECT_EQ((*db->table(table))->rowCount, all.size());
  EXPECT_EQ(all[existing.size() + 11999][0], Value("riga 11999 colonna 0"));
  expectSound(path, table);
}

} // namespace

namespace {

// New pages come first from the pages the database's map on page 1 holds free, then from the
// end of the file; pages given back return to that map.
TEST(WriteRows, NewPagesComeFromTheFreePageMapBeforeTheFileGrows) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("access/indexTestV2000.mdb", dir);
  auto db = writetest::openWritable(path);
  jet::UsageMapEditor global(db->pager(), &db->pageAllocator(), jet::PageAllocator::kGlobalMapWord,
                             true);
  auto free = global.pages();
  ASSERT_TRUE(free.isOk());
  ASSERT_EQ(*free, (std::vector<uint32_t>{38, 39, 59})); // inside this file, as Access left them
  uint32_t pages = db->pager().pageCount();
  auto def = db->table("Table1");
  ASSERT_TRUE(db->begin().isOk());
  std::set<uint32_t> used;
  for (int i = 0; i < 600; ++i) {
    std::vector<jet::Value> v((*def)->columns.size());
    v[0] = jet::Value(int32_t(1000 + i));
    v[3] = jet::Value(std::string(40, char('a' + i % 26)));
    auto at = db->insertRow("Table1", v);
    ASSERT_TRUE(at.isOk()) << at.status().message();
    used.insert(at->page);
  }
  EXPECT_TRUE(used.count(38) && used.count(39) && used.count(59));
  EXPECT_GT(db->pager().pageCount(), pages);
  ASSERT_TRUE(db->commit().isOk());
  EXPECT_EQ(
      *jet::UsageMapEditor(db->pager(), nullptr, jet::PageAllocator::kGlobalMapWord, true).pages(),
      std::vector<uint32_t>{});
  db.reset();
  writetest::expectSound(path, "Table1");
}

} // namespace
