// Long values, rows and encoded pages on files built here, byte by byte.
#include "jet/csv_export.h"
#include "jet/database.h"
#include "jet/header.h"
#include "jet/long_value.h"
#include "jet/row_codec.h"
#include "test_support.h"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>

using namespace jet;

namespace {

using PageBytes = std::vector<uint8_t>;

void put16(PageBytes &p, size_t at, uint16_t v) {
  p[at] = v & 0xFF;
  p[at + 1] = v >> 8;
}
void put32(PageBytes &p, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A data page (or LVAL page) holding the given rows, stored from the end of the page down.
PageBytes dataPage(const std::vector<std::vector<uint8_t>> &rows, bool lval, uint32_t table = 0) {
  PageBytes p(kPageSize, 0);
  p[0] = 0x01;
  p[1] = 0x01;
  if (lval)
    std::memcpy(&p[4], "LVAL", 4);
  else
    put32(p, 4, table);
  put16(p, 12, static_cast<uint16_t>(rows.size()));
  size_t end = kPageSize;
  for (size_t i = 0; i < rows.size(); ++i) {
    size_t start = end - rows[i].size();
    std::memcpy(&p[start], rows[i].data(), rows[i].size());
    put16(p, 14 + 2 * i, static_cast<uint16_t>(start));
    end = start;
  }
  return p;
}

std::vector<uint8_t> bytes(const std::string &s) {
  return {s.begin(), s.end()};
}

std::vector<uint8_t> chainPart(uint32_t nextPage, uint8_t nextRow, const std::string &data) {
  std::vector<uint8_t> r(4 + data.size());
  uint32_t word = (nextPage << 8) | nextRow;
  std::memcpy(r.data(), &word, 4);
  std::memcpy(r.data() + 4, data.data(), data.size());
  return r;
}

std::vector<uint8_t> descriptor(uint32_t length, uint8_t kind, uint32_t page, uint8_t row) {
  std::vector<uint8_t> d(12, 0);
  uint32_t word = length | (static_cast<uint32_t>(kind) << 24);
  std::memcpy(d.data(), &word, 4);
  uint32_t ptr = (page << 8) | row;
  std::memcpy(d.data() + 4, &ptr, 4);
  return d;
}

class LongValues : public ::testing::Test {
protected:
  void SetUp() override {
    std::vector<PageBytes> pages(5, PageBytes(kPageSize, 0));
    pages[1] = dataPage({bytes("hello"), chainPart(2, 0, "abc"), chainPart(2, 1, "xy")}, true);
    pages[2] = dataPage({chainPart(0, 0, "defg"), chainPart(1, 2, "z")}, true);
    pages[3] = dataPage({bytes("not a long value")}, false, 7);
    pages[4] = dataPage({chainPart(2, 9, "q")}, true); // next part's row does not exist
    std::ofstream out(dir_.file("lv.mdb"), std::ios::binary);
    for (const auto &p : pages)
      out.write(reinterpret_cast<const char *>(p.data()), kPageSize);
    out.close();
    auto file = File::open(dir_.file("lv.mdb").string(), OpenMode::ReadOnly);
    ASSERT_TRUE(file);
    pager_ = std::make_unique<Pager>(std::move(*file));
  }

  Result<Bytes> read(const std::vector<uint8_t> &field) {
    LongValueReader reader(*pager_);
    return reader.read(field, 99);
  }
  static std::string str(const Bytes &b) { return {b.begin(), b.end()}; }

  vasktest::TempDir dir_;
  std::unique_ptr<Pager> pager_;
};

TEST_F(LongValues, InlineSinglePageAndChain) {
  auto inl = descriptor(3, LongValueRef::kInline, 0, 0);
  inl.insert(inl.end(), {'a', 'b', 'c', 'X'});
  EXPECT_EQ(str(read(inl).value()), "abc");
  EXPECT_EQ(str(read(descriptor(5, LongValueRef::kSinglePage, 1, 0)).value()), "hello");
  EXPECT_EQ(str(read(descriptor(4, LongValueRef::kSinglePage, 1, 0)).value()), "hell");
  EXPECT_EQ(str(read(descriptor(7, LongValueRef::kChain, 1, 1)).value()), "abcdefg");
}

TEST_F(LongValues, DamageIsReportedWithThePage) {
  struct Case {
    std::vector<uint8_t> field;
    const char *page;
  } cases[] = {
      {std::vector<uint8_t>(11, 0), "pagina 99"},                        // short descriptor
      {descriptor(50, LongValueRef::kInline, 0, 0), "pagina 99"},        // inline past the row
      {descriptor(6, LongValueRef::kSinglePage, 1, 0), "pagina 1"},      // row shorter than told
      {descriptor(5, LongValueRef::kSinglePage, 3, 0), "pagina 3"},      // not an LVAL page
      {descriptor(5, LongValueRef::kSinglePage, 1, 7), "pagina 1"},      // no such row
      {descriptor(5, LongValueRef::kSinglePage, 77, 0), "pagina 77"},    // past the file
      {descriptor(9, LongValueRef::kChain, 1, 1), "pagina 0"},           // chain ends too soon
      {descriptor(100, LongValueRef::kChain, 1, 2), "pagina 1"},         // chain loops
      {descriptor(5, LongValueRef::kChain, 4, 0), "pagina 2"},           // next part missing
      {descriptor(0x3FFFFFFF, LongValueRef::kChain, 1, 1), "pagina 99"}, // longer than the file
      {descriptor(5, 0xC0, 1, 0), "pagina 99"},                          // unknown kind
  };
  for (const auto &c : cases) {
    auto v = read(c.field);
    ASSERT_FALSE(v) << c.page;
    EXPECT_EQ(v.status().code(), ErrorCode::Corrupt);
    EXPECT_NE(v.status().message().find(c.page), std::string::npos) << v.status().message();
  }
}

TEST_F(LongValues, RowDecoderReadsColumnsAddedLaterAsNull) {
  TableDef t;
  t.varColumnCount = 2;
  ColumnDef id;
  id.name = "ID";
  id.type = ColumnType::Long;
  id.flags = ColumnDef::kFixedFlag;
  ColumnDef memo;
  memo.name = "Note";
  memo.type = ColumnType::Memo;
  memo.number = 1;
  ColumnDef added;
  added.name = "Aggiunta";
  added.type = ColumnType::Text;
  added.number = 2;
  added.varIndex = 1;
  t.columns = {id, memo, added};
  // Two columns when written: ID = 5 and Note on LVAL page 1 row 0; one variable offset.
  std::vector<uint8_t> row = {2, 0, 5, 0, 0, 0};
  auto d = descriptor(5, LongValueRef::kSinglePage, 1, 0);
  row.insert(row.end(), d.begin(), d.end());
  row.insert(row.end(), {18, 0, 6, 0, 1, 0, 0b011});
  auto layout = RowLayout::parse(row, t.varColumnCount, 3);
  ASSERT_TRUE(layout) << layout.status().message();
  RowDecoder decoder(*pager_, t);
  std::vector<Value> values;
  ASSERT_TRUE(decoder.row(*layout, 3, values));
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[0], Value(int32_t(5)));
  // Memo bytes are text: "hello" is not valid UCS-2 pairs, so check the decoded length only.
  EXPECT_TRUE(values[1].is<std::string>());
  EXPECT_TRUE(values[2].isNull());
}

TEST(EncodedDatabase, PagesEncodedWithTheDatabaseKeyReadAsThePlainFile) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  std::string plain = vasktest::readFile(vasktest::fixturesDir() / "access/testV2000.mdb");
  std::vector<uint8_t> b(plain.begin(), plain.end());
  const uint8_t headerKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
  const uint32_t key = 0x5A17C0DE;
  rc4(headerKey, 4, &b[0x18], 128);
  put32(b, 0x3E, key);
  rc4(headerKey, 4, &b[0x18], 128);
  for (uint32_t page = 1; page < b.size() / kPageSize; ++page)
    Pager::applyEncoding(key, page, &b[page * kPageSize]);
  {
    std::ofstream out(dir.file("codificato.mdb"), std::ios::binary);
    out.write(reinterpret_cast<const char *>(b.data()), static_cast<std::streamsize>(b.size()));
  }
  auto enc = Database::open(dir.file("codificato.mdb").string());
  ASSERT_TRUE(enc) << enc.status().message();
  EXPECT_EQ((*enc)->header().databaseKey, key);
  auto ref = Database::open((vasktest::fixturesDir() / "access/testV2000.mdb").string());
  ASSERT_TRUE(ref);
  EXPECT_EQ((*enc)->userTableNames(), (*ref)->userTableNames());
  for (const auto &t : (*ref)->userTableNames())
    EXPECT_EQ(exportCsv(**enc, t).value(), exportCsv(**ref, t).value()) << t;
}

} // namespace
