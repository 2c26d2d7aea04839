// Schema changes inside transactions: a rollback (whole or to a savepoint) leaves the in-memory
// catalogue as the file has it. Required columns stored as Access stores them and enforced.
#include "jet/database_builder.h"
#include "jet/page_allocator.h"
#include "jet/properties.h"
#include "jet/table_ops.h"
#include "jet/usage_map.h"
#include "tables_support.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace jet;

namespace {

TableSpec simple(const std::string &name) {
  TableSpec t;
  t.name = name;
  t.columns = {{"Codice", ColumnType::Long}, {"Nome", ColumnType::Text, 30}};
  return t;
}

std::vector<Value> row(int32_t k, const std::string &name) {
  return {Value(k), Value(name)};
}

TEST(TableSchema, RollbackForgetsTablesMadeOrDroppedInTheTransaction) {
  vasktest::TempDir dir;
  std::string path = dir.file("schema.mdb").string();
  ASSERT_TRUE(createDatabase(path));
  {
    auto db = Database::open(path, OpenMode::ReadWrite);
    ASSERT_TRUE(db) << db.status().message();
    Database &d = **db;
    ASSERT_TRUE(createTable(d, simple("Fissa")));

    // Created (and copied, and the old one dropped) in a transaction, then rolled back.
    ASSERT_TRUE(d.begin());
    ASSERT_TRUE(createTable(d, simple("Nuova")));
    auto r = row(1, "prima");
    ASSERT_TRUE(d.insertRow("Nuova", r));
    ASSERT_TRUE(copyTable(d, "Nuova", "Copia"));
    ASSERT_TRUE(dropTable(d, "Fissa"));
    EXPECT_EQ(d.userTableNames(), (std::vector<std::string>{"Copia", "Nuova"}));
    // Not yet in the file: the committed view does not know them.
    EXPECT_EQ(d.committedTable("Nuova").status().code(), ErrorCode::NoSuchTable);
    EXPECT_TRUE(d.committedTable("Fissa"));
    ASSERT_TRUE(d.rollback());
    EXPECT_EQ(d.userTableNames(), std::vector<std::string>{"Fissa"});
    EXPECT_EQ(d.table("Nuova").status().code(), ErrorCode::NoSuchTable);
    EXPECT_EQ(d.table("Copia").status().code(), ErrorCode::NoSuchTable);
    ASSERT_TRUE(d.cursor("Fissa"));

    // A savepoint's rollback undoes only what came after it.
    ASSERT_TRUE(d.begin());
    ASSERT_TRUE(createTable(d, simple("Prima")));
    auto sp = d.savepoint();
    ASSERT_TRUE(sp);
    ASSERT_TRUE(createTable(d, simple("Dopo")));
    ASSERT_TRUE(d.rollbackTo(*sp));
    EXPECT_EQ(d.userTableNames(), (std::vector<std::string>{"Fissa", "Prima"}));
    // The same names are free again and the transaction goes on.
    ASSERT_TRUE(createTable(d, simple("Nuova")));
    ASSERT_TRUE(createTable(d, simple("Dopo")));
    r = row(2, "seconda");
    ASSERT_TRUE(d.insertRow("Nuova", r));
    ASSERT_TRUE(d.commit());
    EXPECT_EQ(d.userTableNames(), (std::vector<std::string>{"Dopo", "Fissa", "Nuova", "Prima"}));
    EXPECT_EQ((*d.committedTable("Nuova"))->rowCount, 1u);
  }
  EXPECT_EQ(tablestest::checkFindings(path), std::vector<std::string>{});
  tablestest::expectMdbToolsAgree(path);
}

// The design properties in a table's catalogue row.
PropertyMap propertiesOf(Database &db, const std::string &table) {
  const CatalogEntry *e = db.catalog().findTable(table);
  EXPECT_NE(e, nullptr) << table;
  if (!e)
    return {};
  auto row = db.readRow(Catalog::kTableName, e->location);
  auto def = db.table(Catalog::kTableName);
  EXPECT_TRUE(row && def);
  const ColumnDef *c = (*def)->findColumn("LvProp");
  const Value &v = (*row)[static_cast<size_t>(c - (*def)->columns.data())];
  return v.is<Bytes>() ? parseProperties(v.as<Bytes>()) : PropertyMap{};
}

bool refusedNamingColumn(const Status &st, const std::string &column) {
  return st.code() == ErrorCode::RequiredNull && st.message().find(column) != std::string::npos;
}

TEST(TableSchema, RequiredColumnsStoredAsAccessDoesAndEnforced) {
  vasktest::TempDir dir;
  std::string path = dir.file("richiesti.mdb").string();
  ASSERT_TRUE(createDatabase(path));
  TableSpec t = simple("Clienti");
  t.columns[1].required = true;
  t.columns.push_back({"Nota", ColumnType::Memo});
  t.columns.back().required = true;
  {
    auto db = Database::open(path, OpenMode::ReadWrite);
    ASSERT_TRUE(db);
    ASSERT_TRUE(createTable(**db, t));
    // As Access writes it: a yes/no "Required" of 1 for each such column, nothing for others.
    PropertyMap props = propertiesOf(**db, "Clienti");
    ASSERT_EQ(props.size(), 2u);
    ASSERT_TRUE(props["Nome"].count("Required"));
    EXPECT_EQ(props["Nome"]["Required"].type, 0x01);
    EXPECT_EQ(props["Nome"]["Required"].bytes, Bytes{1});
    EXPECT_TRUE(props["Nota"]["Required"].isTrue());
    // The definition's column flags stay as Access leaves them for required columns.
    auto def = (*db)->table("Clienti");
    ASSERT_TRUE(def);
    EXPECT_EQ((*def)->columns[1].flags, ColumnDef::kUpdatableFlag);
    EXPECT_TRUE((*def)->columns[1].required);
    EXPECT_FALSE((*def)->columns[0].required);
    std::vector<Value> r{Value(int32_t(1)), Value(), Value("x")};
    EXPECT_TRUE(refusedNamingColumn((*db)->insertRow("Clienti", r).status(), "Nome"));
    r = {Value(int32_t(1)), Value("Rossi"), Value("nota")};
    auto at = (*db)->insertRow("Clienti", r);
    ASSERT_TRUE(at);
    // A copy carries none of it.
    ASSERT_TRUE(copyTable(**db, "Clienti", "TemporaneaVask"));
    EXPECT_TRUE(propertiesOf(**db, "TemporaneaVask").empty());
    std::vector<Value> nulls{Value(int32_t(2)), Value(), Value()};
    EXPECT_TRUE((*db)->insertRow("TemporaneaVask", nulls));
  }
  {
    // Read back from the file: enforced on insert and update; the row stays as it was.
    auto db = Database::open(path, OpenMode::ReadWrite);
    ASSERT_TRUE(db);
    auto c = (*db)->cursor("Clienti");
    ASSERT_TRUE(c && *c->next());
    RowLocation at = c->location();
    std::vector<Value> r{Value(int32_t(1)), Value("Rossi"), Value()};
    EXPECT_TRUE(refusedNamingColumn((*db)->updateRow("Clienti", at, r), "Nota"));
    r = {Value(int32_t(3)), Value(), Value("n")};
    std::vector<bool> given{true, false, true};
    EXPECT_TRUE(refusedNamingColumn((*db)->insertRow("Clienti", r, given).status(), "Nome"));
    EXPECT_EQ((*(*db)->table("Clienti"))->rowCount, 1u);
    auto back = (*db)->readRow("Clienti", at);
    ASSERT_TRUE(back);
    EXPECT_EQ((*back)[2], Value("nota"));
  }
  EXPECT_EQ(tablestest::checkFindings(path), std::vector<std::string>{});
  tablestest::expectMdbToolsAgree(path);
  if (vasktest::haveProgram("mdb-prop")) {
    std::string out;
    ASSERT_EQ(vasktest::runCommand("mdb-prop '" + path + "' Clienti", &out), 0);
    EXPECT_NE(out.find("name: Nome\n\tRequired: yes"), std::string::npos) << out;
    EXPECT_NE(out.find("name: Nota\n\tRequired: yes"), std::string::npos) << out;
  }
}

TEST(TableSchema, RequiredColumnsOfAnAccessFileRefuseNull) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("access/fixedTextTestV2000.mdb", dir).string();
  auto db = Database::open(path, OpenMode::ReadWrite);
  ASSERT_TRUE(db);
  auto def = (*db)->table("users");
  ASSERT_TRUE(def);
  std::vector<Value> r((*def)->columns.size());
  std::vector<bool> given(r.size(), false);
  EXPECT_TRUE(refusedNamingColumn((*db)->insertRow("users", r, given).status(), "users."));
  EXPECT_EQ((*(*db)->table("users"))->rowCount, (*def)->rowCount);
}

// A table of some thousand pages: its copy's usage map is the reference form, whose bitmap
// lives on pages of its own.
TEST(TableSchema, DropGivesBackTheBitmapPagesOfLargeMaps) {
  vasktest::TempDir dir;
  std::string path = dir.file("grande.mdb").string();
  {
    DatabaseBuilder b(toDateTime({2010, 5, 1, 0, 0, 0}));
    TableSpec t;
    t.name = "Grande";
    t.columns = {{"ID", ColumnType::Long}, {"Testo", ColumnType::Text, 200}};
    std::vector<std::vector<Value>> rows;
    for (int32_t i = 0; i < 20000; ++i)
      rows.push_back({Value(i), Value(std::string(150, static_cast<char>('a' + i % 26)))});
    ASSERT_TRUE(b.addTable(t, rows));
    ASSERT_TRUE(b.writeNewFile(path));
  }
  std::vector<uintmax_t> sizes;
  for (int cycle = 0; cycle < 20; ++cycle) {
    auto db = Database::open(path, OpenMode::ReadWrite);
    ASSERT_TRUE(db);
    Database &d = **db;
    ASSERT_TRUE(copyTable(d, "Grande", "TemporaneaVask")) << cycle;
    auto copy = d.table("TemporaneaVask");
    ASSERT_TRUE(copy);
    auto map = UsageMap::load(d.pager(), (*copy)->usedPagesMap);
    ASSERT_TRUE(map);
    ASSERT_EQ(map->kind(), UsageMap::kReference);
    std::vector<uint32_t> bitmaps;
    for (uint32_t p : map->mapPages())
      if (p)
        bitmaps.push_back(p);
    ASSERT_FALSE(bitmaps.empty());
    ASSERT_TRUE(dropTable(d, "TemporaneaVask")) << cycle;
    UsageMapEditor freeMap(d.pager(), &d.pageAllocator(), PageAllocator::kGlobalMapWord, true);
    for (uint32_t p : bitmaps) {
      auto free = freeMap.contains(p);
      ASSERT_TRUE(free);
      EXPECT_TRUE(*free) << "bitmap page " << p << " not given back, cycle " << cycle;
    }
    db->reset();
    sizes.push_back(std::filesystem::file_size(path));
  }
  // Each cycle reuses what the one before gave back, also the pages that lay past the free
  // map's first range.
  std::string all;
  for (auto n : sizes)
    all += std::to_string(n / 4096) + " ";
  EXPECT_EQ(sizes.back(), sizes.front()) << "pages after each cycle: " << all;
  EXPECT_EQ(tablestest::checkFindings(path), std::vector<std::string>{});
}

} // namespace
