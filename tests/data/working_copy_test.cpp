// The working copy made by the engine's bulk path is the table SELECT * INTO makes, and the
// row count sees what the connection's own transaction sees.
#include "data/man_db.h"
#include "data/shared_database.h"
#include "data/working_copy.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

struct CopiaDiLavoro : ::testing::Test {
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
  std::string esporta(const std::string &tabella) {
    std::string out;
    EXPECT_EQ(vasktest::runCommand("mdb-export '" + file.string() + "' '" + tabella + "'", &out),
              0);
    return out;
  }
};

TEST_F(CopiaDiLavoro, TheBulkCopyIsWhatSelectIntoMakes) {
  // Every column type, long memos and Nulls; and a table with a blank in its name.
  for (const std::string tabella : {"TipiDati", "Listino Prezzi", "BUONI"}) {
    ASSERT_TRUE(conn->Execute("SELECT * INTO ViaSql FROM [" + tabella + "]").isOk()) << tabella;
    ASSERT_TRUE(data::CopiaTabella(*conn, tabella, "ViaMotore").isOk()) << tabella;
    auto &db = conn->database().engine();
    auto sql = db.table("ViaSql");
    auto motore = db.table("ViaMotore");
    ASSERT_TRUE(sql && motore);
    ASSERT_EQ((*sql)->columns.size(), (*motore)->columns.size());
    for (size_t i = 0; i < (*sql)->columns.size(); ++i) {
      const auto &a = (*sql)->columns[i], &b = (*motore)->columns[i];
      EXPECT_EQ(a.name, b.name);
      EXPECT_EQ(a.type, b.type) << a.name;
      EXPECT_EQ(a.length, b.length) << a.name;
      EXPECT_EQ(a.isAutoNumber(), b.isAutoNumber()) << a.name;
      EXPECT_FALSE(b.isAutoNumber() || b.required) << a.name;
    }
    EXPECT_TRUE((*motore)->indexes.empty());
    EXPECT_EQ((*sql)->indexes.size(), (*motore)->indexes.size());
    EXPECT_EQ(esporta("ViaMotore"), esporta("ViaSql")) << tabella;
    EXPECT_EQ(esporta("ViaMotore"), esporta(tabella)) << tabella;
    ASSERT_TRUE(conn->Execute("DROP TABLE ViaSql").isOk());
    ASSERT_TRUE(conn->Execute("DROP TABLE ViaMotore").isOk());
  }
  std::string out;
  EXPECT_EQ(vasktest::runCommand((vasktest::binaryDir() / "vaskdb").string() + " check '" +
                                     file.string() + "' 2>&1",
                                 &out),
            0)
      << out;
}

TEST_F(CopiaDiLavoro, RefusalsChangeNothing) {
  const auto prima = conn->database().engine().tableNames();
  // The target exists, the source does not.
  EXPECT_FALSE(data::CopiaTabella(*conn, "BUONI", "CLIENTI").isOk());
  EXPECT_FALSE(data::CopiaTabella(*conn, "Inesistente", "Nuova").isOk());
  // Another connection holds a transaction.
  auto altra = gestore->get_Conn(file.string());
  ASSERT_TRUE(altra.isOk());
  ASSERT_TRUE((*altra)->BeginTrans().isOk());
  auto st = data::CopiaTabella(*conn, "BUONI", "Nuova");
  EXPECT_EQ(st.code(), jet::ErrorCode::Locked) << st.message();
  ASSERT_TRUE((*altra)->RollbackTrans().isOk());
  EXPECT_EQ(conn->database().engine().tableNames(), prima);
  EXPECT_EQ(esporta("CLIENTI").find("Inesistente"), std::string::npos);
}

TEST_F(CopiaDiLavoro, TheCountSeesTheOwnTransactionOnly) {
  auto n = data::ContaRighe(*conn, "BUONI");
  ASSERT_TRUE(n.isOk());
  EXPECT_EQ(*n, 1234);
  EXPECT_EQ(*data::ContaRighe(*conn, "Vuota"), 0);
  EXPECT_FALSE(data::ContaRighe(*conn, "Inesistente").isOk());

  ASSERT_TRUE(data::CopiaTabella(*conn, "BUONI", "TemporaneaVask").isOk());
  ASSERT_TRUE(conn->BeginTrans().isOk());
  int64_t via = 0;
  ASSERT_TRUE(conn->Execute("DELETE FROM TemporaneaVask WHERE ID <= 100", &via).isOk());
  ASSERT_EQ(via, 100);
  EXPECT_EQ(*data::ContaRighe(*conn, "TemporaneaVask"), 1134);
  // Another connection sees the table as last committed.
  auto altra = gestore->get_Conn(file.string());
  ASSERT_TRUE(altra.isOk());
  EXPECT_EQ(*data::ContaRighe(**altra, "TemporaneaVask"), 1234);
  ASSERT_TRUE(conn->RollbackTrans().isOk());
  EXPECT_EQ(*data::ContaRighe(*conn, "TemporaneaVask"), 1234);
}

} // namespace
