#include "child_process.h"
#include "jet/file_lock.h"
#include "jet/journal.h"
#include "journal_test_support.h"
#include "test_support.h"

#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace jet;
using namespace journaltest;
namespace fs = std::filesystem;

namespace {

constexpr const char *kChildVariable = "VASK_TEST_LOCK_HOLDER";

// Started again as a child (see LockHolder), this program opens the database named by the
// variable for writing, says whether it could, and keeps it open until its input closes.
struct LockHolderEntry {
  LockHolderEntry() {
    const char *path = std::getenv(kChildVariable);
    if (!path)
      return;
    auto db = openForWriting(path, kPage, std::chrono::milliseconds(100));
    std::string line =
        db.isOk() ? "held\n" : "refused " + std::to_string(db.status().number()) + "\n";
    if (write(1, line.data(), line.size()) < 0)
      _exit(2);
    char c;
    while (read(0, &c, 1) > 0) {
    }
    _exit(0);
  }
} lockHolderEntry;

// This test program run again as another process holding (or trying to hold) the writer lock.
class LockHolder {
public:
  explicit LockHolder(const fs::path &db)
      : process_("/proc/self/exe", {}, kChildVariable, db.string()), answer_(process_.readLine()) {}
  const std::string &answer() const { return answer_; }
  void release() { process_.closeInput(); }
  void kill9() { process_.kill9(); }
  int wait() { return process_.wait(); }

private:
  vasktest::ChildProcess process_;
  std::string answer_;
};

} // namespace

TEST(FileLock, WriterInAnotherProcessKeepsOtherWritersOutButNotReaders) {
  vasktest::TempDir dir;
  fs::path p = dir.file("shared.mdb");
  writeDatabase(p, 5, 1);
  const std::string before = bytesOf(p);
  LockHolder other(p);
  ASSERT_EQ(other.answer(), "held");
  EXPECT_TRUE(*FileLock::heldForWriting(p.string()));

  auto refused = openForWriting(p.string());
  ASSERT_FALSE(refused.isOk());
  EXPECT_EQ(refused.status().code(), ErrorCode::Locked);
  EXPECT_EQ(refused.status().number(), 3045);
  EXPECT_NE(refused.status().message().find("aperto in scrittura da un altro"), std::string::npos)
      << refused.status().message();
  EXPECT_EQ(bytesOf(p), before);
  EXPECT_FALSE(fs::exists(RollbackJournal::pathFor(p.string())));

  // Reading goes on while the other process has the file open for writing.
  auto reader = FileLock::open(p.string(), FileLock::Mode::Read);
  ASSERT_TRUE(reader.isOk());
  EXPECT_TRUE(beginRead(*reader).isOk());
  reader->unlockRead();

  other.release();
  EXPECT_EQ(other.wait(), 0);
  EXPECT_FALSE(*FileLock::heldForWriting(p.string()));
  EXPECT_TRUE(openForWriting(p.string()).isOk());
}

TEST(FileLock, OtherProcessIsRefusedWhileWeWriteAndTheLockDiesWithItsProcess) {
  vasktest::TempDir dir;
  fs::path p = dir.file("ours.mdb");
  writeDatabase(p, 3, 1);
  {
    auto ours = openForWriting(p.string());
    ASSERT_TRUE(ours.isOk());
    LockHolder other(p);
    EXPECT_EQ(other.answer(), "refused 3045");
  }
  LockHolder killed(p);
  ASSERT_EQ(killed.answer(), "held");
  killed.kill9();
  killed.wait();
  EXPECT_TRUE(openForWriting(p.string()).isOk());
}

TEST(FileLock, TwoOpensInOneProcessAreTwoWriters) {
  vasktest::TempDir dir;
  fs::path p = dir.file("twice.mdb");
  writeDatabase(p, 3, 1);
  auto first = FileLock::open(p.string(), FileLock::Mode::Write);
  ASSERT_TRUE(first.isOk());
  EXPECT_EQ(FileLock::open(p.string(), FileLock::Mode::Write).status().code(), ErrorCode::Locked);
  // Moving the lock keeps it; dropping it frees the file.
  FileLock moved = std::move(*first);
  EXPECT_TRUE(moved.isWriter());
  EXPECT_EQ(FileLock::open(p.string(), FileLock::Mode::Write).status().code(), ErrorCode::Locked);
  moved = FileLock();
  EXPECT_TRUE(FileLock::open(p.string(), FileLock::Mode::Write).isOk());
  // Readers share the read byte; a writer's exclusive hold waits for all of them.
  auto a = FileLock::open(p.string(), FileLock::Mode::Read);
  auto b = FileLock::open(p.string(), FileLock::Mode::Read);
  auto w = FileLock::open(p.string(), FileLock::Mode::Write);
  ASSERT_TRUE(a.isOk() && b.isOk() && w.isOk());
  ASSERT_TRUE(a->lockShared(kLockWait).isOk());
  ASSERT_TRUE(b->lockShared(kLockWait).isOk());
  EXPECT_EQ(w->lockExclusive(std::chrono::milliseconds(10)).code(), ErrorCode::Locked);
  a->unlockRead();
  EXPECT_EQ(w->lockExclusive(std::chrono::milliseconds(10)).code(), ErrorCode::Locked);
  b->unlockRead();
  EXPECT_TRUE(w->lockExclusive(std::chrono::milliseconds(10)).isOk());
}

TEST(FileLock, MissingDatabaseIsAnItalianError) {
  vasktest::TempDir dir;
  auto r = FileLock::open(dir.file("assente.mdb").string(), FileLock::Mode::Write);
  ASSERT_FALSE(r.isOk());
  EXPECT_EQ(r.status().code(), ErrorCode::IoError);
  EXPECT_NE(r.status().message().find("aprendo il file"), std::string::npos);
  EXPECT_NE(r.status().message().find("non esiste"), std::string::npos) << r.status().message();
}

// Once a commit waits for the read byte, readers arriving later queue behind it.
TEST(FileLock, WaitingCommitGoesBeforeReadersArrivingLater) {
  vasktest::TempDir dir;
  fs::path p = dir.file("queue.mdb");
  writeDatabase(p, 2, 1);
  auto early = FileLock::open(p.string(), FileLock::Mode::Read);
  auto late = FileLock::open(p.string(), FileLock::Mode::Read);
  auto writer = FileLock::open(p.string(), FileLock::Mode::Write);
  ASSERT_TRUE(early.isOk() && late.isOk() && writer.isOk());
  ASSERT_TRUE(early->lockShared(kLockWait).isOk());
  Status got;
  std::thread commit([&] { got = writer->lockExclusive(kLockWait); });
  // The writer has announced itself once a newcomer is turned away.
  Status st;
  for (int i = 0; i < 500; ++i) {
    st = late->lockShared(std::chrono::milliseconds(0));
    if (!st)
      break;
    late->unlockRead();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(st.code(), ErrorCode::Locked);
  early->unlockRead();
  commit.join();
  EXPECT_TRUE(got.isOk()) << got.message();
  EXPECT_TRUE(writer->holdsExclusive());
  EXPECT_EQ(late->lockShared(std::chrono::milliseconds(10)).code(), ErrorCode::Locked);
  writer->unlockRead();
  EXPECT_TRUE(late->lockShared(std::chrono::milliseconds(10)).isOk());
}
