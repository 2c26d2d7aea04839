// The OS layer and the pager: modes, short reads, pages past the end, cache bounds.
#include "jet/file.h"
#include "jet/pager.h"
#include "test_support.h"

#include <fstream>
#include <gtest/gtest.h>

using namespace jet;

namespace {

TEST(File, ReadWriteModesAndShortReads) {
  vasktest::TempDir dir;
  { std::ofstream(dir.file("f.bin"), std::ios::binary) << std::string(10000, 'x'); }
  auto ro = File::open(dir.file("f.bin").string(), OpenMode::ReadOnly);
  ASSERT_TRUE(ro);
  char buf[16];
  EXPECT_TRUE((*ro)->readAt(9990, buf, 10));
  Status past = (*ro)->readAt(9995, buf, 10);
  EXPECT_EQ(past.code(), ErrorCode::Corrupt);
  EXPECT_EQ((*ro)->writeAt(0, "y", 1).code(), ErrorCode::ReadOnly);

  auto rw = File::open(dir.file("f.bin").string(), OpenMode::ReadWrite);
  ASSERT_TRUE(rw);
  ASSERT_TRUE((*rw)->writeAt(12000, "fine", 4));
  ASSERT_TRUE((*rw)->sync());
  EXPECT_EQ((*rw)->size().value(), 12004u);
  ASSERT_TRUE((*rw)->readAt(12000, buf, 4));
  EXPECT_EQ(std::string(buf, 4), "fine");
  ASSERT_TRUE((*rw)->truncate(8192));
  EXPECT_EQ((*ro)->size().value(), 8192u);
}

TEST(Pager, CountsWholePagesAndBoundsItsCache) {
  vasktest::TempDir dir;
  {
    std::ofstream out(dir.file("p.bin"), std::ios::binary);
    for (int page = 0; page < 40; ++page)
      out << std::string(kPageSize, static_cast<char>(page));
    out << "torn";
  }
  auto file = File::open(dir.file("p.bin").string(), OpenMode::ReadOnly);
  ASSERT_TRUE(file);
  Pager pager(std::move(*file), 8);
  EXPECT_EQ(pager.pageCount(), 40u);
  EXPECT_FALSE(pager.writable());
  PageRef held = pager.page(3).value();
  for (uint32_t n = 0; n < 40; ++n) {
    auto p = pager.page(n);
    ASSERT_TRUE(p);
    EXPECT_EQ((*p)->type(), n);
    EXPECT_LE(pager.cachedPages(), 8u);
  }
  // A page stays valid in the hands of its holder after the cache let it go.
  EXPECT_EQ(held->type(), 3);
  auto torn = pager.page(40);
  ASSERT_FALSE(torn);
  EXPECT_NE(torn.status().message().find("pagina 40"), std::string::npos);
}

} // namespace
