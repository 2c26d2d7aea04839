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

} // namespace
