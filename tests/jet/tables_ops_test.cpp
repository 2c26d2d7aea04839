// Tables created, copied and dropped in an open database: every column type, the catalogue and
// its indexes kept, refusals that change nothing, and the open-and-save cycle of the working
// copy leaving the file bounded.
#include "jet/database_builder.h"
#include "jet/table_ops.h"
#include "tables_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>

using namespace jet;
namespace fs = std::filesystem;

namespace {

TableSpec everyType(const std::string &name) {
  using T = ColumnType;
  TableSpec t;
  t.name = name;
  ColumnSpec id{"ID", T::Long};
  id.autoNumber = true;
  ColumnSpec guid{"Guid", T::Guid};
  t.columns = {id,
               {"SiNo", T::Boolean},
               {"Byte", T::Byte},
               {"Intero", T::Integer},
               {"Lungo", T::Long},
               {"Valuta", T::Currency},
               {"Singola", T::Single},
               {"Doppia", T::Double},
               {"DataOra", T::DateTime},
               {"Testo", T::Text, 40},
               {"Binario", T::Binary, 16},
               {"Oggetto", T::Ole},
               {"Memo", T::Memo},
               guid,
               {"Decimale", T::Numeric, 0, 18, 4}};
  t.indexes = {{"PrimaryKey", {{"ID", true}}, true},
               {"Testo", {{"Testo", true}}, false, true, true},
               {"DataTesto", {{"DataOra", false}, {"Testo", true}}}};
  return t;
}

std::vector<Value> sampleRow(int i) {
  Decimal d;
  d.scale = 4;
  d.magnitude = 1234567 + i;
  d.negative = i % 2;
  Guid g;
  g.bytes[0] = static_cast<uint8_t>(i);
  std::string memo(i % 3 == 0 ? 10 : i % 3 == 1 ? 3000 : 9000, 'a' + i % 26);
  std::vector<Value> v{Value(),
                       Value(i % 2 == 0),
                       Value(uint8_t(i)),
                       Value(int16_t(-i)),
                       Value(int32_t(i * 1000)),
                       Value(Currency{i * 12345}),
                       Value(float(i) / 4),
                       Value(i * 1.5),
                       Value(toDateTime({2005, 1 + i % 12, 1 + i % 28, 10, 30, 0})),
                       Value("Perché l'hai detto, n. " + std::to_string(i)),
                       Value(Bytes{1, 2, uint8_t(i)}),
                       Value(Bytes(200 + i, uint8_t(i))),
                       Value(memo),
                       Value(g),
                       Value(d)};
  if (i % 5 == 4)
    for (size_t k = 2; k < v.size(); ++k)
      v[k] = Value(); // a row of Nulls (but its key)
  return v;
}

std::string exportOf(Database &db, const std::string &table) {
  auto csv = exportCsv(db, table);
  return csv ? *csv : csv.status().message();
}

TEST(TableOps, CreateCopyAndDropTablesOfEveryColumnType) {
  vasktest::TempDir dir;
  std::string path = dir.file("tabelle.mdb").string();
  ASSERT_TRUE(createDatabase(path));
  {
    auto db = Database::open(path, OpenMode::ReadWrite);
    ASSERT_TRUE(db) << db.status().message();
    ASSERT_TRUE(createTable(**db, everyType("Tutti"))) << "create";
    ASSERT_TRUE((*db)->begin());
    for (int i = 0; i < 40; ++i) {
      auto row = sampleRow(i);
      auto at = (*db)->insertRow("Tutti", row);
      ASSERT_TRUE(at) << at.status().message();
    }
    ASSERT_TRUE((*db)->commit());
    Status st = copyTable(**db, "Tutti", "TemporaneaVask");
    ASSERT_TRUE(st) << st.message();
    auto copy = (*db)->table("TemporaneaVask");
    ASSERT_TRUE(copy);
    auto orig = (*db)->table("Tutti");
    ASSERT_EQ((*copy)->columns.size(), (*orig)->columns.size());
    for (size_t i = 0; i < (*copy)->columns.size(); ++i) {
      const ColumnDef &a = (*copy)->columns[i], &b = (*orig)->columns[i];
      EXPECT_EQ(a.name, b.name);
      EXPECT_EQ(a.type, b.type);
      EXPECT_EQ(a.length, b.length);
      EXPECT_EQ(a.precision, b.precision);
      EXPECT_EQ(a.scale, b.scale);
      EXPECT_FALSE(a.isAutoNumber() || a.isAutoGuid());
    }
    EXPECT_TRUE((*copy)->indexes.empty());
    EXPECT_EQ((*copy)->rowCount, 40u);
    std::string a = exportOf(**db, "Tutti"), b = exportOf(**db, "TemporaneaVask");
    EXPECT_EQ(a, b);
    // The copy takes new rows like any table, its counters now plain longs.
    auto row = sampleRow(99);
    row[0] = Value(int32_t(7));
    ASSERT_TRUE((*db)->insertRow("TemporaneaVask", row));
  }
  EXPECT_EQ(tablestest::checkFindings(path), std::vector<std::string>{});
  tablestest::expectMdbToolsAgree(path);
  {
    auto db = Database::open(path, OpenMode::ReadWrite);
    ASSERT_TRUE(db);
    ASSERT_TRUE(dropTable(**db, "Tutti"));
    EXPECT_EQ((*db)->userTableNames(), std::vector<std::string>{"TemporaneaVask"});
    ASSERT_TRUE(dropTable(**db, "temporaneavask"));
    EXPECT_TRUE((*db)->userTableNames().empty());
  }
  EXPECT_EQ(tablestest::checkFindings(path), std::vector<std::string>{});
  // Nothing of the tables is left: the catalogue's rows and access rows as in a new database.
  std::string fresh = dir.file("vuoto.mdb").string();
  ASSERT_TRUE(createDatabase(fresh));
  auto a = Database::open(path), b = Database::open(fresh);
  ASSERT_TRUE(a && b);
  auto countRows = [](Database &db, const char *t) { return (*db.table(t))->rowCount; };
  EXPECT_EQ(countRows(**a, "MSysObjects"), countRows(**b, "MSysObjects"));
  EXPECT_EQ(countRows(**a, "MSysACEs"), countRows(**b, "MSysACEs"));
}

TEST(TableOps, RefusalsChangeNothing) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  std::string path = vasktest::copyFixture("suite/zelbo.mdb", dir).string();
  std::string before = vasktest::readFile(path);
  auto db = Database::open(path, OpenMode::ReadWrite);
  ASSERT_TRUE(db) << db.status().message();
  auto expectRefused = [&](Status st, ErrorCode code, const char *words) {
    EXPECT_EQ(st.code(), code) << st.message();
    EXPECT_NE(st.message().find(words), std::string::npos) << st.message();
  };
  TableSpec t{"BUONI", {{"A", ColumnType::Long}}};
  expectRefused(createTable(**db, t), ErrorCode::TableExists, "esiste già");
  t.name = "buoni";
  expectRefused(createTable(**db, t), ErrorCode::TableExists, "esiste già");
  for (std::string bad : {std::string(65, 'x'), std::string("Tab.ella"), std::string(" Spazio"),
                          std::string("Tab[1]"), std::string("A!B"), std::string("Tab\x01")}) {
    t.name = bad;
    expectRefused(createTable(**db, t), ErrorCode::InvalidName, "non è un nome valido");
  }
  t.name = "Nuova";
  t.indexes = {{"X", {{"Manca", true}}}};
  EXPECT_FALSE(createTable(**db, t));
  expectRefused(dropTable(**db, "MSysObjects"), ErrorCode::SystemTable, "di sistema");
  expectRefused(dropTable(**db, "FATTURE"), ErrorCode::TableInRelationship, "relazione");
  expectRefused(dropTable(**db, "CLIENTI"), ErrorCode::TableInRelationship, "FATTURE");
  expectRefused(dropTable(**db, "Inesistente"), ErrorCode::NoSuchTable, "Inesistente");
  expectRefused(copyTable(**db, "BUONI", "CLIENTI"), ErrorCode::TableExists, "esiste già");
  expectRefused(createIndex(**db, "CLIENTI", {"Dup", {{"Attivo", true}}, false, true}),
                ErrorCode::DuplicateKey, "duplicati");
  db->reset();
  EXPECT_TRUE(vasktest::readFile(path) == before);
  // A relationship without enforced integrity does not keep its table.
  db = Database::open(path, OpenMode::ReadWrite);
  ASSERT_TRUE(db);
  EXPECT_TRUE(dropTable(**db, "MOVIMENTI"));
  db->reset();
  EXPECT_EQ(tablestest::checkFindings(path), std::vector<std::string>{});
}

TEST(TableOps, CreateIndexOverExistingRows) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  std::string path = vasktest::copyFixture("suite/zelbo.mdb", dir).string();
  {
    auto db = Database::open(path, OpenMode::ReadWrite);
    ASSERT_TRUE(db);
    Status st = createIndex(**db, "BUONI", {"TargaData", {{"Targa", true}, {"Data", false}}});
    ASSERT_TRUE(st) << st.message();
    auto def = (*db)->table("BUONI");
    ASSERT_TRUE(def);
    bool found = false;
    for (const auto &l : (*def)->indexes)
      found = found || l.name == "TargaData";
    EXPECT_TRUE(found);
    // Inserts keep it.
    std::vector<Value> row((*def)->columns.size());
    row[(*def)->findColumn("Targa") - (*def)->columns.data()] = Value("ZZ999ZZ");
    row[(*def)->findColumn("Fatturato") - (*def)->columns.data()] = Value(false);
    auto at = (*db)->insertRow("BUONI", row);
    ASSERT_TRUE(at) << at.status().message();
  }
  EXPECT_EQ(tablestest::checkFindings(path), std::vector<std::string>{});
}

// The program's save: copy the table into TemporaneaVask, change the copy, bring the real table
// to the copy's rows, drop the copy. Twenty times, and the file stays the size it settles at.
TEST(TableOps, TwentyOpenAndSaveCyclesKeepTheFileBounded) {
  vasktest::TempDir dir;
  std::string path = dir.file("cicli.mdb").string();
  {
    DatabaseBuilder b(toDateTime({2005, 1, 1, 0, 0, 0}));
    TableSpec t = everyType("Registro");
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < 300; ++i)
      rows.push_back(sampleRow(i));
    ASSERT_TRUE(b.addTable(t, rows));
    ASSERT_TRUE(b.writeNewFile(path));
  }
  std::vector<uintmax_t> sizes;
  for (int cycle = 0; cycle < 20; ++cycle) {
    auto db = Database::open(path, OpenMode::ReadWrite);
    ASSERT_TRUE(db) << db.status().message();
    ASSERT_TRUE(copyTable(**db, "Registro", "TemporaneaVask")) << cycle;
    // The operator changes a few rows of the copy.
    std::vector<std::pair<RowLocation, std::vector<Value>>> copyRows;
    {
      auto c = (*db)->cursor("TemporaneaVask");
      ASSERT_TRUE(c);
      while (*c->next()) {
        std::vector<Value> v;
        ASSERT_TRUE(c->read(v));
        copyRows.emplace_back(c->location(), v);
      }
    }
    for (size_t k = static_cast<size_t>(cycle); k < copyRows.size(); k += 37) {
      auto &v = copyRows[k].second;
      v[9] = Value("Modificato al giro " + std::to_string(cycle) + ", riga " + std::to_string(k));
      v[12] = Value(std::string(900, static_cast<char>('a' + cycle)));
      Status st = (*db)->updateRow("TemporaneaVask", copyRows[k].first, v);
      ASSERT_TRUE(st) << st.message();
    }
    // The real table brought to the copy's rows, matched by key, in one transaction.
    ASSERT_TRUE((*db)->begin());
    std::map<int32_t, std::vector<Value>> wanted;
    {
      auto c = (*db)->cursor("TemporaneaVask");
      while (*c->next()) {
        std::vector<Value> v;
        ASSERT_TRUE(c->read(v));
        wanted[v[0].as<int32_t>()] = v;
      }
    }
    std::vector<std::pair<RowLocation, std::vector<Value>>> changes;
    {
      auto c = (*db)->cursor("Registro");
      while (*c->next()) {
        std::vector<Value> v;
        ASSERT_TRUE(c->read(v));
        auto it = wanted.find(v[0].as<int32_t>());
        ASSERT_NE(it, wanted.end());
        if (!(it->second == v))
          changes.emplace_back(c->location(), it->second);
      }
    }
    for (auto &[at, v] : changes) {
      Status st = (*db)->updateRow("Registro", at, v);
      ASSERT_TRUE(st) << st.message();
    }
    ASSERT_TRUE((*db)->commit());
    ASSERT_TRUE(dropTable(**db, "TemporaneaVask")) << cycle;
    db->reset();
    sizes.push_back(fs::file_size(path));
  }
  // The copy's pages come back each time: the file does not keep growing by a copy a cycle.
  std::string all;
  for (auto s : sizes)
    all += std::to_string(s / 4096) + " ";
  EXPECT_LE(sizes.back(), sizes[1] + sizes[1] / 4) << "pages after each cycle: " << all;
  EXPECT_EQ(tablestest::checkFindings(path), std::vector<std::string>{});
  tablestest::expectMdbToolsAgree(path);
}

} // namespace
