// Text keys beyond Windows-1252 kept by the engine's writes: names in Latin Extended, Greek,
// Cyrillic, symbols and CJK inserted, changed and deleted in ascending, descending and compound
// indexes of a new database. The trees, read by the tests' own reader, hold the reference keys;
// vaskdb check is clean and mdb-export reads the texts back.
#include "index_fixture.h"
#include "jet/database_builder.h"
#include "jet/table_ops.h"
#include "write_support.h"

#include <optional>
#include <random>
#include <set>

using namespace jet;
using namespace writetest;
using indextest::hexBytes;

namespace {

// A text and its key in the reference code tables (ascending, after the flag byte).
struct Sample {
  const char *text;
  const char *key;
};

const Sample kInserted[] = {
    {"Ștefan", "6d 51 53 4a 62 01 00"},
    {"tefan", "6d 51 53 4a 62 01 00"}, // U+0218 has no code: the same key
    {"Łódź", "5e 64 4f 78 01 1f 0e 02 0e 00"},
    {"Dvořák", "4f 71 64 69 4a 5c 01 02 02 02 14 0e 00"},
    {"Őrség", "64 69 6b 51 55 01 1d 02 02 0e 00"},
    {"Crăciun", "4d 69 4a 4d 59 6f 62 01 02 02 15 00"},
    {"Αθήνα", "79 0c 79 13 79 12 79 18 79 0c 01 02 02 05 00"},
    {"Москва", "79 43 79 46 79 49 79 40 79 31 79 2f 01 00"},
    {"→ ★ №", "34 82 07 34 d9 07 63 02 01 03 00"},
    {"東京", "b8 ee 9f c6 01 00"},
    {"Rossi", "69 64 6b 6b 59 01 00"},
};
// Rows 5 and 10 change their text; row 4 goes.
const Sample kUpdated[] = {
    {"中文", "9f 3d b6 f6 01 00"},
    {"Ωμέγα", "79 23 79 17 79 10 79 0e 79 0c 01 02 02 05 00"},
};

Bytes descending(Bytes key) {
  key.back() = 0x00; // the closing byte is inverted with the rest, then written again
  for (auto &b : key)
    b = static_cast<uint8_t>(~b);
  key.push_back(0x00);
  return key;
}

Bytes codiceDescending(int32_t codice) {
  Bytes b{0x80};
  const uint32_t u = static_cast<uint32_t>(codice) ^ 0x80000000u;
  for (int shift = 24; shift >= 0; shift -= 8)
    b.push_back(static_cast<uint8_t>(~(u >> shift)));
  return b;
}

// Within the BMP: mdb-export shows a surrogate pair as "??".
std::string mixedText(std::mt19937 &rng) {
  static const char *pieces[] = {"a", "Z", "ș", "ł",  "ő",  "ř",  "ă", "α", "Ω", "ж",
                                 "Я", "→", "★", "東", "京", "中", " ", "'", "-", "e\u0301"};
  std::string s;
  for (size_t n = 1 + rng() % 30; n > 0; --n)
    s += pieces[rng() % std::size(pieces)];
  return s;
}

} // namespace

TEST(SortOrderWrite, NamesOfEveryScriptKeepTheirReferenceKeysThroughWrites) {
  vasktest::TempDir dir;
  const auto path = dir.file("nomi.mdb");
  ASSERT_TRUE(createDatabase(path.string()));
  std::vector<RowLocation> at;
  {
    auto db = openWritable(path);
    TableSpec table;
    table.name = "Nomi";
    table.columns = {{.name = "ID", .type = ColumnType::Long, .autoNumber = true},
                    {.name = "Nome", .type = ColumnType::Text, .size = 100},
                    {.name = "Codice", .type = ColumnType::Long}};
    table.indexes = {{.name = "PrimaryKey", .columns = {{"ID", true}}, .primaryKey = true},
                    {.name = "Nome", .columns = {{"Nome", true}}},
                    {.name = "NomeDisc", .columns = {{"Nome", false}}},
                    {.name = "NomeCodice", .columns = {{"Nome", true}, {"Codice", false}}}};
    ASSERT_TRUE(createTable(*db, table));
    ASSERT_TRUE(db->begin());
    for (size_t i = 0; i < std::size(kInserted); ++i) {
      std::vector<Value> row{Value::null(), Value(kInserted[i].text),
                             Value(static_cast<int32_t>(i) - 5)};
      auto loc = db->insertRow("Nomi", row);
      ASSERT_TRUE(loc) << kInserted[i].text << ": " << loc.status().message();
      at.push_back(*loc);
    }
    // Enough mixed text to split the trees over several pages.
    std::mt19937 rng(20);
    for (int32_t i = 0; i < 1500; ++i) {
      std::vector<Value> row{Value::null(), Value(mixedText(rng)), Value(i)};
      ASSERT_TRUE(db->insertRow("Nomi", row));
    }
    ASSERT_TRUE(db->commit());

    ASSERT_TRUE(db->begin());
    for (auto [row, sample] : {std::pair{5, kUpdated[0]}, std::pair{10, kUpdated[1]}}) {
      auto values = db->readRow("Nomi", at[row]);
      ASSERT_TRUE(values);
      (*values)[1] = Value(sample.text);
      ASSERT_TRUE(db->updateRow("Nomi", at[row], *values));
    }
    ASSERT_TRUE(db->deleteRow("Nomi", at[4]));
    ASSERT_TRUE(db->commit());
  }
  expectSound(path, "Nomi");
  std::string out;
  EXPECT_EQ(vasktest::runCommand((vasktest::binaryDir() / "vaskdb").string() + " check '" +
                                     path.string() + "' 2>&1",
                                 &out),
            0)
      << out;
  if (vasktest::haveProgram("mdb-export")) {
    const std::string theirs = mdbExport(path, "Nomi");
    for (const char *text : {"Ștefan", "Łódź", "Αθήνα", "Москва", "→ ★ №", "中文", "Ωμέγα"})
      EXPECT_NE(theirs.find(text), std::string::npos) << text;
    EXPECT_EQ(theirs.find("Őrség"), std::string::npos);
  }

  // The samples' keys as the reference writes them, with their codes (i - 5).
  std::vector<std::pair<Bytes, int32_t>> live;
  for (size_t i = 0; i < std::size(kInserted); ++i) {
    const char *key = i == 5 ? kUpdated[0].key : i == 10 ? kUpdated[1].key : kInserted[i].key;
    if (i != 4)
      live.emplace_back(hexBytes(key), static_cast<int32_t>(i) - 5);
  }
  auto file = indextest::RawFile::open(path);
  ASSERT_TRUE(file);
  std::optional<indextest::RawTable> table;
  for (uint32_t tdef : indextest::tableDefinitionPages(*file)) {
    auto t = indextest::readTable(*file, tdef);
    if (t && !t->system && t->columns.size() == 3 && t->columns[1].name == "Nome")
      table = t;
  }
  ASSERT_TRUE(table);
  size_t textIndexes = 0;
  for (const auto &index : table->indexes) {
    if (index.columns[0].columnNumber != table->columns[1].number)
      continue;
    ++textIndexes;
    const bool ascending = index.columns[0].ascending;
    const bool compound = index.columns.size() == 2;
    auto leaves = indextest::readIndexLeaves(*file, index.rootPage);
    ASSERT_TRUE(leaves);
    EXPECT_EQ(leaves->size(), std::size(kInserted) - 1 + 1500);
    std::multiset<Bytes> found;
    for (size_t i = 0; i < leaves->size(); ++i) {
      if (i > 0) {
        EXPECT_LE((*leaves)[i - 1].key, (*leaves)[i].key) << "entry " << i;
      }
      found.insert((*leaves)[i].key);
    }
    std::multiset<Bytes> expected;
    for (const auto &[text, codice] : live) {
      Bytes key{static_cast<uint8_t>(ascending ? 0x7f : 0x80)};
      const Bytes part = ascending ? text : descending(text);
      key.insert(key.end(), part.begin(), part.end());
      if (compound) {
        const Bytes c = codiceDescending(codice);
        key.insert(key.end(), c.begin(), c.end());
      }
      expected.insert(key);
    }
    for (const Bytes &key : expected)
      EXPECT_EQ(found.count(key), expected.count(key))
          << (ascending ? "" : "desc ") << (compound ? "compound " : "") << indextest::hex(key);
  }
  EXPECT_EQ(textIndexes, 3u);
}
