// Long values past 16 MiB, whose length needs the descriptor's whole 30 bits, through every path
// that writes one; and the check that compares a descriptor's length with what its pages hold.
#include "jet/database_builder.h"
#include "jet/long_value.h"
#include "jet/replace_rows.h"
#include "jet/table_ops.h"
#include "write_support.h"

#include <fstream>
#include <gtest/gtest.h>

namespace {

using namespace writetest;
using jet::Value;

constexpr size_t kOleBytes = 20'000'000;
constexpr size_t kMemoChars = 9'000'000; // 18,000,000 bytes once stored

// Different for each seed and along the value, so a part out of place shows.
jet::Bytes ole(int seed, size_t extra = 0) {
  jet::Bytes b(kOleBytes + extra);
  for (size_t i = 0; i < b.size(); ++i)
    b[i] = static_cast<uint8_t>(i * 31 + (i >> 12) + seed);
  return b;
}
std::string memo(int seed, size_t extra = 0) {
  std::string s(kMemoChars + extra, ' ');
  for (size_t i = 0; i < s.size(); ++i)
    s[i] = static_cast<char>('a' + (i / 4000 + seed) % 26);
  return s;
}

jet::TableSpec bigTable(const std::string &name) {
  jet::TableSpec t;
  t.name = name;
  t.columns = {{"ID", jet::ColumnType::Long},
               {"Oggetto", jet::ColumnType::Ole},
               {"Nota", jet::ColumnType::Memo}};
  t.indexes = {{"PrimaryKey", {{"ID", true}}, true, true}};
  return t;
}

std::vector<Value> bigRow(int id, int seed, size_t extra = 0) {
  return {Value(int32_t(id)), Value(ole(seed, extra)), Value(memo(seed, extra))};
}

// The table's rows are exactly `expected` (by ID), without printing megabytes on a mismatch.
void expectRows(jet::Database &db, const std::string &table,
                const std::vector<std::vector<Value>> &expected) {
  auto got = rows(db, table);
  ASSERT_EQ(got.size(), expected.size()) << table;
  std::sort(got.begin(), got.end(), [](auto &a, auto &b) {
    return a[0].template as<int32_t>() < b[0].template as<int32_t>();
  });
  for (size_t r = 0; r < got.size(); ++r) {
    EXPECT_EQ(got[r][0], expected[r][0]) << table;
    ASSERT_TRUE(got[r][1].is<jet::Bytes>() && got[r][2].is<std::string>()) << table;
    EXPECT_EQ(got[r][1].as<jet::Bytes>().size(), expected[r][1].as<jet::Bytes>().size()) << table;
    EXPECT_EQ(got[r][2].as<std::string>().size(), expected[r][2].as<std::string>().size()) << table;
    EXPECT_TRUE(got[r][1] == expected[r][1] && got[r][2] == expected[r][2]) << table << " " << r;
  }
}

jet::RowLocation locationOf(jet::Database &db, const std::string &table, int32_t id) {
  auto at = locations(db, table);
  auto all = rows(db, table);
  for (size_t i = 0; i < all.size(); ++i)
    if (all[i][0] == Value(id))
      return at[i];
  ADD_FAILURE() << table << " " << id;
  return {};
}

// Writes `length` into the descriptor of row 1's OLE value, in the file itself.
void setDeclaredLength(const std::filesystem::path &path, const std::string &table,
                       uint32_t length) {
  uint64_t at = 0;
  uint32_t word = 0;
  {
    auto db = openReading(path);
    auto c = db->cursor(table);
    ASSERT_TRUE(c.isOk());
    do
      ASSERT_TRUE(*c->next());
    while (*c->value(0) != Value(int32_t(1)));
    const jet::ColumnDef *col = c->table().findColumn("Oggetto");
    auto field = c->layout().varField(col->varIndex, c->dataPage());
    ASSERT_TRUE(field.isOk());
    jet::PageRef hold;
    auto img = db->pager().peek(c->dataPage(), hold);
    ASSERT_TRUE(img.isOk());
    at = uint64_t(c->dataPage()) * jet::kPageSize + uint64_t(field->data() - *img);
    word = (jet::le32(field->data()) & ~jet::LongValueRef::kMaxLength) | length;
  }
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(static_cast<std::streamoff>(at));
  uint8_t b[4];
  jet::put32(b, word);
  f.write(reinterpret_cast<const char *>(b), 4);
}

TEST(LongValueSize, ValuesPast16MiBKeepTheirLengthThroughBuilderInsertUpdateCopyAndReplace) {
  vasktest::TempDir dir;
  auto path = dir.file("grandi.mdb");
  {
    jet::DatabaseBuilder builder(jet::toDateTime({2024, 1, 2, 3, 4, 5}));
    ASSERT_TRUE(builder.addTable(bigTable("Grandi"), {bigRow(1, 1)}));
    ASSERT_TRUE(builder.writeNewFile(path.string()));
  }
  std::vector<std::vector<Value>> want{bigRow(1, 1)};
  {
    auto db = openWritable(path);
    expectRows(*db, "Grandi", want);

    want.push_back(bigRow(2, 2));
    auto at2 = db->insertRow("Grandi", want[1]);
    ASSERT_TRUE(at2) << at2.status().message();
    want[0] = bigRow(1, 3, 3);
    jet::Status st = db->updateRow("Grandi", locationOf(*db, "Grandi", 1), want[0]);
    ASSERT_TRUE(st) << st.message();
    expectRows(*db, "Grandi", want);

    // The working copy, and a save of it after one edit.
    ASSERT_TRUE(jet::copyTable(*db, "Grandi", "TemporaneaVask"));
    expectRows(*db, "TemporaneaVask", want);
    want[1] = bigRow(2, 4, 1);
    ASSERT_TRUE(db->updateRow("TemporaneaVask", locationOf(*db, "TemporaneaVask", 2), want[1]));
    auto counts = jet::replaceRows(*db, "Grandi", "TemporaneaVask");
    ASSERT_TRUE(counts) << counts.status().message();
    EXPECT_EQ(counts->updated, 1u);
    EXPECT_EQ(counts->unchanged, 1u);
  }
  {
    auto db = openReading(path);
    expectRows(*db, "Grandi", want);
    expectRows(*db, "TemporaneaVask", want);
  }
  EXPECT_EQ(checkFindings(path), "");
  if (vasktest::haveProgram("mdb-export")) {
    // The independent reader finds the OLE values' lengths (hex digits after "0x"); it reads no
    // chained memo past 16 MiB at all.
    std::string out;
    ASSERT_EQ(vasktest::runCommand("mdb-export -b hex '" + path.string() +
                                       "' Grandi 2>/dev/null | awk -F, 'NR>1 {print $1, "
                                       "length($2) - 2}' | sort",
                                   &out),
              0);
    EXPECT_EQ(out, "1 " + std::to_string(2 * (kOleBytes + 3)) + "\n2 " +
                       std::to_string(2 * (kOleBytes + 1)) + "\n");
  }

  // A length cut to its low 24 bits reads back as a shorter value: the check sees the pages
  // hold more.
  setDeclaredLength(path, "Grandi", (kOleBytes + 3) & 0xFFFFFF);
  std::string findings = checkFindings(path);
  EXPECT_NE(findings.find("'Oggetto': il valore dichiara 3222787 byte, le sue pagine ne "
                          "contengono 20000003"),
            std::string::npos)
      << findings;
}

} // namespace
