#pragma once
// Atomic, durable transactions over the database's pages.
//
// Who does what:
//   PageTransaction  the write set. Every page a transaction changes lives here until commit,
//                    in memory up to a limit and in a spill file past it (write_set.h); the
//                    database file is not touched before commit, so rolling back a transaction
//                    or a statement is only a matter of dropping images. Statement savepoints
//                    keep the image a page had when the statement began.
//   RollbackJournal  protects the commit's write phase. Before the first database page is
//                    overwritten, the journal beside the database ("name.mdb-journal") holds
//                    the original of every page the commit changes and the original file size,
//                    and is flushed to disk. Commit: journal written and flushed, folder
//                    flushed, pages written, database flushed, journal removed, folder
//                    flushed. Commit point: the journal's removal.
//   openForWriting / beginRead
//                    the open protocol: locks (file_lock.h), and a journal left by a crash
//                    rolled back before anything is read.
//
// The pager's side:
//   auto session = WriteSession::open(path);  // Locked, ReadOnly or IoError, in Italian
//   PageTransaction &tx = (*session)->transaction();
//   tx.begin();
//   reading page n:  tx.find(n), else the file (its cache of clean pages is fine)
//   changing page n: uint8_t *p = *tx.modify(n); change p[...]
//   a new page:      uint32_t n = *tx.append();
//   each statement:  StatementScope s(tx); ...; s.done() on success, leave the scope on failure
//   auto touched = tx.changedPageNumbers(); tx.commit() or tx.rollback();
//   then drop cached copies of `touched` (after a commit they are stale).
// A reader process: FileLock::open(path, Read), then beginRead() ... unlockRead() around each
// read, dropping its page cache at each beginRead().
//
// Journal layout, little-endian:
//   header, 512 bytes: "JetRbJ01", u32 version 2, u32 page size, u64 original file size,
//                      u32 record count, u32 salt, u64 file size after the commit, u32 count of
//                      appended pages, u32 CRC-32 of the 44 bytes before it
//   records from offset 512: u32 page number, the page's original bytes, u32 CRC-32 of each
//                      512-byte sector of the page the commit writes, u32 CRC-32 of salt and
//                      all before it
//   then one entry per appended page: u32 page number, the CRC-32 of each sector the commit
//                      writes there, u32 CRC-32 of salt and all before it
// A header that does not check out means the database was not yet touched: the journal is
// ignored. The first record that does not check out ends the valid records (a torn write).
// The header is written after the records and all of it flushed once before the database is
// written: until that flush the database still holds exactly the originals, so restoring any
// prefix of them is harmless.
// The sectors written identify the state the journal belongs to: it is rolled back only onto a
// file that a crash of that commit can have left (each journaled sector the original or the
// written one, each appended sector the written one or zeros, the size between the two).
// Anything else (another program wrote to the file, a copy was put in its place) is not that
// state: the journal is kept aside, unapplied, and the open says so.
#include "jet/file_lock.h"
#include "jet/page_store.h"
#include "jet/status.h"
#include "jet/write_set.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace jet {

class RollbackJournal {
public:
  static constexpr uint32_t kHeaderSize = 512;
  static constexpr uint32_t kVersion = 2;
  // The unit a crash may tear a page write into.
  static constexpr uint32_t kSectorSize = 512;

  enum class State { Absent, Invalid, Hot };

  explicit RollbackJournal(std::string dbPath, uint32_t pageSize = PageStore::kJet4PageSize,
                           FaultInjector *faults = nullptr);

  static std::string pathFor(const std::string &dbPath) { return dbPath + "-journal"; }
  const std::string &path() const { return path_; }

  // The size of one page's record.
  static constexpr size_t recordSize(uint32_t pageSize) {
    return 8 + size_t(pageSize) + 4 * size_t(pageSize / kSectorSize);
  }
  // Where a journal that does not belong to its database is kept aside.
  static std::string asidePathFor(const std::string &dbPath, int n);

  // Absent, present with a header that does not check out, or hot (a writer must deal with it
  // before anything is read: roll it back, or keep it aside).
  Result<State> inspect() const;

  // Starts a new journal for a commit that takes the database from `originalSize` bytes to
  // `finalSize`, replacing any other.
  Status create(uint64_t originalSize, uint64_t finalSize);
  // The original image of a page and the image the commit writes over it (once per page).
  Status add(uint32_t page, std::span<const uint8_t> original, std::span<const uint8_t> written);
  // A page past the original end and the image the commit writes there.
  void addAppended(uint32_t page, std::span<const uint8_t> written);
  // Writes the header and flushes journal and folder: afterwards the database may be written.
  Status seal();
  // Removes the journal and flushes the folder: the commit point.
  Status remove();

  // Puts back every valid original, cuts the database to its original size, flushes it and
  // removes the journal. Does nothing for an absent or invalid journal except removing the
  // latter. Safe to run again after a crash in the middle. Returns the pages restored.
  // Where the database is not a state the journal's commit can have left, or the journal is
  // of another version, nothing is written: the journal is kept aside and the Status
  // (StaleJournal) tells the operator what was found and what to do.
  Result<uint32_t> rollback(PageStore &db);

  struct Header; // a sealed header's fields

private:
  Result<std::string> stateMismatch(const SyncFile &f, const Header &h, PageStore &db) const;
  Status keepAside(const std::string &found);

  std::string dbPath_;
  std::string path_;
  uint32_t pageSize_;
  FaultInjector *faults_;
  SyncFile file_;
  uint64_t originalSize_ = 0;
  uint64_t finalSize_ = 0;
  uint32_t records_ = 0;
  std::vector<uint8_t> appended_;
  uint32_t salt_ = 0;
  std::vector<uint8_t> record_;
};

// How long a commit waits for readers in flight, and a reader for a commit in flight.
inline constexpr std::chrono::milliseconds kLockWait{5000};

// The pages a transaction changes, held until commit in bounded memory.
class PageTransaction {
public:
  // `db` is the database opened writable; `lock` holds the writer byte. Both outlive this.
  PageTransaction(PageStore &db, FileLock &lock, FaultInjector *faults = nullptr,
                  std::chrono::milliseconds lockWait = kLockWait);

  Status begin();
  bool active() const { return active_; }

  // Pages in the database as the transaction sees it (appended pages included).
  uint32_t pageCount() const { return pageCount_; }
  // The transaction's image of a page it changed, else nullptr (read it from the database).
  // Valid as modify()'s pointer is.
  const uint8_t *find(uint32_t page);
  // A page as the transaction sees it.
  Status read(uint32_t page, std::span<uint8_t> out);
  // The image of a page to change in place. Call it before each change of a page, not once
  // per transaction: the first call after a savepoint keeps what the page held, for the
  // statement's undo. The pointer stays valid until commit, rollback, a rollback to a
  // savepoint taken before the page's first change, or until the memory limit of other pages
  // (writeSetMemoryPages(), thousands) has been touched since.
  Result<uint8_t *> modify(uint32_t page);
  // Replaces a whole page.
  Status write(uint32_t page, std::span<const uint8_t> data);
  // Adds a zero-filled page at the end of the database and returns its number.
  Result<uint32_t> append();

  // Statement savepoints, nested. rollbackTo(id) puts back every page changed since
  // savepoint(id) returned, and the page count, and closes it and those inside it;
  // release(id) keeps the changes and closes it and those inside it.
  size_t savepoint();
  Status rollbackTo(size_t id);
  Status release(size_t id);
  size_t openSavepoints() const { return frames_.size(); }

  // Journal, write, flush, remove the journal. On Locked (readers in flight) nothing is
  // written and the transaction stays open to retry or roll back. On any other failure the
  // database is put back as it was and the transaction ends; where even that fails, the journal
  // stays for the next open to roll back and needsRecovery() is true.
  Status commit();
  // Drops every change; the database file was never touched.
  void rollback();

  size_t changedPages() const { return pages_.size(); }
  // The pages the transaction holds, in order: after commit() returns (either way) these are
  // the pages whose copies in a cache of the file may no longer match it.
  std::vector<uint32_t> changedPageNumbers() const;
  bool needsRecovery() const { return needsRecovery_; }

private:
  struct Frame {
    uint32_t pageCount;
    // The image a page had when the savepoint was taken; none where it was not yet changed.
    std::unordered_map<uint32_t, SavedImage> before;
  };
  Status noteChange(uint32_t page);
  Status writePhase(const std::vector<uint32_t> &order);
  void dropFrames();
  void finish();

  PageStore &db_;
  FileLock &lock_;
  FaultInjector *faults_;
  std::chrono::milliseconds lockWait_;
  uint32_t pageSize_;
  bool active_ = false;
  bool needsRecovery_ = false;
  uint32_t originalPages_ = 0;
  uint32_t pageCount_ = 0;
  SpillFile spill_;
  WriteSet pages_;
  SavedImages saved_;
  std::vector<Frame> frames_;
  // A spilled image that could not be read or written back: the transaction cannot commit.
  Status spillError_ = Status::ok();
};

// Undoes a failing statement's changes unless done() is called.
class StatementScope {
public:
  explicit StatementScope(PageTransaction &tx) : tx_(tx), id_(tx.savepoint()) {}
  ~StatementScope() {
    if (!closed_)
      (void)tx_.rollbackTo(id_);
  }
  StatementScope(const StatementScope &) = delete;
  StatementScope &operator=(const StatementScope &) = delete;
  Status done() {
    closed_ = true;
    return tx_.release(id_);
  }
  Status undo() {
    closed_ = true;
    return tx_.rollbackTo(id_);
  }

private:
  PageTransaction &tx_;
  size_t id_;
  bool closed_ = false;
};

// A database opened for writing: the writer byte held, a hot journal rolled back.
struct WritableDatabase {
  FileLock lock;
  PageStore store;
  uint32_t recoveredPages = 0;
};

// Takes the writer lock (Locked with an Italian message if another process has it, nothing
// written), rolls back a journal left by a crash, and opens the pages for writing. `admit`, where
// given, runs once the writer lock is held and before anything is written; its failure is
// returned with nothing written (the Jet users' check, ldb_users.h).
using WriterAdmission = std::function<Status()>;
Result<WritableDatabase> openForWriting(const std::string &dbPath,
                                        uint32_t pageSize = PageStore::kJet4PageSize,
                                        std::chrono::milliseconds wait = kLockWait,
                                        FaultInjector *faults = nullptr,
                                        const WriterAdmission &admit = {});

// The writer's whole kit in one place that never moves: lock, pages, transaction.
class WriteSession {
public:
  // As openForWriting.
  static Result<std::unique_ptr<WriteSession>> open(const std::string &dbPath,
                                                    uint32_t pageSize = PageStore::kJet4PageSize,
                                                    std::chrono::milliseconds wait = kLockWait,
                                                    FaultInjector *faults = nullptr,
                                                    const WriterAdmission &admit = {});

  PageTransaction &transaction() { return tx_; }
  PageStore &store() { return db_.store; }
  FileLock &lock() { return db_.lock; }
  // Pages a journal left by a crash gave back at open.
  uint32_t recoveredPages() const { return db_.recoveredPages; }

  WriteSession(WritableDatabase db, FaultInjector *faults, std::chrono::milliseconds wait)
      : db_(std::move(db)), tx_(db_.store, db_.lock, faults, wait) {}
  WriteSession(const WriteSession &) = delete;
  WriteSession &operator=(const WriteSession &) = delete;

private:
  WritableDatabase db_;
  PageTransaction tx_;
};

// For a reader, before each read (a statement, a table load; the first one at open): takes the
// shared read lock and makes sure no journal left by a crash is in the way, rolling it back
// itself when it can take the writer lock. Returns holding the shared lock; the caller ends the
// read with lock.unlockRead(). Another process may have committed between two reads, so a
// reader drops its cached pages at each beginRead (the writer's own process never needs to:
// nobody else changes the file).
Status beginRead(FileLock &lock, uint32_t pageSize = PageStore::kJet4PageSize,
                 std::chrono::milliseconds wait = kLockWait);

// CRC-32 (IEEE polynomial) of the journal's header and records.
uint32_t journalChecksum(std::span<const uint8_t> data, uint32_t crc = 0);

} // namespace jet
