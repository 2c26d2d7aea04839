// Index trees built and torn down entry by entry, in memory: thousands of rows in random order
// (page splits on every level), removals down to the empty root, updates, lookups, and the rules
// that refuse a row without changing a page.
#include "btree_support.h"
#include "jet/index_btree.h"
#include "jet/index_check.h"
#include "jet/index_rows.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

using namespace jet;
using btreetest::MemoryPages;

namespace {

constexpr uint32_t kTablePage = 2;

TableDef makeTable() {
  TableDef t;
  t.name = "Prova";
  t.page = kTablePage;
  auto col = [&](const char *name, ColumnType type, uint16_t n) {
    ColumnDef c;
    c.name = name;
    c.type = type;
    c.number = n;
    c.index = n;
    if (type == ColumnType::Text)
      c.sortOrder = kGeneralSortOrder;
    t.columns.push_back(c);
  };
  col("ID", ColumnType::Long, 0);
  col("Nome", ColumnType::Text, 1);
  col("Valore", ColumnType::Long, 2);
  auto phys = [&](uint32_t root, uint8_t flags, std::vector<IndexColumn> cols) {
    PhysicalIndex p;
    p.number = static_cast<uint32_t>(t.physicalIndexes.size());
    p.rootPage = root;
    p.flags = flags;
    p.columns = std::move(cols);
    t.physicalIndexes.push_back(p);
  };
  phys(10, PhysicalIndex::kUniqueFlag | PhysicalIndex::kRequiredFlag, {{0, true}});
  phys(11, 0, {{1, true}});
  phys(12, PhysicalIndex::kIgnoreNullsFlag, {{1, false}, {2, true}});
  auto logical = [&](const char *name, uint32_t physical, uint8_t kind) {
    LogicalIndex l;
    l.name = name;
    l.number = physical;
    l.physical = physical;
    l.kind = kind;
    t.indexes.push_back(l);
  };
  logical("PrimaryKey", 0, LogicalIndex::kPrimaryKey);
  logical("Nome", 1, LogicalIndex::kNormal);
  logical("NomeValore", 2, LogicalIndex::kNormal);
  return t;
}

struct Fixture {
  TableDef table = makeTable();
  MemoryPages io;
  std::vector<CheckedRow> rows;
  Fixture() {
    for (const auto &p : table.physicalIndexes)
      io.makeRoot(p.rootPage, kTablePage);
  }
  std::vector<std::string> check() { return checkTableIndexes(io, table, rows); }
  size_t depth(size_t index) {
    size_t d = 1;
    uint32_t page = table.physicalIndexes[index].rootPage;
    for (;;) {
      auto p = decodeIndexPage(io.pages.at(page));
      if (!p || p->kind == IndexPageKind::Leaf)
        return d;
      page = p->tailPage ? p->tailPage : p->entries.front().child;
      ++d;
    }
  }
};

std::string randomName(std::mt19937 &rng) {
  static const std::vector<std::string> parts = {
      "Rossi",  "Bianchi", "Caffè", "L'Aquila", "perché", "Città", "ÀÉÌ",  "d'Annunzio",
      "Müller", "€uro",    " ",     "-",        "0",      "9",     "zeta", "ßeta"};
  std::string s;
  size_t n = 2 + rng() % 12;
  for (size_t i = 0; i < n; ++i)
    s += parts[rng() % parts.size()];
  return s;
}

CheckedRow makeRow(int32_t id, std::string name, Value valore, RowLocation at) {
  CheckedRow r;
  r.at = at;
  r.values = {Value(id), name.empty() ? Value::null() : Value(std::move(name)), std::move(valore)};
  return r;
}

RowLocation locationOf(size_t i) {
  return RowLocation{static_cast<uint32_t>(1000 + i / 150), static_cast<uint16_t>(i % 150)};
}

std::vector<IndexEntry> leaves(Fixture &f, size_t index) {
  std::vector<IndexEntry> out;
  IndexTree tree(f.io, f.table, f.table.physicalIndexes[index]);
  EXPECT_TRUE(tree.scanAll([&](const IndexEntry &e) {
    out.push_back(e);
    return true;
  }));
  return out;
}

} // namespace

TEST(BtreeTree, RandomInsertsThenRemovalsKeepEveryIndexExact) {
  Fixture f;
  std::mt19937 rng(4242);
  const size_t n = 6000;
  std::vector<int32_t> ids(n);
  for (size_t i = 0; i < n; ++i)
    ids[i] = static_cast<int32_t>(i + 1);
  std::shuffle(ids.begin(), ids.end(), rng);
  TableIndexMaintainer m(f.io, f.table);
  for (size_t i = 0; i < n; ++i) {
    Value v = rng() % 5 == 0 ? Value::null() : Value(static_cast<int32_t>(rng() % 1000) - 500);
    std::string name = rng() % 7 == 0 ? std::string() : randomName(rng);
    f.rows.push_back(makeRow(ids[i], name, v, locationOf(i)));
    Status s = m.rowInserted(f.rows.back().at, f.rows.back().values);
    ASSERT_TRUE(s) << s.message();
  }
  EXPECT_EQ(f.check(), std::vector<std::string>{});
  EXPECT_GE(f.depth(1), 3u); // splits reached the intermediate level
  EXPECT_GE(f.depth(0), 2u);

  // Every leaf entry, in order, is what a fresh encoding of the rows gives.
  for (size_t ix = 0; ix < f.table.physicalIndexes.size(); ++ix) {
    std::vector<IndexEntry> want;
    for (const auto &r : f.rows) {
      auto key = rowIndexKey(f.table, f.table.physicalIndexes[ix], r.values);
      ASSERT_TRUE(key);
      if (*key)
        want.push_back(leafEntry(**key, rowPointerOf(r.at)));
    }
    std::sort(want.begin(), want.end(),
              [](const auto &a, const auto &b) { return compareIndexEntries(a, b) < 0; });
    EXPECT_EQ(leaves(f, ix), want) << "indice " << ix;
  }

  // Lookups: by whole key, by the leading column of a multi-column index.
  IndexTree byName(f.io, f.table, f.table.physicalIndexes[1]);
  IndexTree byNameValue(f.io, f.table, f.table.physicalIndexes[2]);
  for (size_t i = 0; i < 200; ++i) {
    const CheckedRow &r = f.rows[rng() % n];
    if (r.values[1].isNull())
      continue;
    std::vector<Value> keyValues{r.values[1]};
    auto key = indexKeyOf(f.table, f.table.physicalIndexes[1], keyValues);
    ASSERT_TRUE(key);
    auto found = byName.find(*key);
    ASSERT_TRUE(found);
    // Texts that differ only in trailing blanks share a key.
    size_t same = std::count_if(f.rows.begin(), f.rows.end(), [&](const CheckedRow &o) {
      auto k = rowIndexKey(f.table, f.table.physicalIndexes[1], o.values);
      return k && *k && **k == *key;
    });
    EXPECT_EQ(found->size(), same);
    EXPECT_NE(std::find(found->begin(), found->end(), rowPointerOf(r.at)), found->end());
    auto prefix = indexKeyPrefix(f.table, f.table.physicalIndexes[2], keyValues);
    ASSERT_TRUE(prefix);
    size_t scanned = 0;
    ASSERT_TRUE(byNameValue.scanPrefix(*prefix, [&](const IndexEntry &) {
      ++scanned;
      return true;
    }));
    EXPECT_EQ(scanned, same);
  }
  auto absent = indexKeyOf(f.table, f.table.physicalIndexes[0], std::vector<Value>{Value(0)});
  EXPECT_FALSE(*IndexTree(f.io, f.table, f.table.physicalIndexes[0]).containsKey(*absent));

  // Remove every other row, checking as we go, then the rest: only the roots stay, empty.
  std::vector<size_t> order(n);
  for (size_t i = 0; i < n; ++i)
    order[i] = i;
  std::shuffle(order.begin(), order.end(), rng);
  std::vector<CheckedRow> live = f.rows;
  std::vector<bool> gone(n);
  for (size_t k = 0; k < n; ++k) {
    size_t i = order[k];
    Status s = m.rowDeleted(f.rows[i].at, f.rows[i].values);
    ASSERT_TRUE(s) << s.message();
    gone[i] = true;
    if (k == n / 2 || k == n - 50) {
      std::vector<CheckedRow> remaining;
      for (size_t j = 0; j < n; ++j)
        if (!gone[j])
          remaining.push_back(f.rows[j]);
      EXPECT_EQ(checkTableIndexes(f.io, f.table, remaining), std::vector<std::string>{});
    }
  }
  f.rows.clear();
  EXPECT_EQ(f.check(), std::vector<std::string>{});
  EXPECT_EQ(f.io.pages.size(), 3u) << "pagine non restituite";
  for (const auto &p : f.table.physicalIndexes) {
    auto root = decodeIndexPage(f.io.pages.at(p.rootPage));
    ASSERT_TRUE(root);
    EXPECT_EQ(root->kind, IndexPageKind::Leaf);
    EXPECT_TRUE(root->entries.empty());
  }
}

TEST(BtreeTree, KeyOrderAppendsLeaveFullPagesAndTheTailLast) {
  Fixture f;
  TableIndexMaintainer m(f.io, f.table);
  for (int32_t id = 1; id <= 5000; ++id) {
    f.rows.push_back(makeRow(id, "", Value::null(), locationOf(id)));
    ASSERT_TRUE(m.rowInserted(f.rows.back().at, f.rows.back().values));
  }
  EXPECT_EQ(f.check(), std::vector<std::string>{});
  // Walk the leaves: each one but the tail is full (the next entry would not fit on it).
  auto root = decodeIndexPage(f.io.pages.at(10));
  ASSERT_TRUE(root);
  ASSERT_EQ(root->kind, IndexPageKind::Intermediate);
  uint32_t page = root->entries.front().child;
  size_t leavesSeen = 0;
  while (page) {
    auto leaf = decodeIndexPage(f.io.pages.at(page));
    ASSERT_TRUE(leaf);
    ++leavesSeen;
    if (leaf->nextPage) {
      auto next = decodeIndexPage(f.io.pages.at(leaf->nextPage));
      auto more = leaf->entries;
      more.push_back(next->entries.front());
      EXPECT_FALSE(indexEntriesFit(IndexPageKind::Leaf, more)) << "pagina " << page;
    } else {
      EXPECT_EQ(page, root->tailPage);
    }
    page = leaf->nextPage;
  }
  EXPECT_GE(leavesSeen, 5000u / 700);
}

TEST(BtreeTree, UpdatesMoveOnlyTheEntriesThatChange) {
  Fixture f;
  std::mt19937 rng(7);
  TableIndexMaintainer m(f.io, f.table);
  for (int32_t id = 1; id <= 2000; ++id) {
    f.rows.push_back(makeRow(id, randomName(rng), Value(id % 37), locationOf(id)));
    ASSERT_TRUE(m.rowInserted(f.rows.back().at, f.rows.back().values));
  }
  // Same values, same place: nothing written.
  size_t writes = f.io.writes;
  ASSERT_TRUE(m.rowUpdated(f.rows[5].at, f.rows[5].values, f.rows[5].at, f.rows[5].values));
  EXPECT_EQ(f.io.writes, writes);
  for (size_t k = 0; k < 1500; ++k) {
    CheckedRow &r = f.rows[rng() % f.rows.size()];
    CheckedRow changed = r;
    switch (rng() % 3) {
    case 0:
      changed.values[1] = Value(randomName(rng));
      break;
    case 1:
      changed.values[2] = rng() % 4 ? Value(static_cast<int32_t>(rng() % 50)) : Value();
      break;
    default:
      changed.at.page += 500;
      break; // the row moved (an overflow row)
    }
    Status s = m.rowUpdated(r.at, r.values, changed.at, changed.values);
    ASSERT_TRUE(s) << s.message();
    r = changed;
  }
  EXPECT_EQ(f.check(), std::vector<std::string>{});
  // A key changed to one that another row holds in the primary key is refused.
  CheckedRow dup = f.rows[10];
  dup.values[0] = f.rows[11].values[0];
  Status s = m.rowUpdated(f.rows[10].at, f.rows[10].values, dup.at, dup.values);
  EXPECT_EQ(s.code(), ErrorCode::DuplicateKey);
  EXPECT_EQ(f.check(), std::vector<std::string>{});
}

TEST(BtreeTree, RefusedRowsChangeNoPage) {
  Fixture f;
  TableIndexMaintainer m(f.io, f.table);
  for (int32_t id = 1; id <= 800; ++id) {
    f.rows.push_back(makeRow(id, "Città " + std::to_string(id), Value(id), locationOf(id)));
    ASSERT_TRUE(m.rowInserted(f.rows.back().at, f.rows.back().values));
  }
  const auto before = f.io.pages;
  RowLocation spare{5000, 1};

  Status dup = m.rowInserted(spare, makeRow(77, "nuovo", Value(1), spare).values);
  EXPECT_EQ(dup.code(), ErrorCode::DuplicateKey);
  EXPECT_NE(dup.message().find("'PrimaryKey'"), std::string::npos) << dup.message();
  EXPECT_NE(dup.message().find("77"), std::string::npos) << dup.message();
  EXPECT_NE(dup.message().find("'Prova'"), std::string::npos) << dup.message();

  CheckedRow noId = makeRow(0, "senza", Value(1), spare);
  noId.values[0] = Value::null();
  Status null = m.rowInserted(spare, noId.values);
  EXPECT_EQ(null.code(), ErrorCode::RequiredNull);
  EXPECT_NE(null.message().find("'ID'"), std::string::npos) << null.message();

  // The primary key would take the row; the text index cannot encode it: neither changes.
  Status text = m.rowInserted(spare, makeRow(9001, "T\xc5kyo", Value(1), spare).values);
  EXPECT_EQ(text.code(), ErrorCode::KeyNotEncodable) << text.message();
  EXPECT_NE(text.message().find("'Nome'"), std::string::npos) << text.message();

  EXPECT_EQ(f.io.pages, before);
  EXPECT_EQ(f.check(), std::vector<std::string>{});

  // Rows with every column of a unique index Null do not collide.
  PhysicalIndex &nome = f.table.physicalIndexes[1];
  nome.flags |= PhysicalIndex::kUniqueFlag;
  for (int32_t id = 900; id < 903; ++id) {
    f.rows.push_back(makeRow(id, "", Value(id), locationOf(id)));
    ASSERT_TRUE(m.rowInserted(f.rows.back().at, f.rows.back().values));
  }
  Status uniqueText = m.rowInserted(spare, makeRow(904, "Città 5", Value(1), spare).values);
  EXPECT_EQ(uniqueText.code(), ErrorCode::DuplicateKey);
  EXPECT_NE(uniqueText.message().find("\"Città 5\""), std::string::npos) << uniqueText.message();
  EXPECT_EQ(f.check(), std::vector<std::string>{});
}

TEST(BtreeTree, CheckFindsDamage) {
  Fixture f;
  TableIndexMaintainer m(f.io, f.table);
  for (int32_t id = 1; id <= 1500; ++id) {
    f.rows.push_back(makeRow(id, "x" + std::to_string(id), Value(id), locationOf(id)));
    ASSERT_TRUE(m.rowInserted(f.rows.back().at, f.rows.back().values));
  }
  ASSERT_EQ(f.check(), std::vector<std::string>{});
  // A row the index does not know, and an entry for a row that is not there.
  auto rows = f.rows;
  rows.push_back(makeRow(99999, "y", Value(1), RowLocation{4000, 0}));
  auto found = checkTableIndexes(f.io, f.table, rows);
  EXPECT_EQ(found.size(), 6u); // count and missing entry, in each of the three indexes
  rows.pop_back();
  rows.erase(rows.begin() + 3);
  found = checkTableIndexes(f.io, f.table, rows);
  ASSERT_FALSE(found.empty());
  EXPECT_NE(found[0].find("Tabella 'Prova', indice 'PrimaryKey'"), std::string::npos);

  // A broken link between leaves, and an intermediate entry that is not its child's last.
  auto root = decodeIndexPage(f.io.pages.at(10));
  ASSERT_TRUE(root);
  ASSERT_EQ(root->kind, IndexPageKind::Intermediate);
  auto firstNo = root->entries.front().child;
  auto first = decodeIndexPage(f.io.pages.at(firstNo));
  first->nextPage = 0;
  f.io.pages[firstNo] = *encodeIndexPage(*first);
  root->entries.front().row.row ^= 1;
  f.io.pages[10] = *encodeIndexPage(*root);
  found = checkIndexTree(f.io, f.table, f.table.physicalIndexes[0], f.rows);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_NE(found[0].find("collegamenti"), std::string::npos) << found[0];
  EXPECT_NE(found[1].find("ultima voce"), std::string::npos) << found[1];
}
