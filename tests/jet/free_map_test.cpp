// The database's free-page map when a page before its inline window is given back: the map
// turns into its reference form, and the pages it hands out afterwards are free ones, never a
// page of the map itself.
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
