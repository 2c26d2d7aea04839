#pragma once
// Operating-system locks that keep one writer per database across processes and keep readers
// away from a commit in progress.
//
// Three one-byte regions far beyond the end of any Jet file (which stops at 2 GB) are locked with
// open-file-description locks (Linux), or classic fcntl locks elsewhere:
//   writer byte  held exclusively by the one process that has the database open for writing,
//                from open to close. A second writer is refused at once with ErrorCode::Locked.
//   read byte    shared by a reader for the length of one read (a statement, a table load),
//                exclusive for the writer while it writes the journal and the database during
//                commit, and for whoever rolls back a hot journal.
//   pending byte held exclusively by a writer waiting for the read byte; a reader takes the read
//                byte only while it can share this one, so readers arriving during that wait
//                queue behind the commit instead of starving it.
// So readers may open the database while a writer has it open; they never see a commit half
// done, because the commit waits for readers in flight to finish and readers wait for the commit.
// A reader that keeps the read byte for a long time makes commits fail with Locked after the
// writer's wait, with nothing written.
#include "jet/status.h"

#include <chrono>
#include <string>

namespace jet {

class FileLock {
public:
  enum class Mode { Read, Write };

  FileLock() = default;
  ~FileLock();
  FileLock(FileLock &&other) noexcept;
  FileLock &operator=(FileLock &&other) noexcept;
  FileLock(const FileLock &) = delete;
  FileLock &operator=(const FileLock &) = delete;

  // Write: opens the database for locking and takes the writer byte, or fails with Locked when
  // another process (or another open of this process) holds it. Read: takes nothing yet.
  static Result<FileLock> open(const std::string &dbPath, Mode mode);

  const std::string &path() const { return path_; }
  bool isWriter() const { return writer_; }
  // Whether this lock's descriptor could take write locks (the file is writable for us).
  bool canWrite() const { return canWrite_; }

  // For a reader that must roll back a hot journal: takes the writer byte without waiting.
  Status tryWriter();
  void releaseWriter();

  // The read byte. Both wait up to `wait` for the other side, then fail with Locked.
  Status lockShared(std::chrono::milliseconds wait);
  Status lockExclusive(std::chrono::milliseconds wait);
  void unlockRead();
  bool holdsShared() const { return read_ == Read::Shared; }
  bool holdsExclusive() const { return read_ == Read::Exclusive; }

  // Whether some other open of the file holds the writer byte.
  static Result<bool> heldForWriting(const std::string &dbPath);

  static constexpr long long kWriterByte = 0x10000000000LL;
  static constexpr long long kReadByte = kWriterByte + 1;
  static constexpr long long kPendingByte = kWriterByte + 2;

private:
  enum class Read { None, Shared, Exclusive };
  Status lockRead(bool exclusive, std::chrono::milliseconds wait);
  void close();

  int fd_ = -1;
  std::string path_;
  bool canWrite_ = false;
  bool writer_ = false;
  Read read_ = Read::None;
};

// Message for a database that another process holds for writing.
Status lockedForWritingError(const std::string &dbPath);

// Byte-range locks on an open descriptor: open-file-description locks (Linux), so two opens in
// one process are two holders, else classic fcntl locks. Shared by the writer lock above and the
// Jet engine's lock file (ldb_users.h).
namespace rangelock {
// 0 on success, EAGAIN when another open holds a conflicting lock, else the error.
int set(int fd, short type, long long start, long long length = 1);
// Whether another open holds a lock on the range: 1 yes, 0 no, else -errno.
int heldElsewhere(int fd, long long start, long long length = 1);
} // namespace rangelock

} // namespace jet
