#include "jet/index_page.h"

#include <gtest/gtest.h>
#include <random>

using namespace jet;

namespace {

IndexEntry entry(Bytes key, uint32_t page, uint8_t row, uint32_t child = 0) {
  IndexEntry e;
  e.key = std::move(key);
  e.row = {page, row};
  e.child = child;
  return e;
}

Bytes longKey(uint32_t v) {
  return {0x7f, static_cast<uint8_t>(0x80 | v >> 24), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}

IndexPage leafOf(std::vector<IndexEntry> entries) {
  IndexPage p;
  p.kind = IndexPageKind::Leaf;
  p.tableDefinitionPage = 24;
  p.prevPage = 33;
  p.nextPage = 35;
  p.entries = std::move(entries);
  p.prefixLength = static_cast<uint16_t>(sharedPrefixLength(p.kind, p.entries));
  return p;
}

uint16_t freeSpaceOf(const Bytes &image) {
  return static_cast<uint16_t>(image[2] | image[3] << 8);
}

} // namespace

TEST(IndexPage, WritesTheSharedPrefixOnceAndReadsItBack) {
  IndexPage page =
      leafOf({entry(longKey(1), 261, 3), entry(longKey(2), 261, 4), entry(longKey(300), 262, 0)});
  EXPECT_EQ(page.prefixLength, 3u); // 7f 80 00 in common
  auto image = encodeIndexPage(page);
  ASSERT_TRUE(image.isOk()) << image.status().message();
  const Bytes &img = *image;
  ASSERT_EQ(img.size(), kIndexPageSize);
  EXPECT_EQ(img[0], 0x04);
  EXPECT_EQ(img[1], 0x01);
  EXPECT_EQ(img[4], 24);
  EXPECT_EQ(img[12], 33);
  EXPECT_EQ(img[16], 35);
  EXPECT_EQ(img[24], 3);
  // First entry whole (9 bytes), then 6 and 6 bytes: ends at 9, 15 and 21.
  const Bytes first = {0x7f, 0x80, 0x00, 0x00, 0x01, 0x00, 0x01, 0x05, 0x03};
  EXPECT_TRUE(std::equal(first.begin(), first.end(), img.begin() + kIndexEntriesOffset));
  const Bytes second = {0x00, 0x02, 0x00, 0x01, 0x05, 0x04};
  EXPECT_TRUE(std::equal(second.begin(), second.end(), img.begin() + kIndexEntriesOffset + 9));
  EXPECT_EQ(img[kIndexEntryMaskOffset + 1], 0x82); // bits 9 and 15
  EXPECT_EQ(img[kIndexEntryMaskOffset + 2], 0x20); // bit 21
  EXPECT_EQ(freeSpaceOf(img), kIndexEntrySpace - 21);
  for (size_t i = kIndexEntriesOffset + 21; i < kIndexPageSize; ++i)
    ASSERT_EQ(img[i], 0) << i;

  auto back = decodeIndexPage(img);
  ASSERT_TRUE(back.isOk()) << back.status().message();
  EXPECT_EQ(back->entries, page.entries);
  EXPECT_EQ(back->prefixLength, 3u);
  EXPECT_EQ(back->prevPage, 33u);
  EXPECT_EQ(back->nextPage, 35u);
}

TEST(IndexPage, IntermediateEntriesCarryTheirChildPage) {
  IndexPage page;
  page.kind = IndexPageKind::Intermediate;
  page.tailPage = 77;
  page.unknownByte26 = 1;
  page.entries = {entry(longKey(10), 0x123456, 9, 40), entry(longKey(20), 0x010203, 1, 0x01020304)};
  auto image = encodeIndexPage(page);
  ASSERT_TRUE(image.isOk());
  EXPECT_EQ((*image)[0], 0x03);
  const Bytes firstTail = {0x12, 0x34, 0x56, 0x09, 0x00, 0x00, 0x00, 40};
  EXPECT_TRUE(
      std::equal(firstTail.begin(), firstTail.end(), image->begin() + kIndexEntriesOffset + 5));
  auto back = decodeIndexPage(*image);
  ASSERT_TRUE(back.isOk());
  EXPECT_EQ(back->entries, page.entries);
  EXPECT_EQ(back->tailPage, 77u);
  EXPECT_EQ(back->unknownByte26, 1);
  EXPECT_EQ(indexEntrySize(IndexPageKind::Intermediate, page.entries[0]), 13u);
}

TEST(IndexPage, EmptyPageIsHeaderOnly) {
  IndexPage page;
  auto image = encodeIndexPage(page);
  ASSERT_TRUE(image.isOk());
  EXPECT_EQ(freeSpaceOf(*image), kIndexEntrySpace);
  auto back = decodeIndexPage(*image);
  ASSERT_TRUE(back.isOk());
  EXPECT_TRUE(back->entries.empty());
}

TEST(IndexPage, SharedPrefixStopsBeforeTheRowNumber) {
  // Same key and page: everything but the row number is shared, and no more.
  std::vector<IndexEntry> dup = {entry(longKey(7), 300, 1), entry(longKey(7), 300, 2)};
  EXPECT_EQ(sharedPrefixLength(IndexPageKind::Leaf, dup), 5u + 3u);
  std::vector<IndexEntry> differ = {entry({0x7f, 0x01}, 5, 1), entry({0x7f, 0x02}, 5, 1)};
  EXPECT_EQ(sharedPrefixLength(IndexPageKind::Leaf, differ), 1u);
  EXPECT_EQ(sharedPrefixLength(IndexPageKind::Leaf, {dup.data(), 1}), 0u);
  // Keys of different lengths share at most the shorter key plus the page number.
  std::vector<IndexEntry> shortLong = {entry({0x7f}, 0x7f7f7f, 0x7f),
                                       entry({0x7f, 0x7f, 0x7f, 0x7f, 0x7f}, 0x7f0000, 1)};
  EXPECT_EQ(sharedPrefixLength(IndexPageKind::Leaf, shortLong), 4u);
  auto image = encodeIndexPage(leafOf(dup));
  ASSERT_TRUE(image.isOk());
  auto back = decodeIndexPage(*image);
  ASSERT_TRUE(back.isOk());
  EXPECT_EQ(back->entries, dup);
}

TEST(IndexPage, FitsUpToTheLastByteOfTheEntrySpace) {
  // 9-byte entries with a 3-byte shared prefix: 9 + 6 * (n - 1) bytes.
  std::vector<IndexEntry> entries;
  for (uint32_t i = 0; 9 + 6 * entries.size() <= kIndexEntrySpace; ++i)
    entries.push_back(entry(longKey(i), 1000, static_cast<uint8_t>(i)));
  // 602 entries take 3615 bytes; one with a 2-byte longer key reaches 3617.
  ASSERT_EQ(entries.size(), 602u);
  EXPECT_TRUE(indexEntriesFit(IndexPageKind::Leaf, entries));
  EXPECT_EQ(indexEntriesSize(IndexPageKind::Leaf, entries, 3), 3615u);
  entries.back().key.push_back(0x00);
  EXPECT_TRUE(indexEntriesFit(IndexPageKind::Leaf, entries, 3)); // exactly 3616
  ASSERT_TRUE(encodeIndexPage(leafOf(entries)).isOk());
  auto full = encodeIndexPage(leafOf(entries));
  EXPECT_EQ(freeSpaceOf(*full), 0u);
  auto back = decodeIndexPage(*full);
  ASSERT_TRUE(back.isOk()) << back.status().message();
  EXPECT_EQ(back->entries.size(), 602u);

  entries.back().key.push_back(0x00);
  EXPECT_FALSE(indexEntriesFit(IndexPageKind::Leaf, entries, 3));
  EXPECT_FALSE(indexEntriesFit(IndexPageKind::Leaf, entries));
  Bytes out(kIndexPageSize, 0xEE);
  EXPECT_FALSE(encodeIndexPage(leafOf(entries), out).isOk());
  EXPECT_EQ(out, Bytes(kIndexPageSize, 0xEE)); // nothing written
  // Without the shared prefix far fewer fit.
  entries.resize(500);
  EXPECT_TRUE(indexEntriesFit(IndexPageKind::Leaf, entries, 3));
  EXPECT_FALSE(indexEntriesFit(IndexPageKind::Leaf, entries, 0));
}

TEST(IndexPage, RefusesToWriteInconsistentPages) {
  IndexPage bad = leafOf({entry(longKey(1), 5, 1), entry(longKey(2), 5, 2)});
  bad.prefixLength = 5; // longer than what the entries share
  EXPECT_FALSE(encodeIndexPage(bad).isOk());
  bad = leafOf({entry(longKey(1), 0x1000000, 1)});
  EXPECT_FALSE(encodeIndexPage(bad).isOk()); // page number beyond 24 bits
  bad = leafOf({entry({}, 5, 1)});
  EXPECT_FALSE(encodeIndexPage(bad).isOk()); // entry without a key
  bad = leafOf({entry(longKey(1), 5, 1)});
  bad.prefixLength = 20;
  EXPECT_FALSE(encodeIndexPage(bad).isOk());
  bad = leafOf({});
  bad.kind = static_cast<IndexPageKind>(0x05);
  EXPECT_FALSE(encodeIndexPage(bad).isOk());
  Bytes small(100);
  EXPECT_FALSE(encodeIndexPage(leafOf({}), small).isOk());
}

TEST(IndexPage, DamagedPagesAreReportedNotRead) {
  const Bytes good = *encodeIndexPage(leafOf({entry(longKey(1), 5, 1), entry(longKey(2), 5, 2)}));
  auto mutate = [&](auto f) {
    Bytes b = good;
    f(b);
    return decodeIndexPage(b);
  };
  EXPECT_FALSE(decodeIndexPage(Bytes(100)).isOk());
  EXPECT_FALSE(decodeIndexPage({}).isOk());
  EXPECT_FALSE(mutate([](Bytes &b) { b[0] = 0x01; }).isOk());  // a data page
  EXPECT_FALSE(mutate([](Bytes &b) { b[2] ^= 1; }).isOk());    // free space off
  EXPECT_FALSE(mutate([](Bytes &b) { b[24] = 0x40; }).isOk()); // prefix past first entry
  EXPECT_FALSE(mutate([](Bytes &b) {                           // entry of 2 bytes
                 b[kIndexEntryMaskOffset] |= 0x04;
               })
                   .isOk());
  EXPECT_FALSE(mutate([](Bytes &b) { b[kIndexEntryMaskOffset] |= 0x01; }).isOk());  // empty entry
  EXPECT_FALSE(mutate([](Bytes &b) { b[kIndexEntriesOffset - 1] = 0x80; }).isOk()); // past end
  auto st = mutate([](Bytes &b) { b[2] ^= 1; }).status();
  EXPECT_EQ(st.code(), ErrorCode::Corrupt);
  EXPECT_NE(st.message().find("Pagina d'indice"), std::string::npos);
}

// Random damage to valid pages never makes the decoder read outside the page, and whatever it
// accepts it writes back unchanged.
TEST(IndexPage, SurvivesRandomDamage) {
  std::mt19937 rng(4242);
  size_t accepted = 0;
  for (int round = 0; round < 3000; ++round) {
    std::vector<IndexEntry> entries;
    const int n = static_cast<int>(rng() % 40);
    const bool leaf = rng() % 2;
    for (int i = 0; i < n; ++i) {
      Bytes key = {0x7f};
      const int len = static_cast<int>(rng() % 12);
      for (int k = 0; k < len; ++k)
        key.push_back(static_cast<uint8_t>(rng() % 4));
      entries.push_back(entry(key, rng() % 0x1000000, static_cast<uint8_t>(i), rng()));
    }
    std::sort(entries.begin(), entries.end(), [](const IndexEntry &a, const IndexEntry &b) {
      return compareIndexEntries(a, b) < 0;
    });
    IndexPage page = leafOf(entries);
    page.kind = leaf ? IndexPageKind::Leaf : IndexPageKind::Intermediate;
    page.prefixLength = static_cast<uint16_t>(sharedPrefixLength(page.kind, page.entries));
    if (page.kind == IndexPageKind::Leaf)
      for (auto &e : page.entries)
        e.child = 0;
    auto image = encodeIndexPage(page);
    ASSERT_TRUE(image.isOk()) << image.status().message();
    Bytes b = *image;
    const int hits = 1 + static_cast<int>(rng() % 4);
    for (int h = 0; h < hits; ++h) {
      const size_t at = rng() % (rng() % 2 ? 600 : kIndexPageSize);
      b[at] = static_cast<uint8_t>(rng());
    }
    auto decoded = decodeIndexPage(b);
    if (!decoded.isOk())
      continue;
    ++accepted;
    auto again = encodeIndexPage(*decoded);
    ASSERT_TRUE(again.isOk()) << again.status().message();
    const size_t used = kIndexPageSize - freeSpaceOf(b);
    EXPECT_TRUE(std::equal(b.begin(), b.begin() + used, again->begin())) << round;
  }
  EXPECT_GT(accepted, 100u);
}

TEST(IndexPage, EntriesCompareByKeyThenRow) {
  const auto a = entry({0x7f, 0x01}, 9, 9);
  const auto b = entry({0x7f, 0x01, 0x00}, 1, 1);
  const auto c = entry({0x7f, 0x02}, 1, 1);
  EXPECT_EQ(compareIndexEntries(a, b), std::strong_ordering::less); // a prefix sorts first
  EXPECT_EQ(compareIndexEntries(b, c), std::strong_ordering::less);
  EXPECT_EQ(compareIndexEntries(entry({0x7f}, 1, 2), entry({0x7f}, 2, 1)),
            std::strong_ordering::less);
  EXPECT_EQ(compareIndexEntries(entry({0x7f}, 2, 1), entry({0x7f}, 2, 1)),
            std::strong_ordering::equal);
}
