#pragma once
// Plain POSIX files for the durability layer: the database as an array of pages and the
// rollback journal as a byte file, both able to fail on purpose so tests can play a crash.
#include "jet/page_format.h"
#include "jet/status.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace jet {

// Plays a crash or an I/O error for tests. Every write of a file that carries the injector counts
// as one; after `writes` of them the next write fails. When sticky (a crash), that write puts
// only its first `tornBytes` bytes on disk and every later write, sync, truncation and removal
// fails too, so the files stay exactly as a killed process would leave them. When not sticky
// (a disk that refused one write), only that write fails.
class FaultInjector {
public:
  static constexpr int64_t kNever = INT64_MAX;

  explicit FaultInjector(int64_t writes = kNever, size_t tornBytes = 0, bool sticky = true)
      : budget_(writes), torn_(tornBytes), sticky_(sticky) {}

  bool crashed() const { return crashed_; }
  int64_t writesDone() const { return done_; }
  bool failedOnce() const { return failed_; }
  // The disk works again (a test's repaired device).
  void heal() {
    crashed_ = false;
    budget_ = kNever;
  }

  // How many bytes of a write of `len` bytes may go to disk; `ok` false means the write fails.
  size_t admitWrite(size_t len, bool &ok);
  // Whether a sync, truncation or removal may happen.
  bool admitOther() const { return !crashed_; }

  // Power cuts. From here on the injector remembers what every change not yet flushed replaced:
  // writes and truncations until their file is synced, creations and removals until their
  // folder is. powerCut() then undoes them, newest first, as a disk that lost its cache would
  // show the files, except the changes of files that `survives` names (a disk that happened to
  // write those first). Changes between two syncs of a file are assumed not to overlap.
  void trackUnflushed() { tracking_ = true; }
  bool tracking() const { return tracking_; }
  void powerCut(const std::function<bool(const std::string &path)> &survives);

  // The files' hooks; they do nothing unless tracking.
  void beforeWrite(const std::string &path, uint64_t offset, size_t len);
  void beforeTruncate(const std::string &path, uint64_t size);
  void afterSync(const std::string &path);
  void afterCreate(const std::string &path);
  void beforeRemove(const std::string &path);
  void afterDirectorySync(const std::string &pathInFolder);

private:
  struct Change {
    enum Kind { Write, Truncate, Create, Remove };
    Change(Kind k, std::string p) : kind(k), path(std::move(p)) {}
    Kind kind;
    std::string path;
    uint64_t offset = 0;
    uint64_t oldSize = 0;
    std::vector<uint8_t> old;
    std::string ghost;
  };
  bool tracking_ = false;
  std::vector<Change> unflushed_;
  int ghosts_ = 0;

  int64_t budget_;
  size_t torn_;
  bool sticky_;
  bool crashed_ = false;
  bool failed_ = false;
  int64_t done_ = 0;
};

// An open file descriptor with whole-buffer reads and writes that retry short transfers.
class SyncFile {
public:
  SyncFile() = default;
  ~SyncFile();
  SyncFile(SyncFile &&other) noexcept;
  SyncFile &operator=(SyncFile &&other) noexcept;
  SyncFile(const SyncFile &) = delete;
  SyncFile &operator=(const SyncFile &) = delete;

  // flags as for open(2); the file is created with mode 0644 where O_CREAT asks for it.
  static Result<SyncFile> open(const std::string &path, int flags, FaultInjector *faults = nullptr);

  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  const std::string &path() const { return path_; }

  // Reads up to out.size() bytes at offset; *got tells how many there were before the end.
  Status readAt(uint64_t offset, std::span<uint8_t> out, size_t *got) const;
  Status writeAt(uint64_t offset, std::span<const uint8_t> data);
  Status sync();
  Result<uint64_t> size() const;
  Status truncate(uint64_t size);
  void close();

private:
  int fd_ = -1;
  std::string path_;
  FaultInjector *faults_ = nullptr;
};

// Makes a creation or removal of a file in the folder of `path` durable.
Status syncDirectoryOf(const std::string &path, FaultInjector *faults = nullptr);
// Removes a file; a file that is not there is not an error.
Status removeFile(const std::string &path, FaultInjector *faults = nullptr);
bool fileExists(const std::string &path);

// The Jet 4 format's limit: no database file grows past 2 GB.
inline constexpr uint64_t kMaxDatabaseBytes = 0x80000000ull;

// The database file seen as pages of a fixed size.
class PageStore {
public:
  static constexpr uint32_t kJet4PageSize = kPageSize;

  PageStore() = default;
  static Result<PageStore> open(const std::string &path, bool writable,
                                uint32_t pageSize = kJet4PageSize, FaultInjector *faults = nullptr);

  const std::string &path() const { return file_.path(); }
  uint32_t pageSize() const { return pageSize_; }
  bool writable() const { return writable_; }

  Result<uint64_t> sizeBytes() const { return file_.size(); }
  // Whole pages in the file.
  Result<uint32_t> pageCount() const;

  // A page beyond the end of the file, or cut short by it, is Corrupt.
  Status readPage(uint32_t page, std::span<uint8_t> out) const;
  // Writing past the end extends the file.
  Status writePage(uint32_t page, std::span<const uint8_t> data);
  Status sync() { return file_.sync(); }
  // IoError where the path no longer names the open file (deleted, or another put in its
  // place): what is written would be lost with it.
  Status stillAtItsPath() const;
  Status truncateBytes(uint64_t size) { return file_.truncate(size); }
  SyncFile &file() { return file_; }

private:
  SyncFile file_;
  uint32_t pageSize_ = kJet4PageSize;
  bool writable_ = false;
};

// Italian message for an operating system error number: "Errore <what> '<path>': ...", where
// `what` names the action and the object ("aprendo il file").
Status fileSystemError(const std::string &what, const std::string &path, int err);

} // namespace jet
