// Indexes kept by the engine's writes on copies of Access-written and suite-shaped files: rows
// inserted by the thousand, changed and deleted through the database, then every index checked
// against the rows, looked up, and the table read back by mdb-export.
#include "jet/index_btree.h"
#include "jet/index_btree_maintainer.h"
#include "jet/index_rows.h"
#include "write_support.h"

#include <fstream>
#include <random>

using namespace jet;
using namespace writetest;

namespace {

std::string randomText(std::mt19937 &rng, size_t minLen, size_t maxLen) {
  static const std::vector<std::string> chars = {
      "a", "b", "c", "d", "e", "l", "m", "o", "r", "s", "A", "B", "M", "Z", "à", "è", "é",
      "ì", "ò", "ù", "À", "È", "'", "’", "“", " ", "-", ".", "0", "7", "€", "ç", "ñ", "ß"};
  size_t n = minLen + rng() % (maxLen - minLen + 1);
  std::string s;
  for (size_t i = 0; i < n; ++i)
    s += chars[rng() % chars.size()];
  return s;
}

size_t treeDepth(Database &db, const TableDef &def, const PhysicalIndex &index) {
  PagerIndexIO io(db.pager());
  std::vector<uint8_t> buf(kIndexPageSize);
  uint32_t page = index.rootPage;
  for (size_t depth = 1;; ++depth) {
    if (!io.read(page, buf))
      return 0;
    auto p = decodeIndexPage(buf);
    if (!p)
      return 0;
    if (p->kind == IndexPageKind::Leaf)
      return depth;
    page = p->tailPage;
  }
}

std::vector<Bytes> keysOf(Database &db, const TableDef &def, const PhysicalIndex &index) {
  PagerIndexIO io(db.pager());
  IndexTree tree(io, def, index);
  std::vector<Bytes> keys;
  EXPECT_TRUE(tree.scanAll([&](const IndexEntry &e) {
    keys.push_back(e.key);
    return true;
  }));
  return keys;
}

std::string fileBytes(const std::filesystem::path &p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

TEST(BtreeWrite, LongTextKeysGrowAndShrinkAnAccessTree) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("access/bigIndexTestV2000.mdb", dir);
  std::mt19937 rng(99);
  std::vector<RowLocation> at;
  {
    auto db = openWritable(path);
    ASSERT_TRUE(db->begin());
    for (int i = 0; i < 4000; ++i) {
      std::vector<Value> v{Value(randomText(rng, 20, 200)), Value("riga " + std::to_string(i))};
      auto loc = db->insertRow("Table1", v);
      ASSERT_TRUE(loc) << loc.status().message();
      at.push_back(*loc);
    }
    ASSERT_TRUE(db->commit());
  }
  expectSound(path, "Table1");
  {
    auto db = openReading(path);
    auto def = *db->table("Table1");
    EXPECT_GE(treeDepth(*db, *def, def->physicalIndexes[0]), 3u);
  }
  {
    // Keys changed, rows deleted in random order, in one transaction.
    auto db = openWritable(path);
    ASSERT_TRUE(db->begin());
    std::shuffle(at.begin(), at.end(), rng);
    for (size_t i = 0; i < 600; ++i) {
      std::vector<Value> v{Value(randomText(rng, 1, 250)), Value("cambiata")};
      Status s = db->updateRow("Table1", at[i], v);
      ASSERT_TRUE(s) << s.message();
    }
    for (size_t i = 600; i < 3400; ++i)
      ASSERT_TRUE(db->deleteRow("Table1", at[i]));
    ASSERT_TRUE(db->commit());
  }
  expectSound(path, "Table1");
  {
    auto db = openWritable(path);
    ASSERT_TRUE(db->begin());
    for (auto loc : locations(*db, "Table1"))
      ASSERT_TRUE(db->deleteRow("Table1", loc));
    ASSERT_TRUE(db->commit());
    auto def = *db->table("Table1");
    EXPECT_EQ(treeDepth(*db, *def, def->physicalIndexes[0]), 1u);
  }
  expectSound(path, "Table1");
}

TEST(BtreeWrite, SuiteTableKeepsItsKeysThroughInsertsUpdatesAndDeletes) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  std::mt19937 rng(2024);
  const std::vector<std::string> targhe = {"AB123CD", "ZZ999ZZ", "L'AQUILA", "Città", "ÈÉ"};
  {
    auto db = openWritable(path);
    auto def = *db->table("BUONI");
    ASSERT_EQ(def->columns.size(), 11u);
    ASSERT_TRUE(db->begin());
    std::vector<bool> supplied(11, true);
    supplied[0] = false; // the autonumber
    for (int i = 0; i < 3000; ++i) {
      std::vector<Value> v{Value(),
                           Value(int32_t(i)),
                           Value(DateTime{45000.0 + rng() % 400}),
                           Value(int32_t(rng() % 150 + 1)),
                           rng() % 6 ? Value(targhe[rng() % targhe.size()] + std::to_string(i % 40))
                                     : Value(),
                           Value("Gasolio"),
                           Value(float(rng() % 1000) / 10),
                           Value(1.5),
                           Value(Currency{int64_t(rng() % 100000)}),
                           Value(bool(rng() % 2)),
                           Value()};
      auto loc = db->insertRow("BUONI", v, supplied);
      ASSERT_TRUE(loc) << loc.status().message();
    }
    ASSERT_TRUE(db->commit());
  }
  expectSound(path, "BUONI");
  {
    auto db = openWritable(path);
    auto all = locations(*db, "BUONI");
    ASSERT_EQ(all.size(), 4234u);
    std::shuffle(all.begin(), all.end(), rng);
    ASSERT_TRUE(db->begin());
    for (size_t i = 0; i < 800; ++i) {
      auto v = db->readRow("BUONI", all[i]);
      ASSERT_TRUE(v);
      (*v)[2] = Value(DateTime{44000.0 + rng() % 50});
      (*v)[4] = rng() % 3 ? Value("NUOVA" + std::to_string(i % 9)) : Value();
      Status s = db->updateRow("BUONI", all[i], *v);
      ASSERT_TRUE(s) << s.message();
    }
    for (size_t i = 800; i < 2500; ++i)
      ASSERT_TRUE(db->deleteRow("BUONI", all[i]));
    ASSERT_TRUE(db->commit());

    // Lookups through the tree find exactly the rows that hold the key.
    auto def = *db->table("BUONI");
    const PhysicalIndex *targa = nullptr;
    for (const auto &p : def->physicalIndexes)
      if (indexDisplayName(*def, p) == "Targa")
        targa = &p;
    ASSERT_NE(targa, nullptr);
    auto key = indexKeyOf(*def, *targa, std::vector<Value>{Value("NUOVA3")});
    ASSERT_TRUE(key);
    PagerIndexIO io(db->pager());
    auto found = IndexTree(io, *def, *targa).find(*key);
    ASSERT_TRUE(found);
    size_t holding = 0;
    for (const auto &row : rows(*db, "BUONI"))
      holding += row[4] == Value("NUOVA3");
    EXPECT_EQ(found->size(), holding);
    EXPECT_GT(holding, 0u);
  }
  expectSound(path, "BUONI");
}

TEST(BtreeWrite, DuplicateKeyIsRefusedAndTheFileStaysAsItWas) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  const std::string before = fileBytes(path);
  {
    auto db = openWritable(path);
    auto all = locations(*db, "BUONI");
    auto row = db->readRow("BUONI", all[10]);
    ASSERT_TRUE(row);
    std::vector<Value> copy = *row; // the same ID: the primary key refuses it
    auto ins = db->insertRow("BUONI", copy);
    ASSERT_FALSE(ins);
    EXPECT_EQ(ins.status().code(), ErrorCode::DuplicateKey);
    EXPECT_NE(ins.status().message().find("'PrimaryKey'"), std::string::npos)
        << ins.status().message();
    // A unique text index: another client's code.
    auto clients = locations(*db, "CLIENTI");
    auto first = db->readRow("CLIENTI", clients[0]);
    auto second = db->readRow("CLIENTI", clients[1]);
    ASSERT_TRUE(first && second);
    std::vector<Value> changed = *second;
    changed[1] = (*first)[1];
    Status upd = db->updateRow("CLIENTI", clients[1], changed);
    EXPECT_EQ(upd.code(), ErrorCode::DuplicateKey) << upd.message();
    EXPECT_NE(upd.message().find("'Codice'"), std::string::npos) << upd.message();
    EXPECT_NE(upd.message().find(describeValue((*first)[1])), std::string::npos) << upd.message();
    auto other = db->readRow("BUONI", all[11]);
    // A text the General sort order cannot encode (an overlong UTF-8 form) never becomes an
    // entry.
    changed = *other;
    changed[4] = Value("Tokyo \xc0\xaf");
    upd = db->updateRow("BUONI", all[11], changed);
    EXPECT_EQ(upd.code(), ErrorCode::KeyNotEncodable) << upd.message();
  }
  EXPECT_TRUE(fileBytes(path) == before);
  EXPECT_EQ(checkFindings(path), "");
}

TEST(BtreeWrite, EveryWindows1252KeyComesBackAsTheReferenceWroteIt) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("sortorder/caratteri.mdb", dir);
  std::vector<std::vector<Value>> original;
  std::vector<std::vector<Bytes>> keys;
  {
    auto db = openReading(path);
    auto def = *db->table("Caratteri");
    original = rows(*db, "Caratteri");
    for (const auto &p : def->physicalIndexes)
      keys.push_back(keysOf(*db, *def, p));
  }
  {
    auto db = openWritable(path);
    ASSERT_TRUE(db->begin());
    for (auto loc : locations(*db, "Caratteri"))
      ASSERT_TRUE(db->deleteRow("Caratteri", loc));
    ASSERT_TRUE(db->commit());
  }
  expectSound(path, "Caratteri");
  {
    auto db = openWritable(path);
    ASSERT_TRUE(db->begin());
    for (auto v : original) {
      auto loc = db->insertRow("Caratteri", v);
      ASSERT_TRUE(loc) << loc.status().message();
    }
    ASSERT_TRUE(db->commit());
  }
  expectSound(path, "Caratteri");
  auto db = openReading(path);
  auto def = *db->table("Caratteri");
  ASSERT_EQ(def->physicalIndexes.size(), keys.size());
  for (size_t i = 0; i < keys.size(); ++i)
    EXPECT_TRUE(keysOf(*db, *def, def->physicalIndexes[i]) == keys[i]) << "indice " << i;
}
