// Connections to a file that another process writes, or that the suite has open: they read the
// last committed state, whole, and a write is told who holds the file.
#include "data/man_db.h"
#include "jet_client.h"
#include "ledger_db.h"
#include "test_support.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace data;
using vasktest::kLedgerRows;

namespace {

constexpr int kRounds = 60;

} // namespace

// The writer is another open of the file (another program, as far as the reader can tell): the
// reader's connection opens read-only and each of its recordsets holds one commit, never a mix.
TEST(Sharing, ReaderBesideACommittingWriterSeesOnlyWholeCommits) {
  vasktest::TempDir dir;
  const std::string path = vasktest::makeLedger(dir);
  auto writer = jet::Database::open(path, jet::OpenMode::ReadWrite);
  ASSERT_TRUE(writer) << writer.status().message();

  ManDB gestore{[&] { return path; }};
  auto conn = gestore.get_Conn(path);
  ASSERT_TRUE(conn) << conn.status().message();
  Connection &c = **conn;
  EXPECT_EQ(c.readOnlyReason().code(), jet::ErrorCode::Locked);
  jet::Status refused = c.Execute("UPDATE Conti SET Valore = 1");
  EXPECT_EQ(refused.code(), jet::ErrorCode::Locked);
  EXPECT_NE(refused.message().find("aperto in scrittura da un altro"), std::string::npos);

  std::atomic<bool> done{false};
  jet::Status writerFailure;
  std::thread w([&] {
    for (int k = 1; k <= kRounds && writerFailure; ++k)
      writerFailure = vasktest::setLedger(**writer, k);
    done = true;
  });
  int reads = 0, last = 0;
  std::string problem;
  while (problem.empty() && (!done || reads == 0)) {
    auto rs = c.OpenRecordset("SELECT Valore FROM Conti", CursorType::Keyset, LockType::ReadOnly);
    if (!rs) {
      problem = rs.status().message();
      break;
    }
    if ((*rs)->RecordCount() != kLedgerRows)
      problem = "righe: " + std::to_string((*rs)->RecordCount());
    const int first = (*rs)->valueAt(0, 0).as<int32_t>();
    for (long r = 0; r < (*rs)->RecordCount() && problem.empty(); ++r)
      if ((*rs)->valueAt(r, 0).as<int32_t>() != first)
        problem = "commit mescolati alla lettura " + std::to_string(reads);
    if (first < last)
      problem = "stato precedente riletto";
    last = first;
    ++reads;
  }
  w.join();
  EXPECT_TRUE(writerFailure) << writerFailure.message();
  EXPECT_EQ(problem, "");
  // The last commit is seen at the next read.
  auto rs = c.OpenRecordset("SELECT Valore FROM Conti WHERE Valore = " + std::to_string(kRounds),
                            CursorType::Keyset, LockType::ReadOnly);
  ASSERT_TRUE(rs);
  EXPECT_EQ((*rs)->RecordCount(), kLedgerRows);
  std::printf("[ misura  ] %d letture accanto a %d commit\n", reads, kRounds);
}

// While a Jet client of the suite has the file open, connections read it and a write is told
// who has it; with the client gone a new connection writes.
TEST(Sharing, WriteWhileTheSuiteHasTheFileOpenNamesItsUser) {
  vasktest::TempDir dir;
  const std::string path = vasktest::makeLedger(dir);
  ManDB gestore{[&] { return path; }};
  {
    vasktest::JetClient client(jet::ldbPathFor(path), "PC-CASSA", "Admin");
    auto conn = gestore.get_Conn(path);
    ASSERT_TRUE(conn) << conn.status().message();
    const std::string expected = "Il database è in uso da PC-CASSA (Admin): chiudere il "
                                 "gestionale prima di modificarlo.";
    EXPECT_EQ((*conn)->readOnlyReason().message(), expected);
    EXPECT_EQ((*conn)->Execute("UPDATE Conti SET Valore = 1").message(), expected);
    EXPECT_EQ((*conn)->BeginTrans().message(), expected);
    auto rs = (*conn)->OpenRecordset("SELECT * FROM Conti", CursorType::Keyset, LockType::ReadOnly);
    ASSERT_TRUE(rs);
    EXPECT_EQ((*rs)->RecordCount(), kLedgerRows);
  }
  auto conn = gestore.get_Conn(path);
  ASSERT_TRUE(conn);
  EXPECT_TRUE((*conn)->readOnlyReason());
  int64_t n = 0;
  ASSERT_TRUE((*conn)->Execute("UPDATE Conti SET Valore = 1", &n));
  EXPECT_EQ(n, kLedgerRows);
}
