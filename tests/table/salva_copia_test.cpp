// The save brings the real table to the copy's rows, changing only what changed, and changes
// nothing at all when a rule would be broken.
#include "memory_db.h"
#include "table/salva_copia.h"

#include <gtest/gtest.h>

using namespace tabelle;
using jet::Value;

namespace {

sql::TableDef definizione(const std::string &nome, bool conChiave) {
  sql::TableDef d;
  d.name = nome;
  sql::ColumnDef id{"ID", jet::ColumnType::Long};
  id.autoNumber = conChiave;
  sql::ColumnDef nomeCol{"Nome", jet::ColumnType::Text, 10};
  nomeCol.required = conChiave;
  d.columns = {id, nomeCol, {"Prezzo", jet::ColumnType::Double}};
  if (conChiave)
    d.indexes.push_back({"PrimaryKey", {{"ID"}}, true, true});
  return d;
}

struct Banco {
  sqltest::MemoryDatabase db;
  sqltest::MemoryTable *reale = nullptr, *copia = nullptr;

  explicit Banco(bool conChiave = true) {
    EXPECT_TRUE(db.createTable(definizione("Listino Prezzi", conChiave)).isOk());
    sql::TableDef c = definizione("TemporaneaVask", false);
    EXPECT_TRUE(db.createTable(c).isOk());
    reale = db.get("Listino Prezzi");
    copia = db.get("TemporaneaVask");
  }
  void riga(sqltest::MemoryTable *t, sql::Row r) {
    ASSERT_TRUE(t->insert(r, std::vector<bool>(r.size(), true)).isOk());
  }
  jet::Status salva(std::vector<std::string> chiave = {"ID"}) {
    EXPECT_TRUE(db.begin().isOk());
    jet::Status st = AllineaTabella(db, "Listino Prezzi", "TemporaneaVask", chiave);
    if (st)
      EXPECT_TRUE(db.commit().isOk());
    else
      EXPECT_TRUE(db.rollback().isOk());
    return st;
  }
  // Row identities of the real table, by ID.
  std::map<int32_t, sql::RowId> identita() {
    std::map<int32_t, sql::RowId> out;
    for (const auto &[id, r] : reale->state.rows)
      out[r[0].as<int32_t>()] = id;
    return out;
  }
};

} // namespace

TEST(SalvaCopia, ChangedRowsUpdatedGoneRowsDeletedNewRowsInsertedOthersUntouched) {
  Banco b;
  b.riga(b.reale, {Value(int32_t(1)), Value("Gasolio"), Value(1.5)});
  b.riga(b.reale, {Value(int32_t(2)), Value("Benzina"), Value(1.8)});
  b.riga(b.reale, {Value(int32_t(3)), Value("GPL"), Value(0.7)});
  auto prima = b.identita();
  // The copy: 1 unchanged, 2 changed, 3 gone, 7 new, one new row with no ID.
  b.riga(b.copia, {Value(int32_t(1)), Value("Gasolio"), Value(1.5)});
  b.riga(b.copia, {Value(int32_t(2)), Value("Benzina"), Value(1.9)});
  b.riga(b.copia, {Value(int32_t(7)), Value("Metano"), Value(1.1)});
  b.riga(b.copia, {Value(), Value("Olio"), Value()});

  ASSERT_TRUE(b.salva().isOk());
  auto dopo = b.identita();
  ASSERT_EQ(dopo.size(), 4u);
  // Matched rows kept their identity: they were updated in place, not rewritten.
  EXPECT_EQ(dopo[1], prima[1]);
  EXPECT_EQ(dopo[2], prima[2]);
  EXPECT_EQ(dopo.count(3), 0u);
  std::map<int32_t, sql::Row> perId;
  for (const auto &r : b.reale->rows())
    perId[r[0].as<int32_t>()] = r;
  EXPECT_EQ(perId[2][2], Value(1.9));
  EXPECT_EQ(perId[7][1], Value("Metano"));
  // The row without an ID got the next counter value.
  bool olio = false;
  for (const auto &[id, r] : perId)
    if (r[1] == Value("Olio")) {
      olio = true;
      EXPECT_GT(id, 7);
    }
  EXPECT_TRUE(olio);
}

TEST(SalvaCopia, ABrokenRuleChangesNothingAndNamesTheRuleAndTheRow) {
  Banco b;
  b.riga(b.reale, {Value(int32_t(1)), Value("Gasolio"), Value(1.5)});
  b.riga(b.reale, {Value(int32_t(2)), Value("Benzina"), Value(1.8)});
  const auto prima = b.reale->rows();
  // Row 2 changed (would be written) and rows 3 and 4 share the key 5.
  b.riga(b.copia, {Value(int32_t(1)), Value("Gasolio"), Value(1.5)});
  b.riga(b.copia, {Value(int32_t(2)), Value("Cambiata"), Value(9.0)});
  b.riga(b.copia, {Value(int32_t(5)), Value("Uno"), Value()});
  b.riga(b.copia, {Value(int32_t(5)), Value("Due"), Value()});
  jet::Status st = b.salva();
  ASSERT_FALSE(st.isOk());
  EXPECT_EQ(st.code(), jet::ErrorCode::DuplicateKey);
  EXPECT_NE(st.message().find("duplicato"), std::string::npos) << st.message();
  EXPECT_NE(st.message().find("Riga 4"), std::string::npos) << st.message();
  EXPECT_NE(st.message().find("ID = 5"), std::string::npos) << st.message();
  EXPECT_EQ(b.reale->rows(), prima);

  // A required value missing and a text too long are refused the same way.
  Banco c;
  c.riga(c.copia, {Value(int32_t(1)), Value(), Value()});
  st = c.salva();
  EXPECT_EQ(st.code(), jet::ErrorCode::RequiredNull);
  EXPECT_NE(st.message().find("Riga 1"), std::string::npos) << st.message();
  EXPECT_TRUE(c.reale->rows().empty());
}

TEST(SalvaCopia, WithoutAKeyRowsAreMatchedByTheirWholeValues) {
  Banco b(false);
  b.riga(b.reale, {Value(int32_t(1)), Value("A"), Value()});
  b.riga(b.reale, {Value(int32_t(1)), Value("A"), Value()});
  b.riga(b.reale, {Value(int32_t(2)), Value("B"), Value()});
  auto idPrima = b.reale->state.rows;
  // One of the two twins stays, B is changed (a delete and an insert), C is new.
  b.riga(b.copia, {Value(int32_t(1)), Value("A"), Value()});
  b.riga(b.copia, {Value(int32_t(2)), Value("B2"), Value()});
  b.riga(b.copia, {Value(int32_t(3)), Value("C"), Value()});
  ASSERT_TRUE(b.salva({}).isOk());
  auto righe = b.reale->rows();
  ASSERT_EQ(righe.size(), 3u);
  int gemelli = 0;
  for (const auto &r : righe)
    gemelli += r[1] == Value("A");
  EXPECT_EQ(gemelli, 1);
  // The twin that stayed was not rewritten.
  int conservate = 0;
  for (const auto &[id, r] : b.reale->state.rows)
    conservate += idPrima.count(id) && idPrima[id] == r;
  EXPECT_EQ(conservate, 1);
}

TEST(SalvaCopia, AFailingWriteMidwayLeavesTheTableAsItWas) {
  Banco b;
  for (int i = 1; i <= 5; ++i)
    b.riga(b.reale, {Value(int32_t(i)), Value("R" + std::to_string(i)), Value()});
  for (int i = 1; i <= 5; ++i)
    b.riga(b.copia, {Value(int32_t(i)), Value("N" + std::to_string(i)), Value()});
  const auto prima = b.reale->rows();
  b.db.failOnWrite(3);
  jet::Status st = b.salva();
  EXPECT_FALSE(st.isOk());
  EXPECT_EQ(b.reale->rows(), prima);
}
