// The index code against index pages written by Access and by an independent library: every
// page must come back byte for byte, and every key must be the one our encoder builds from the
// row it points at.
#include "index_fixture.h"
#include "jet/index_key.h"
#include "jet/index_page.h"
#include "test_support.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <iostream>
#include <map>

using namespace jet;
using indextest::RawFile;
using indextest::RawTable;

namespace {

std::vector<std::filesystem::path> jet4Fixtures() {
  const auto dir = vasktest::fixturesDir();
  std::vector<std::filesystem::path> files;
  for (const auto &e : std::filesystem::directory_iterator(dir / "access")) {
    const std::string name = e.path().filename().string();
    if (name.ends_with("V2000.mdb") || name == "adox_jet4.mdb")
      files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  files.push_back(dir / "sortorder" / "caratteri.mdb");
  files.push_back(dir / "suite" / "zelbo.mdb");
  return files;
}

struct KeyTally {
  std::map<std::string, size_t> byColumn; // non-null column values in matched keys
  size_t matched = 0;
  size_t mismatched = 0;
  size_t refused = 0;
  std::vector<std::string> notes;
};

std::vector<IndexKeyColumn> keyColumns(const RawTable &table, const indextest::RawIndex &index) {
  std::vector<IndexKeyColumn> cols;
  for (const auto &ic : index.columns) {
    const auto *c = table.column(ic.columnNumber);
    IndexKeyColumn k;
    k.type = c ? c->type : ColumnType::Ole;
    k.ascending = ic.ascending;
    if (c && c->type == ColumnType::Numeric)
      k.scale = c->scale;
    if (c && (c->type == ColumnType::Text || c->type == ColumnType::Memo)) {
      k.sortOrder = c->sortOrder;
      k.sortVersion = c->sortVersion;
    }
    cols.push_back(k);
  }
  return cols;
}

std::vector<Value> keyValues(const RawTable &table, const indextest::RawIndex &index,
                             const std::vector<Value> &row) {
  std::vector<Value> values;
  for (const auto &ic : index.columns) {
    for (size_t i = 0; i < table.columns.size(); ++i)
      if (table.columns[i].number == ic.columnNumber)
        values.push_back(row[i]);
  }
  return values;
}

uint32_t leafChainStart(const RawFile &file, uint32_t n) {
  for (int depth = 0; depth < 8; ++depth) {
    auto page = decodeIndexPage(file.page(n));
    if (!page || page->kind == IndexPageKind::Leaf)
      return page ? n : 0;
    if (page->entries.empty())
      return 0;
    n = page->entries.front().child;
  }
  return 0;
}

// Checks an index's keys against its rows; returns false where the index could not be walked.
bool checkIndexKeys(const RawFile &file, const RawTable &table, const indextest::RawIndex &index,
                    KeyTally &tally, const std::string &where) {
  auto root = file.page(index.rootPage);
  if (root.empty() || (root[0] != 0x03 && root[0] != 0x04))
    return true; // no index pages yet
  auto leaves = indextest::readIndexLeaves(file, index.rootPage);
  if (!leaves)
    return false;
  const auto cols = keyColumns(table, index);
  for (size_t i = 0; i < leaves->size(); ++i) {
    const IndexEntry &e = (*leaves)[i];
    if (i > 0) {
      EXPECT_EQ(compareIndexEntries((*leaves)[i - 1], e), std::strong_ordering::less)
          << where << ": leaf entries out of order at " << i;
    }
    auto row = indextest::readRow(file, table, e.row);
    if (!row) {
      ADD_FAILURE() << where << ": entry " << i << " points at no readable row (page " << e.row.page
                    << " row " << int(e.row.row) << ")";
      continue;
    }
    const auto values = keyValues(table, index, *row);
    auto key = encodeIndexKey(cols, values);
    if (!key) {
      ++tally.refused;
      if (tally.notes.size() < 5)
        tally.notes.push_back(where + ": " + key.status().message());
    } else if (*key == e.key) {
      ++tally.matched;
      for (size_t c = 0; c < cols.size(); ++c)
        if (!values[c].isNull())
          ++tally.byColumn[std::to_string(static_cast<int>(cols[c].type)) +
                           (cols[c].ascending ? " asc" : " desc")];
    } else {
      ++tally.mismatched;
      ADD_FAILURE() << where << ": entry " << i << " key " << indextest::hex(e.key)
                    << " but encoded " << indextest::hex(*key);
    }
  }
  // The pages of a level link both ways.
  for (uint32_t n = leafChainStart(file, index.rootPage), prev = 0; n != 0;) {
    auto page = decodeIndexPage(file.page(n));
    if (!page)
      break;
    EXPECT_EQ(page->prevPage, prev) << where << " leaf " << n;
    prev = n;
    n = page->nextPage;
  }
  if (!index.ignoresNulls() && !table.system) {
    EXPECT_EQ(leaves->size(), table.rowCount) << where << ": entries differ from rows";
  }
  return true;
}

// Every intermediate entry repeats the last entry of the page below it.
void checkTree(const RawFile &file, uint32_t pageNo, const std::string &where, int depth = 0) {
  ASSERT_LT(depth, 8) << where;
  auto page = decodeIndexPage(file.page(pageNo));
  ASSERT_TRUE(page.isOk()) << where << " page " << pageNo << ": " << page.status().message();
  if (page->kind == IndexPageKind::Leaf)
    return;
  for (size_t i = 1; i < page->entries.size(); ++i)
    EXPECT_EQ(compareIndexEntries(page->entries[i - 1], page->entries[i]),
              std::strong_ordering::less)
        << where << " page " << pageNo;
  // The tail page hangs off the page without an entry of its own.
  if (page->tailPage != 0) {
    for (const auto &e : page->entries)
      EXPECT_NE(e.child, page->tailPage) << where << " page " << pageNo;
    checkTree(file, page->tailPage, where, depth + 1);
  }
  for (const auto &e : page->entries) {
    auto child = decodeIndexPage(file.page(e.child));
    ASSERT_TRUE(child.isOk()) << where << " child " << e.child;
    ASSERT_FALSE(child->entries.empty()) << where << " child " << e.child;
    const auto &last = child->entries.back();
    EXPECT_EQ(last.key, e.key) << where << " child " << e.child;
    EXPECT_EQ(last.row, e.row) << where << " child " << e.child;
    checkTree(file, e.child, where, depth + 1);
  }
}

} // namespace

TEST(IndexPagesOfFixtures, ReencodeToTheSameBytes) {
  VASK_REQUIRE_FIXTURES();
  size_t pages = 0, leaves = 0, entries = 0, compressed = 0, plain = 0;
  for (const auto &path : jet4Fixtures()) {
    auto file = RawFile::open(path);
    ASSERT_TRUE(file) << path;
    for (uint32_t n = 0; n < file->pageCount(); ++n) {
      auto image = file->page(n);
      if (image[0] != 0x03 && image[0] != 0x04)
        continue;
      auto page = decodeIndexPage(image);
      ASSERT_TRUE(page.isOk()) << path.filename() << " page " << n << ": "
                               << page.status().message();
      auto again = encodeIndexPage(*page);
      ASSERT_TRUE(again.isOk()) << path.filename() << " page " << n << ": "
                                << again.status().message();
      const size_t freeSpace = image[2] | image[3] << 8;
      const size_t used = kIndexPageSize - freeSpace;
      EXPECT_TRUE(std::equal(image.begin(), image.begin() + used, again->begin()))
          << path.filename() << " page " << n << " differs when written back";
      // A page built from the entries alone, prefix chosen as the Jet engine chooses it, is
      // the same page.
      IndexPage rebuilt = *page;
      rebuilt.prefixLength = static_cast<uint16_t>(pagePrefixLength(page->kind, page->entries));
      EXPECT_EQ(rebuilt.prefixLength, page->prefixLength)
          << path.filename() << " page " << n << " shares a different prefix";
      ++(rebuilt.prefixLength > 0 ? compressed : plain);
      // What the encoder would need for the same entries agrees with the page.
      EXPECT_EQ(kIndexEntriesOffset +
                    indexEntriesSize(page->kind, page->entries, page->prefixLength),
                used);
      ++pages;
      leaves += page->kind == IndexPageKind::Leaf;
      entries += page->entries.size();
    }
  }
  std::cout << "[ index pages ] " << pages << " pages (" << leaves << " leaves), " << entries
            << " entries written back byte for byte; shared prefix chosen as in the file on all ("
            << compressed << " with one, " << plain << " without)\n";
  EXPECT_GT(pages, 300u);
}

TEST(IndexKeysOfFixtures, EveryKeyIsTheOneEncodedFromItsRow) {
  VASK_REQUIRE_FIXTURES();
  size_t total = 0;
  std::map<std::string, size_t> byColumn;
  for (const auto &path : jet4Fixtures()) {
    auto file = RawFile::open(path);
    ASSERT_TRUE(file) << path;
    KeyTally tally;
    size_t indexes = 0;
    for (uint32_t tdef : indextest::tableDefinitionPages(*file)) {
      auto table = indextest::readTable(*file, tdef);
      if (!table)
        continue;
      for (size_t i = 0; i < table->indexes.size(); ++i) {
        const std::string where = path.filename().string() + " table@" + std::to_string(tdef) +
                                  " index " + std::to_string(i);
        EXPECT_TRUE(checkIndexKeys(*file, *table, table->indexes[i], tally, where)) << where;
        auto root = file->page(table->indexes[i].rootPage);
        if (!root.empty() && (root[0] == 0x03 || root[0] == 0x04))
          checkTree(*file, table->indexes[i].rootPage, where);
        ++indexes;
      }
    }
    std::cout << "[ index keys  ] " << path.filename().string() << ": " << indexes << " indexes, "
              << tally.matched << " keys matched, " << tally.mismatched << " differ, "
              << tally.refused << " refused\n";
    for (const auto &n : tally.notes)
      std::cout << "                " << n << "\n";
    EXPECT_EQ(tally.mismatched, 0u) << path;
    EXPECT_EQ(tally.refused, 0u) << path;
    total += tally.matched;
    for (const auto &[k, n] : tally.byColumn)
      byColumn[k] += n;
  }
  std::cout << "[ index keys  ] non-null values by column type:";
  for (const auto &[k, n] : byColumn)
    std::cout << " type " << k << ": " << n << ";";
  std::cout << "\n";
  EXPECT_GT(total, 10000u);
}

// The sort-order fixture, index by index: the text keys of every Windows-1252 character.
TEST(IndexKeysOfFixtures, CaratteriTextIndexesMatchKeyForKey) {
  VASK_REQUIRE_FIXTURES();
  const auto dir = vasktest::fixturesDir();
  auto file = RawFile::open(dir / "sortorder" / "caratteri.mdb");
  ASSERT_TRUE(file);
  const auto csv = indextest::readCsv(dir / "expected" / "caratteri" / "Caratteri.csv");
  ASSERT_EQ(csv.size(), 1063u);

  std::optional<RawTable> table;
  for (uint32_t tdef : indextest::tableDefinitionPages(*file)) {
    auto t = indextest::readTable(*file, tdef);
    if (t && t->columns.size() == 3 && t->columns[1].name == "Testo")
      table = t;
  }
  ASSERT_TRUE(table);
  ASSERT_EQ(table->indexes.size(), 4u);
  EXPECT_EQ(table->columns[1].sortOrder, kGeneralSortOrder);

  // Rows in physical order are the CSV's order: check the row reader against it first.
  auto all = indextest::readIndexLeaves(*file, table->indexes[0].rootPage);
  ASSERT_TRUE(all);
  std::vector<RowPointer> physical;
  for (const auto &e : *all)
    physical.push_back(e.row);
  std::sort(physical.begin(), physical.end());
  ASSERT_EQ(physical.size(), 1062u);
  for (size_t i = 0; i < physical.size(); ++i) {
    auto row = indextest::readRow(*file, *table, physical[i]);
    ASSERT_TRUE(row);
    ASSERT_FALSE(csv[i + 1][1].null);
    ASSERT_EQ((*row)[1].as<std::string>(), csv[i + 1][1].text) << "row " << i;
    ASSERT_EQ((*row)[0].as<int32_t>(), std::stoi(csv[i + 1][0].text));
  }

  const char *names[] = {"PrimaryKey", "Testo", "TestoDisc", "TestoCodice"};
  for (size_t i = 0; i < 4; ++i) {
    KeyTally tally;
    ASSERT_TRUE(checkIndexKeys(*file, *table, table->indexes[i], tally, names[i]));
    std::cout << "[ caratteri   ] " << names[i] << ": " << tally.matched << " of 1062 keys match\n";
    EXPECT_EQ(tally.matched, 1062u) << names[i];
  }
  EXPECT_FALSE(table->indexes[2].columns[0].ascending);
  EXPECT_EQ(table->indexes[3].columns.size(), 2u);
}
