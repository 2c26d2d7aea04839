#include "jet/page_store.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace jet {

size_t FaultInjector::admitWrite(size_t len, bool &ok) {
  if (crashed_) {
    ok = false;
    return 0;
  }
  if (done_ < budget_) {
    ++done_;
    ok = true;
    return len;
  }
  ok = false;
  failed_ = true;
  if (sticky_) {
    crashed_ = true;
    return std::min(torn_, len);
  }
  budget_ = kNever;
  return 0;
}

namespace {

// Italian wording of the errors a database file meets; strerror speaks the locale's language.
std::string describeErrno(int err) {
  switch (err) {
  case ENOENT:
    return "il file o la cartella non esiste";
  case EACCES:
  case EPERM:
    return "accesso negato";
  case EROFS:
    return "il disco è in sola lettura";
  case ENOSPC:
    return "spazio su disco esaurito";
#ifdef EDQUOT
  case EDQUOT:
    return "spazio disponibile per l'utente esaurito";
#endif
  case EIO:
    return "errore di lettura o scrittura del disco";
  case EISDIR:
    return "è una cartella, non un file";
  case ENOTDIR:
    return "una parte del percorso non è una cartella";
  case EMFILE:
  case ENFILE:
    return "troppi file aperti";
  case ENAMETOOLONG:
    return "nome del file troppo lungo";
  case EFBIG:
    return "il file supererebbe la dimensione massima che il sistema consente";
  case ENOLCK:
    return "il sistema non ha più blocchi di file disponibili";
  case EBUSY:
  case ETXTBSY:
    return "il file è in uso";
  default:
    return "errore di sistema n. " + std::to_string(err);
  }
}

} // namespace

namespace {

// What a path holds from `offset` on (up to `len` bytes), and its size; empty where absent.
void snapshot(const std::string &path, uint64_t offset, uint64_t len, std::vector<uint8_t> &out,
              uint64_t &size) {
  out.clear();
  size = 0;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return;
  struct stat st;
  if (::fstat(fd, &st) == 0)
    size = uint64_t(st.st_size);
  if (offset < size) {
    out.resize(size_t(std::min<uint64_t>(len, size - offset)));
    ssize_t n = ::pread(fd, out.data(), out.size(), off_t(offset));
    out.resize(n > 0 ? size_t(n) : 0);
  }
  ::close(fd);
}

std::string folderOf(const std::string &path) {
  std::string dir = std::filesystem::path(path).parent_path().string();
  return dir.empty() ? "." : dir;
}

} // namespace

void FaultInjector::beforeWrite(const std::string &path, uint64_t offset, size_t len) {
  if (!tracking_)
    return;
  Change c(Change::Write, path);
  c.offset = offset;
  snapshot(path, offset, len, c.old, c.oldSize);
  unflushed_.push_back(std::move(c));
}

void FaultInjector::beforeTruncate(const std::string &path, uint64_t size) {
  if (!tracking_)
    return;
  Change c(Change::Truncate, path);
  c.offset = size;
  snapshot(path, size, UINT64_MAX, c.old, c.oldSize);
  unflushed_.push_back(std::move(c));
}

void FaultInjector::afterSync(const std::string &path) {
  std::erase_if(unflushed_, [&](const Change &c) {
    return c.path == path && (c.kind == Change::Write || c.kind == Change::Truncate);
  });
}

void FaultInjector::afterCreate(const std::string &path) {
  if (tracking_)
    unflushed_.emplace_back(Change::Create, path);
}

void FaultInjector::beforeRemove(const std::string &path) {
  if (!tracking_ || !fileExists(path))
    return;
  Change c(Change::Remove, path);
  c.ghost = path + ".unflushed-" + std::to_string(++ghosts_);
  if (::link(path.c_str(), c.ghost.c_str()) == 0)
    unflushed_.push_back(std::move(c));
}

void FaultInjector::afterDirectorySync(const std::string &pathInFolder) {
  const std::string dir = folderOf(pathInFolder);
  std::erase_if(unflushed_, [&](const Change &c) {
    if ((c.kind != Change::Create && c.kind != Change::Remove) || folderOf(c.path) != dir)
      return false;
    if (c.kind == Change::Remove)
      ::unlink(c.ghost.c_str());
    return true;
  });
}

void FaultInjector::powerCut(const std::function<bool(const std::string &)> &survives) {
  for (auto it = unflushed_.rbegin(); it != unflushed_.rend(); ++it) {
    const Change &c = *it;
    if (survives(c.path)) {
      if (c.kind == Change::Remove)
        ::unlink(c.ghost.c_str());
      continue;
    }
    switch (c.kind) {
    case Change::Create:
      ::unlink(c.path.c_str());
      break;
    case Change::Remove:
      ::rename(c.ghost.c_str(), c.path.c_str());
      break;
    case Change::Write:
    case Change::Truncate: {
      int fd = ::open(c.path.c_str(), O_RDWR | O_CLOEXEC);
      if (fd < 0)
        break;
      if (!c.old.empty() && ::pwrite(fd, c.old.data(), c.old.size(), off_t(c.offset)) < 0) {
        // A test device: nothing better to do than leave the file as it is.
      }
      struct stat st;
      if (::fstat(fd, &st) == 0 && uint64_t(st.st_size) > c.oldSize &&
          ::ftruncate(fd, off_t(c.oldSize)) != 0) {
      }
      ::close(fd);
      break;
    }
    }
  }
  unflushed_.clear();
}

Status PageStore::stillAtItsPath() const {
  struct stat open, named;
  if (::fstat(file_.fd(), &open) != 0)
    return fileSystemError("controllando il file", path(), errno);
  if (::stat(path().c_str(), &named) != 0 || named.st_dev != open.st_dev ||
      named.st_ino != open.st_ino || open.st_nlink == 0)
    return {ErrorCode::IoError, "Il file del database '" + path() +
                                    "' è stato cancellato o sostituito mentre era aperto: le "
                                    "modifiche non sono state salvate. Riaprire il database."};
  return Status::ok();
}

Status fileSystemError(const std::string &what, const std::string &path, int err) {
  return {ErrorCode::IoError, "Errore " + what + " '" + path + "': " + describeErrno(err) + "."};
}

namespace {

Status simulatedFailure(const std::string &what, const std::string &path) {
  return fileSystemError(what, path, EIO);
}

} // namespace

SyncFile::~SyncFile() {
  close();
}

SyncFile::SyncFile(SyncFile &&other) noexcept
    : fd_(other.fd_), path_(std::move(other.path_)), faults_(other.faults_) {
  other.fd_ = -1;
}

SyncFile &SyncFile::operator=(SyncFile &&other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    faults_ = other.faults_;
    other.fd_ = -1;
  }
  return *this;
}

void SyncFile::close() {
  if (fd_ >= 0)
    ::close(fd_);
  fd_ = -1;
}

Result<SyncFile> SyncFile::open(const std::string &path, int flags, FaultInjector *faults) {
  const bool tracked = faults && faults->tracking();
  const bool existed = tracked && fileExists(path);
  if (tracked && existed && (flags & O_TRUNC))
    faults->beforeTruncate(path, 0);
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0)
    return fileSystemError("aprendo il file", path, errno);
  if (tracked && !existed && (flags & O_CREAT))
    faults->afterCreate(path);
  SyncFile f;
  f.fd_ = fd;
  f.path_ = path;
  f.faults_ = faults;
  return f;
}

Status SyncFile::readAt(uint64_t offset, std::span<uint8_t> out, size_t *got) const {
  size_t done = 0;
  while (done < out.size()) {
    ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, off_t(offset + done));
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return fileSystemError("leggendo il file", path_, errno);
    }
    if (n == 0)
      break;
    done += size_t(n);
  }
  *got = done;
  return Status::ok();
}

Status SyncFile::writeAt(uint64_t offset, std::span<const uint8_t> data) {
  size_t allowed = data.size();
  bool ok = true;
  if (faults_) {
    allowed = faults_->admitWrite(data.size(), ok);
    if (allowed > 0)
      faults_->beforeWrite(path_, offset, allowed);
  }
  size_t done = 0;
  while (done < allowed) {
    ssize_t n = ::pwrite(fd_, data.data() + done, allowed - done, off_t(offset + done));
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return fileSystemError("scrivendo il file", path_, errno);
    }
    done += size_t(n);
  }
  if (!ok)
    return simulatedFailure("scrivendo il file", path_);
  return Status::ok();
}

Status SyncFile::sync() {
  if (faults_ && !faults_->admitOther())
    return simulatedFailure("salvando su disco il file", path_);
  while (::fsync(fd_) != 0) {
    if (errno != EINTR)
      return fileSystemError("salvando su disco il file", path_, errno);
  }
  if (faults_)
    faults_->afterSync(path_);
  return Status::ok();
}

Result<uint64_t> SyncFile::size() const {
  struct stat st;
  if (::fstat(fd_, &st) != 0)
    return fileSystemError("leggendo la dimensione del file", path_, errno);
  return uint64_t(st.st_size);
}

Status SyncFile::truncate(uint64_t size) {
  if (faults_ && !faults_->admitOther())
    return simulatedFailure("accorciando il file", path_);
  if (faults_)
    faults_->beforeTruncate(path_, size);
  while (::ftruncate(fd_, off_t(size)) != 0) {
    if (errno != EINTR)
      return fileSystemError("accorciando il file", path_, errno);
  }
  return Status::ok();
}

Status syncDirectoryOf(const std::string &path, FaultInjector *faults) {
  std::filesystem::path dir = std::filesystem::path(path).parent_path();
  if (dir.empty())
    dir = ".";
  if (faults && !faults->admitOther())
    return simulatedFailure("salvando su disco la cartella", dir.string());
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return fileSystemError("aprendo la cartella", dir.string(), errno);
  int rc;
  do {
    rc = ::fsync(fd);
  } while (rc != 0 && errno == EINTR);
  int err = errno;
  ::close(fd);
  // Some file systems cannot sync a folder; their metadata is then as safe as it gets.
  if (rc != 0 && err != EINVAL && err != ENOTSUP)
    return fileSystemError("salvando su disco la cartella", dir.string(), err);
  if (faults)
    faults->afterDirectorySync(path);
  return Status::ok();
}

Status removeFile(const std::string &path, FaultInjector *faults) {
  if (faults && !faults->admitOther())
    return simulatedFailure("eliminando il file", path);
  if (faults)
    faults->beforeRemove(path);
  if (::unlink(path.c_str()) != 0 && errno != ENOENT)
    return fileSystemError("eliminando il file", path, errno);
  return Status::ok();
}

bool fileExists(const std::string &path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

Result<PageStore> PageStore::open(const std::string &path, bool writable, uint32_t pageSize,
                                  FaultInjector *faults) {
  auto f = SyncFile::open(path, writable ? O_RDWR : O_RDONLY, faults);
  if (!f)
    return f.status();
  PageStore s;
  s.file_ = std::move(*f);
  s.pageSize_ = pageSize;
  s.writable_ = writable;
  return s;
}

Result<uint32_t> PageStore::pageCount() const {
  auto sz = file_.size();
  if (!sz)
    return sz.status();
  return uint32_t(*sz / pageSize_);
}

Status PageStore::readPage(uint32_t page, std::span<uint8_t> out) const {
  size_t got = 0;
  JET_TRY(file_.readAt(uint64_t(page) * pageSize_, out.first(pageSize_), &got));
  if (got != pageSize_)
    return {ErrorCode::Corrupt, "La pagina " + std::to_string(page) +
                                    " è oltre la fine del file '" + file_.path() + "'."};
  return Status::ok();
}

Status PageStore::writePage(uint32_t page, std::span<const uint8_t> data) {
  return file_.writeAt(uint64_t(page) * pageSize_, data.first(pageSize_));
}

} // namespace jet
