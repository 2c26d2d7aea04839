// A real process killed at random moments while it commits, over and over (and now and then the
// process mending its journal killed as well, and every other pair of rounds with a write set
// that spills): every time, the next open finds exactly one transaction's state, and never
// loses a commit it reported.
#include "jet/journal.h"
#include "journal_test_support.h"
#include "test_support.h"

#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace jet;
using namespace journaltest;
namespace fs = std::filesystem;

namespace {

constexpr uint32_t kBasePages = 64;

// Generation g rewrites every original page and appends one more.
Status commitGeneration(PageTransaction &tx, uint32_t g) {
  JET_TRY(tx.begin());
  for (uint32_t p = 0; p < kBasePages; ++p)
    JET_TRY(tx.write(p, stampedPage(g, p)));
  auto n = tx.append();
  if (!n)
    return n.status();
  JET_TRY(tx.write(*n, stampedPage(g, *n)));
  return tx.commit();
}

[[noreturn]] void committerChild(const std::string &path, int reportFd, bool spill = false) {
  if (spill)
    setWriteSetMemoryPages(WriteSet::kMinimumPages);
  auto session = WriteSession::open(path);
  if (!session)
    _exit(2);
  PageTransaction &tx = (*session)->transaction();
  for (uint32_t g = 1; g < 100000; ++g) {
    if (!commitGeneration(tx, g).isOk())
      _exit(3);
    if (write(reportFd, &g, sizeof g) != sizeof g)
      _exit(4);
  }
  _exit(0);
}

// The generation the file holds, or -1 if it is no transaction's state.
long generationOf(const std::string &file) {
  if (file.size() % kPage != 0 || file.size() < size_t(kBasePages) * kPage)
    return -1;
  uint32_t g = uint32_t(file.size() / kPage) - kBasePages;
  for (uint32_t p = 0; p < kBasePages + g; ++p) {
    uint32_t stamp = p < kBasePages ? g : p - kBasePages + 1;
    auto want = stampedPage(stamp, p);
    if (file.compare(size_t(p) * kPage, kPage, reinterpret_cast<const char *>(want.data()),
                     kPage) != 0)
      return -1;
  }
  return g;
}

} // namespace

TEST(JournalKill, KilledCommitterLeavesBeforeOrAfterState) {
  vasktest::TempDir dir;
  fs::path p = dir.file("killed.mdb");
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  int recoveries = 0;
  for (int round = 0; round < 15; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    writeDatabase(p, kBasePages, 0);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(fds[0]);
      committerChild(p.string(), fds[1], round / 2 % 2 == 1);
    }
    close(fds[1]);
    std::this_thread::sleep_for(std::chrono::microseconds(2000 + rng() % 60000));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)) << "the committer stopped on its own: " << status;
    long reported = 0;
    uint32_t g;
    while (read(fds[0], &g, sizeof g) == sizeof g)
      reported = g;
    close(fds[0]);

    // Every other round, a process that is mending the journal is killed too.
    if (round % 2 == 1 && fs::exists(RollbackJournal::pathFor(p.string()))) {
      pid_t mender = fork();
      ASSERT_GE(mender, 0);
      if (mender == 0)
        _exit(openForWriting(p.string()).isOk() ? 0 : 1);
      std::this_thread::sleep_for(std::chrono::microseconds(rng() % 3000));
      kill(mender, SIGKILL);
      waitpid(mender, nullptr, 0);
    }

    auto session = WriteSession::open(p.string());
    ASSERT_TRUE(session.isOk()) << session.status().message();
    if ((*session)->recoveredPages() > 0)
      ++recoveries;
    EXPECT_FALSE(fs::exists(RollbackJournal::pathFor(p.string())));
    long found = generationOf(bytesOf(p));
    EXPECT_GE(found, reported) << "a reported commit was lost";
    EXPECT_LE(found, reported + 1);
  }
  std::cout << "rounds mended from a hot journal: " << recoveries << " of 15\n";
}

// Readers in this process while the other one commits without pause: each read sees one whole
// transaction, never a commit half done.
TEST(JournalKill, ReadersNeverSeeAHalfCommittedFile) {
  vasktest::TempDir dir;
  fs::path p = dir.file("busy.mdb");
  writeDatabase(p, kBasePages, 0);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(fds[0]);
    committerChild(p.string(), fds[1]);
  }
  close(fds[1]);
  auto reader = FileLock::open(p.string(), FileLock::Mode::Read);
  ASSERT_TRUE(reader.isOk());
  long last = 0;
  int reads = 0;
  // Bounded by commits seen, or by a few seconds on a slow machine.
  const auto stop = std::chrono::steady_clock::now() + std::chrono::seconds(4);
  for (; last < 20 && std::chrono::steady_clock::now() < stop; ++reads) {
    Status st = beginRead(*reader);
    ASSERT_TRUE(st.isOk()) << st.message();
    long g = generationOf(bytesOf(p));
    reader->unlockRead();
    ASSERT_GE(g, last) << "read " << reads << " saw a torn or older file";
    last = g;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  close(fds[0]);
  EXPECT_GT(last, 0) << "the committer never committed while we read";
}
