// The demo database: the suite's tables, Italian data with every kind of value the program
// meets, and a file every checker reads.
#include "jet/long_value.h"
#include "tables_support.h"

#include <gtest/gtest.h>
#include <set>

using namespace jet;

namespace {

std::string vaskdb() {
  return (vasktest::binaryDir() / "vaskdb").string();
}

TEST(DemoDatabase, HoldsTheSuitesTablesAndEveryKindOfValue) {
  vasktest::TempDir dir;
  std::string path = dir.file("zelbo.mdb").string();
  std::string out;
  ASSERT_EQ(vasktest::runCommand(vaskdb() + " demo '" + path + "' 2>&1", &out), 0) << out;
  auto db = Database::open(path);
  ASSERT_TRUE(db) << db.status().message();

  std::set<std::string> names;
  for (const auto &n : (*db)->userTableNames())
    names.insert(n);
  for (const char *t : {"BUONI",       "BUONISTO",    "FATTURE",         "BUONIFATTURA",
                        "SCADENZE",    "FATTUREACQ",  "RICEVUTEFATTURE", "SCONTRINI",
                        "DDT",         "SPESERICAVI", "MOVIMENTI",       "MOVBANCA",
                        "INCPAG",      "REGMENSILE",  "POMPE",           "CISTERNE",
                        "SCARICHI",    "CARICHI",     "RICONCILIAZIONI", "CISTERNERICONC",
                        "POMPERICONC", "CLIENTI",     "FORNITORI",       "PRODOTTI",
                        "SERVIZI",     "IVA",         "CATEGORIE",       "PAGAMENTI",
                        "REPARTI",     "Voci"})
    EXPECT_TRUE(names.count(t)) << t;

  auto buoni = (*db)->table("BUONI");
  ASSERT_TRUE(buoni);
  EXPECT_EQ((*buoni)->rowCount, 3000u);
  EXPECT_EQ((*buoni)->lastAutoNumber, 3000u);
  EXPECT_TRUE((*buoni)->columns[0].isAutoNumber());
  bool primary = false, uniqueText = false;
  for (const auto &ix : (*buoni)->indexes)
    primary = primary || ix.isPrimaryKey();
  auto clienti = (*db)->table("CLIENTI");
  ASSERT_TRUE(clienti);
  for (const auto &px : (*clienti)->physicalIndexes)
    uniqueText = uniqueText ||
                 (px.unique() &&
                  (*clienti)->columnByNumber(px.columns[0].columnNumber)->type == ColumnType::Text);
  EXPECT_TRUE(primary);
  EXPECT_TRUE(uniqueText);

  auto voci = (*db)->cursor("Voci");
  ASSERT_TRUE(voci);
  ASSERT_TRUE(*voci->next());
  auto anno = voci->value(1);
  ASSERT_TRUE(anno);
  EXPECT_EQ(anno->as<int16_t>(), 2005);

  // Memos of every storage kind, accents and apostrophes, blanks, Nulls, yes and no.
  std::set<uint8_t> memoKinds;
  bool accent = false, apostrophe = false, blank = false, nullText = false, yes = false, no = false;
  for (const char *t : {"CLIENTI", "BUONI", "FATTURE"}) {
    auto c = (*db)->cursor(t);
    ASSERT_TRUE(c);
    const TableDef &d = c->table();
    while (*c->next()) {
      std::vector<Value> v;
      ASSERT_TRUE(c->read(v));
      for (size_t i = 0; i < d.columns.size(); ++i) {
        const ColumnDef &col = d.columns[i];
        if (col.type == ColumnType::Memo && !v[i].isNull() &&
            col.varIndex < c->layout().varCount()) {
          auto f = c->layout().varField(col.varIndex, c->dataPage());
          auto ref = LongValueRef::parse(*f, c->dataPage());
          if (ref && ref->length > 0)
            memoKinds.insert(ref->kind);
        }
        if (auto s = v[i].getIf<std::string>()) {
          accent = accent || s->find("ò") != std::string::npos;
          apostrophe = apostrophe || s->find('\'') != std::string::npos;
          blank = blank || (!s->empty() && (s->front() == ' ' || s->back() == ' '));
        }
        nullText = nullText || (col.type == ColumnType::Text && v[i].isNull());
        if (auto b = v[i].getIf<bool>(); b && col.type == ColumnType::Boolean)
          (*b ? yes : no) = true;
      }
    }
  }
  EXPECT_EQ(memoKinds, (std::set<uint8_t>{LongValueRef::kInline, LongValueRef::kSinglePage,
                                          LongValueRef::kChain}));
  EXPECT_TRUE(accent && apostrophe && blank && nullText && yes && no);

  EXPECT_EQ(tablestest::checkFindings(path), std::vector<std::string>{});
  tablestest::expectMdbToolsAgree(path);
}

TEST(DemoDatabase, ScalesWithRowsAndRefusesBadArguments) {
  vasktest::TempDir dir;
  std::string path = dir.file("piccolo.mdb").string();
  std::string out;
  ASSERT_EQ(vasktest::runCommand(vaskdb() + " demo '" + path + "' --rows 200 2>&1", &out), 0)
      << out;
  auto db = Database::open(path);
  ASSERT_TRUE(db);
  EXPECT_EQ((*(*db)->table("BUONI"))->rowCount, 200u);
  EXPECT_EQ((*(*db)->table("SCONTRINI"))->rowCount, 100u);
  EXPECT_NE(vasktest::runCommand(vaskdb() + " demo '" + path + "' 2>&1", &out), 0);
  EXPECT_NE(out.find("esiste già"), std::string::npos);
  EXPECT_NE(vasktest::runCommand(
                vaskdb() + " demo '" + dir.file("x.mdb").string() + "' --rows zero 2>&1", &out),
            0);
  EXPECT_NE(out.find("Numero di righe non valido"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.file("x.mdb")));
}

} // namespace
