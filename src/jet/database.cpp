#include "jet/database.h"

#include "jet/names.h"
#include "jet/properties.h"
#include "jet/table_writer.h"

#include <cstring>
#include <filesystem>
#include <set>
#include <vector>

namespace jet {

namespace {

Status readOnlyError() {
  return {ErrorCode::ReadOnly, "Impossibile aggiornare: il database è aperto in sola lettura."};
}

Status noTransaction() {
  return {ErrorCode::NoTransaction, "Nessuna transazione attiva."};
}

} // namespace

Database::~Database() {
  if (inTransaction())
    session_->transaction().rollback();
}

Result<std::unique_ptr<Database>> Database::open(const std::string &path, OpenMode mode,
                                                 size_t cachePages) {
  OpenOptions o;
  o.cachePages = cachePages;
  return open(path, mode, o);
}

Result<std::unique_ptr<Database>> Database::open(const std::string &path, OpenMode mode,
                                                 const OpenOptions &options) {
  std::string name = std::filesystem::path(path).filename().string();
  auto file = File::open(path, OpenMode::ReadOnly);
  if (!file)
    return file.status();
  const std::string computer =
      options.computerName.empty() ? localComputerName() : options.computerName;
  std::unique_ptr<Database> db(new Database());
  db->lockWait_ = options.lockWait;
  if (mode == OpenMode::ReadOnly) {
    auto lock = FileLock::open(path, FileLock::Mode::Read);
    if (!lock)
      return lock.status();
    db->readLock_ = std::make_unique<FileLock>(std::move(*lock));
    // A reader that cannot sign in (a folder it may not write) still reads.
    if (auto ldb = LdbMembership::join(path, computer))
      db->ldb_ = std::move(*ldb);
    JET_TRY(db->beginRead());
    auto opened = finishOpen(std::move(db), std::shared_ptr<File>(std::move(*file)), name,
                             options.cachePages);
    if (opened)
      (*opened)->endRead();
    return opened;
  }
  auto ldb = LdbMembership::join(path, computer);
  if (!ldb)
    return ldb.status();
  // Once the writer lock is ours and before anything is written (a journal rolled back): no
  // Jet client may have the file open, and none may write while we do.
  auto admit = [&]() -> Status {
    auto users = ldb->liveJetUsers();
    if (!users)
      return users.status();
    if (!users->empty())
      return inUseError(*users);
    return ldb->holdPageLocks();
  };
  auto session =
      WriteSession::open(path, PageStore::kJet4PageSize, options.lockWait, options.faults, admit);
  if (!session)
    return session.status();
  db->ldb_ = std::move(*ldb);
  db->session_ = std::move(*session);
  return finishOpen(std::move(db), std::shared_ptr<File>(std::move(*file)), name,
                    options.cachePages);
}

Result<std::unique_ptr<Database>>
Database::open(std::unique_ptr<File> file, const std::string &displayName, size_t cachePages) {
  std::unique_ptr<Database> db(new Database());
  return finishOpen(std::move(db), std::shared_ptr<File>(std::move(file)), displayName, cachePages);
}

Result<std::unique_ptr<Database>> Database::finishOpen(std::unique_ptr<Database> db,
                                                       std::shared_ptr<File> file,
                                                       const std::string &displayName,
                                                       size_t cachePages) {
  auto size = file->size();
  if (!size)
    return size.status();
  std::vector<uint8_t> first(static_cast<size_t>(std::min<uint64_t>(*size, kPageSize)));
  JET_TRY(file->readAt(0, first.data(), first.size()));
  auto header = DatabaseHeader::parse(first, *size, displayName);
  if (!header)
    return header.status();
  db->header_ = *header;
  if (db->session_ && header->databaseKey != 0)
    return Status(ErrorCode::ReadOnly,
                  "Il database '" + displayName +
                      "' è codificato: può essere letto ma non modificato da questo programma.");
  if (db->session_) {
    db->pager_ = std::make_unique<Pager>(file, &db->session_->transaction(), cachePages,
                                         header->databaseKey);
    db->committed_ = std::make_unique<Pager>(file, nullptr, cachePages, header->databaseKey);
  } else {
    db->pager_ = std::make_unique<Pager>(file, nullptr, cachePages, header->databaseKey);
  }
  db->allocator_ = std::make_unique<PageAllocator>(*db->pager_);
  auto catalog = Catalog::load(*db->pager_);
  if (!catalog)
    return catalog.status();
  db->catalog_ = std::move(*catalog);
  return db;
}

Status Database::beginRead() {
  if (!readLock_ || readDepth_++ > 0)
    return Status::ok();
  Status st = jet::beginRead(*readLock_, PageStore::kJet4PageSize, lockWait_);
  if (st && pager_)
    st = readAgain();
  if (!st) {
    if (readLock_->holdsShared())
      readLock_->unlockRead();
    readDepth_ = 0;
  }
  return st;
}

void Database::endRead() {
  if (readLock_ && readDepth_ > 0 && --readDepth_ == 0)
    readLock_->unlockRead();
}

Status Database::readAgain() {
  pager_->dropAllCached();
  pager_->refreshSize();
  auto catalog = Catalog::load(*pager_);
  if (!catalog)
    return catalog.status();
  catalog_ = std::move(*catalog);
  defs_ = {};
  if (integrity_)
    integrity_->invalidate();
  ++generation_;
  return Status::ok();
}

Status Database::writeRefusal() const {
  return readOnlyReason_ ? readOnlyError() : readOnlyReason_;
}

uint32_t Database::recoveredPages() const {
  return session_ ? session_->recoveredPages() : 0;
}

Status Database::reloadCatalog() {
  auto catalog = Catalog::load(*pager_);
  if (!catalog)
    return catalog.status();
  if (inTransaction() && !committedCatalog_)
    committedCatalog_ = catalog_;
  catalog_ = std::move(*catalog);
  forgetDroppedDefs();
  if (integrity_)
    integrity_->invalidate();
  return Status::ok();
}

void Database::forgetDroppedDefs() {
  // A page that held a dropped table's definition may hold a new one with the same bytes but
  // other design properties.
  std::set<uint32_t> live;
  for (const auto &e : catalog_.tables())
    live.insert(e.tableDefPage());
  std::erase_if(defs_.defs, [&](const auto &d) { return !live.count(d.first); });
  std::erase_if(defs_.defaults, [&](const auto &d) { return !live.count(d.first); });
}

std::vector<std::string> Database::tableNames() const {
  std::vector<std::string> out;
  for (const auto &e : catalog_.tables())
    out.push_back(e.name);
  return out;
}

std::vector<std::string> Database::userTableNames() const {
  std::vector<std::string> out;
  for (const auto &e : catalog_.tables())
    if (!e.isSystem())
      out.push_back(e.name);
  return out;
}

namespace {

// How a cached definition compares with its pages now.
enum class DefState { Same, CountersOnly, Changed };

DefState compareDef(Pager &pager, const TableDef &def) {
  DefState state = DefState::Same;
  for (size_t k = 0; k < def.pages.size(); ++k) {
    PageRef hold;
    auto img = pager.peek(def.pages[k], hold);
    if (!img)
      return DefState::Changed;
    const uint8_t *raw =
        k == 0 ? def.raw.data() : def.raw.data() + kPageSize + (k - 1) * (kPageSize - 8);
    const uint8_t *now = *img;
    if (k == 0) {
      if (std::memcmp(now, raw, kTableDefRowCountOffset) != 0 ||
          std::memcmp(now + kTableDefAutoNumberOffset + 4, raw + kTableDefAutoNumberOffset + 4,
                      kPageSize - kTableDefAutoNumberOffset - 4) != 0)
        return DefState::Changed;
      if (std::memcmp(now + kTableDefRowCountOffset, raw + kTableDefRowCountOffset, 8) != 0)
        state = DefState::CountersOnly;
    } else if (std::memcmp(now + 8, raw, kPageSize - 8) != 0 ||
               le32(now + 4) != (k + 1 < def.pages.size() ? def.pages[k + 1] : 0)) {
      return DefState::Changed;
    }
  }
  return state;
}

} // namespace

Result<std::shared_ptr<const TableDef>>
Database::tableIn(Pager &pager, DefCache &cache, const Catalog &catalog, std::string_view name) {
  const CatalogEntry *e = catalog.findTable(name);
  if (!e)
    return Status(ErrorCode::NoSuchTable,
                  "Il motore di database non trova la tabella \"" + std::string(name) + "\".");
  if (auto it = cache.defs.find(e->tableDefPage()); it != cache.defs.end()) {
    DefState state = compareDef(pager, *it->second);
    if (state == DefState::Same)
      return it->second;
    if (state == DefState::CountersOnly) {
      PageRef hold;
      auto img = pager.peek(it->second->page, hold);
      if (img) {
        // Only the counters moved (every row write moves them): a definition nobody else holds
        // takes them in place rather than being copied whole.
        std::shared_ptr<TableDef> copy;
        if (it->second.use_count() == 1)
          copy = std::const_pointer_cast<TableDef>(it->second);
        else
          copy = std::make_shared<TableDef>(*it->second);
        std::memcpy(copy->raw.data() + kTableDefRowCountOffset, *img + kTableDefRowCountOffset, 8);
        copy->rowCount = le32(*img + kTableDefRowCountOffset);
        copy->lastAutoNumber = le32(*img + kTableDefAutoNumberOffset);
        it->second = copy;
        return it->second;
      }
    }
  }
  auto def = readTableDef(pager, e->tableDefPage(), e->name);
  if (!def)
    return def.status();
  std::shared_ptr<const TableDef> out = *def;
  cache.defaults.erase(e->tableDefPage());
  // The catalogue is never looked up inside its own lookup, even where a damaged row has lost
  // its system flag.
  if (!e->isSystem() && !equalsNoCase(e->name, Catalog::kTableName)) {
    // The columns' design properties (Required) live in the catalogue row.
    auto catalogDef = tableIn(pager, cache, catalog, Catalog::kTableName);
    if (catalogDef) {
      TableWriter w({pager, *allocator_}, *catalogDef, noIndexMaintenance());
      auto row = w.read(e->location);
      const ColumnDef *lvprop = (*catalogDef)->findColumn("LvProp");
      if (row && lvprop) {
        const Value &v = (*row)[static_cast<size_t>(lvprop - (*catalogDef)->columns.data())];
        if (const Bytes *bytes = v.getIf<Bytes>()) {
          PropertyMap props = parseProperties(*bytes);
          auto copy = std::make_shared<TableDef>(*out);
          for (auto &c : copy->columns)
            for (const auto &[object, values] : props)
              if (equalsNoCase(object, c.name))
                if (auto it = values.find("Required"); it != values.end())
                  c.required = it->second.isTrue();
          if (auto d = columnDefaults(*copy, props); !d.empty())
            cache.defaults[e->tableDefPage()] = std::move(d);
          out = copy;
        }
      }
    }
  }
  cache.defs[e->tableDefPage()] = out;
  return out;
}

Result<std::shared_ptr<const TableDef>> Database::table(std::string_view name) {
  return tableIn(*pager_, defs_, catalog_, name);
}

Result<std::shared_ptr<const TableDef>> Database::committedTable(std::string_view name) {
  return tableIn(committedPager(), committed_ ? committedDefs_ : defs_, committedCatalog(), name);
}

Result<TableCursor> Database::cursor(std::string_view name) {
  auto def = table(name);
  if (!def)
    return def.status();
  return TableCursor::open(*pager_, *def);
}

Result<TableCursor> Database::committedCursor(std::string_view name) {
  auto def = committedTable(name);
  if (!def)
    return def.status();
  return TableCursor::open(committedPager(), *def);
}

// ---------------------------------------------------------------------------------------------

bool Database::inTransaction() const {
  return session_ && session_->transaction().active();
}

Status Database::begin() {
  if (!session_)
    return writeRefusal();
  if (inTransaction())
    return {ErrorCode::Unsupported, "Una transazione è già aperta."};
  return session_->transaction().begin();
}

Status Database::commit() {
  if (!inTransaction())
    return noTransaction();
  JET_TRY(settleIndexes());
  PageTransaction &tx = session_->transaction();
  std::vector<uint32_t> touched = tx.changedPageNumbers();
  Status st = tx.commit();
  if (!st && tx.active())
    return st; // readers in flight: nothing written, still open
  deferred_->forget();
  pager_->dropCached(touched);
  pager_->refreshSize();
  committed_->dropCached(touched);
  committed_->refreshSize();
  committedCatalog_.reset();
  return st;
}

Status Database::rollback() {
  if (!inTransaction())
    return noTransaction();
  PageTransaction &tx = session_->transaction();
  std::vector<uint32_t> touched = tx.changedPageNumbers();
  tx.rollback();
  deferred_->forget();
  pager_->dropCached(touched);
  // Tables the transaction created or dropped are as the file has them again.
  if (committedCatalog_) {
    catalog_ = std::move(*committedCatalog_);
    committedCatalog_.reset();
    forgetDroppedDefs();
    if (integrity_)
      integrity_->invalidate();
  }
  return Status::ok();
}

Status Database::settleIndexes() {
  // Whoever asks may change the trees next: nothing remembered of them holds after.
  deferred_->forgetTrees();
  if (!inTransaction() || !deferred_->holdsChanges())
    return Status::ok();
  PageTransaction &tx = session_->transaction();
  const size_t sp = tx.savepoint();
  deferred_->pushMark(sp);
  WriteContext ctx{*pager_, *allocator_};
  Status st = deferred_->settleAll(ctx);
  if (!st) {
    (void)tx.rollbackTo(sp);
    deferred_->undoTo(sp);
    afterUndo();
    return st;
  }
  deferred_->popMarks(sp);
  return tx.release(sp);
}

Result<size_t> Database::savepoint() {
  if (!inTransaction())
    return noTransaction();
  const size_t id = session_->transaction().savepoint();
  deferred_->pushMark(id);
  return id;
}

void Database::afterUndo() {
  // Images the undo put back may differ from copies handed out before it.
  pager_->dropCached(session_->transaction().changedPageNumbers());
  pager_->dropAllCached();
  // A schema change undone with the rest: the catalogue as the transaction now has it.
  if (committedCatalog_)
    (void)reloadCatalog();
}

Status Database::rollbackTo(size_t id) {
  if (!inTransaction())
    return noTransaction();
  Status st = session_->transaction().rollbackTo(id);
  if (st)
    deferred_->undoTo(id);
  afterUndo();
  return st;
}

Status Database::release(size_t id) {
  if (!inTransaction())
    return noTransaction();
  JET_TRY(session_->transaction().release(id));
  deferred_->popMarks(id);
  return Status::ok();
}

template <typename F> Status Database::statement(F &&op) {
  if (!session_)
    return writeRefusal();
  bool own = !inTransaction();
  if (own)
    JET_TRY(begin());
  PageTransaction &tx = session_->transaction();
  size_t sp = tx.savepoint();
  deferred_->pushMark(sp);
  Status st = op();
  if (!st) {
    (void)tx.rollbackTo(sp);
    deferred_->undoTo(sp);
    afterUndo();
    if (own)
      (void)rollback();
    return st;
  }
  JET_TRY(tx.release(sp));
  deferred_->popMarks(sp);
  if (!own)
    return Status::ok();
  st = commit();
  if (!st && inTransaction())
    (void)rollback(); // readers kept the commit out: the statement did not happen
  return st;
}

ReferentialIntegrity &Database::rowHook() {
  if (!integrity_)
    integrity_ = std::make_unique<ReferentialIntegrity>(
        catalog_, [this](std::string_view name) { return table(name); });
  integrity_->setInner(indexes_);
  integrity_->setUseIndexes(keepsIndexTrees());
  return *integrity_;
}

void Database::setIndexMaintainer(IndexMaintainer *maintainer) {
  // Changes held back are still applied at the latest by the commit.
  (void)settleIndexes();
  indexes_ = maintainer ? maintainer : &noIndexMaintenance();
}

Result<RowLocation> Database::insertRow(std::string_view name, std::vector<Value> &values,
                                        const std::vector<bool> &supplied) {
  RowLocation at;
  Status st = statement([&]() -> Status {
    auto def = table(name);
    if (!def)
      return def.status();
    TableWriter w({*pager_, *allocator_}, *def, rowHook());
    // Columns the statement did not give take their DefaultValue.
    std::vector<bool> given = supplied;
    if (auto d = defs_.defaults.find((*def)->page); d != defs_.defaults.end() && !given.empty())
      applyColumnDefaults(d->second, values, given, localNow());
    auto r = w.insert(values, given);
    if (!r)
      return r.status();
    at = *r;
    return Status::ok();
  });
  if (!st)
    return st;
  return at;
}

Status Database::updateRow(std::string_view name, RowLocation at, std::vector<Value> &values) {
  return statement([&]() -> Status {
    auto def = table(name);
    if (!def)
      return def.status();
    TableWriter w({*pager_, *allocator_}, *def, rowHook());
    return w.update(at, values);
  });
}

Status Database::deleteRow(std::string_view name, RowLocation at) {
  return statement([&]() -> Status {
    auto def = table(name);
    if (!def)
      return def.status();
    TableWriter w({*pager_, *allocator_}, *def, rowHook());
    return w.remove(at);
  });
}

Result<std::vector<Value>> Database::readRow(std::string_view name, RowLocation at) {
  auto def = table(name);
  if (!def)
    return def.status();
  TableWriter w({*pager_, *allocator_}, *def, *indexes_);
  return w.read(at);
}

} // namespace jet
