#pragma once
// An open Jet 4 database: its header, pager and catalogue, and the way to its tables.
//
// Opened for writing, the database holds the writer lock from open to close (another writer is
// refused with ErrorCode::Locked, nothing written) and a journal left by a crash is rolled back
// before anything is read. Changes happen in transactions: begin(), then row writes, then
// commit() or rollback(). A row write outside a transaction is a transaction of its own. Every
// row write is a statement: when it fails, its partial changes are undone and an open
// transaction stays usable. Savepoints nest statement-level undo for the layers above.
//
// Two views of the pages: pager() sees the open transaction's changes (the connection that owns
// the transaction reads through it); committedPager() and committedCursor() read the file as
// last committed, for connections that must not see the transaction before its commit.
//
// Opened read-only by path, the database may be written by another process between two reads:
// each read runs between beginRead() and endRead() (or in a ReadScope) and sees one committed
// state. Either way the process is a user in the Jet engine's lock file (ldb_users.h); a writer
// is refused with InUse while a Jet client of the suite has the database open.
#include "jet/catalog.h"
#include "jet/column_defaults.h"
#include "jet/file.h"
#include "jet/header.h"
#include "jet/index_btree_maintainer.h"
#include "jet/index_deferred.h"
#include "jet/index_maintenance.h"
#include "jet/journal.h"
#include "jet/ldb_users.h"
#include "jet/page_allocator.h"
#include "jet/pager.h"
#include "jet/referential_integrity.h"
#include "jet/status.h"
#include "jet/table_cursor.h"
#include "jet/table_def.h"

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

struct OpenOptions {
  size_t cachePages = Pager::kDefaultCachePages;
  // Tests: plays a crash or a failing disk in the journal and the database writes.
  FaultInjector *faults = nullptr;
  std::chrono::milliseconds lockWait = kLockWait;
  // The computer name of this process's entry in the lock file; empty: this machine's.
  std::string computerName;
};

class Database {
public:
  static Result<std::unique_ptr<Database>> open(const std::string &path,
                                                OpenMode mode = OpenMode::ReadOnly,
                                                size_t cachePages = Pager::kDefaultCachePages);
  static Result<std::unique_ptr<Database>> open(const std::string &path, OpenMode mode,
                                                const OpenOptions &options);
  // Over an already open file, read-only; `displayName` names it in messages.
  static Result<std::unique_ptr<Database>> open(std::unique_ptr<File> file,
                                                const std::string &displayName,
                                                size_t cachePages = Pager::kDefaultCachePages);
  ~Database();

  const DatabaseHeader &header() const { return header_; }
  Pager &pager() { return *pager_; }
  Pager &committedPager() { return committed_ ? *committed_ : *pager_; }
  const Catalog &catalog() const { return catalog_; }
  // The catalogue as last committed: differs from catalog() while the open transaction has
  // created or dropped a table.
  const Catalog &committedCatalog() const {
    return committedCatalog_ ? *committedCatalog_ : catalog_;
  }
  // Reads the catalogue again, as the open transaction sees it (after a table was created or
  // dropped, or such a change undone). Rollbacks and failed statements call it themselves.
  Status reloadCatalog();
  bool writable() const { return session_ != nullptr; }
  // Why a database meant for writing was opened read-only (another writer, a Jet client): what a
  // write is told. Ok where it was opened read-only on purpose.
  const Status &readOnlyReason() const { return readOnlyReason_; }
  void setReadOnlyReason(Status why) { readOnlyReason_ = std::move(why); }
  // What a write on this database, opened read-only, is told.
  Status writeRefusal() const;

  // One read of a database opened read-only by path (they nest): holds the engine's shared read
  // lock, so no commit of another process lands in the middle; a journal left by a crash is
  // rolled back first, or reported where this process cannot; what was cached is read again, as
  // another process may have committed since the last read. Nothing to do for a writer.
  Status beginRead();
  void endRead();
  // Changes whenever beginRead() read the catalogue again: definitions taken before are stale.
  uint64_t readGeneration() const { return generation_; }

  // Every table in DAO order (by name ignoring case), system tables included.
  std::vector<std::string> tableNames() const;
  std::vector<std::string> userTableNames() const;

  // The table's definition as the open transaction sees it; names match ignoring case.
  Result<std::shared_ptr<const TableDef>> table(std::string_view name);
  Result<TableCursor> cursor(std::string_view name);
  // The same as last committed.
  Result<std::shared_ptr<const TableDef>> committedTable(std::string_view name);
  Result<TableCursor> committedCursor(std::string_view name);

  // Transactions.
  bool inTransaction() const;
  Status begin();
  Status commit();
  Status rollback();
  // Statement-level undo inside the open transaction; ids nest.
  Result<size_t> savepoint();
  Status rollbackTo(size_t id);
  Status release(size_t id);

  // Rows (one statement each). `values` has one entry per column, in table order; on return it
  // holds what was stored (autonumber and GUID values given by the engine). Where `supplied` is
  // not empty, supplied[i] false means the column was not given.
  Result<RowLocation> insertRow(std::string_view table, std::vector<Value> &values,
                                const std::vector<bool> &supplied = {});
  Status updateRow(std::string_view table, RowLocation at, std::vector<Value> &values);
  Status deleteRow(std::string_view table, RowLocation at);
  // A row's values as the open transaction sees it.
  Result<std::vector<Value>> readRow(std::string_view table, RowLocation at);

  // Every insert, update and delete calls it. Not owned; null keeps no index. The default is
  // the database's own, which applies index changes in batches (index_deferred.h).
  void setIndexMaintainer(IndexMaintainer *maintainer);
  // Applies the index changes held back so far to the trees (inside the open transaction), for
  // whatever reads the index pages directly: the integrity check, a change of design. Commit
  // does it itself. On failure nothing changed and the changes stay held.
  Status settleIndexes();
  IndexMaintainer &indexMaintainer() { return *indexes_; }
  // Whether the installed maintainer keeps the index trees (lookups by key may use them once
  // settleIndexes() has run).
  bool keepsIndexTrees() const {
    return indexes_ == &btreeIndexMaintenance() || indexes_ == deferred_.get();
  }
  // Pages for new use, from the free-page map or the end of the file (writable databases).
  PageAllocator &pageAllocator() { return *allocator_; }
  // What every row write goes through: referential integrity in front of the index maintainer.
  ReferentialIntegrity &rowHook();

  // Pages a journal left by a crash gave back at open.
  uint32_t recoveredPages() const;

private:
  Database() = default;
  static Result<std::unique_ptr<Database>> finishOpen(std::unique_ptr<Database> db,
                                                      std::shared_ptr<File> file,
                                                      const std::string &displayName,
                                                      size_t cachePages);
  struct DefCache {
    std::map<uint32_t, std::shared_ptr<const TableDef>> defs; // by definition page
    std::map<uint32_t, std::vector<ColumnDefault>> defaults;  // tables with column defaults
  };
  Result<std::shared_ptr<const TableDef>> tableIn(Pager &pager, DefCache &cache,
                                                  const Catalog &catalog, std::string_view name);
  // Runs one row statement: inside the open transaction under a savepoint, or in a transaction
  // of its own.
  template <typename F> Status statement(F &&op);
  void afterUndo();
  void forgetDroppedDefs();
  Status readAgain();

  DatabaseHeader header_;
  LdbMembership ldb_;
  std::unique_ptr<FileLock> readLock_; // opened read-only by path
  int readDepth_ = 0;
  uint64_t generation_ = 0;
  std::chrono::milliseconds lockWait_ = kLockWait;
  Status readOnlyReason_;
  std::unique_ptr<WriteSession> session_;
  std::unique_ptr<Pager> pager_;
  std::unique_ptr<Pager> committed_;
  std::unique_ptr<PageAllocator> allocator_;
  Catalog catalog_;
  // The committed catalogue, kept from the first schema change of a transaction to its end.
  std::optional<Catalog> committedCatalog_;
  DefCache defs_;
  DefCache committedDefs_;
  std::unique_ptr<DeferredIndexMaintainer> deferred_ = std::make_unique<DeferredIndexMaintainer>();
  IndexMaintainer *indexes_ = deferred_.get();
  std::unique_ptr<ReferentialIntegrity> integrity_;
};

// Database::beginRead() to endRead() over a block.
class ReadScope {
public:
  explicit ReadScope(Database &db) : db_(db), status_(db.beginRead()) {}
  ~ReadScope() {
    if (status_)
      db_.endRead();
  }
  ReadScope(const ReadScope &) = delete;
  ReadScope &operator=(const ReadScope &) = delete;
  const Status &status() const { return status_; }

private:
  Database &db_;
  Status status_;
};

} // namespace jet
