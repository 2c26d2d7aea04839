// Schema statements through SQL inside transactions: a rollback or a failed statement leaves the
// catalogue as the file has it.
#include "../jet/tables_support.h"
#include "data/engine_storage.h"
#include "jet/database_builder.h"
#include "sql/executor.h"

#include <gtest/gtest.h>

using namespace jet;

namespace {

TEST(SchemaSql, SqlRollbackAndFailedStatementsKeepTheCatalogueTrue) {
  vasktest::TempDir dir;
  std::string path = dir.file("sql.mdb").string();
  ASSERT_TRUE(createDatabase(path));
  {
    auto db = Database::open(path, OpenMode::ReadWrite);
    ASSERT_TRUE(db);
    data::EngineStorage st(**db);
    ASSERT_TRUE(sql::execute(st, "CREATE TABLE Base (ID LONG, Nome TEXT(20))"));
    ASSERT_TRUE(sql::execute(st, "INSERT INTO Base (ID, Nome) VALUES (1, 'uno')"));

    ASSERT_TRUE(st.begin());
    ASSERT_TRUE(sql::execute(st, "CREATE TABLE Temp (A LONG)"));
    ASSERT_TRUE(sql::execute(st, "SELECT * INTO [TemporaneaVask] FROM [Base]"));
    ASSERT_TRUE(sql::execute(st, "DROP TABLE Base"));
    // A statement that fails inside the transaction undoes only itself.
    auto bad = sql::execute(st, "SELECT * INTO Altra FROM Inesistente");
    EXPECT_FALSE(bad);
    EXPECT_FALSE(st.table("Altra"));
    EXPECT_TRUE(st.table("TemporaneaVask"));
    ASSERT_TRUE(st.rollback());
    EXPECT_EQ(st.table("Temp").status().code(), ErrorCode::NoSuchTable);
    EXPECT_EQ(st.table("TemporaneaVask").status().code(), ErrorCode::NoSuchTable);
    ASSERT_TRUE(st.table("Base"));
    // Made again after the rollback, they work.
    ASSERT_TRUE(sql::execute(st, "CREATE TABLE Temp (A LONG)"));
    auto copied = sql::execute(st, "SELECT * INTO [TemporaneaVask] FROM [Base]");
    ASSERT_TRUE(copied) << copied.status().message();
    EXPECT_EQ(copied->rowsAffected, 1);
  }
  EXPECT_EQ(tablestest::checkFindings(path), std::vector<std::string>{});
  tablestest::expectMdbToolsAgree(path);
}

TEST(SchemaSql, CopyIntoWithConditionAndDefaultsOnInsert) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("suite/zelbo.mdb", dir).string();
  {
    auto db = Database::open(path, OpenMode::ReadWrite);
    ASSERT_TRUE(db);
    data::EngineStorage st(**db);
    auto r = sql::execute(st, "SELECT * INTO [TemporaneaVask] FROM [BUONI] WHERE ID <= 10 AND "
                              "NOT ISEMPTY([Targa])");
    ASSERT_TRUE(r) << r.status().message();
    auto want = sql::execute(st, "SELECT * FROM BUONI WHERE ID <= 10 AND NOT ISEMPTY([Targa])");
    auto got = sql::execute(st, "SELECT * FROM TemporaneaVask");
    ASSERT_TRUE(want && got);
    EXPECT_EQ(r->rowsAffected, static_cast<int64_t>(want->rows.rows.size()));
    EXPECT_EQ(got->rows.rows, want->rows.rows);
    // A condition that fails on a row fails the copy, and no table is left.
    auto bad = sql::execute(st, "SELECT * INTO [Altra] FROM [BUONI] WHERE [Targa] > 5");
    EXPECT_EQ(bad.status().code(), ErrorCode::TypeMismatch) << bad.status().message();
    EXPECT_EQ(st.table("Altra").status().code(), ErrorCode::NoSuchTable);
  }
  EXPECT_EQ(tablestest::checkFindings(path), std::vector<std::string>{});
  if (vasktest::haveProgram("mdb-export")) {
    // (mdb-export misreads some of TipiDati's extreme values: only the copy is compared.)
    auto db = Database::open(path);
    ASSERT_TRUE(db);
    tablestest::expectSameExport(**db, path, "TemporaneaVask",
                                 (*(*db)->table("TemporaneaVask"))->rowCount);
  }

  // INSERT leaves out columns: they take Access's DefaultValue.
  auto other = vasktest::copyFixture("access/testV2000.mdb", dir).string();
  auto db = Database::open(other, OpenMode::ReadWrite);
  ASSERT_TRUE(db);
  data::EngineStorage st(**db);
  ASSERT_TRUE(sql::execute(st, "INSERT INTO Table1 (A, B) VALUES ('nuovo', 'x')"));
  auto rows = sql::execute(st, "SELECT C, D, E, F, H, G FROM Table1 WHERE A = 'nuovo'");
  ASSERT_TRUE(rows);
  ASSERT_EQ(rows->rows.rows.size(), 1u);
  const auto &v = rows->rows.rows[0];
  EXPECT_EQ(v[0], Value(uint8_t(0)));
  EXPECT_EQ(v[2], Value(int32_t(0)));
  EXPECT_EQ(v[4], Value(Currency{0}));
  EXPECT_TRUE(v[5].isNull());
}

} // namespace
