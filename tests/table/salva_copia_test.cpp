// The save of the working copy through the shared connection, on a copy of the suite's database:
// the real table gets the copy's rows and the copy goes, all in one transaction; a broken rule
// changes nothing and leaves the copy as it was.
#include "data/man_db.h"
#include "data/shared_database.h"
#include "table/salva_copia.h"
#include "test_support.h"

#include <gtest/gtest.h>

using jet::Value;

namespace {

struct Salvataggio : ::testing::Test {
  vasktest::TempDir dir;
  std::filesystem::path file;
  std::unique_ptr<data::ManDB> gestore;
  std::shared_ptr<data::Connection> conn;

  void SetUp() override {
    VASK_REQUIRE_FIXTURES();
    file = vasktest::copyFixture("suite/zelbo.mdb", dir);
    gestore = std::make_unique<data::ManDB>([this] { return file.string(); });
    auto c = gestore->get_Conn(file.string());
    ASSERT_TRUE(c.isOk()) << c.status().message();
    conn = *c;
  }
  void esegui(const std::string &sql) {
    auto st = conn->Execute(sql);
    ASSERT_TRUE(st.isOk()) << sql << ": " << st.message();
  }
  long conta(const std::string &sql) {
    auto rs = conn->OpenRecordset(sql, data::CursorType::Keyset, data::LockType::ReadOnly);
    EXPECT_TRUE(rs.isOk()) << sql;
    return rs ? (*rs)->RecordCount() : -1;
  }
  Value primo(const std::string &sql, const std::string &campo) {
    auto rs = conn->OpenRecordset(sql, data::CursorType::Keyset, data::LockType::ReadOnly);
    EXPECT_TRUE(rs.isOk() && !(*rs)->isEOF()) << sql;
    if (!rs || (*rs)->isEOF())
      return {};
    return *(*rs)->value(campo);
  }
  bool haCopia() {
    for (const auto &n : conn->database().engine().tableNames())
      if (n == "TemporaneaVask")
        return true;
    return false;
  }
};

TEST_F(Salvataggio, OnlyWhatChangedIsWrittenCascadesFollowAndTheCopyGoes) {
  const long scadenze = conta("select * from SCADENZE");
  const long buoni = conta("select * from BUONIFATTURA");
  const long fatture = conta("select * from FATTURE");
  // An invoice with children in both cascading tables.
  const Value via = primo("select * from SCADENZE order by IDFattura", "IDFattura");
  const std::string idVia = std::to_string(via.as<int32_t>());
  const long figliVia = conta("select * from SCADENZE where IDFattura = " + idVia) +
                        conta("select * from BUONIFATTURA where IDFattura = " + idVia);
  ASSERT_GT(figliVia, 0);

  esegui("SELECT * INTO TemporaneaVask FROM FATTURE");
  esegui("DELETE FROM TemporaneaVask WHERE ID = " + idVia);
  const Value ultima = primo("select * from FATTURE order by ID desc", "ID");
  const Value cliente = primo("select * from FATTURE", "IDCliente");
  esegui("UPDATE TemporaneaVask SET Note = 'Pagata con bonifico dell''ultimo giorno' WHERE ID = " +
         std::to_string(ultima.as<int32_t>()));
  // A new row without an ID takes the next counter value.
  esegui("INSERT INTO TemporaneaVask (Numero, IDCliente, Totale) VALUES (987654, " +
         std::to_string(cliente.as<int32_t>()) + ", 12.5)");

  auto r = tabelle::SalvaCopia(*conn, "FATTURE", "TemporaneaVask");
  ASSERT_TRUE(r.isOk()) << r.status().message();
  EXPECT_EQ(r->deleted, 1u);
  EXPECT_EQ(r->updated, 1u);
  EXPECT_EQ(r->inserted, 1u);
  EXPECT_EQ(r->unchanged, size_t(fatture - 2));
  EXPECT_FALSE(conn->inTransaction());
  EXPECT_FALSE(haCopia());
  EXPECT_EQ(conta("select * from FATTURE"), fatture);
  EXPECT_EQ(conta("select * from FATTURE where ID = " + idVia), 0);
  EXPECT_EQ(conta("select * from FATTURE where Note = 'Pagata con bonifico dell''ultimo giorno'"),
            1);
  EXPECT_EQ(conta("select * from FATTURE where Numero = 987654 and ID > " +
                  std::to_string(ultima.as<int32_t>())),
            1);
  // Only the removed invoice's children went.
  EXPECT_EQ(conta("select * from SCADENZE") + conta("select * from BUONIFATTURA"),
            scadenze + buoni - figliVia);

  // The independent reader sees the saved table and no copy.
  std::string tabelle;
  ASSERT_EQ(vasktest::runCommand("mdb-tables -1 '" + file.string() + "'", &tabelle), 0);
  EXPECT_EQ(tabelle.find("TemporaneaVask"), std::string::npos) << tabelle;
  std::string csv;
  ASSERT_EQ(vasktest::runCommand("mdb-export '" + file.string() + "' FATTURE", &csv), 0);
  EXPECT_NE(csv.find("dell'ultimo giorno"), std::string::npos);
}

TEST_F(Salvataggio, ABrokenRuleChangesNothingAndKeepsTheCopy) {
  const long clienti = conta("select * from CLIENTI");
  const Value conFatture = primo("select * from FATTURE order by IDCliente", "IDCliente");
  const std::string id = std::to_string(conFatture.as<int32_t>());
  esegui("SELECT * INTO TemporaneaVask FROM CLIENTI");
  // A change that would be written, then a client whose invoices still need it.
  esegui("UPDATE TemporaneaVask SET Citta = 'Cambiata' WHERE ID <> " + id);
  esegui("DELETE FROM TemporaneaVask WHERE ID = " + id);
  const long copia = conta("select * from TemporaneaVask");

  auto r = tabelle::SalvaCopia(*conn, "CLIENTI", "TemporaneaVask");
  ASSERT_FALSE(r.isOk());
  EXPECT_EQ(r.status().code(), jet::ErrorCode::RelationshipChildren);
  const std::string m = r.status().message();
  EXPECT_NE(m.find("ID = " + id), std::string::npos) << m;
  EXPECT_NE(m.find("FATTURE"), std::string::npos) << m;
  EXPECT_FALSE(conn->inTransaction());
  EXPECT_EQ(conta("select * from CLIENTI"), clienti);
  EXPECT_EQ(conta("select * from CLIENTI where Citta = 'Cambiata'"), 0);
  ASSERT_TRUE(haCopia());
  EXPECT_EQ(conta("select * from TemporaneaVask"), copia);

  // Two rows of the copy with one key: the second is named, nothing changes.
  esegui("DROP TABLE TemporaneaVask");
  esegui("SELECT * INTO TemporaneaVask FROM CLIENTI");
  esegui("INSERT INTO TemporaneaVask (ID, Codice, RagioneSociale) VALUES (1, 'ZZZ', 'Doppione')");
  r = tabelle::SalvaCopia(*conn, "CLIENTI", "TemporaneaVask");
  ASSERT_FALSE(r.isOk());
  EXPECT_EQ(r.status().code(), jet::ErrorCode::DuplicateKey) << r.status().message();
  EXPECT_NE(r.status().message().find("ID = 1"), std::string::npos) << r.status().message();
  EXPECT_EQ(conta("select * from CLIENTI"), clienti);
  EXPECT_EQ(conta("select * from CLIENTI where Codice = 'ZZZ'"), 0);
  EXPECT_TRUE(haCopia());

  // A save while the connection already holds a transaction is refused and leaves it open.
  ASSERT_TRUE(conn->BeginTrans().isOk());
  r = tabelle::SalvaCopia(*conn, "CLIENTI", "TemporaneaVask");
  EXPECT_FALSE(r.isOk());
  EXPECT_TRUE(conn->inTransaction());
  ASSERT_TRUE(conn->RollbackTrans().isOk());
  EXPECT_TRUE(haCopia());
}

} // namespace
