// Vask beside the suite: the Jet engine's lock file, with a Jet client played by a process of its
// own (tests/support/jet_client_main.cpp); and readers that see only committed states.
#include "jet/database.h"
#include "jet/ldb_users.h"
#include "jet_client.h"
#include "journal_test_support.h"
#include "ledger_db.h"
#include "test_support.h"

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace jet;
namespace fs = std::filesystem;

namespace {

using vasktest::kLedgerRows;

std::pair<std::string, std::string> entryOf(const std::string &ldb, int slot) {
  std::string bytes = vasktest::readFile(ldb);
  if (bytes.size() < size_t(slot + 1) * 64)
    return {};
  auto field = [&](size_t at) { return std::string(bytes.c_str() + at); };
  return {field(size_t(slot) * 64), field(size_t(slot) * 64 + 32)};
}

} // namespace

TEST(LdbUsers, LiveJetClientKeepsVaskFromWritingAndIsNamedUntilItGoes) {
  vasktest::TempDir dir;
  const std::string path = vasktest::makeLedger(dir), ldb = ldbPathFor(path);
  EXPECT_EQ(ldb, dir.file("negozio.ldb").string());
  const std::string before = journaltest::bytesOf(path);
  {
    vasktest::JetClient client(ldb, "PC-CASSA", "Admin");
    ASSERT_EQ(client.slot(), 0);
    auto refused = Database::open(path, OpenMode::ReadWrite);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.status().code(), ErrorCode::InUse);
    EXPECT_EQ(refused.status().message(),
              "Il database è in uso da PC-CASSA (Admin): chiudere il gestionale prima di "
              "modificarlo.");
    // Reading goes on; the client's entry is untouched and nothing was written.
    auto reader = Database::open(path, OpenMode::ReadOnly);
    ASSERT_TRUE(reader) << reader.status().message();
    EXPECT_EQ((*reader)->userTableNames(), std::vector<std::string>{"Conti"});
    EXPECT_EQ(entryOf(ldb, 0), std::make_pair(std::string("PC-CASSA"), std::string("Admin")));
    reader->reset();
    EXPECT_TRUE(fs::exists(ldb)); // the client is still there
    EXPECT_EQ(journaltest::bytesOf(path), before);
    EXPECT_FALSE(fs::exists(path + "-journal"));
  }
  // The client gone, its entry is left from a user that is no longer there: Vask writes, in
  // that slot, and as the last user removes the file at close.
  OpenOptions o;
  o.computerName = "PC-UFFICIO";
  auto db = Database::open(path, OpenMode::ReadWrite, o);
  ASSERT_TRUE(db) << db.status().message();
  EXPECT_EQ(entryOf(ldb, 0), std::make_pair(std::string("PC-UFFICIO"), std::string("Admin")));
  ASSERT_TRUE(vasktest::setLedger(**db, 7));
  db->reset();
  EXPECT_FALSE(fs::exists(ldb));
}

TEST(LdbUsers, WhileVaskWritesItIsAConnectedUserAndAJetClientCannotWrite) {
  vasktest::TempDir dir;
  const std::string path = vasktest::makeLedger(dir), ldb = ldbPathFor(path);
  OpenOptions o;
  o.computerName = "PC-UFFICIO";
  auto db = Database::open(path, OpenMode::ReadWrite, o);
  ASSERT_TRUE(db) << db.status().message();
  EXPECT_EQ(entryOf(ldb, 0), std::make_pair(std::string("PC-UFFICIO"), std::string("Admin")));
  {
    vasktest::JetClient client(ldb, "PC-CASSA", "Admin");
    EXPECT_EQ(client.slot(), 1); // slot 0's lock is Vask's
    EXPECT_FALSE(client.canWritePage(5));
    EXPECT_FALSE(client.canWritePage(0x7FFFF)); // the last page a 2 GB file can have
    ASSERT_TRUE(vasktest::setLedger(**db, 3));
    db->reset();
    // Vask gone, the client writes; the .ldb stays while it is connected.
    EXPECT_TRUE(client.canWritePage(5));
    EXPECT_TRUE(fs::exists(ldb));
  }
  // A stale .ldb (both entries left, no lock held) stops nobody; the last user removes it.
  auto reader = Database::open(path, OpenMode::ReadOnly);
  ASSERT_TRUE(reader) << reader.status().message();
  EXPECT_EQ(vasktest::ledgerValues(**reader), std::vector<int32_t>(kLedgerRows, 3));
  reader->reset();
  EXPECT_FALSE(fs::exists(ldb));
}

TEST(LdbUsers, VaskReadersDoNotStopAVaskWriterAndASecondWriterIsRefused) {
  vasktest::TempDir dir;
  const std::string path = vasktest::makeLedger(dir);
  auto reader = Database::open(path, OpenMode::ReadOnly);
  ASSERT_TRUE(reader) << reader.status().message();
  auto writer = Database::open(path, OpenMode::ReadWrite);
  ASSERT_TRUE(writer) << writer.status().message();
  auto second = Database::open(path, OpenMode::ReadWrite);
  ASSERT_FALSE(second);
  EXPECT_EQ(second.status().code(), ErrorCode::Locked);
  auto lateReader = Database::open(path, OpenMode::ReadOnly);
  ASSERT_TRUE(lateReader) << lateReader.status().message();

  // Readers see each commit at their next read, never before.
  ASSERT_TRUE(vasktest::setLedger(**writer, 5));
  for (auto *r : {&*reader, &*lateReader}) {
    ReadScope read(**r);
    ASSERT_TRUE(read.status()) << read.status().message();
    EXPECT_EQ(vasktest::ledgerValues(**r), std::vector<int32_t>(kLedgerRows, 5));
  }
  // A reader's write is refused with nothing written.
  std::vector<Value> row = {Value(int32_t(9999)), Value(int32_t(1)), Value(std::string("x"))};
  EXPECT_EQ((*reader)->insertRow("Conti", row).status().code(), ErrorCode::ReadOnly);
}

// A commit killed half-way leaves its journal; a reader opening the file afterwards rolls it
// back before reading instead of reading the torn pages.
TEST(LdbUsers, ReaderAfterACrashedCommitSeesTheStateBeforeIt) {
  vasktest::TempDir dir;
  const std::string path = vasktest::makeLedger(dir);
  const std::string before = journaltest::bytesOf(path);
  {
    FaultInjector crash(25); // journal written and sealed, a few database pages overwritten
    OpenOptions o;
    o.faults = &crash;
    auto db = Database::open(path, OpenMode::ReadWrite, o);
    ASSERT_TRUE(db) << db.status().message();
    EXPECT_FALSE(vasktest::setLedger(**db, 9));
    ASSERT_TRUE(crash.crashed());
  }
  ASSERT_TRUE(fs::exists(path + "-journal"));
  ASSERT_NE(journaltest::bytesOf(path), before);
  auto reader = Database::open(path, OpenMode::ReadOnly);
  ASSERT_TRUE(reader) << reader.status().message();
  EXPECT_EQ(vasktest::ledgerValues(**reader), std::vector<int32_t>(kLedgerRows, 0));
  EXPECT_EQ(journaltest::bytesOf(path), before);
  EXPECT_FALSE(fs::exists(path + "-journal"));
}

// Signing in to the lock file and out again, against a whole open and close of the database:
// printed, not asserted.
TEST(LdbUsers, OpenAndCloseWithTheLockFileCostsLittle) {
  vasktest::TempDir dir;
  const std::string path = vasktest::makeLedger(dir);
  auto perRound = [](int rounds, const std::function<void()> &work) {
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i)
      work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
               .count() /
           rounds;
  };
  double ldb = perRound(50, [&] {
    auto m = LdbMembership::join(path, "PC-UFFICIO");
    EXPECT_TRUE(m && m->joined());
    EXPECT_TRUE(m->liveJetUsers());
    EXPECT_TRUE(m->holdPageLocks());
  });
  double whole = perRound(50, [&] { EXPECT_TRUE(Database::open(path, OpenMode::ReadWrite)); });
  std::printf("[ misura  ] lock file: %.3f ms of %.3f ms for an open and close for writing\n", ldb,
              whole);
  EXPECT_FALSE(fs::exists(ldbPathFor(path)));
}
