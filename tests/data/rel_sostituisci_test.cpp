// SostituisciRighe: the save of a working copy through a connection.
#include "data/man_db.h"
#include "data/replace_rows.h"
#include "data/shared_database.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

TEST(SostituisciRighe, ThroughTheConnectionOnlyWhatChanged) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto file = vasktest::copyFixture("suite/zelbo.mdb", dir);
  data::ManDB gestore{[&] { return file.string(); }};
  auto conn = gestore.get_Conn(file.string());
  ASSERT_TRUE(conn.isOk()) << conn.status().message();
  auto same = data::SostituisciRighe(**conn, "CLIENTI", "CLIENTI");
  ASSERT_TRUE(same.isOk()) << same.status().message();
  EXPECT_EQ(same->updated + same->deleted + same->inserted, 0u);
  EXPECT_EQ(same->unchanged, 150u);

  // An empty copy of CLIENTI: its clients have invoices, so nothing changes.
  jet::SourceRows empty;
  empty.columns = {"ID", "Codice"};
  auto r = data::SostituisciRighe(**conn, "CLIENTI", empty);
  ASSERT_FALSE(r.isOk());
  EXPECT_EQ(r.status().code(), jet::ErrorCode::RelationshipChildren);
  int64_t n = 0;
  ASSERT_TRUE((*conn)->Execute("Select * from CLIENTI", &n).isOk());
  auto cur = (*conn)->database().engine().cursor("CLIENTI");
  size_t rows = 0;
  while (*cur->next())
    ++rows;
  EXPECT_EQ(rows, 150u);
  EXPECT_FALSE((*conn)->database().engine().inTransaction());
}

} // namespace
