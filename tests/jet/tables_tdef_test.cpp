// Table definitions: every definition of the Access-written files decoded and encoded again
// gives the same bytes (but for those Access fills with whatever its memory held), and planned
// tables get the numbers, offsets and flags Access gives.
#include "jet/database.h"
#include "jet/table_def_writer.h"
#include "test_support.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace jet;

namespace {

// Offsets in the encoded definition that hold leftover memory in Access's files.
std::vector<bool> meaningless(const TableDef &def, size_t size) {
  std::vector<bool> skip(size, false);
  auto mark = [&](size_t from, size_t n) {
    for (size_t i = from; i < from + n && i < size; ++i)
      skip[i] = true;
  };
  mark(2, 6);   // free space and next page: the page layout's, checked on its own
  mark(28, 12); // after the counters
  // Each index's count block starts with a word that Access sets and Jet never reads back.
  for (size_t i = 0; i < def.physicalIndexes.size(); ++i)
    mark(63 + 12 * i, 4);
  for (const auto &c : def.columns)
    if (!c.isFixed())
      mark(c.definitionOffset + 21, 2); // a variable column has no fixed offset
  for (const auto &p : def.physicalIndexes) {
    for (size_t k = 0; k < 10; ++k) // order byte of an unused slot, or a zero one
      if (k >= p.columns.size() || def.raw[p.definitionOffset + 4 + 3 * k + 2] == 0)
        mark(p.definitionOffset + 4 + 3 * k + 2, 1);
    mark(p.definitionOffset + 42, 4);
  }
  return skip;
}

TEST(TableDefWriter, EveryFixtureDefinitionEncodesToItsOwnBytes) {
  VASK_REQUIRE_FIXTURES();
  size_t tables = 0, multiPage = 0;
  std::vector<fs::path> files;
  for (const auto &e : fs::directory_iterator(vasktest::fixturesDir() / "access"))
    if (e.path().filename().string().find("V2000") != std::string::npos ||
        e.path().filename() == "adox_jet4.mdb")
      files.push_back(e.path());
  // (suite/ and sortorder/ were written by another library, with conventions of its own.)
  for (const auto &path : files) {
    auto db = Database::open(path.string());
    ASSERT_TRUE(db) << path << ": " << db.status().message();
    for (const auto &name : (*db)->tableNames()) {
      auto stored = (*db)->table(name);
      // MSysAccessObjects has a column of type 0x11, which the reader refuses.
      if (!stored && name == "MSysAccessObjects")
        continue;
      ASSERT_TRUE(stored) << path << " / " << name << ": " << stored.status().message();
      TableDef def = **stored;
      // Columns back in the order of their descriptors.
      std::stable_sort(def.columns.begin(), def.columns.end(),
                       [](const ColumnDef &a, const ColumnDef &b) {
                         return a.definitionOffset < b.definitionOffset;
                       });
      Bytes encoded = encodeTableDef(def, readLongValueMaps(def));
      std::string where = path.filename().string() + " / " + name;
      ASSERT_LE(encoded.size(), def.raw.size()) << where;
      EXPECT_EQ(le32(&def.raw[8]), encoded.size()) << where;
      auto skip = meaningless(def, encoded.size());
      size_t wrong = 0, first = 0;
      for (size_t i = 0; i < encoded.size(); ++i)
        if (!skip[i] && encoded[i] != def.raw[i] && wrong++ == 0)
          first = i;
      EXPECT_EQ(wrong, 0u) << where << ": first different byte at " << first;
      // The page split: free space and chain as Access writes them.
      ASSERT_EQ(tableDefPageCount(encoded.size()), def.pages.size()) << where;
      auto pages = layoutTableDefPages(encoded, def.pages);
      for (size_t i = 0; i < pages.size(); ++i) {
        auto original = (*db)->pager().page(def.pages[i]);
        ASSERT_TRUE(original);
        EXPECT_TRUE(std::equal(pages[i].begin(), pages[i].begin() + 8, (*original)->data()))
            << where << " page " << i;
      }
      ++tables;
      multiPage += def.pages.size() > 1;
    }
  }
  EXPECT_GT(tables, 60u);
  EXPECT_GT(multiPage, 0u);
}

TEST(TableDefWriter, PlansColumnsAsAccessNumbersThem) {
  TableSpec tableSpec;
  tableSpec.name = "Prova";
  tableSpec.columns = {{"ID", ColumnType::Long, 0, 18, 0, true},
                  {"Nome", ColumnType::Text, 40},
                  {"Attivo", ColumnType::Boolean},
                  {"Importo", ColumnType::Currency},
                  {"Note", ColumnType::Memo},
                  {"Prezzo", ColumnType::Numeric, 0, 10, 3},
                  {"Foto", ColumnType::Ole}};
  tableSpec.indexes = {{"PrimaryKey", {{"ID", true}}, true},
                  {"Nome", {{"Nome", true}, {"Prezzo", false}}, false, false, true}};
  auto plan = planTable(tableSpec);
  ASSERT_TRUE(plan) << plan.status().message();
  const TableDef &d = plan->def;
  EXPECT_EQ(d.varColumnCount, 3);
  const ColumnDef &id = d.columns[0], &nome = d.columns[1], &attivo = d.columns[2],
                  &importo = d.columns[3], &note = d.columns[4], &prezzo = d.columns[5];
  EXPECT_EQ(id.flags, 0x07);
  EXPECT_EQ(nome.flags, 0x02);
  EXPECT_EQ(nome.extFlags, 0x01);
  EXPECT_EQ(nome.length, 80);
  EXPECT_EQ(nome.varIndex, 0);
  EXPECT_EQ(attivo.fixedOffset, 0);
  EXPECT_EQ(attivo.varIndex, 1); // fixed columns carry the next variable slot
  EXPECT_EQ(importo.fixedOffset, 4);
  EXPECT_EQ(note.varIndex, 1);
  EXPECT_EQ(prezzo.fixedOffset, 12);
  EXPECT_EQ(prezzo.precision, 10);
  EXPECT_EQ(plan->longMaps.size(), 2u);
  ASSERT_EQ(d.indexes.size(), 2u);
  EXPECT_EQ(d.indexes[0].name, "Nome"); // name order, creation numbers kept
  EXPECT_EQ(d.indexes[0].number, 1u);
  EXPECT_EQ(d.physicalIndexes[0].flags, 0x89);
  EXPECT_EQ(d.physicalIndexes[1].flags, 0x82);
  EXPECT_FALSE(d.physicalIndexes[1].columns[1].ascending);
}

TEST(TableDefWriter, RefusesNamesJetRefuses) {
  for (std::string bad : {std::string(""), std::string(65, 'a'), std::string(" Nome"),
                          std::string("a.b"), std::string("a!b"), std::string("a`b"),
                          std::string("a[b"), std::string("a]b"), std::string("a\tb")}) {
    Status s = checkObjectName(bad, "della tabella");
    EXPECT_EQ(s.code(), ErrorCode::InvalidName) << bad;
    EXPECT_FALSE(s.message().empty());
  }
  EXPECT_TRUE(checkObjectName(std::string(64, 'x'), "della tabella"));
  EXPECT_TRUE(checkObjectName("Listino Prezzi d'Ò", "della tabella"));
  TableSpec twice{"T", {{"A", ColumnType::Long}, {"a", ColumnType::Text}}};
  EXPECT_EQ(planTable(twice).status().code(), ErrorCode::DuplicateField);
  TableSpec badIndex{"T", {{"A", ColumnType::Long}}, {{"X", {{"B", true}}}}};
  EXPECT_EQ(planTable(badIndex).status().code(), ErrorCode::NoSuchColumn);
  TableSpec oleIndex{"T", {{"A", ColumnType::Ole}}, {{"X", {{"A", true}}}}};
  EXPECT_FALSE(planTable(oleIndex));
}

} // namespace
