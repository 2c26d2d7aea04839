#include "jet/journal.h"
#include "journal_test_support.h"
#include "test_support.h"

#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace jet;
using namespace journaltest;
namespace fs = std::filesystem;

namespace {

constexpr uint32_t kPages = 12;

// A real multi-page transaction: five pages changed (one of them only in part), one written
// back unchanged, three appended.
Status runScenario(PageTransaction &tx) {
  JET_TRY(tx.begin());
  for (uint32_t p : {1u, 4u, 5u, 9u})
    JET_TRY(tx.write(p, stampedPage(2, p)));
  JET_TRY(tx.write(7, stampedPage(1, 7)));
  auto first = tx.modify(0);
  if (!first)
    return first.status();
  (*first)[100] ^= 0xFF;
  for (int i = 0; i < 3; ++i) {
    auto n = tx.append();
    if (!n)
      return n.status();
    JET_TRY(tx.write(*n, stampedPage(2, *n)));
  }
  return tx.commit();
}

// The scenario's journal writes (five originals, the appended pages, the header) and database
// writes (eight pages).
constexpr int64_t kJournalWrites = 7;
constexpr int64_t kTotalWrites = kJournalWrites + 8;

struct States {
  std::string before, after;
};

States scenarioStates(const vasktest::TempDir &dir) {
  fs::path p = dir.file("states.mdb");
  writeDatabase(p, kPages, 1);
  States s;
  s.before = bytesOf(p);
  FaultInjector counter;
  auto db = openForWriting(p.string(), kPage, kLockWait, &counter);
  EXPECT_TRUE(db.isOk()) << db.status().message();
  PageTransaction tx(db->store, db->lock, &counter);
  Status st = runScenario(tx);
  EXPECT_TRUE(st.isOk()) << st.message();
  EXPECT_EQ(counter.writesDone(), kTotalWrites);
  s.after = bytesOf(p);
  return s;
}

bool journalExists(const fs::path &db) {
  return fs::exists(RollbackJournal::pathFor(db.string()));
}

} // namespace

TEST(PageTransaction, CommitWritesOnlyChangesAndLeavesNoJournal) {
  vasktest::TempDir dir;
  States s = scenarioStates(dir);
  ASSERT_EQ(s.after.size(), size_t(kPages + 3) * kPage);
  EXPECT_EQ(s.after.compare(7 * kPage, kPage, s.before, 7 * kPage, kPage), 0);
  EXPECT_NE(s.after.compare(0, kPage, s.before, 0, kPage), 0);
  EXPECT_EQ(stampOf(s.after, 9), 2u);
  EXPECT_EQ(stampOf(s.after, 14), 2u);
  EXPECT_FALSE(journalExists(dir.file("states.mdb")));
}

TEST(PageTransaction, DatabaseIsUntouchedUntilCommitAndRollbackDropsEverything) {
  vasktest::TempDir dir;
  fs::path p = dir.file("db.mdb");
  writeDatabase(p, kPages, 1);
  const std::string before = bytesOf(p);
  auto db = openForWriting(p.string());
  ASSERT_TRUE(db.isOk()) << db.status().message();
  PageTransaction tx(db->store, db->lock);
  ASSERT_TRUE(tx.begin().isOk());
  ASSERT_TRUE(tx.write(3, stampedPage(5, 3)).isOk());
  ASSERT_TRUE(tx.append().isOk());
  EXPECT_EQ(tx.pageCount(), kPages + 1);
  std::vector<uint8_t> seen(kPage);
  ASSERT_TRUE(tx.read(3, seen).isOk());
  EXPECT_EQ(seen, stampedPage(5, 3));
  EXPECT_EQ(bytesOf(p), before);
  EXPECT_FALSE(journalExists(p));
  tx.rollback();
  EXPECT_FALSE(tx.active());
  EXPECT_EQ(bytesOf(p), before);
  EXPECT_EQ(tx.commit().code(), ErrorCode::NoTransaction);
  EXPECT_EQ(tx.modify(1).status().code(), ErrorCode::NoTransaction);
  // A transaction stays within the database's pages.
  ASSERT_TRUE(tx.begin().isOk());
  EXPECT_EQ(tx.modify(kPages).status().code(), ErrorCode::Corrupt);
  tx.rollback();
}

TEST(PageTransaction, PagesWrittenBackUnchangedCostNoWrites) {
  vasktest::TempDir dir;
  fs::path p = dir.file("same.mdb");
  writeDatabase(p, 4, 1);
  const std::string before = bytesOf(p);
  FaultInjector counter;
  auto db = openForWriting(p.string(), kPage, kLockWait, &counter);
  ASSERT_TRUE(db.isOk());
  PageTransaction tx(db->store, db->lock, &counter);
  ASSERT_TRUE(tx.begin().isOk());
  ASSERT_TRUE(tx.write(3, stampedPage(1, 3)).isOk());
  auto m = tx.modify(1);
  ASSERT_TRUE(m.isOk());
  (*m)[9] ^= 1;
  (*m)[9] ^= 1;
  EXPECT_EQ(tx.changedPageNumbers(), (std::vector<uint32_t>{1, 3}));
  ASSERT_TRUE(tx.commit().isOk());
  EXPECT_EQ(counter.writesDone(), 0);
  EXPECT_EQ(bytesOf(p), before);
  EXPECT_FALSE(journalExists(p));
}

// A crash after k writes, for every k, torn or clean: the next open restores exactly the state
// before, and a commit that completed its writes stands.
TEST(PageTransaction, CrashAfterEveryWriteRecoversToBeforeOrAfter) {
  vasktest::TempDir dir;
  const States s = scenarioStates(dir);
  fs::path p = dir.file("crash.mdb");
  int tornDatabases = 0;
  for (size_t torn : {size_t(0), size_t(1000)}) {
    for (int64_t k = 0; k <= kTotalWrites; ++k) {
      SCOPED_TRACE("writes before the crash: " + std::to_string(k) +
                   ", torn bytes: " + std::to_string(torn));
      // Half the crashes with a write set too small for the scenario's pages.
      std::optional<SpillingWriteSet> spill;
      if (k % 2 == 1)
        spill.emplace();
      writeDatabase(p, kPages, 1);
      FaultInjector crash(k, torn);
      Status st;
      {
        auto db = openForWriting(p.string(), kPage, kLockWait, &crash);
        ASSERT_TRUE(db.isOk()) << db.status().message();
        PageTransaction tx(db->store, db->lock, &crash);
        st = runScenario(tx);
        EXPECT_EQ(tx.needsRecovery(), k >= kJournalWrites && k < kTotalWrites);
        EXPECT_FALSE(tx.active());
      }
      EXPECT_EQ(st.isOk(), k == kTotalWrites) << st.message();
      const std::string raw = bytesOf(p);
      if (k >= kJournalWrites && k < kTotalWrites) {
        EXPECT_TRUE(journalExists(p));
        if (raw != s.before && raw != s.after)
          ++tornDatabases;
      } else {
        EXPECT_EQ(raw, k == kTotalWrites ? s.after : s.before);
      }

      auto reopened = openForWriting(p.string());
      ASSERT_TRUE(reopened.isOk()) << reopened.status().message();
      EXPECT_FALSE(journalExists(p));
      EXPECT_TRUE(bytesOf(p) == (k == kTotalWrites ? s.after : s.before));
    }
  }
  // The crashes did leave half-written databases for the journal to mend: all but a clean crash
  // on the first database write.
  EXPECT_EQ(tornDatabases, 2 * (kTotalWrites - kJournalWrites) - 1);
}

// A power cut loses whatever was not flushed: either everything unflushed, or everything but
// the database's own writes (the disk wrote those first). Recovery still finds the state before,
// or after once the commit said so.
TEST(PageTransaction, PowerCutLosingUnflushedChangesRecoversToBeforeOrAfter) {
  vasktest::TempDir dir;
  const States s = scenarioStates(dir);
  fs::path p = dir.file("power.mdb");
  const std::string dbPath = p.string();
  for (bool databaseSurvives : {false, true}) {
    for (int64_t k = 0; k <= kTotalWrites; ++k) {
      SCOPED_TRACE("writes before the cut: " + std::to_string(k) +
                   (databaseSurvives ? ", database writes kept" : ", all unflushed lost"));
      writeDatabase(p, kPages, 1);
      FaultInjector cut(k, 700);
      cut.trackUnflushed();
      Status st;
      {
        auto session = WriteSession::open(dbPath, kPage, kLockWait, &cut);
        ASSERT_TRUE(session.isOk());
        st = runScenario((*session)->transaction());
      }
      cut.powerCut([&](const std::string &path) { return databaseSurvives && path == dbPath; });
      // The recovery itself cut off at its end: what it flushed must be enough.
      FaultInjector cutAgain;
      cutAgain.trackUnflushed();
      ASSERT_TRUE(openForWriting(dbPath, kPage, kLockWait, &cutAgain).isOk());
      cutAgain.powerCut([](const std::string &) { return false; });
      auto reopened = openForWriting(dbPath);
      ASSERT_TRUE(reopened.isOk()) << reopened.status().message();
      EXPECT_EQ(st.isOk(), k == kTotalWrites);
      EXPECT_TRUE(bytesOf(p) == (st.isOk() ? s.after : s.before));
      EXPECT_FALSE(journalExists(p));
    }
  }
}

// The disk refuses one write (no crash): the commit fails, the database is put back at once and
// the next transaction works.
TEST(PageTransaction, FailedWriteRestoresTheDatabaseInProcess) {
  vasktest::TempDir dir;
  const States s = scenarioStates(dir);
  fs::path p = dir.file("eio.mdb");
  for (int64_t k = 0; k < kTotalWrites; ++k) {
    SCOPED_TRACE("failing write: " + std::to_string(k));
    writeDatabase(p, kPages, 1);
    FaultInjector refuse(k, 0, /*sticky=*/false);
    auto db = openForWriting(p.string(), kPage, kLockWait, &refuse);
    ASSERT_TRUE(db.isOk());
    PageTransaction tx(db->store, db->lock, &refuse);
    Status st = runScenario(tx);
    EXPECT_EQ(st.code(), ErrorCode::IoError);
    EXPECT_FALSE(st.message().empty());
    EXPECT_TRUE(refuse.failedOnce());
    EXPECT_FALSE(tx.active());
    EXPECT_FALSE(tx.needsRecovery());
    EXPECT_FALSE(journalExists(p));
    EXPECT_EQ(bytesOf(p), s.before);
    EXPECT_TRUE(runScenario(tx).isOk());
    EXPECT_EQ(bytesOf(p), s.after);
  }
}

// A crash while rolling back a hot journal is mended by rolling back again.
TEST(RollbackJournal, CrashDuringRecoveryIsRecoveredAgain) {
  vasktest::TempDir dir;
  const States s = scenarioStates(dir);
  fs::path p = dir.file("twice.mdb");
  for (int64_t j = 0; j <= 5; ++j) {
    SCOPED_TRACE("writes of the recovery before its crash: " + std::to_string(j));
    writeDatabase(p, kPages, 1);
    {
      FaultInjector crash(kJournalWrites + 7, 500);
      auto db = openForWriting(p.string(), kPage, kLockWait, &crash);
      ASSERT_TRUE(db.isOk());
      PageTransaction tx(db->store, db->lock, &crash);
      ASSERT_FALSE(runScenario(tx).isOk());
    }
    ASSERT_TRUE(journalExists(p));
    {
      FaultInjector crash(j, 700);
      auto db = openForWriting(p.string(), kPage, kLockWait, &crash);
      EXPECT_EQ(db.isOk(), j == 5) << db.status().message();
    }
    EXPECT_EQ(journalExists(p), j < 5);
    auto db = openForWriting(p.string());
    ASSERT_TRUE(db.isOk()) << db.status().message();
    EXPECT_EQ(bytesOf(p), s.before);
  }
}

// A writer whose commit could neither finish nor put the database back (the disk went away)
// keeps the file open; its next transaction rolls the journal back before starting.
TEST(PageTransaction, NextBeginMendsTheJournalOfAFailedCommit) {
  vasktest::TempDir dir;
  const States s = scenarioStates(dir);
  fs::path p = dir.file("mend.mdb");
  writeDatabase(p, kPages, 1);
  FaultInjector disk(kJournalWrites + 3);
  auto db = openForWriting(p.string(), kPage, kLockWait, &disk);
  ASSERT_TRUE(db.isOk());
  PageTransaction tx(db->store, db->lock, &disk);
  ASSERT_FALSE(runScenario(tx).isOk());
  ASSERT_TRUE(tx.needsRecovery());
  ASSERT_TRUE(journalExists(p));
  // Still broken: begin refuses rather than work on a half-written file.
  EXPECT_FALSE(tx.begin().isOk());
  EXPECT_FALSE(tx.active());
  disk.heal();
  ASSERT_TRUE(tx.begin().isOk());
  EXPECT_FALSE(tx.needsRecovery());
  EXPECT_EQ(bytesOf(p), s.before);
  tx.rollback();
  EXPECT_TRUE(runScenario(tx).isOk());
  EXPECT_EQ(bytesOf(p), s.after);
}

TEST(RollbackJournal, TornRecordEndsTheValidRecords) {
  vasktest::TempDir dir;
  fs::path p = dir.file("torn.mdb");
  writeDatabase(p, 6, 1);
  fs::permissions(p, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                         fs::perms::group_write);
  RollbackJournal j(p.string());
  ASSERT_TRUE(j.create(6 * kPage, 7 * kPage).isOk());
  // Whoever may write the database may roll its journal back.
  EXPECT_EQ(fs::status(j.path()).permissions(), fs::status(p).permissions());
  for (uint32_t page : {1u, 2u, 3u})
    ASSERT_TRUE(j.add(page, stampedPage(1, page), stampedPage(2, page)).isOk());
  j.addAppended(6, stampedPage(2, 6));
  ASSERT_TRUE(j.seal().isOk());
  // The database as a crash in the write phase left it: three pages changed, one appended.
  {
    auto store = PageStore::open(p.string(), true);
    ASSERT_TRUE(store.isOk());
    for (uint32_t page : {1u, 2u, 3u, 6u})
      ASSERT_TRUE(store->writePage(page, stampedPage(2, page)).isOk());
  }
  // Damage the second record's image.
  {
    auto jf = SyncFile::open(j.path(), O_RDWR);
    ASSERT_TRUE(jf.isOk());
    const uint8_t junk[3] = {0xDE, 0xAD, 0xBF};
    ASSERT_TRUE(
        jf->writeAt(RollbackJournal::kHeaderSize + RollbackJournal::recordSize(kPage) + 200, junk)
            .isOk());
  }
  EXPECT_EQ(*j.inspect(), RollbackJournal::State::Hot);
  auto db = openForWriting(p.string());
  ASSERT_TRUE(db.isOk());
  EXPECT_EQ(db->recoveredPages, 1u);
  const std::string after = bytesOf(p);
  ASSERT_EQ(after.size(), size_t(6) * kPage);
  EXPECT_EQ(stampOf(after, 1), 1u);
  EXPECT_EQ(stampOf(after, 2), 2u);
  EXPECT_EQ(stampOf(after, 3), 2u);
  EXPECT_FALSE(fs::exists(j.path()));
}

TEST(RollbackJournal, ShortOrForeignRecordsAreNotRestored) {
  vasktest::TempDir dir;
  fs::path p = dir.file("short.mdb");
  writeDatabase(p, 4, 1);
  RollbackJournal j(p.string());
  ASSERT_TRUE(j.create(4 * kPage, 4 * kPage).isOk());
  ASSERT_TRUE(j.add(1, stampedPage(1, 1), stampedPage(3, 1)).isOk());
  ASSERT_TRUE(j.add(2, stampedPage(1, 2), stampedPage(3, 2)).isOk());
  // A record naming a page past the original end is not an original.
  ASSERT_TRUE(j.add(9, stampedPage(1, 9), stampedPage(3, 9)).isOk());
  ASSERT_TRUE(j.seal().isOk());
  fs::resize_file(j.path(),
                  RollbackJournal::kHeaderSize + RollbackJournal::recordSize(kPage) * 2 - 1);
  {
    auto store = PageStore::open(p.string(), true);
    for (uint32_t page : {1u, 2u})
      ASSERT_TRUE(store->writePage(page, stampedPage(3, page)).isOk());
  }
  auto db = openForWriting(p.string());
  ASSERT_TRUE(db.isOk());
  EXPECT_EQ(db->recoveredPages, 1u);
  const std::string after = bytesOf(p);
  EXPECT_EQ(stampOf(after, 1), 1u);
  EXPECT_EQ(stampOf(after, 2), 3u);
}

// A journal whose header never made it to disk means the database was not touched.
TEST(RollbackJournal, JournalWithInvalidHeaderIsIgnored) {
  vasktest::TempDir dir;
  fs::path p = dir.file("unsealed.mdb");
  writeDatabase(p, 4, 1);
  const std::string before = bytesOf(p);
  RollbackJournal j(p.string());
  ASSERT_TRUE(j.create(2 * kPage, 2 * kPage).isOk());
  ASSERT_TRUE(j.add(1, stampedPage(7, 1), stampedPage(8, 1)).isOk());
  EXPECT_EQ(*j.inspect(), RollbackJournal::State::Invalid);
  // A reader leaves it alone and reads the database as it is.
  auto reader = FileLock::open(p.string(), FileLock::Mode::Read);
  ASSERT_TRUE(reader.isOk());
  ASSERT_TRUE(beginRead(*reader).isOk());
  EXPECT_TRUE(reader->holdsShared());
  reader->unlockRead();
  EXPECT_TRUE(fs::exists(j.path()));
  // A header from another page size does not check out either.
  RollbackJournal other(p.string(), 2048);
  ASSERT_TRUE(other.create(2048, 2048).isOk());
  ASSERT_TRUE(other.seal().isOk());
  EXPECT_EQ(*j.inspect(), RollbackJournal::State::Invalid);
  auto db = openForWriting(p.string());
  ASSERT_TRUE(db.isOk());
  EXPECT_EQ(db->recoveredPages, 0u);
  EXPECT_EQ(bytesOf(p), before);
  EXPECT_FALSE(fs::exists(j.path()));
}

TEST(RollbackJournal, ReaderRollsBackAJournalLeftByACrashBeforeReading) {
  vasktest::TempDir dir;
  const States s = scenarioStates(dir);
  fs::path p = dir.file("reader.mdb");
  writeDatabase(p, kPages, 1);
  {
    FaultInjector crash(kJournalWrites + 4, 300);
    auto db = openForWriting(p.string(), kPage, kLockWait, &crash);
    PageTransaction tx(db->store, db->lock, &crash);
    ASSERT_FALSE(runScenario(tx).isOk());
  }
  ASSERT_NE(bytesOf(p), s.before);
  auto reader = FileLock::open(p.string(), FileLock::Mode::Read);
  ASSERT_TRUE(reader.isOk());
  Status st = beginRead(*reader);
  ASSERT_TRUE(st.isOk()) << st.message();
  EXPECT_TRUE(reader->holdsShared());
  EXPECT_FALSE(reader->isWriter());
  EXPECT_EQ(bytesOf(p), s.before);
  EXPECT_FALSE(journalExists(p));
  reader->unlockRead();
}

// Commit and readers exclude each other; a commit kept out by a reader writes nothing.
TEST(PageTransaction, CommitWaitsForReadersAndWritesNothingWhenTheyStay) {
  vasktest::TempDir dir;
  fs::path p = dir.file("busy.mdb");
  writeDatabase(p, 4, 1);
  const std::string before = bytesOf(p);
  auto db = openForWriting(p.string());
  ASSERT_TRUE(db.isOk());
  auto reader = FileLock::open(p.string(), FileLock::Mode::Read);
  ASSERT_TRUE(reader.isOk());
  ASSERT_TRUE(beginRead(*reader).isOk());
  PageTransaction tx(db->store, db->lock, nullptr, std::chrono::milliseconds(30));
  ASSERT_TRUE(tx.begin().isOk());
  ASSERT_TRUE(tx.write(2, stampedPage(4, 2)).isOk());
  Status st = tx.commit();
  EXPECT_EQ(st.code(), ErrorCode::Locked);
  EXPECT_NE(st.message().find("in lettura"), std::string::npos) << st.message();
  EXPECT_TRUE(tx.active());
  EXPECT_EQ(bytesOf(p), before);
  EXPECT_FALSE(journalExists(p));
  reader->unlockRead();
  ASSERT_TRUE(tx.commit().isOk());
  EXPECT_EQ(stampOf(bytesOf(p), 2), 4u);
  // And a reader cannot start while the read byte is the writer's.
  ASSERT_TRUE(db->lock.lockExclusive(kLockWait).isOk());
  EXPECT_EQ(beginRead(*reader, kPage, std::chrono::milliseconds(20)).code(), ErrorCode::Locked);
  db->lock.unlockRead();
  EXPECT_TRUE(beginRead(*reader).isOk());
}

TEST(PageTransaction, FailedStatementUndoesOnlyItsOwnChanges) {
  vasktest::TempDir dir;
  fs::path p = dir.file("stmt.mdb");
  writeDatabase(p, 6, 1);
  auto db = openForWriting(p.string());
  ASSERT_TRUE(db.isOk());
  PageTransaction tx(db->store, db->lock);
  ASSERT_TRUE(tx.begin().isOk());
  {
    StatementScope first(tx);
    ASSERT_TRUE(tx.write(1, stampedPage(2, 1)).isOk());
    ASSERT_TRUE(first.done().isOk());
  }
  {
    StatementScope failing(tx);
    ASSERT_TRUE(tx.write(1, stampedPage(3, 1)).isOk());
    auto m = tx.modify(2);
    ASSERT_TRUE(m.isOk());
    (*m)[10] = 0x55;
    auto n = tx.append();
    ASSERT_TRUE(n.isOk());
    ASSERT_TRUE(tx.write(*n, stampedPage(3, *n)).isOk());
    EXPECT_EQ(tx.pageCount(), 7u);
    // Leaves without done(): as a statement that failed half way.
  }
  EXPECT_EQ(tx.openSavepoints(), 0u);
  EXPECT_EQ(tx.pageCount(), 6u);
  EXPECT_EQ(tx.changedPages(), 1u);
  EXPECT_EQ(tx.find(2), nullptr);
  std::vector<uint8_t> img(kPage);
  ASSERT_TRUE(tx.read(1, img).isOk());
  EXPECT_EQ(img, stampedPage(2, 1));
  // The transaction goes on.
  ASSERT_TRUE(tx.write(4, stampedPage(2, 4)).isOk());
  ASSERT_TRUE(tx.commit().isOk());
  const std::string after = bytesOf(p);
  ASSERT_EQ(after.size(), size_t(6) * kPage);
  EXPECT_EQ(stampOf(after, 1), 2u);
  EXPECT_EQ(stampOf(after, 2), 1u);
  EXPECT_EQ(stampOf(after, 4), 2u);
  EXPECT_EQ(
      after.compare(2 * kPage, kPage,
                    std::string(reinterpret_cast<const char *>(stampedPage(1, 2).data()), kPage)),
      0);
}

TEST(PageTransaction, NestedSavepointsKeepTheOldestImage) {
  vasktest::TempDir dir;
  fs::path p = dir.file("nested.mdb");
  writeDatabase(p, 4, 1);
  auto db = openForWriting(p.string());
  PageTransaction tx(db->store, db->lock);
  ASSERT_TRUE(tx.begin().isOk());
  ASSERT_TRUE(tx.write(0, stampedPage(2, 0)).isOk());
  size_t outer = tx.savepoint();
  ASSERT_TRUE(tx.write(0, stampedPage(3, 0)).isOk());
  size_t inner = tx.savepoint();
  ASSERT_TRUE(tx.write(0, stampedPage(4, 0)).isOk());
  ASSERT_TRUE(tx.write(1, stampedPage(4, 1)).isOk());
  ASSERT_TRUE(tx.append().isOk());
  size_t innermost = tx.savepoint();
  ASSERT_TRUE(tx.write(3, stampedPage(5, 3)).isOk());
  // Releasing the inner ones folds their changes into the outer savepoint.
  ASSERT_TRUE(tx.release(inner).isOk());
  EXPECT_EQ(tx.openSavepoints(), 1u);
  EXPECT_EQ(tx.rollbackTo(innermost).code(), ErrorCode::Internal);
  ASSERT_TRUE(tx.rollbackTo(outer).isOk());
  EXPECT_EQ(tx.pageCount(), 4u);
  EXPECT_EQ(tx.find(1), nullptr);
  EXPECT_EQ(tx.find(3), nullptr);
  ASSERT_NE(tx.find(0), nullptr);
  EXPECT_EQ(std::vector<uint8_t>(tx.find(0), tx.find(0) + kPage), stampedPage(2, 0));
  ASSERT_TRUE(tx.commit().isOk());
  EXPECT_EQ(stampOf(bytesOf(p), 0), 2u);
  EXPECT_EQ(stampOf(bytesOf(p), 3), 1u);
}

TEST(RollbackJournal, ChecksumIsTheStandardCrc32) {
  const std::string text = "123456789";
  std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t *>(text.data()), text.size());
  EXPECT_EQ(journalChecksum(bytes), 0xCBF43926u);
  // In pieces as in one go, across the eight-byte strides.
  std::vector<uint8_t> page = stampedPage(3, 3);
  uint32_t whole = journalChecksum(page);
  uint32_t pieces =
      journalChecksum(std::span(page).subspan(13), journalChecksum(std::span(page).first(13)));
  EXPECT_EQ(whole, pieces);
  page[4000] ^= 1;
  EXPECT_NE(journalChecksum(page), whole);
}

// A reader mending a crash's journal holds the writer byte for a moment: a writer opening then
// waits for it instead of being refused. A writer that holds it with a journal it cannot mend
// keeps others out.
TEST(RollbackJournal, WriterWaitsForAReaderMendingAJournal) {
  vasktest::TempDir dir;
  const States s = scenarioStates(dir);
  fs::path p = dir.file("mending.mdb");
  writeDatabase(p, kPages, 1);
  FaultInjector disk(kJournalWrites + 2);
  auto stuck = openForWriting(p.string(), kPage, kLockWait, &disk);
  ASSERT_TRUE(stuck.isOk());
  {
    PageTransaction tx(stuck->store, stuck->lock, &disk);
    ASSERT_FALSE(runScenario(tx).isOk());
    ASSERT_TRUE(tx.needsRecovery());
  }
  EXPECT_EQ(openForWriting(p.string(), kPage, std::chrono::milliseconds(30)).status().code(),
            ErrorCode::Locked);
  auto reader = FileLock::open(p.string(), FileLock::Mode::Read);
  ASSERT_TRUE(reader.isOk());
  EXPECT_EQ(beginRead(*reader, kPage, std::chrono::milliseconds(30)).code(), ErrorCode::Locked);
  EXPECT_FALSE(reader->holdsShared());
  *stuck = WritableDatabase();

  ASSERT_TRUE(reader->tryWriter().isOk());
  std::thread mender([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto store = PageStore::open(p.string(), true);
    RollbackJournal(p.string()).rollback(*store);
    reader->releaseWriter();
  });
  auto db = openForWriting(p.string());
  mender.join();
  ASSERT_TRUE(db.isOk()) << db.status().message();
  EXPECT_EQ(bytesOf(p), s.before);
}

// An Access-written file: a large transaction over it, crashed at points spread over its
// writes, always reopens as the very file Access wrote.
TEST(PageTransaction, CrashOverAnAccessFileRestoresItExactly) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  fs::path p = vasktest::copyFixture("access/testV2000.mdb", dir);
  const std::string original = bytesOf(p);
  const uint32_t pages = uint32_t(original.size() / kPage);
  ASSERT_GT(pages, 300u);
  auto scramble = [&](PageTransaction &tx) -> Status {
    JET_TRY(tx.begin());
    for (uint32_t n = 1; n < pages; n += 3) {
      auto img = tx.modify(n);
      if (!img)
        return img.status();
      for (uint32_t i = 0; i < kPage; i += 64)
        (*img)[i] ^= 0xA5;
    }
    for (int i = 0; i < 8; ++i)
      if (auto n = tx.append(); !n)
        return n.status();
    return tx.commit();
  };
  const uint32_t changed = (pages - 1 + 2) / 3;
  const int64_t total = 2 + changed + changed + 8;
  for (int64_t k = 0; k < total; k += total / 11) {
    SCOPED_TRACE("writes before the crash: " + std::to_string(k));
    {
      FaultInjector crash(k, 2000);
      auto db = openForWriting(p.string(), kPage, kLockWait, &crash);
      ASSERT_TRUE(db.isOk()) << db.status().message();
      PageTransaction tx(db->store, db->lock, &crash);
      ASSERT_FALSE(scramble(tx).isOk());
    }
    auto db = openForWriting(p.string());
    ASSERT_TRUE(db.isOk()) << db.status().message();
    ASSERT_EQ(bytesOf(p), original);
  }
  auto db = openForWriting(p.string());
  PageTransaction tx(db->store, db->lock);
  ASSERT_TRUE(scramble(tx).isOk());
  EXPECT_EQ(bytesOf(p).size(), original.size() + 8 * kPage);
}

// Far more pages than the write set keeps in memory, and savepoints over them: every image
// comes back from the spill file as it was, and the commit writes exactly the pages kept.
TEST(PageTransaction, ASpillingWriteSetKeepsEveryImageAndSavepoint) {
  SpillingWriteSet spill;
  vasktest::TempDir dir;
  fs::path p = dir.file("spill.mdb");
  constexpr uint32_t kMany = 64;
  writeDatabase(p, kMany, 1);
  auto db = openForWriting(p.string());
  ASSERT_TRUE(db.isOk());
  PageTransaction tx(db->store, db->lock);
  ASSERT_TRUE(tx.begin().isOk());
  auto writeAll = [&](uint32_t generation, uint32_t step) {
    for (uint32_t n = 0; n < tx.pageCount(); n += step)
      ASSERT_TRUE(tx.write(n, stampedPage(generation, n)).isOk());
  };
  auto expectAll = [&](auto generationOf) {
    std::vector<uint8_t> img(kPage);
    for (uint32_t n = 0; n < tx.pageCount(); ++n) {
      ASSERT_TRUE(tx.read(n, img).isOk());
      EXPECT_EQ(img, stampedPage(generationOf(n), n)) << "page " << n;
    }
  };
  writeAll(2, 1);
  size_t outer = tx.savepoint();
  writeAll(3, 1);
  for (int i = 0; i < 20; ++i) {
    auto n = tx.append();
    ASSERT_TRUE(n.isOk());
    ASSERT_TRUE(tx.write(*n, stampedPage(3, *n)).isOk());
  }
  size_t inner = tx.savepoint();
  writeAll(4, 2);
  expectAll([](uint32_t n) { return n % 2 ? 3u : 4u; });
  ASSERT_TRUE(tx.rollbackTo(inner).isOk());
  expectAll([](uint32_t) { return 3u; });
  inner = tx.savepoint();
  writeAll(5, 3);
  ASSERT_TRUE(tx.release(inner).isOk());
  ASSERT_TRUE(tx.rollbackTo(outer).isOk());
  EXPECT_EQ(tx.pageCount(), kMany);
  expectAll([](uint32_t) { return 2u; });
  ASSERT_TRUE(tx.write(7, stampedPage(6, 7)).isOk());
  ASSERT_TRUE(tx.commit().isOk());
  const std::string after = bytesOf(p);
  ASSERT_EQ(after.size(), size_t(kMany) * kPage);
  for (uint32_t n = 0; n < kMany; ++n)
    EXPECT_EQ(stampOf(after, n), n == 7 ? 6u : 2u) << "page " << n;
}

// A journal left by a crash belongs to the file as the crash left it. Where another program
// wrote to the file afterwards, or a copy was put in its place, nothing is rolled back: the
// journal is kept aside, the open says what was found, and the next open takes the file as is.
TEST(RollbackJournal, JournalOfAFileSinceChangedOrReplacedIsKeptAsideUnapplied) {
  vasktest::TempDir dir;
  const States s = scenarioStates(dir);
  fs::path p = dir.file("stale.mdb");
  auto crashMidWrite = [&] {
    writeDatabase(p, kPages, 1);
    FaultInjector crash(kJournalWrites + 3, 0);
    auto db = openForWriting(p.string(), kPage, kLockWait, &crash);
    ASSERT_TRUE(db.isOk());
    PageTransaction tx(db->store, db->lock, &crash);
    ASSERT_FALSE(runScenario(tx).isOk());
    ASSERT_TRUE(journalExists(p));
  };
  auto writePage = [&](uint32_t page, uint32_t generation) {
    auto store = PageStore::open(p.string(), true);
    ASSERT_TRUE(store->writePage(page, stampedPage(generation, page)).isOk());
  };
  struct Case {
    const char *what;
    std::function<void()> change;
    const char *found;
  };
  const std::vector<Case> cases = {
      {"a journaled page rewritten", [&] { writePage(5, 9); }, "la pagina 5 non è"},
      {"pages appended past the commit's end",
       [&] {
         for (uint32_t n = kPages; n < kPages + 6; ++n)
           writePage(n, 9);
       },
       "l'aggiornamento lo portava da"},
      {"an appended page rewritten", [&] { writePage(kPages, 9); }, "la pagina 12 non è"},
      {"another copy put in its place", [&] { writeDatabase(p, kPages, 7); }, "la pagina 0 non"},
  };
  int n = 0;
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    crashMidWrite();
    c.change();
    const std::string changed = bytesOf(p);
    auto db = openForWriting(p.string());
    ASSERT_FALSE(db.isOk());
    EXPECT_EQ(db.status().code(), ErrorCode::StaleJournal);
    const std::string aside = RollbackJournal::asidePathFor(p.string(), ++n);
    EXPECT_NE(db.status().message().find(c.found), std::string::npos) << db.status().message();
    EXPECT_NE(db.status().message().find("conservato a parte come '" + aside + "'"),
              std::string::npos)
        << db.status().message();
    EXPECT_EQ(bytesOf(p), changed);
    EXPECT_FALSE(journalExists(p));
    EXPECT_TRUE(fs::exists(aside));
    ASSERT_TRUE(openForWriting(p.string()).isOk());
    EXPECT_EQ(bytesOf(p), changed);
  }
  // The copy from before the transaction is a state the crash can have left: rolling back is
  // harmless there.
  crashMidWrite();
  {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << s.before;
  }
  auto db = openForWriting(p.string());
  ASSERT_TRUE(db.isOk()) << db.status().message();
  EXPECT_EQ(bytesOf(p), s.before);
  EXPECT_FALSE(journalExists(p));
}

// The file deleted, or another put in its place, while a transaction runs: the commit says so and
// writes nothing anywhere. A commit past the process's file size limit fails and is undone
// instead of killing the process.
TEST(PageTransaction, CommitOnAFileGoneOrOverItsSizeLimitFailsAndWritesNothing) {
  vasktest::TempDir dir;
  fs::path p = dir.file("gone.mdb");
  for (bool replaced : {false, true}) {
    SCOPED_TRACE(replaced ? "replaced" : "deleted");
    writeDatabase(p, kPages, 1);
    auto session = WriteSession::open(p.string());
    ASSERT_TRUE(session.isOk());
    PageTransaction &tx = (*session)->transaction();
    ASSERT_TRUE(tx.begin().isOk());
    ASSERT_TRUE(tx.write(3, stampedPage(2, 3)).isOk());
    fs::remove(p);
    if (replaced) {
      writeDatabase(dir.file("other.mdb"), kPages, 5);
      fs::rename(dir.file("other.mdb"), p);
    }
    Status st = tx.commit();
    EXPECT_EQ(st.code(), ErrorCode::IoError);
    EXPECT_NE(st.message().find("è stato cancellato o sostituito mentre era aperto"),
              std::string::npos)
        << st.message();
    EXPECT_FALSE(tx.active());
    EXPECT_FALSE(journalExists(p));
    EXPECT_EQ(fs::exists(p), replaced);
    if (replaced)
      EXPECT_EQ(stampOf(bytesOf(p), 3), 5u);
  }

  writeDatabase(p, kPages, 1);
  const std::string before = bytesOf(p);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    rlimit limit{kPages * kPage + kPage, kPages * kPage + kPage};
    setrlimit(RLIMIT_FSIZE, &limit);
    auto s = WriteSession::open(p.string());
    if (!s)
      _exit(2);
    PageTransaction &t = (*s)->transaction();
    if (!t.begin().isOk() || !t.write(1, stampedPage(2, 1)).isOk())
      _exit(3);
    for (int i = 0; i < 4; ++i)
      if (!t.append().isOk())
        _exit(4);
    Status st = t.commit();
    _exit(st.isOk() ? 0 : st.message().find("dimensione massima") != std::string::npos ? 7 : 8);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 7);
  ASSERT_TRUE(openForWriting(p.string()).isOk());
  EXPECT_EQ(bytesOf(p), before);
}
