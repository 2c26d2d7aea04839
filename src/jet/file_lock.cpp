#include "jet/file_lock.h"

#include "jet/page_store.h"

#include <cerrno>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace jet {

namespace {

#ifdef F_OFD_SETLK
constexpr int kSetLock = F_OFD_SETLK;
constexpr int kGetLock = F_OFD_GETLK;
#else
constexpr int kSetLock = F_SETLK;
constexpr int kGetLock = F_GETLK;
#endif

struct flock region(short type, long long start, long long length = 1) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = off_t(start);
  fl.l_len = off_t(length);
  fl.l_pid = 0; // must be 0 for open-file-description locks
  return fl;
}

int setLock(int fd, short type, long long start) {
  return rangelock::set(fd, type, start);
}

} // namespace

int rangelock::set(int fd, short type, long long start, long long length) {
  struct flock fl = region(type, start, length);
  for (;;) {
    if (::fcntl(fd, kSetLock, &fl) == 0)
      return 0;
    if (errno == EINTR)
      continue;
    return (errno == EACCES || errno == EAGAIN) ? EAGAIN : errno;
  }
}

int rangelock::heldElsewhere(int fd, long long start, long long length) {
  struct flock fl = region(F_WRLCK, start, length);
  if (::fcntl(fd, kGetLock, &fl) != 0)
    return -errno;
  return fl.l_type != F_UNLCK ? 1 : 0;
}

Status lockedForWritingError(const std::string &dbPath) {
  return {ErrorCode::Locked,
          "Il database '" + dbPath +
              "' è aperto in scrittura da un altro utente o programma: chiuderlo e riprovare. "
              "Non è stato modificato nulla."};
}

FileLock::~FileLock() {
  close();
}

FileLock::FileLock(FileLock &&o) noexcept
    : fd_(o.fd_), path_(std::move(o.path_)), canWrite_(o.canWrite_), writer_(o.writer_),
      read_(o.read_) {
  o.fd_ = -1;
  o.writer_ = false;
  o.read_ = Read::None;
}

FileLock &FileLock::operator=(FileLock &&o) noexcept {
  if (this != &o) {
    close();
    fd_ = o.fd_;
    path_ = std::move(o.path_);
    canWrite_ = o.canWrite_;
    writer_ = o.writer_;
    read_ = o.read_;
    o.fd_ = -1;
    o.writer_ = false;
    o.read_ = Read::None;
  }
  return *this;
}

void FileLock::close() {
  // Closing the descriptor releases every lock taken through it.
  if (fd_ >= 0)
    ::close(fd_);
  fd_ = -1;
  writer_ = false;
  read_ = Read::None;
}

Result<FileLock> FileLock::open(const std::string &dbPath, Mode mode) {
  FileLock lock;
  lock.path_ = dbPath;
  lock.fd_ = ::open(dbPath.c_str(), O_RDWR | O_CLOEXEC);
  if (lock.fd_ >= 0) {
    lock.canWrite_ = true;
  } else {
    bool denied = errno == EACCES || errno == EROFS || errno == EPERM;
    if (mode == Mode::Write && denied)
      return Status(ErrorCode::ReadOnly,
                    "Il database '" + dbPath + "' è in sola lettura: non può essere modificato.");
    if (!denied)
      return fileSystemError("aprendo il file", dbPath, errno);
    lock.fd_ = ::open(dbPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (lock.fd_ < 0)
      return fileSystemError("aprendo il file", dbPath, errno);
  }
  if (mode == Mode::Write)
    JET_TRY(lock.tryWriter());
  return lock;
}

Status FileLock::tryWriter() {
  if (writer_)
    return Status::ok();
  if (!canWrite_)
    return {ErrorCode::ReadOnly,
            "Il database '" + path_ + "' è in sola lettura: non può essere modificato."};
  int rc = setLock(fd_, F_WRLCK, kWriterByte);
  if (rc == EAGAIN)
    return lockedForWritingError(path_);
  if (rc != 0)
    return fileSystemError("bloccando il file", path_, rc);
  writer_ = true;
  return Status::ok();
}

void FileLock::releaseWriter() {
  if (writer_)
    setLock(fd_, F_UNLCK, kWriterByte);
  writer_ = false;
}

Status FileLock::lockRead(bool exclusive, std::chrono::milliseconds wait) {
  if (exclusive && !canWrite_)
    return {ErrorCode::ReadOnly,
            "Il database '" + path_ + "' è in sola lettura: non può essere modificato."};
  auto deadline = std::chrono::steady_clock::now() + wait;
  auto pause = std::chrono::milliseconds(1);
  bool pending = false;
  for (;;) {
    int rc;
    if (exclusive) {
      // Announce the writer first: readers arriving from now on wait, so a steady stream of
      // them cannot keep a commit out.
      rc = pending ? 0 : setLock(fd_, F_WRLCK, kPendingByte);
      pending = rc == 0;
      if (rc == 0)
        rc = setLock(fd_, F_WRLCK, kReadByte);
    } else {
      rc = setLock(fd_, F_RDLCK, kPendingByte);
      if (rc == 0) {
        rc = setLock(fd_, F_RDLCK, kReadByte);
        setLock(fd_, F_UNLCK, kPendingByte);
      }
    }
    if (rc == 0) {
      if (pending)
        setLock(fd_, F_UNLCK, kPendingByte);
      read_ = exclusive ? Read::Exclusive : Read::Shared;
      return Status::ok();
    }
    if (rc != EAGAIN || std::chrono::steady_clock::now() >= deadline) {
      if (pending)
        setLock(fd_, F_UNLCK, kPendingByte);
      if (rc != EAGAIN)
        return fileSystemError("bloccando il file", path_, rc);
      break;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(exclusive ? 5 : 20));
  }
  if (exclusive)
    return {ErrorCode::Locked, "Il database '" + path_ +
                                   "' è in lettura da un altro programma: le modifiche non sono "
                                   "state salvate. Riprovare tra qualche istante."};
  return {ErrorCode::Locked, "Il database '" + path_ +
                                 "' è in corso di aggiornamento da parte di un altro programma: "
                                 "riprovare tra qualche istante."};
}

Status FileLock::lockShared(std::chrono::milliseconds wait) {
  return lockRead(false, wait);
}

Status FileLock::lockExclusive(std::chrono::milliseconds wait) {
  return lockRead(true, wait);
}

void FileLock::unlockRead() {
  if (read_ != Read::None && fd_ >= 0)
    setLock(fd_, F_UNLCK, kReadByte);
  read_ = Read::None;
}

Result<bool> FileLock::heldForWriting(const std::string &dbPath) {
  int fd = ::open(dbPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return fileSystemError("aprendo il file", dbPath, errno);
  int held = rangelock::heldElsewhere(fd, kWriterByte);
  ::close(fd);
  if (held < 0)
    return fileSystemError("bloccando il file", dbPath, -held);
  return held == 1;
}

} // namespace jet
