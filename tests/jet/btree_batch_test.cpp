// Index changes applied in batches: the tree a batch lays out against the one-by-one path, and
// large statements on the suite-shaped file (its primary key, three indexes and two more made
// here, one descending and unique, one over two columns) checked, read back by mdb-export and
// compared entry for entry with the one-by-one path; refusals and undo inside a batch.
#include "btree_support.h"
#include "jet/index_batch.h"
#include "jet/index_btree_maintainer.h"
#include "jet/table_ops.h"
#include "write_support.h"

#include <map>
#include <random>
#include <set>

using namespace jet;
using namespace writetest;

namespace {

// --- trees in memory -------------------------------------------------------------------------

TableDef memoryTable() {
  TableDef t;
  t.page = 7;
  t.name = "Prova";
  return t;
}

PhysicalIndex memoryIndex() {
  PhysicalIndex ix;
  ix.number = 0;
  ix.rootPage = 10;
  return ix;
}

// Keys with long shared beginnings (the pages then share a prefix) and of every length.
Bytes keyOf(uint32_t n, size_t length) {
  Bytes k(length, 0x41);
  k[0] = 0x7F;
  for (size_t i = 0; i < 4 && i + 1 < length; ++i)
    k[length - 1 - i] = static_cast<uint8_t>(n >> (8 * i));
  return k;
}

std::vector<IndexEntry> entriesOf(btreetest::MemoryPages &io, const TableDef &t,
                                  const PhysicalIndex &ix) {
  IndexTree tree(io, t, ix);
  std::vector<IndexEntry> out;
  EXPECT_TRUE(tree.scanAll([&](const IndexEntry &e) {
    out.push_back(e);
    return true;
  }));
  return out;
}

// Every level's pages linked both ways, in the order the scan meets them.
void expectLinkedLevels(btreetest::MemoryPages &io, const PhysicalIndex &ix) {
  std::vector<uint8_t> buf(kIndexPageSize);
  uint32_t first = ix.rootPage;
  for (int depth = 0; depth < 10; ++depth) {
    uint32_t prev = 0, page = first, down = 0;
    while (page != 0) {
      ASSERT_TRUE(io.read(page, buf));
      auto p = decodeIndexPage(buf);
      ASSERT_TRUE(p) << p.status().message();
      EXPECT_EQ(p->prevPage, prev) << "pagina " << page;
      if (page == first)
        down = p->kind == IndexPageKind::Leaf ? 0
               : p->entries.empty()           ? p->tailPage
                                              : p->entries.front().child;
      prev = page;
      page = p->nextPage;
    }
    if (down == 0)
      return;
    first = down;
  }
}

size_t depthOf(btreetest::MemoryPages &io, const PhysicalIndex &ix) {
  std::vector<uint8_t> buf(kIndexPageSize);
  uint32_t page = ix.rootPage;
  for (size_t depth = 1; depth < 20; ++depth) {
    if (!io.read(page, buf))
      return 0;
    auto p = decodeIndexPage(buf);
    if (!p)
      return 0;
    if (p->kind == IndexPageKind::Leaf)
      return depth;
    page = p->tailPage;
  }
  return 0;
}

TEST(BtreeBatch, ALaidOutTreeIsTheTreeOfEntriesInsertedInOrder) {
  const TableDef t = memoryTable();
  const PhysicalIndex ix = memoryIndex();
  std::mt19937 rng(3);
  // From nothing to one page, a page and one more, keys sharing long beginnings (pages with a
  // shared prefix) and keys sharing nothing, up to four levels.
  struct Case {
    uint32_t count;
    size_t length;
    bool spread;
  };
  size_t deepest = 0;
  for (Case c : std::vector<Case>{{0, 8, false},
                                  {1, 8, false},
                                  {2, 8, false},
                                  {400, 4, false},
                                  {401, 4, false},
                                  {455, 4, false},
                                  {3000, 6, false},
                                  {6000, 40, false},
                                  {2500, 900, false},
                                  {3000, 30, true},
                                  {3000, 300, true}}) {
    btreetest::MemoryPages oneByOne, laidOut;
    oneByOne.makeRoot(ix.rootPage, t.page);
    laidOut.makeRoot(ix.rootPage, t.page);
    std::vector<IndexEntry> entries;
    for (uint32_t i = 0; i < c.count; ++i) {
      Bytes key = keyOf(i / 3, c.length);
      if (c.spread)
        for (auto &b : key)
          b = static_cast<uint8_t>(rng());
      entries.push_back(leafEntry(key, toRowPointer(100 + i / 7, i % 7)));
    }
    std::sort(entries.begin(), entries.end(), [](const IndexEntry &a, const IndexEntry &b) {
      return compareIndexEntries(a, b) < 0;
    });
    IndexTree tree(oneByOne, t, ix);
    for (const auto &e : entries)
      ASSERT_TRUE(tree.insert(e));
    IndexPage root;
    root.tableDefinitionPage = t.page;
    ASSERT_TRUE(layOutIndexTree(laidOut, t, ix, root, entries, {}));
    EXPECT_EQ(laidOut.pages, oneByOne.pages) << c.count << " voci di " << c.length << " byte";
    EXPECT_EQ(entriesOf(laidOut, t, ix), entries);
    expectLinkedLevels(laidOut, ix);
    deepest = std::max(deepest, depthOf(laidOut, ix));
  }
  EXPECT_GE(deepest, 3u);
}

TEST(BtreeBatch, ARebuildMergesChangesAndReusesTheIndexPages) {
  const TableDef t = memoryTable();
  const PhysicalIndex ix = memoryIndex();
  btreetest::MemoryPages io;
  io.makeRoot(ix.rootPage, t.page);
  std::mt19937 rng(4);
  std::set<std::pair<Bytes, uint32_t>> expected;
  auto entry = [](const std::pair<Bytes, uint32_t> &k) {
    return leafEntry(k.first, toRowPointer(k.second >> 8, k.second & 0xFF));
  };
  IndexTree tree(io, t, ix);
  while (expected.size() < 3000) {
    std::pair<Bytes, uint32_t> k{keyOf(rng() % 5000, 12), 0x100 + rng() % 0x4000};
    if (expected.insert(k).second)
      ASSERT_TRUE(tree.insert(entry(k)));
  }
  const size_t pagesBefore = io.pages.size();
  // Half the entries go, as many new ones come, some come and go within the batch.
  std::vector<IndexChange> changes;
  size_t n = 0;
  for (auto it = expected.begin(); it != expected.end(); ++n) {
    if (n % 2 == 0) {
      changes.push_back({entry(*it), -1});
      it = expected.erase(it);
    } else {
      ++it;
    }
  }
  for (int i = 0; i < 1500; ++i) {
    std::pair<Bytes, uint32_t> k{keyOf(5000 + rng() % 5000, 12), 0x100 + rng() % 0x4000};
    if (!expected.insert(k).second)
      continue;
    changes.push_back({entry(k), +1});
    if (i % 10 == 0) {
      changes.push_back({entry(k), -1});
      expected.erase(k);
    }
  }
  std::shuffle(changes.begin(), changes.end() - 100, rng);
  std::vector<NetIndexChange> net;
  ASSERT_TRUE(netIndexChanges(changes, net));
  ASSERT_TRUE(rebuildIndexTree(io, t, ix, net));
  std::vector<IndexEntry> want;
  for (const auto &k : expected)
    want.push_back(entry(k));
  EXPECT_EQ(entriesOf(io, t, ix), want);
  expectLinkedLevels(io, ix);
  // Fewer entries than before: no page more, the spare ones given back.
  EXPECT_LE(io.pages.size(), pagesBefore);
  EXPECT_FALSE(io.released.empty());
  // Deleting everything leaves the root, an empty leaf, alone.
  std::vector<IndexChange> all;
  for (const auto &e : want)
    all.push_back({e, -1});
  ASSERT_TRUE(netIndexChanges(all, net));
  ASSERT_TRUE(applyIndexChanges(io, t, ix, net, want.size()));
  EXPECT_EQ(io.pages.size(), 1u);
  EXPECT_TRUE(entriesOf(io, t, ix).empty());
}

TEST(BtreeBatch, ChangesOfTheSameEntryCancelOrAreRefused) {
  const IndexEntry a = leafEntry(keyOf(1, 6), toRowPointer(200, 1));
  const IndexEntry b = leafEntry(keyOf(1, 6), toRowPointer(200, 2));
  std::vector<NetIndexChange> net;
  // Added then taken away, or taken away then put back: nothing to do.
  const std::vector<IndexChange> cancel{{a, +1}, {b, -1}, {a, -1}, {b, +1}};
  ASSERT_TRUE(netIndexChanges(cancel, net));
  EXPECT_TRUE(net.empty());
  const std::vector<IndexChange> some{{b, +1}, {a, +1}, {a, -1}, {a, +1}};
  ASSERT_TRUE(netIndexChanges(some, net));
  ASSERT_EQ(net.size(), 2u);
  EXPECT_EQ(*net[0].entry, a);
  EXPECT_EQ(*net[1].entry, b);
  EXPECT_EQ(netIndexChanges(std::vector<IndexChange>{{a, +1}, {a, +1}}, net).code(),
            ErrorCode::Internal);
  EXPECT_EQ(
      netIndexChanges(std::vector<IndexChange>{{a, -1}, {a, +1}, {a, +1}, {a, -1}, {a, -1}}, net)
          .code(),
      ErrorCode::Internal);

  // Against the tree: an entry that is not there cannot go, one that is cannot come again,
  // and a refused batch writes nothing.
  const TableDef t = memoryTable();
  const PhysicalIndex ix = memoryIndex();
  btreetest::MemoryPages io;
  io.makeRoot(ix.rootPage, t.page);
  ASSERT_TRUE(IndexTree(io, t, ix).insert(a));
  const auto before = io.pages;
  std::vector<IndexChange> bad;
  for (uint32_t i = 0; i < 200; ++i)
    bad.push_back({leafEntry(keyOf(i + 10, 6), toRowPointer(300, i % 200)), +1});
  bad.push_back({b, -1});
  ASSERT_TRUE(netIndexChanges(bad, net));
  EXPECT_EQ(rebuildIndexTree(io, t, ix, net).code(), ErrorCode::Corrupt);
  EXPECT_EQ(io.pages, before);
  bad.back() = {a, +1};
  ASSERT_TRUE(netIndexChanges(bad, net));
  EXPECT_EQ(rebuildIndexTree(io, t, ix, net).code(), ErrorCode::Internal);
  EXPECT_EQ(io.pages, before);
}

// --- the suite-shaped file ---------------------------------------------------------------------

size_t col(Database &db, const char *name) {
  return static_cast<size_t>((*db.table("BUONI"))->findColumn(name)->index);
}

// Adds a unique descending index on Numero and one over Targa and Data (descending).
void addIndexes(Database &db) {
  Status st = createIndex(db, "BUONI", {"NumeroGiu", {{"Numero", false}}, false, true});
  ASSERT_TRUE(st) << st.message();
  st = createIndex(db, "BUONI", {"TargaData", {{"Targa", true}, {"Data", false}}});
  ASSERT_TRUE(st) << st.message();
}

std::vector<Value> buono(Database &db, std::mt19937 &rng, int32_t numero) {
  auto def = *db.table("BUONI");
  std::vector<Value> v(def->columns.size());
  v[col(db, "Numero")] = Value(numero);
  if (rng() % 8)
    v[col(db, "Data")] = Value(toDateTime(
        {2020 + int(rng() % 5), 1 + int(rng() % 12), 1 + int(rng() % 28), int(rng() % 24), 0, 0}));
  if (rng() % 6)
    v[col(db, "IDCliente")] = Value(int32_t(rng() % 90));
  static const char *targhe[] = {"AB123CD", "ZZ999ZZ", "àèìòù", "EF'01GH", "€ 5", "ab123cd"};
  if (rng() % 5)
    v[col(db, "Targa")] = Value(std::string(targhe[rng() % 6]) + std::to_string(rng() % 40));
  v[col(db, "Fatturato")] = Value(rng() % 2 == 0);
  if (rng() % 10 == 0)
    v[col(db, "Note")] = Value(std::string(100 + rng() % 3000, 'n'));
  return v;
}

// Every index's entries, key and row, in index order.
std::map<uint32_t, std::vector<IndexEntry>> allEntries(const std::filesystem::path &path) {
  auto db = openReading(path);
  std::map<uint32_t, std::vector<IndexEntry>> out;
  auto def = db->table("BUONI");
  PagerIndexIO io(db->pager());
  for (const auto &ix : (*def)->physicalIndexes) {
    IndexTree tree(io, **def, ix);
    EXPECT_TRUE(tree.scanAll([&](const IndexEntry &e) {
      out[ix.number].push_back(e);
      return true;
    }));
  }
  return out;
}

// The same, each entry's row named by its ID (row places depend on when index pages were
// taken from the free map, and so does the order of the rows of one key): sorted by key, then
// ID.
using KeyedIds = std::map<uint32_t, std::vector<std::pair<Bytes, int32_t>>>;
KeyedIds entriesById(const std::filesystem::path &path) {
  auto db = openReading(path);
  KeyedIds out;
  const size_t id = col(*db, "ID");
  for (const auto &[number, entries] : allEntries(path)) {
    auto &list = out[number];
    for (const auto &e : entries) {
      auto row = db->readRow("BUONI", RowLocation{e.row.page, e.row.row});
      EXPECT_TRUE(row) << row.status().message();
      list.emplace_back(e.key, row ? (*row)[id].as<int32_t>() : -1);
    }
    std::sort(list.begin(), list.end());
  }
  return out;
}

// Where two such lists first differ, or nothing.
std::string firstDifference(const KeyedIds &a, const KeyedIds &b) {
  if (a.size() != b.size())
    return "indici: " + std::to_string(a.size()) + " e " + std::to_string(b.size());
  for (const auto &[number, list] : a) {
    auto it = b.find(number);
    if (it == b.end())
      return "indice " + std::to_string(number) + " assente";
    if (list.size() != it->second.size())
      return "indice " + std::to_string(number) + ": " + std::to_string(list.size()) + " e " +
             std::to_string(it->second.size()) + " voci";
    for (size_t i = 0; i < list.size(); ++i)
      if (list[i] != it->second[i])
        return "indice " + std::to_string(number) + ", voce " + std::to_string(i) + ": ID " +
               std::to_string(list[i].second) + " e " + std::to_string(it->second[i].second);
  }
  return {};
}

std::vector<std::string> sortedLines(const std::string &text) {
  std::vector<std::string> lines;
  size_t from = 0;
  while (from < text.size()) {
    size_t end = text.find('\n', from);
    if (end == std::string::npos)
      end = text.size();
    lines.push_back(text.substr(from, end - from));
    from = end + 1;
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

RowLocation rowWithId(Database &db, const std::string &table, const Value &id) {
  auto c = db.cursor(table);
  std::vector<Value> v;
  while (c && *c->next()) {
    EXPECT_TRUE(c->read(v));
    if (v[0] == id)
      return c->location();
  }
  ADD_FAILURE() << table << " senza la riga";
  return {};
}

// Bytes of every index page of the file, by page number.
std::map<uint32_t, std::string> indexPages(const std::filesystem::path &path) {
  const std::string file = vasktest::readFile(path);
  std::map<uint32_t, std::string> out;
  for (size_t at = 0; at + kIndexPageSize <= file.size(); at += kIndexPageSize)
    if (file[at] == 0x03 || file[at] == 0x04)
      out[static_cast<uint32_t>(at / kIndexPageSize)] = file.substr(at, kIndexPageSize);
  return out;
}

// A large mixed run in three transactions: inserts, updates of indexed columns (and of one in
// no index), deletes of most rows.
void bigRun(Database &db) {
  std::mt19937 rng(11);
  ASSERT_TRUE(db.begin());
  for (int i = 0; i < 4000; ++i) {
    auto v = buono(db, rng, 100000 - i);
    auto at = db.insertRow("BUONI", v);
    ASSERT_TRUE(at) << at.status().message();
  }
  ASSERT_TRUE(db.commit());
  ASSERT_TRUE(db.begin());
  auto at = locations(db, "BUONI");
  for (size_t i = 0; i < at.size(); i += 2) {
    auto v = *db.readRow("BUONI", at[i]);
    if (i % 3 == 0)
      v[col(db, "Targa")] = Value("T" + std::to_string(i % 97));
    if (i % 4 == 0)
      v[col(db, "Data")] = Value();
    v[col(db, "Litri")] = Value(float(i));
    if (i % 10 == 0)
      v[col(db, "Note")] = Value(std::string(2000, 'u'));
    ASSERT_TRUE(db.updateRow("BUONI", at[i], v));
  }
  ASSERT_TRUE(db.commit());
  ASSERT_TRUE(db.begin());
  for (size_t i = 0; i < at.size(); ++i)
    if (i % 5 != 0)
      ASSERT_TRUE(db.deleteRow("BUONI", at[i]));
  ASSERT_TRUE(db.commit());
}

TEST(BtreeBatch, LargeStatementsGiveTheEntriesOfTheOneByOnePath) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto batched = vasktest::copyFixture("suite/zelbo.mdb", dir);
  auto oneByOne = dir.file("uno_a_uno.mdb");
  std::filesystem::copy_file(batched, oneByOne);
  {
    auto db = openWritable(batched);
    addIndexes(*db);
    bigRun(*db);
  }
  {
    auto db = openWritable(oneByOne);
    db->setIndexMaintainer(&btreeIndexMaintenance());
    addIndexes(*db);
    bigRun(*db);
  }
  expectSound(batched, "BUONI");
  expectSound(oneByOne, "BUONI");
  EXPECT_EQ(sortedLines(ourExport(batched, "BUONI")), sortedLines(ourExport(oneByOne, "BUONI")));
  auto a = entriesById(batched), b = entriesById(oneByOne);
  ASSERT_EQ(a.size(), 6u);
  EXPECT_EQ(firstDifference(a, b), "");
  EXPECT_EQ(a.begin()->second.size(), rows(*openReading(batched), "BUONI").size());
}

TEST(BtreeBatch, DeletingEveryRowEmptiesEveryIndex) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  {
    auto db = openWritable(path);
    addIndexes(*db);
    std::mt19937 rng(5);
    ASSERT_TRUE(db->begin());
    for (int i = 0; i < 3000; ++i) {
      auto v = buono(*db, rng, 2000 + i);
      ASSERT_TRUE(db->insertRow("BUONI", v));
    }
    for (auto at : locations(*db, "BUONI"))
      ASSERT_TRUE(db->deleteRow("BUONI", at));
    ASSERT_TRUE(db->commit());
  }
  expectSound(path, "BUONI");
  for (const auto &[number, entries] : allEntries(path))
    EXPECT_TRUE(entries.empty()) << "indice " << number;
  // The emptied file takes rows again.
  {
    auto db = openWritable(path);
    std::mt19937 rng(6);
    ASSERT_TRUE(db->begin());
    for (int i = 0; i < 500; ++i) {
      auto v = buono(*db, rng, i);
      ASSERT_TRUE(db->insertRow("BUONI", v));
    }
    ASSERT_TRUE(db->commit());
  }
  expectSound(path, "BUONI");
}

TEST(BtreeBatch, ADuplicateInsideABatchIsRefusedAndNothingIsWritten) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  {
    auto db = openWritable(path);
    addIndexes(*db);
  }
  const std::string original = vasktest::readFile(path);
  {
    auto db = openWritable(path);
    std::mt19937 rng(8);
    ASSERT_TRUE(db->begin());
    Value lastId;
    for (int i = 0; i < 2000; ++i) {
      auto v = buono(*db, rng, 10000 + i);
      ASSERT_TRUE(db->insertRow("BUONI", v));
      if (i == 1800)
        lastId = v[col(*db, "ID")];
    }
    ASSERT_FALSE(lastId.isNull());
    // A number given earlier in this transaction, not yet in the tree.
    auto dup = buono(*db, rng, 10500);
    auto r = db->insertRow("BUONI", dup);
    ASSERT_EQ(r.status().code(), ErrorCode::DuplicateKey);
    EXPECT_NE(r.status().message().find("'NumeroGiu'"), std::string::npos) << r.status().message();
    EXPECT_NE(r.status().message().find("10500"), std::string::npos);
    // The same on the primary key, an ID of this transaction.
    auto sameId = buono(*db, rng, 20000);
    sameId[col(*db, "ID")] = lastId;
    auto s = db->insertRow("BUONI", sameId);
    ASSERT_EQ(s.status().code(), ErrorCode::DuplicateKey);
    EXPECT_NE(s.status().message().find("chiave primaria 'PrimaryKey'"), std::string::npos)
        << s.status().message();
    // An update onto a queued number is refused too; onto the number a queued delete freed
    // is not.
    auto at = locations(*db, "BUONI");
    auto v = *db->readRow("BUONI", at[1300]);
    v[col(*db, "Numero")] = Value(int32_t(11999));
    EXPECT_EQ(db->updateRow("BUONI", at[1300], v).code(), ErrorCode::DuplicateKey);
    const Value freed = (*db->readRow("BUONI", at[1400]))[col(*db, "Numero")];
    ASSERT_TRUE(db->deleteRow("BUONI", at[1400]));
    v[col(*db, "Numero")] = freed;
    EXPECT_TRUE(db->updateRow("BUONI", at[1300], v));
    ASSERT_TRUE(db->rollback());
  }
  EXPECT_EQ(vasktest::readFile(path), original);
  // Outside a transaction the refused row is one statement of its own: nothing written. The
  // last key of a tree is there too (a lookup may be skipped only beyond it).
  {
    auto db = openWritable(path);
    std::mt19937 rng(9);
    auto v = buono(*db, rng, 7); // Numero 7 is there
    EXPECT_EQ(db->insertRow("BUONI", v).status().code(), ErrorCode::DuplicateKey);
    int32_t maxId = 0;
    for (const auto &r : rows(*db, "BUONI"))
      maxId = std::max(maxId, r[col(*db, "ID")].as<int32_t>());
    auto w = buono(*db, rng, 30000);
    w[col(*db, "ID")] = Value(maxId);
    EXPECT_EQ(db->insertRow("BUONI", w).status().code(), ErrorCode::DuplicateKey);
    auto first = buono(*db, rng, 1); // the last key of the descending index
    EXPECT_EQ(db->insertRow("BUONI", first).status().code(), ErrorCode::DuplicateKey);
  }
  EXPECT_EQ(vasktest::readFile(path), original);
}

TEST(BtreeBatch, UndoneStatementsAndSavepointsTakeTheirQueuedChangesWithThem) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  {
    auto db = openWritable(path);
    addIndexes(*db);
  }
  std::vector<std::vector<Value>> kept;
  {
    auto db = openWritable(path);
    std::mt19937 rng(12);
    ASSERT_TRUE(db->begin());
    for (int i = 0; i < 1500; ++i) {
      auto v = buono(*db, rng, 3000 + i);
      ASSERT_TRUE(db->insertRow("BUONI", v));
    }
    kept = rows(*db, "BUONI");
    auto sp = db->savepoint();
    ASSERT_TRUE(sp);
    for (int i = 0; i < 1500; ++i) {
      auto v = buono(*db, rng, 6000 + i);
      ASSERT_TRUE(db->insertRow("BUONI", v));
    }
    // The check in the middle applies the queues inside the savepoint; undoing the savepoint
    // then puts back the pages and the first 1500 rows' changes wait again.
    std::vector<std::string> findings;
    ASSERT_TRUE(checkDatabase(*db, findings));
    EXPECT_TRUE(findings.empty()) << findings.front();
    auto at = locations(*db, "BUONI");
    for (size_t i = 0; i < at.size(); i += 3)
      ASSERT_TRUE(db->deleteRow("BUONI", at[i]));
    ASSERT_TRUE(db->rollbackTo(*sp));
    EXPECT_EQ(rows(*db, "BUONI"), kept);
    // Numbers the undone rows had are free again.
    auto again = buono(*db, rng, 6001);
    ASSERT_TRUE(db->insertRow("BUONI", again));
    kept = rows(*db, "BUONI");
    ASSERT_TRUE(db->commit());
  }
  expectSound(path, "BUONI");
  EXPECT_EQ(rows(*openReading(path), "BUONI"), kept);
  EXPECT_EQ(allEntries(path).begin()->second.size(), kept.size());
  // A whole transaction rolled back with its queues: the file as it was.
  std::filesystem::path second = dir.file("secondo.mdb");
  {
    std::filesystem::copy_file(path, second);
    const std::string before = vasktest::readFile(second);
    auto db = openWritable(second);
    std::mt19937 rng(13);
    ASSERT_TRUE(db->begin());
    for (int i = 0; i < 2000; ++i) {
      auto v = buono(*db, rng, 40000 + i);
      ASSERT_TRUE(db->insertRow("BUONI", v));
    }
    for (auto at : locations(*db, "BUONI"))
      ASSERT_TRUE(db->deleteRow("BUONI", at));
    ASSERT_TRUE(db->rollback());
    db.reset();
    EXPECT_EQ(vasktest::readFile(second), before);
  }
}

// Rows of a table with the given columns set, the others Null (yes/no columns No).
std::vector<Value> rowOf(Database &db, const std::string &table,
                         std::initializer_list<std::pair<const char *, Value>> values) {
  auto def = *db.table(table);
  std::vector<Value> v(def->columns.size());
  for (const auto &c : def->columns)
    if (c.type == ColumnType::Boolean)
      v[c.index] = Value(false);
  for (const auto &[name, value] : values)
    v[def->findColumn(name)->index] = value;
  return v;
}

TEST(BtreeBatch, RelationshipLookupsSeeTheRowsQueuedInTheTransaction) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  size_t scadenze = 0;
  {
    auto db = openWritable(path);
    scadenze = rows(*db, "SCADENZE").size();
    ASSERT_TRUE(db->begin());
    std::vector<Value> clients, invoices;
    for (int i = 0; i < 200; ++i) {
      auto c = rowOf(*db, "CLIENTI", {{"Codice", Value("N" + std::to_string(i))}});
      ASSERT_TRUE(db->insertRow("CLIENTI", c));
      clients.push_back(c[0]);
    }
    // Invoices of the new clients: their parents are only in the queues so far.
    const DateTime day = toDateTime({2025, 3, 1, 0, 0, 0});
    for (int i = 0; i < 400; ++i) {
      auto f = rowOf(*db, "FATTURE",
                     {{"Numero", Value(int32_t(50000 + i))},
                      {"Data", Value(day)},
                      {"IDCliente", clients[static_cast<size_t>(i) % clients.size()]}});
      auto at = db->insertRow("FATTURE", f);
      ASSERT_TRUE(at) << at.status().message();
      invoices.push_back(f[0]);
      for (int k = 0; k < 2; ++k) {
        auto due = rowOf(*db, "SCADENZE", {{"IDFattura", f[0]}, {"Data", Value(day)}});
        ASSERT_TRUE(db->insertRow("SCADENZE", due));
      }
    }
    // A client whose invoices are queued cannot go.
    auto st = db->deleteRow("CLIENTI", rowWithId(*db, "CLIENTI", clients[0]));
    EXPECT_EQ(st.code(), ErrorCode::RelationshipChildren) << st.message();
    // Deleting half the new invoices takes their queued due dates with them.
    for (size_t i = 0; i < invoices.size(); i += 2)
      ASSERT_TRUE(db->deleteRow("FATTURE", rowWithId(*db, "FATTURE", invoices[i])));
    EXPECT_EQ(rows(*db, "SCADENZE").size(), scadenze + 400);
    ASSERT_TRUE(db->commit());
  }
  EXPECT_EQ(rows(*openReading(path), "SCADENZE").size(), scadenze + 400);
  EXPECT_EQ(checkFindings(path), "");
}

// Rows by ID, as a database placed them.
std::map<int32_t, RowLocation> placesById(Database &db) {
  std::map<int32_t, RowLocation> out;
  auto c = db.cursor("BUONI");
  std::vector<Value> v;
  while (c && *c->next()) {
    EXPECT_TRUE(c->read(v));
    out[v[0].as<int32_t>()] = c->location();
  }
  return out;
}

// The same random run of statements, refusals, savepoints and commits on two copies, one
// keeping its indexes in batches and one entry by entry: every statement has the same outcome
// on both, and the indexes end up with the same entries.
TEST(BtreeBatch, ARandomRunAgreesWithTheOneByOnePath) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto batchedPath = vasktest::copyFixture("suite/zelbo.mdb", dir);
  auto oneByOnePath = dir.file("uno_a_uno.mdb");
  std::filesystem::copy_file(batchedPath, oneByOnePath);
  auto a = openWritable(batchedPath), b = openWritable(oneByOnePath);
  b->setIndexMaintainer(&btreeIndexMaintenance());
  addIndexes(*a);
  addIndexes(*b);
  std::map<int32_t, RowLocation> placesA = placesById(*a), placesB = placesById(*b);
  std::mt19937 pick(21);
  std::vector<size_t> savepoints;
  ASSERT_TRUE(a->begin());
  ASSERT_TRUE(b->begin());
  auto reread = [&] {
    placesA = placesById(*a);
    placesB = placesById(*b);
    ASSERT_EQ(placesA.size(), placesB.size());
  };
  for (int step = 0; step < 2500; ++step) {
    const unsigned what = pick() % 100;
    std::mt19937 rowRng(static_cast<unsigned>(step));
    if (what < 45) {
      // Numbers from a range small enough to collide now and then.
      const int32_t numero = 2000 + static_cast<int32_t>(pick() % 3000);
      std::mt19937 rngA(step), rngB(step);
      auto va = buono(*a, rngA, numero), vb = buono(*b, rngB, numero);
      auto ra = a->insertRow("BUONI", va);
      auto rb = b->insertRow("BUONI", vb);
      ASSERT_EQ(ra.status().code(), rb.status().code()) << step << ": " << ra.status().message();
      if (ra) {
        ASSERT_EQ(va[0], vb[0]);
        placesA[va[0].as<int32_t>()] = *ra;
        placesB[vb[0].as<int32_t>()] = *rb;
      }
    } else if (what < 88 && !placesA.empty()) {
      auto it = placesA.begin();
      std::advance(it, static_cast<long>(pick() % placesA.size()));
      const int32_t id = it->first;
      if (what < 70) {
        auto va = *a->readRow("BUONI", placesA[id]);
        auto vb = *b->readRow("BUONI", placesB[id]);
        ASSERT_EQ(va, vb);
        const unsigned change = pick() % 4;
        const Value numero(int32_t(2000 + pick() % 3000));
        const Value targa("U" + std::to_string(pick() % 50));
        for (auto *v : {&va, &vb}) {
          if (change == 0)
            (*v)[col(*a, "Numero")] = numero;
          else if (change == 1)
            (*v)[col(*a, "Targa")] = targa;
          else if (change == 2)
            (*v)[col(*a, "Data")] = Value();
          else
            (*v)[col(*a, "Litri")] = Value(float(step));
        }
        Status sa = a->updateRow("BUONI", placesA[id], va);
        Status sb = b->updateRow("BUONI", placesB[id], vb);
        ASSERT_EQ(sa.code(), sb.code()) << step << ": " << sa.message();
      } else {
        ASSERT_TRUE(a->deleteRow("BUONI", placesA[id]));
        ASSERT_TRUE(b->deleteRow("BUONI", placesB[id]));
        placesA.erase(id);
        placesB.erase(id);
      }
    } else if (what < 93) {
      auto sa = a->savepoint();
      auto sb = b->savepoint();
      ASSERT_TRUE(sa && sb);
      ASSERT_EQ(*sa, *sb);
      savepoints.push_back(*sa);
    } else if (what < 97 && !savepoints.empty()) {
      const size_t sp = savepoints.back();
      savepoints.pop_back();
      if (what < 95) {
        ASSERT_TRUE(a->rollbackTo(sp));
        ASSERT_TRUE(b->rollbackTo(sp));
        reread();
      } else {
        ASSERT_TRUE(a->release(sp));
        ASSERT_TRUE(b->release(sp));
      }
    } else if (what < 99 && savepoints.empty()) {
      ASSERT_TRUE(a->commit());
      ASSERT_TRUE(b->commit());
      ASSERT_TRUE(a->begin());
      ASSERT_TRUE(b->begin());
    } else if (step % 7 == 0) {
      // Applies the queues in the middle, maybe inside savepoints.
      std::vector<std::string> findings;
      ASSERT_TRUE(checkTable(*a, "BUONI", findings));
      ASSERT_TRUE(findings.empty()) << step << ": " << findings.front();
    }
  }
  ASSERT_TRUE(a->commit());
  ASSERT_TRUE(b->commit());
  a.reset();
  b.reset();
  EXPECT_EQ(checkFindings(batchedPath), "");
  EXPECT_EQ(checkFindings(oneByOnePath), "");
  EXPECT_EQ(firstDifference(entriesById(batchedPath), entriesById(oneByOnePath)), "");
}

TEST(BtreeBatch, ADesignChangeInsideTheTransactionKeepsTheQueuesTrue) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  size_t expected = 0;
  {
    auto db = openWritable(path);
    std::mt19937 rng(31);
    ASSERT_TRUE(db->begin());
    for (int i = 0; i < 500; ++i) {
      auto v = buono(*db, rng, 3000 + i);
      ASSERT_TRUE(db->insertRow("BUONI", v));
    }
    // A new index, rows written under it, all undone: the first rows' changes wait again for
    // the indexes they were made for.
    auto sp = db->savepoint();
    ASSERT_TRUE(sp);
    addIndexes(*db);
    for (int i = 0; i < 500; ++i) {
      auto v = buono(*db, rng, 4000 + i);
      ASSERT_TRUE(db->insertRow("BUONI", v));
    }
    ASSERT_TRUE(db->rollbackTo(*sp));
    EXPECT_EQ((*db->table("BUONI"))->physicalIndexes.size(), 4u);
    for (int i = 0; i < 300; ++i) {
      auto v = buono(*db, rng, 5000 + i);
      ASSERT_TRUE(db->insertRow("BUONI", v));
    }
    // And for good this time.
    addIndexes(*db);
    for (int i = 0; i < 300; ++i) {
      auto v = buono(*db, rng, 6000 + i);
      ASSERT_TRUE(db->insertRow("BUONI", v));
    }
    auto dup = buono(*db, rng, 6100);
    EXPECT_EQ(db->insertRow("BUONI", dup).status().code(), ErrorCode::DuplicateKey);
    expected = rows(*db, "BUONI").size();
    ASSERT_TRUE(db->commit());
  }
  expectSound(path, "BUONI");
  auto entries = allEntries(path);
  ASSERT_EQ(entries.size(), 6u);
  for (const auto &[number, list] : entries)
    if (number == 0)
      EXPECT_EQ(list.size(), expected);
}

TEST(BtreeBatch, AnUpdateOutsideEveryIndexLeavesTheIndexPagesAlone) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  const auto before = indexPages(path);
  {
    auto db = openWritable(path);
    ASSERT_TRUE(db->begin());
    for (auto at : locations(*db, "BUONI")) {
      auto v = *db->readRow("BUONI", at);
      v[col(*db, "Litri")] = Value(float(1.5));
      v[col(*db, "Prezzo")] = Value(2.25);
      ASSERT_TRUE(db->updateRow("BUONI", at, v));
    }
    ASSERT_TRUE(db->commit());
  }
  EXPECT_EQ(indexPages(path), before);
  expectSound(path, "BUONI");
}

} // namespace
