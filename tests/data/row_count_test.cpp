// The row count without reading the rows: what "select * from" the table would give, as the
// counting connection sees it.
#include "data/man_db.h"
#include "data/row_count.h"
#include "data/shared_database.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

TEST(ContaRighe, SeesTheOwnTransactionOnly) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto file = vasktest::copyFixture("suite/zelbo.mdb", dir);
  data::ManDB gestore{[&] { return file.string(); }};
  auto c = gestore.get_Conn(file.string());
  ASSERT_TRUE(c.isOk()) << c.status().message();
  data::Connection &conn = **c;
  auto n = data::ContaRighe(conn, "BUONI");
  ASSERT_TRUE(n.isOk()) << n.status().message();
  EXPECT_EQ(*n, 1234);
  EXPECT_EQ(*data::ContaRighe(conn, "Vuota"), 0);
  EXPECT_FALSE(data::ContaRighe(conn, "Inesistente").isOk());

  ASSERT_TRUE(conn.Execute("SELECT * INTO TemporaneaVask FROM BUONI").isOk());
  ASSERT_TRUE(conn.BeginTrans().isOk());
  int64_t via = 0;
  ASSERT_TRUE(conn.Execute("DELETE FROM TemporaneaVask WHERE ID <= 100", &via).isOk());
  ASSERT_EQ(via, 100);
  EXPECT_EQ(*data::ContaRighe(conn, "TemporaneaVask"), 1134);
  // Another connection sees the table as last committed, as its recordsets do.
  auto altra = gestore.get_Conn(file.string());
  ASSERT_TRUE(altra.isOk());
  EXPECT_EQ(*data::ContaRighe(**altra, "TemporaneaVask"), 1234);
  auto rs = (*altra)->OpenRecordset("select * from TemporaneaVask", data::CursorType::Keyset,
                                    data::LockType::ReadOnly);
  ASSERT_TRUE(rs.isOk());
  EXPECT_EQ((*rs)->RecordCount(), 1234);
  ASSERT_TRUE(conn.RollbackTrans().isOk());
  EXPECT_EQ(*data::ContaRighe(conn, "TemporaneaVask"), 1234);
}

} // namespace
