// Statements through the access layer change the real file through the engine.
#include "data/engine_storage.h"
#include "jet/database.h"
#include "jet/integrity_check.h"
#include "sql/executor.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

size_t countRows(sql::Database &db, const std::string &table) {
  auto t = db.table(table);
  EXPECT_TRUE(t.isOk());
  auto c = (*t)->scan();
  sql::RowId id;
  sql::Row row;
  size_t n = 0;
  while (*c->next(id, row))
    ++n;
  return n;
}

TEST(WriteEngineStorage, StatementsAndTransactionsReachTheFile) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  {
    auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
    ASSERT_TRUE(db.isOk()) << db.status().message();
    data::EngineStorage storage(**db);
    data::EngineStorage others(**db, true);
    auto r = sql::execute(storage, "DELETE FROM BUONI WHERE ID > 1200");
    ASSERT_TRUE(r.isOk()) << r.status().message();
    EXPECT_EQ(countRows(storage, "BUONI"), 1200u);

    ASSERT_TRUE(storage.begin().isOk());
    ASSERT_TRUE(
        sql::execute(storage, "UPDATE BUONI SET Note = 'in sospeso' WHERE ID <= 10").isOk());
    ASSERT_TRUE(
        sql::execute(storage, "INSERT INTO BUONI (Numero, Targa) VALUES (4321, 'ZZ999ZZ')").isOk());
    // A failing statement inside the transaction changes nothing and the transaction goes on.
    auto bad =
        sql::execute(storage, "INSERT INTO BUONI (Numero, Targa) VALUES (1, 'TARGA TROPPO LUNGA')");
    EXPECT_EQ(bad.status().code(), jet::ErrorCode::TextTooLong);
    EXPECT_TRUE(storage.inTransaction());
    EXPECT_EQ(countRows(storage, "BUONI"), 1201u);
    // Connections that do not own the transaction see the file as committed.
    EXPECT_EQ(countRows(others, "BUONI"), 1200u);
    EXPECT_EQ((*others.table("BUONI"))->insert({}, {}).status().code(), jet::ErrorCode::ReadOnly);
    ASSERT_TRUE(storage.commit().isOk());
    EXPECT_EQ(countRows(others, "BUONI"), 1201u);

    ASSERT_TRUE(storage.begin().isOk());
    ASSERT_TRUE(sql::execute(storage, "DELETE FROM BUONI").isOk());
    ASSERT_TRUE(storage.rollback().isOk());
  }
  auto db = jet::Database::open(path.string(), jet::OpenMode::ReadOnly);
  ASSERT_TRUE(db.isOk());
  data::EngineStorage storage(**db);
  EXPECT_EQ(countRows(storage, "BUONI"), 1201u);
  auto r = sql::execute(storage, "SELECT Note FROM BUONI WHERE ID = 3");
  ASSERT_TRUE(r.isOk()) << r.status().message();
  std::vector<std::string> findings;
  ASSERT_TRUE(jet::checkDatabase(**db, findings).isOk());
  EXPECT_TRUE(findings.empty()) << findings[0];
  // A read-only database refuses a transaction.
  EXPECT_EQ(storage.begin().code(), jet::ErrorCode::ReadOnly);
}

} // namespace

// Statements that would change a system table are refused and change nothing; reading one, and
// a user table whose name merely starts with "msys", stay as they were.
TEST(WriteEngineStorage, SystemTablesRefuseDataChangingStatements) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir);
  size_t tables = 0;
  {
    auto db = jet::Database::open(path.string(), jet::OpenMode::ReadWrite);
    ASSERT_TRUE(db.isOk()) << db.status().message();
    tables = (*db)->userTableNames().size();
    data::EngineStorage storage(**db);
    const size_t objects = countRows(storage, "MSysObjects");
    for (const char *statement :
         {"DELETE FROM MSysObjects", "DELETE FROM msysrelationships", "DELETE FROM MSysACEs",
          "UPDATE MSysObjects SET Type = 5", "INSERT INTO MSysACEs (ObjectId, ACM) VALUES (1, 1)",
          "SELECT * INTO MSysRelationships FROM CLIENTI"}) {
      SCOPED_TRACE(statement);
      auto r = sql::execute(storage, statement);
      ASSERT_FALSE(r.isOk());
      EXPECT_EQ(r.status().code(), jet::ErrorCode::SystemTable);
      EXPECT_NE(r.status().message().find("tabella di sistema"), std::string::npos)
          << r.status().message();
      EXPECT_FALSE(storage.inTransaction());
    }
    EXPECT_EQ(countRows(storage, "MSysObjects"), objects);
    EXPECT_TRUE(sql::execute(storage, "SELECT Id, Name INTO Oggetti FROM MSysObjects").isOk());
    EXPECT_TRUE(sql::execute(storage, "DELETE FROM msysNote").isOk());
  }
  std::vector<std::string> findings;
  auto db = jet::Database::open(path.string());
  ASSERT_TRUE(db.isOk());
  ASSERT_TRUE(jet::checkDatabase(**db, findings).isOk());
  EXPECT_TRUE(findings.empty()) << findings.front();
  EXPECT_EQ((*db)->userTableNames().size(), tables + 1);
}
