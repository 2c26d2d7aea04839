// Two connections to one file: the one that does not hold the open transaction reads the file as
// last committed, never the other's uncommitted rows or tables.
#include "data/man_db.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace data;

namespace {

long countOf(Connection &c, const std::string &sql) {
  auto rs = c.OpenRecordset(sql, CursorType::Static, LockType::ReadOnly);
  EXPECT_TRUE(rs.isOk()) << (rs ? "" : rs.status().message());
  return rs ? (*rs)->RecordCount() : -1;
}

TEST(CommittedView, OtherConnectionsNeverSeeAnOpenTransaction) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto file = vasktest::copyFixture("suite/zelbo.mdb", dir).string();
  ManDB gestore{[&] { return file; }};
  auto owner = gestore.get_Conn(file);
  auto other = gestore.get_Conn(file);
  ASSERT_TRUE(owner && other);
  Connection &a = **owner, &b = **other;
  ASSERT_EQ(&a.database(), &b.database());
  const long rows = countOf(b, "SELECT * FROM BUONI");
  ASSERT_EQ(rows, 1234);

  ASSERT_TRUE(a.BeginTrans());
  int64_t n = 0;
  ASSERT_TRUE(a.Execute("DELETE FROM BUONI WHERE ID <= 100", &n));
  EXPECT_EQ(n, 100);
  ASSERT_TRUE(a.Execute("UPDATE BUONI SET Targa = 'NUOVA' WHERE ID = 200"));
  ASSERT_TRUE(a.Execute("SELECT * INTO [TemporaneaVask] FROM [BUONI]"));
  ASSERT_TRUE(a.Execute("DROP TABLE [Listino Prezzi]"));
  // The owner sees its own work ...
  EXPECT_EQ(countOf(a, "SELECT * FROM BUONI"), rows - 100);
  EXPECT_EQ(countOf(a, "SELECT * FROM TemporaneaVask"), rows - 100);
  // ... the other connection the file as it was, through recordsets and Execute alike.
  EXPECT_EQ(countOf(b, "SELECT * FROM BUONI"), rows);
  EXPECT_EQ(countOf(b, "SELECT * FROM BUONI WHERE Targa = 'NUOVA'"), 0);
  EXPECT_EQ(countOf(b, "SELECT * FROM [Listino Prezzi]"), 25);
  auto unknown =
      b.OpenRecordset("SELECT * FROM TemporaneaVask", CursorType::Static, LockType::ReadOnly);
  EXPECT_EQ(unknown.status().code(), jet::ErrorCode::NoSuchTable);
  EXPECT_TRUE(b.Execute("SELECT * FROM [Listino Prezzi]"));
  // and may not write while the transaction is open.
  EXPECT_EQ(b.Execute("DELETE FROM BUONI").code(), jet::ErrorCode::Locked);
  ASSERT_TRUE(a.CommitTrans());

  EXPECT_EQ(countOf(b, "SELECT * FROM BUONI"), rows - 100);
  EXPECT_EQ(countOf(b, "SELECT * FROM BUONI WHERE Targa = 'NUOVA'"), 1);
  EXPECT_EQ(countOf(b, "SELECT * FROM TemporaneaVask"), rows - 100);

  // A transaction rolled back is never seen by either.
  ASSERT_TRUE(b.BeginTrans());
  ASSERT_TRUE(b.Execute("DELETE FROM TemporaneaVask"));
  EXPECT_EQ(countOf(a, "SELECT * FROM TemporaneaVask"), rows - 100);
  EXPECT_EQ(countOf(b, "SELECT * FROM TemporaneaVask"), 0);
  ASSERT_TRUE(b.RollbackTrans());
  EXPECT_EQ(countOf(a, "SELECT * FROM TemporaneaVask"), rows - 100);
  EXPECT_EQ(countOf(b, "SELECT * FROM TemporaneaVask"), rows - 100);
}

} // namespace
