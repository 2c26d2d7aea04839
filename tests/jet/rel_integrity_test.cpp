// Referential integrity on row writes, on copies of the suite-shaped file: FATTURE needs its
// client (enforced), SCADENZE and BUONIFATTURA go with their invoice (cascading deletes),
// MOVIMENTI.IDProdotto is not enforced.
#include "jet/relationships.h"
#include "rel_support.h"

#include <gtest/gtest.h>

namespace {

using namespace reltest;
using jet::ErrorCode;

constexpr size_t kFattureCliente = 3;
constexpr size_t kScadenzeFattura = 2;
constexpr size_t kBuoniFattura = 2;
constexpr size_t kMovimentiProdotto = 2;

TEST(RelRead, SuiteRelationshipsAndFlags) {
  VASK_REQUIRE_FIXTURES();
  auto db = writetest::openReading(vasktest::fixturesDir() / "suite/zelbo.mdb");
  ASSERT_TRUE(db);
  auto rels = jet::readRelationships(db->pager(), db->catalog());
  ASSERT_TRUE(rels.isOk()) << rels.status().message();
  ASSERT_EQ(rels->size(), 4u);
  std::map<std::string, const jet::Relationship *> by;
  for (auto &r : *rels)
    by[r.name] = &r;
  auto *clienti = by["CLIENTIFATTURE"];
  ASSERT_TRUE(clienti);
  EXPECT_EQ(clienti->childTable, "FATTURE");
  EXPECT_EQ(clienti->parentTable, "CLIENTI");
  EXPECT_EQ(clienti->childColumns, std::vector<std::string>{"IDCliente"});
  EXPECT_EQ(clienti->parentColumns, std::vector<std::string>{"ID"});
  EXPECT_TRUE(clienti->enforced());
  EXPECT_FALSE(clienti->cascadeDeletes());
  EXPECT_NE(clienti->childPage, 0u);
  EXPECT_TRUE(by["FATTURESCADENZE"]->cascadeDeletes());
  EXPECT_TRUE(by["FATTUREBUONIFATTURA"]->cascadeDeletes());
  EXPECT_FALSE(by["FATTURESCADENZE"]->cascadeUpdates());
  EXPECT_FALSE(by["PRODOTTIMOVIMENTI"]->enforced());
  EXPECT_EQ(jet::describeRelationship(*by["FATTURESCADENZE"]),
            "FATTURESCADENZE: SCADENZE.IDFattura → FATTURE.ID, integrità referenziale, "
            "eliminazione a catena");

  std::string out;
  ASSERT_EQ(vasktest::runCommand((vasktest::binaryDir() / "vaskdb").string() + " schema '" +
                                     (vasktest::fixturesDir() / "suite/zelbo.mdb").string() +
                                     "' FATTURE",
                                 &out),
            0);
  EXPECT_NE(out.find("\nRelazioni:\nCLIENTIFATTURE: FATTURE.IDCliente → CLIENTI.ID"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("FATTUREBUONIFATTURA: BUONIFATTURA.IDFattura → FATTURE.ID"),
            std::string::npos);
}

TEST(RelEnforce, ClientWithInvoicesStaysClientWithoutGoes) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  const std::string before = fileBytes(path);
  int32_t withInvoices = -1, without = -1;
  {
    auto db = writetest::openWritable(path);
    ASSERT_TRUE(db);
    auto billed = values(*db, "FATTURE", kFattureCliente);
    for (int32_t id : values(*db, "CLIENTI", 0))
      (billed.count(id) ? withInvoices : without) = id;
    ASSERT_GT(withInvoices, 0);
    ASSERT_GT(without, 0) << "every client has invoices";

    auto st = db->deleteRow("CLIENTI", find(*db, "CLIENTI", withInvoices));
    EXPECT_EQ(st.code(), ErrorCode::RelationshipChildren);
    EXPECT_NE(st.message().find("'CLIENTIFATTURE'"), std::string::npos) << st.message();
    EXPECT_NE(st.message().find("'CLIENTI'"), std::string::npos);
    EXPECT_NE(st.message().find("'FATTURE'"), std::string::npos);
    EXPECT_NE(st.message().find("ID = " + std::to_string(withInvoices)), std::string::npos);
  }
  EXPECT_EQ(fileBytes(path), before) << "a refused statement wrote something";
  {
    auto db = writetest::openWritable(path);
    // Inside a transaction a refusal leaves the transaction usable.
    ASSERT_TRUE(db->begin().isOk());
    EXPECT_FALSE(db->deleteRow("CLIENTI", find(*db, "CLIENTI", withInvoices)).isOk());
    EXPECT_TRUE(db->deleteRow("CLIENTI", find(*db, "CLIENTI", without)).isOk());
    ASSERT_TRUE(db->commit().isOk());
  }
  auto db = writetest::openReading(path);
  EXPECT_EQ(count(*db, "CLIENTI", 0, without), 0u);
  EXPECT_EQ(count(*db, "CLIENTI", 0, withInvoices), 1u);
  db.reset();
  expectSound(path, {"CLIENTI", "FATTURE"});
}

TEST(RelEnforce, DeletingAnInvoiceTakesItsDueDatesAndVoucherLinks) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  size_t scadenze = 0, buoni = 0, theirScadenze = 0, theirBuoni = 0;
  int32_t invoice = -1;
  {
    auto db = writetest::openWritable(path);
    ASSERT_TRUE(db);
    // An invoice with both kinds of children.
    auto s = values(*db, "SCADENZE", kScadenzeFattura);
    for (int32_t id : values(*db, "BUONIFATTURA", kBuoniFattura))
      if (id > 0 && s.count(id)) {
        invoice = id;
        break;
      }
    ASSERT_GT(invoice, 0);
    scadenze = writetest::rows(*db, "SCADENZE").size();
    buoni = writetest::rows(*db, "BUONIFATTURA").size();
    theirScadenze = count(*db, "SCADENZE", kScadenzeFattura, invoice);
    theirBuoni = count(*db, "BUONIFATTURA", kBuoniFattura, invoice);
    ASSERT_TRUE(db->deleteRow("FATTURE", find(*db, "FATTURE", invoice)).isOk());
  }
  auto db = writetest::openReading(path);
  EXPECT_EQ(count(*db, "FATTURE", 0, invoice), 0u);
  EXPECT_EQ(count(*db, "SCADENZE", kScadenzeFattura, invoice), 0u);
  EXPECT_EQ(count(*db, "BUONIFATTURA", kBuoniFattura, invoice), 0u);
  EXPECT_EQ(writetest::rows(*db, "SCADENZE").size(), scadenze - theirScadenze);
  EXPECT_EQ(writetest::rows(*db, "BUONIFATTURA").size(), buoni - theirBuoni);
  EXPECT_EQ((*db->table("SCADENZE"))->rowCount, scadenze - theirScadenze);
  db.reset();
  expectSound(path, {"FATTURE", "SCADENZE", "BUONIFATTURA"});
}

TEST(RelEnforce, ChildNeedsItsParentUnlessNotEnforced) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  {
    auto db = writetest::openWritable(path);
    ASSERT_TRUE(db);
    auto invoice = *db->readRow("FATTURE", find(*db, "FATTURE", 1));
    const size_t invoices = writetest::rows(*db, "FATTURE").size();
    // An invoice for a client that does not exist.
    std::vector<Value> v = invoice;
    v[0] = Value();
    v[1] = Value(int32_t(90001)); // Numero: (Numero, Data) is unique
    v[kFattureCliente] = Value(int32_t(777777));
    auto r = db->insertRow("FATTURE", v);
    ASSERT_FALSE(r.isOk());
    EXPECT_EQ(r.status().code(), ErrorCode::RelationshipParent);
    EXPECT_NE(r.status().message().find("'CLIENTIFATTURE'"), std::string::npos);
    EXPECT_NE(r.status().message().find("IDCliente = 777777"), std::string::npos)
        << r.status().message();
    EXPECT_EQ(writetest::rows(*db, "FATTURE").size(), invoices);
    // Moving an existing invoice to a missing client is refused too; to Null is allowed.
    v = invoice;
    v[kFattureCliente] = Value(int32_t(777777));
    EXPECT_EQ(db->updateRow("FATTURE", find(*db, "FATTURE", 1), v).code(),
              ErrorCode::RelationshipParent);
    v[kFattureCliente] = Value();
    EXPECT_TRUE(db->updateRow("FATTURE", find(*db, "FATTURE", 1), v).isOk());
    // A due date for a missing invoice.
    auto due = *db->readRow("SCADENZE", find(*db, "SCADENZE", 1));
    due[0] = Value();
    due[kScadenzeFattura] = Value(int32_t(555555));
    EXPECT_EQ(db->insertRow("SCADENZE", due).status().code(), ErrorCode::RelationshipParent);

    // Movements of a missing product: the relationship is not enforced.
    auto mov = *db->readRow("MOVIMENTI", find(*db, "MOVIMENTI", 1));
    mov[0] = Value();
    mov[kMovimentiProdotto] = Value(int32_t(999999));
    EXPECT_TRUE(db->insertRow("MOVIMENTI", mov).isOk());
    // And a product with movements can go.
    int32_t product = *values(*db, "MOVIMENTI", kMovimentiProdotto).begin();
    EXPECT_TRUE(db->deleteRow("PRODOTTI", find(*db, "PRODOTTI", product)).isOk());
  }
  // The check verifies enforced relationships only.
  expectSound(path, {"FATTURE", "SCADENZE", "MOVIMENTI", "PRODOTTI"});
}

// The relationship's grbit in MSysRelationships of the copy set to `flags`.
void setFlags(jet::Database &db, const std::string &name, int32_t flags) {
  auto def = *db.table("MSysRelationships");
  const size_t grbit = def->findColumn("grbit") - def->columns.data();
  const size_t szName = def->findColumn("szRelationship") - def->columns.data();
  auto at = writetest::locations(db, "MSysRelationships");
  auto rows = writetest::rows(db, "MSysRelationships");
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i][szName].as<std::string>() == name) {
      rows[i][grbit] = Value(flags);
      ASSERT_TRUE(db.updateRow("MSysRelationships", at[i], rows[i]).isOk());
    }
}

TEST(RelEnforce, SetToNullAndRefusalWithoutCascade) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  int32_t linked = -1, dueOnly = -1;
  size_t dueOfIt = 0;
  {
    auto db = writetest::openWritable(path);
    ASSERT_TRUE(db);
    setFlags(*db, "FATTURESCADENZE", jet::Relationship::kCascadeNull);
    setFlags(*db, "FATTUREBUONIFATTURA", 0);
    auto buoni = values(*db, "BUONIFATTURA", kBuoniFattura);
    for (int32_t id : values(*db, "SCADENZE", kScadenzeFattura)) {
      if (id <= 0)
        continue;
      if (buoni.count(id) && linked < 0)
        linked = id;
      else if (dueOnly < 0)
        dueOnly = id;
    }
    ASSERT_GT(linked, 0);
    ASSERT_GT(dueOnly, 0);
    // Children can always go: the second invoice loses its voucher links.
    for (auto at : writetest::locations(*db, "BUONIFATTURA"))
      if (idOf(*db->readRow("BUONIFATTURA", at), kBuoniFattura) == dueOnly)
        ASSERT_TRUE(db->deleteRow("BUONIFATTURA", at).isOk());
    dueOfIt = count(*db, "SCADENZE", kScadenzeFattura, dueOnly);
    const size_t nullBefore = count(*db, "SCADENZE", kScadenzeFattura, -1);
    // Voucher links no longer cascade: the invoice stays, and so do its due dates.
    const size_t dueOfLinked = count(*db, "SCADENZE", kScadenzeFattura, linked);
    auto st = db->deleteRow("FATTURE", find(*db, "FATTURE", linked));
    EXPECT_EQ(st.code(), ErrorCode::RelationshipChildren);
    EXPECT_NE(st.message().find("'FATTUREBUONIFATTURA'"), std::string::npos) << st.message();
    EXPECT_EQ(count(*db, "SCADENZE", kScadenzeFattura, linked), dueOfLinked);
    EXPECT_EQ(count(*db, "FATTURE", 0, linked), 1u);
    // Due dates are set to Null with their invoice gone.
    ASSERT_TRUE(db->deleteRow("FATTURE", find(*db, "FATTURE", dueOnly)).isOk());
    EXPECT_EQ(count(*db, "SCADENZE", kScadenzeFattura, dueOnly), 0u);
    EXPECT_EQ(count(*db, "SCADENZE", kScadenzeFattura, -1), nullBefore + dueOfIt);
  }
  EXPECT_GT(dueOfIt, 0u);
  expectSound(path, {"FATTURE", "SCADENZE", "BUONIFATTURA"});
}

// The check names every row that an enforced relationship leaves without its parent: here an
// invoice written while the relationship was not enforced, before its grbit was set back.
TEST(RelCheck, NamesEachRowWithoutItsParent) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  {
    auto db = writetest::openWritable(path);
    ASSERT_TRUE(db);
    setFlags(*db, "CLIENTIFATTURE", jet::Relationship::kNotEnforced);
    auto v = *db->readRow("FATTURE", find(*db, "FATTURE", 1));
    v[0] = Value();
    v[1] = Value(int32_t(90001));
    v[kFattureCliente] = Value(int32_t(777777));
    ASSERT_TRUE(db->insertRow("FATTURE", v).isOk());
    v[0] = Value();
    v[1] = Value(int32_t(90002));
    v[kFattureCliente] = Value(); // no client at all: nothing to check
    ASSERT_TRUE(db->insertRow("FATTURE", v).isOk());
    setFlags(*db, "CLIENTIFATTURE", 0);
  }
  EXPECT_EQ(writetest::checkFindings(path),
            "Relazione 'CLIENTIFATTURE': il record della tabella 'FATTURE' (IDCliente = 777777) "
            "non ha il record correlato nella tabella 'CLIENTI'.\n");
}

TEST(RelEnforce, YearEndResetInItsOrder) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  const char *groups[] = {
      "BUONI",           "BUONISTO",       "FATTURE",    "BUONIFATTURA", "SCADENZE",  "FATTUREACQ",
      "RICEVUTEFATTURE", "SCONTRINI",      "DDT",        "SPESERICAVI",  "MOVIMENTI", "MOVBANCA",
      "INCPAG",          "REGMENSILE",     "POMPE",      "CISTERNE",     "SCARICHI",  "CARICHI",
      "RICONCILIAZIONI", "CISTERNERICONC", "POMPERICONC"};
  size_t clienti = 0;
  {
    auto db = writetest::openWritable(path);
    ASSERT_TRUE(db);
    clienti = writetest::rows(*db, "CLIENTI").size();
    ASSERT_TRUE(db->begin().isOk());
    for (const char *t : groups) {
      SCOPED_TRACE(t);
      // BUONIFATTURA and SCADENZE are empty by the time their turn comes: the invoices took
      // their rows with them.
      for (auto a : writetest::locations(*db, t))
        ASSERT_TRUE(db->deleteRow(t, a).isOk());
      EXPECT_EQ(writetest::rows(*db, t).size(), 0u);
    }
    auto loc = writetest::locations(*db, "Voci");
    for (auto a : loc) {
      auto v = *db->readRow("Voci", a);
      auto col = (*db->table("Voci"))->findColumn("Annofis");
      ASSERT_TRUE(col);
      v[col - (*db->table("Voci"))->columns.data()] = Value(int16_t(2026));
      auto st = db->updateRow("Voci", a, v);
      if (!st) { // the column may be a Long
        v[col - (*db->table("Voci"))->columns.data()] = Value(int32_t(2026));
        st = db->updateRow("Voci", a, v);
      }
      ASSERT_TRUE(st.isOk()) << st.message();
    }
    ASSERT_TRUE(db->commit().isOk());
  }
  auto db = writetest::openReading(path);
  EXPECT_EQ(writetest::rows(*db, "CLIENTI").size(), clienti) << "master data untouched";
  db.reset();
  expectSound(path, {"FATTURE", "SCADENZE", "BUONIFATTURA", "CLIENTI", "Voci"});
}

} // namespace
