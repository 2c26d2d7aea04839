// The database's free-page map when a page before its inline window is given back: the map
// turns into its reference form, and the pages it hands out afterwards are free ones, never a
// page of the map itself; and a database built past the window, which starts in that form.
#include "jet/database_builder.h"
#include "jet/page_allocator.h"
#include "jet/usage_map.h"
#include "write_support.h"

#include <cstring>
#include <set>

using namespace jet;
using namespace writetest;

TEST(FreePageMap, APageFreedBeforeTheWindowLeavesTheMapPagesInUse) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  auto db = openWritable(path);
  ASSERT_TRUE(db->begin());
  Pager &pager = db->pager();
  PageAllocator &pages = db->pageAllocator();
  // The window starts past the pages the fixture's tables use: an index page lies before it.
  auto def = db->table("BUONI");
  ASSERT_TRUE(def);
  const uint32_t low = (*def)->physicalIndexes.at(0).rootPage;
  ASSERT_TRUE(pages.release(low));
  std::set<uint32_t> handed;
  for (int i = 0; i < 200; ++i) {
    auto p = pages.allocate();
    ASSERT_TRUE(p) << i << ": " << p.status().message();
    PageRef hold;
    auto img = pager.peek(*p, hold);
    ASSERT_TRUE(img);
    EXPECT_NE((*img)[0], kPageTypeUsageMap) << "pagina " << *p << " della mappa data come libera";
    EXPECT_TRUE(handed.insert(*p).second) << "pagina " << *p << " data due volte";
    // What a writer does with a new page: fill it.
    auto m = pager.modify(*p);
    ASSERT_TRUE(m);
    std::memset(*m, 0x04, kPageSize);
  }
  EXPECT_TRUE(handed.count(low));
  ASSERT_TRUE(db->rollback());
}

// A database built larger than the inline window maps has page 1 in the reference form; the
// engine then takes pages out of it and writes on, and both readers find every row.
TEST(FreePageMap, ADatabaseBuiltPastTheInlineWindowHasTheReferenceForm) {
  vasktest::TempDir dir;
  auto path = dir.file("grande.mdb");
  {
    DatabaseBuilder b(toDateTime({2005, 1, 1, 0, 0, 0}));
    TableSpec table;
    table.name = "NOTE";
    ColumnSpec id, text;
    id.name = "ID";
    id.type = ColumnType::Long;
    id.autoNumber = true;
    text.name = "Testo";
    text.type = ColumnType::Memo;
    table.columns = {id, text};
    table.indexes = {{"PrimaryKey", {{"ID", true}}, true}};
    // A long-value page for each row: more pages than the inline bitmap of page 1 can map.
    ASSERT_TRUE(b.addTable(table, [](const RowSink &sink) -> Status {
      for (int i = 0; i < 34000; ++i) {
        std::vector<Value> row{Value(), Value(std::string(3000, char('a' + i % 26)))};
        JET_TRY(sink(row));
      }
      return Status::ok();
    }));
    ASSERT_TRUE(b.writeNewFile(path.string()));
  }
  {
    auto db = openWritable(path);
    auto map = UsageMap::load(db->pager(), PageAllocator::kGlobalMapWord);
    ASSERT_TRUE(map);
    EXPECT_EQ(map->kind(), UsageMap::kReference);
    auto at = locations(*db, "NOTE");
    ASSERT_EQ(at.size(), 34000u);
    ASSERT_TRUE(db->begin());
    for (size_t i = 0; i < at.size(); i += 500)
      ASSERT_TRUE(db->deleteRow("NOTE", at[i]));
    for (int i = 0; i < 100; ++i) {
      std::vector<Value> row{Value(), Value(std::string(5000 + i, 'z'))};
      ASSERT_TRUE(db->insertRow("NOTE", row));
    }
    ASSERT_TRUE(db->commit());
  }
  expectSound(path, "NOTE");
}
