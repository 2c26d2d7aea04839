#include "jet/journal.h"

#include "jet/bytes.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <thread>

namespace jet {

namespace {

constexpr std::array<uint8_t, 8> kMagic = {'J', 'e', 't', 'R', 'b', 'J', '0', '1'};
constexpr size_t kHeaderFields = 36; // magic, version, page size, size, records, salt, crc

// Slicing by eight: the journal checksums every page it writes and reads, so this is on the
// commit's path.
using CrcTables = std::array<std::array<uint32_t, 256>, 8>;

CrcTables makeCrcTables() {
  CrcTables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k)
      c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][i] = c;
  }
  for (uint32_t i = 0; i < 256; ++i)
    for (int k = 1; k < 8; ++k)
      t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  return t;
}

void put64(uint8_t *p, uint64_t v) {
  for (int i = 0; i < 8; ++i)
    p[i] = uint8_t(v >> (8 * i));
}
uint32_t get32(const uint8_t *p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint64_t get64(const uint8_t *p) {
  return uint64_t(get32(p)) | uint64_t(get32(p + 4)) << 32;
}

uint32_t recordChecksum(uint32_t salt, uint32_t page, std::span<const uint8_t> data) {
  uint8_t prefix[8];
  put32(prefix, salt);
  put32(prefix + 4, page);
  return journalChecksum(data, journalChecksum(prefix));
}

struct Header {
  uint32_t pageSize = 0;
  uint64_t originalSize = 0;
  uint32_t records = 0;
  uint32_t salt = 0;
};

// The header if it checks out for this page size.
bool parseHeader(std::span<const uint8_t> raw, uint32_t pageSize, Header &h) {
  if (raw.size() < kHeaderFields || !std::equal(kMagic.begin(), kMagic.end(), raw.begin()))
    return false;
  if (journalChecksum(raw.first(32)) != get32(raw.data() + 32))
    return false;
  if (get32(raw.data() + 8) != RollbackJournal::kVersion)
    return false;
  h.pageSize = get32(raw.data() + 12);
  h.originalSize = get64(raw.data() + 16);
  h.records = get32(raw.data() + 24);
  h.salt = get32(raw.data() + 28);
  return h.pageSize == pageSize && h.originalSize % pageSize == 0;
}

uint32_t freshSalt() {
  thread_local std::mt19937 gen(std::random_device{}());
  return uint32_t(gen());
}

} // namespace

uint32_t journalChecksum(std::span<const uint8_t> data, uint32_t crc) {
  static const CrcTables t = makeCrcTables();
  crc = ~crc;
  const uint8_t *p = data.data();
  size_t n = data.size();
  for (; n >= 8; p += 8, n -= 8) {
    uint32_t lo =
        crc ^ (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
    crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
          t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
  }
  for (; n > 0; ++p, --n)
    crc = t[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

RollbackJournal::RollbackJournal(std::string dbPath, uint32_t pageSize, FaultInjector *faults)
    : dbPath_(std::move(dbPath)), path_(pathFor(dbPath_)), pageSize_(pageSize), faults_(faults) {}

Result<RollbackJournal::State> RollbackJournal::inspect() const {
  if (!fileExists(path_))
    return State::Absent;
  auto f = SyncFile::open(path_, O_RDONLY);
  if (!f) {
    if (!fileExists(path_))
      return State::Absent;
    return f.status();
  }
  std::array<uint8_t, kHeaderFields> raw{};
  size_t got = 0;
  JET_TRY(f->readAt(0, raw, &got));
  Header h;
  return parseHeader(std::span(raw).first(got), pageSize_, h) ? State::Hot : State::Invalid;
}

Status RollbackJournal::create(uint64_t originalSize) {
  auto f = SyncFile::open(path_, O_WRONLY | O_CREAT | O_TRUNC, faults_);
  if (!f)
    return f.status();
  file_ = std::move(*f);
  // Whoever may write the database may have to roll this back.
  struct stat st;
  if (::stat(dbPath_.c_str(), &st) == 0)
    (void)::fchmod(file_.fd(), st.st_mode & 0777);
  originalSize_ = originalSize;
  records_ = 0;
  salt_ = freshSalt();
  return Status::ok();
}

Status RollbackJournal::add(uint32_t page, std::span<const uint8_t> original) {
  std::vector<uint8_t> &rec = record_;
  rec.resize(size_t(pageSize_) + 8);
  put32(rec.data(), page);
  std::memcpy(rec.data() + 4, original.data(), pageSize_);
  put32(rec.data() + 4 + pageSize_, recordChecksum(salt_, page, original.first(pageSize_)));
  JET_TRY(file_.writeAt(kHeaderSize + uint64_t(records_) * rec.size(), rec));
  ++records_;
  return Status::ok();
}

Status RollbackJournal::seal() {
  std::array<uint8_t, kHeaderSize> raw{};
  std::copy(kMagic.begin(), kMagic.end(), raw.begin());
  put32(raw.data() + 8, kVersion);
  put32(raw.data() + 12, pageSize_);
  put64(raw.data() + 16, originalSize_);
  put32(raw.data() + 24, records_);
  put32(raw.data() + 28, salt_);
  put32(raw.data() + 32, journalChecksum(std::span(raw).first(32)));
  JET_TRY(file_.writeAt(0, raw));
  JET_TRY(file_.sync());
  file_.close();
  // The journal's name must be on disk before the database changes, or a power cut could
  // leave changed pages with no journal to undo them.
  return syncDirectoryOf(path_, faults_);
}

Status RollbackJournal::remove() {
  file_.close();
  JET_TRY(removeFile(path_, faults_));
  return syncDirectoryOf(path_, faults_);
}

Result<uint32_t> RollbackJournal::rollback(PageStore &db) {
  file_.close();
  auto opened = SyncFile::open(path_, O_RDONLY);
  if (!opened) {
    if (!fileExists(path_))
      return uint32_t(0);
    return opened.status();
  }
  SyncFile f = std::move(*opened);
  std::array<uint8_t, kHeaderFields> raw{};
  size_t got = 0;
  JET_TRY(f.readAt(0, raw, &got));
  Header h;
  if (!parseHeader(std::span(raw).first(got), pageSize_, h)) {
    // Never sealed: the database was not touched.
    f.close();
    JET_TRY(removeFile(path_, faults_));
    JET_TRY(syncDirectoryOf(path_, faults_));
    return uint32_t(0);
  }
  const uint64_t originalPages = h.originalSize / pageSize_;
  std::vector<uint8_t> rec(size_t(pageSize_) + 8);
  uint32_t restored = 0;
  for (uint32_t i = 0; i < h.records; ++i) {
    JET_TRY(f.readAt(kHeaderSize + uint64_t(i) * rec.size(), rec, &got));
    if (got != rec.size())
      break;
    uint32_t page = get32(rec.data());
    std::span<const uint8_t> image(rec.data() + 4, pageSize_);
    if (page >= originalPages ||
        get32(rec.data() + 4 + pageSize_) != recordChecksum(h.salt, page, image))
      break;
    JET_TRY(db.writePage(page, image));
    ++restored;
  }
  auto size = db.sizeBytes();
  if (!size)
    return size.status();
  if (*size != h.originalSize)
    JET_TRY(db.truncateBytes(h.originalSize));
  JET_TRY(db.sync());
  f.close();
  JET_TRY(removeFile(path_, faults_));
  JET_TRY(syncDirectoryOf(path_, faults_));
  return restored;
}

// ---------------------------------------------------------------------------------------------

PageTransaction::PageTransaction(PageStore &db, FileLock &lock, FaultInjector *faults,
                                 std::chrono::milliseconds lockWait)
    : db_(db), lock_(lock), faults_(faults), lockWait_(lockWait), pageSize_(db.pageSize()),
      spill_(db.path(), pageSize_), pages_(spill_, pageSize_), saved_(spill_, pageSize_) {}

Status PageTransaction::begin() {
  if (active_)
    return {ErrorCode::Internal, "Una transazione è già aperta su questo database."};
  if (!lock_.isWriter() || !db_.writable())
    return {ErrorCode::ReadOnly, "Il database '" + db_.path() + "' non è aperto in scrittura."};
  if (needsRecovery_) {
    // A commit that could not put the database back left its journal: try again now.
    JET_TRY(lock_.lockExclusive(lockWait_));
    RollbackJournal journal(db_.path(), pageSize_, faults_);
    auto r = journal.rollback(db_);
    lock_.unlockRead();
    if (!r)
      return r.status();
    needsRecovery_ = false;
  }
  auto size = db_.sizeBytes();
  if (!size)
    return size.status();
  if (*size % pageSize_ != 0)
    return {ErrorCode::Corrupt, "Il file '" + db_.path() +
                                    "' non è formato da pagine intere: il database è danneggiato."};
  originalPages_ = pageCount_ = uint32_t(*size / pageSize_);
  pages_.setMemoryPages(writeSetMemoryPages());
  saved_.setMemoryPages(writeSetMemoryPages());
  spillError_ = Status::ok();
  active_ = true;
  return Status::ok();
}

const uint8_t *PageTransaction::find(uint32_t page) {
  auto img = pages_.find(page);
  if (!img) {
    // The transaction can no longer commit; what it reads meanwhile does not matter.
    if (spillError_)
      spillError_ = img.status();
    return nullptr;
  }
  return *img;
}

Status PageTransaction::read(uint32_t page, std::span<uint8_t> out) {
  if (const uint8_t *img = find(page)) {
    std::memcpy(out.data(), img, pageSize_);
    return Status::ok();
  }
  if (page >= pageCount_)
    return {ErrorCode::Corrupt, "La pagina " + std::to_string(page) + " non esiste nel database."};
  return db_.readPage(page, out);
}

Status PageTransaction::noteChange(uint32_t page) {
  if (frames_.empty())
    return Status::ok();
  auto &before = frames_.back().before;
  if (before.count(page))
    return Status::ok();
  SavedImage copy;
  if (pages_.contains(page)) {
    auto img = pages_.find(page);
    if (!img)
      return img.status();
    auto saved = saved_.save(*img);
    if (!saved)
      return saved.status();
    copy = std::move(*saved);
  }
  before.emplace(page, std::move(copy));
  return Status::ok();
}

Result<uint8_t *> PageTransaction::modify(uint32_t page) {
  if (!active_)
    return Status(ErrorCode::NoTransaction, "Nessuna transazione aperta.");
  if (page >= pageCount_)
    return Status(ErrorCode::Corrupt,
                  "La pagina " + std::to_string(page) + " non esiste nel database.");
  JET_TRY(spillError_);
  if (pages_.contains(page)) {
    JET_TRY(noteChange(page));
    return pages_.find(page);
  }
  std::vector<uint8_t> original(pageSize_);
  JET_TRY(db_.readPage(page, original));
  JET_TRY(noteChange(page));
  auto img = pages_.add(page);
  if (!img)
    return img.status();
  std::memcpy(*img, original.data(), pageSize_);
  return *img;
}

Status PageTransaction::write(uint32_t page, std::span<const uint8_t> data) {
  if (data.size() < pageSize_)
    return {ErrorCode::Internal, "Immagine di pagina incompleta."};
  auto p = modify(page);
  if (!p)
    return p.status();
  std::memcpy(*p, data.data(), pageSize_);
  return Status::ok();
}

Result<uint32_t> PageTransaction::append() {
  if (!active_)
    return Status(ErrorCode::NoTransaction, "Nessuna transazione aperta.");
  if (uint64_t(pageCount_ + 1) * pageSize_ > 0x80000000ull)
    return Status(ErrorCode::IoError,
                  "Il database ha raggiunto la dimensione massima di 2 GB: impossibile ampliarlo.");
  JET_TRY(spillError_);
  uint32_t page = pageCount_;
  JET_TRY(noteChange(page));
  auto img = pages_.add(page);
  if (!img)
    return img.status();
  ++pageCount_;
  return page;
}

size_t PageTransaction::savepoint() {
  frames_.push_back(Frame{pageCount_, {}});
  return frames_.size() - 1;
}

Status PageTransaction::rollbackTo(size_t id) {
  if (id >= frames_.size())
    return {ErrorCode::Internal, "Punto di ripristino inesistente."};
  Status st = Status::ok();
  while (frames_.size() > id) {
    Frame &f = frames_.back();
    for (auto &[page, img] : f.before) {
      if (!img.held()) {
        pages_.erase(page);
        continue;
      }
      auto slot = pages_.contains(page) ? pages_.find(page) : pages_.add(page);
      Status put = slot ? saved_.restore(img, *slot) : slot.status();
      if (!put && st)
        st = put;
      saved_.drop(img);
    }
    pageCount_ = f.pageCount;
    frames_.pop_back();
  }
  // An image that could not be put back leaves the transaction unable to commit.
  if (!st && spillError_)
    spillError_ = st;
  return st;
}

Status PageTransaction::release(size_t id) {
  if (id >= frames_.size())
    return {ErrorCode::Internal, "Punto di ripristino inesistente."};
  if (id == 0) {
    dropFrames();
    return Status::ok();
  }
  Frame &parent = frames_[id - 1];
  // Oldest first, so the parent keeps the image each page had when the parent was taken.
  for (size_t i = id; i < frames_.size(); ++i)
    for (auto &[page, img] : frames_[i].before)
      if (!parent.before.try_emplace(page, std::move(img)).second)
        saved_.drop(img);
  frames_.resize(id);
  return Status::ok();
}

std::vector<uint32_t> PageTransaction::changedPageNumbers() const {
  return pages_.pageNumbers();
}

void PageTransaction::dropFrames() {
  for (auto &f : frames_)
    for (auto &[page, img] : f.before)
      saved_.drop(img);
  frames_.clear();
}

void PageTransaction::finish() {
  pages_.clear();
  dropFrames();
  saved_.clear();
  spill_.reset();
  active_ = false;
  if (lock_.holdsExclusive())
    lock_.unlockRead();
}

void PageTransaction::rollback() {
  finish();
}

Status PageTransaction::writePhase(const std::vector<uint32_t> &order) {
  for (uint32_t page : order) {
    auto img = pages_.find(page);
    if (!img)
      return img.status();
    JET_TRY(db_.writePage(page, std::span<const uint8_t>(*img, pageSize_)));
  }
  return db_.sync();
}

Status PageTransaction::commit() {
  if (!active_)
    return {ErrorCode::NoTransaction, "Nessuna transazione aperta."};
  dropFrames();
  if (!spillError_) {
    Status st = spillError_;
    finish();
    return st;
  }
  const std::vector<uint32_t> order = changedPageNumbers();
  if (order.empty() && pageCount_ == originalPages_) {
    finish();
    return Status::ok();
  }

  // Readers in flight finish first; none starts until the journal is gone.
  JET_TRY(lock_.lockExclusive(lockWait_));

  RollbackJournal journal(db_.path(), pageSize_, faults_);
  Status st = journal.create(uint64_t(originalPages_) * pageSize_);
  std::vector<uint32_t> toWrite;
  toWrite.reserve(order.size());
  std::vector<uint8_t> original(pageSize_);
  for (size_t i = 0; st && i < order.size(); ++i) {
    uint32_t page = order[i];
    if (page >= originalPages_) {
      toWrite.push_back(page);
      continue;
    }
    st = db_.readPage(page, original);
    if (!st)
      break;
    auto img = pages_.find(page);
    if (!img) {
      st = img.status();
      break;
    }
    if (std::memcmp(original.data(), *img, pageSize_) == 0)
      continue;
    st = journal.add(page, original);
    toWrite.push_back(page);
  }
  if (st && toWrite.empty()) {
    // Every page was written back as it was.
    st = journal.remove();
    finish();
    return st;
  }
  if (st)
    st = journal.seal();
  if (!st) {
    // The database is untouched; a journal left behind is harmless either way.
    (void)journal.remove();
    finish();
    return st;
  }

  st = writePhase(toWrite);
  if (!st) {
    auto back = journal.rollback(db_);
    needsRecovery_ = !back.isOk();
    finish();
    return st;
  }

  // The commit point: once the journal is gone the new pages stand.
  st = removeFile(journal.path(), faults_);
  if (!st) {
    auto back = journal.rollback(db_);
    needsRecovery_ = !back.isOk();
    finish();
    return st;
  }
  st = syncDirectoryOf(journal.path(), faults_);
  finish();
  if (!st)
    return {ErrorCode::IoError,
            "Le modifiche sono state scritte, ma il sistema non ha confermato il salvataggio "
            "della cartella del database: " +
                st.message()};
  return Status::ok();
}

// ---------------------------------------------------------------------------------------------

Result<WritableDatabase> openForWriting(const std::string &dbPath, uint32_t pageSize,
                                        std::chrono::milliseconds wait, FaultInjector *faults,
                                        const WriterAdmission &admit) {
  WritableDatabase db;
  RollbackJournal journal(dbPath, pageSize, faults);
  auto deadline = std::chrono::steady_clock::now() + wait;
  bool sawHotJournal = false;
  for (;;) {
    auto lock = FileLock::open(dbPath, FileLock::Mode::Write);
    if (lock) {
      db.lock = std::move(*lock);
      break;
    }
    // A reader mending a journal left by a crash holds the writer byte for a moment; any other
    // holder is a writer, refused at once.
    if (lock.status().code() != ErrorCode::Locked || std::chrono::steady_clock::now() >= deadline)
      return lock.status();
    if (!sawHotJournal) {
      auto state = journal.inspect();
      sawHotJournal = state && *state == RollbackJournal::State::Hot;
      if (!sawHotJournal)
        return lock.status();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (admit)
    JET_TRY(admit());
  auto store = PageStore::open(dbPath, true, pageSize, faults);
  if (!store)
    return store.status();
  db.store = std::move(*store);
  auto state = journal.inspect();
  if (!state)
    return state.status();
  if (*state != RollbackJournal::State::Absent) {
    JET_TRY(db.lock.lockExclusive(wait));
    auto restored = journal.rollback(db.store);
    db.lock.unlockRead();
    if (!restored)
      return restored.status();
    db.recoveredPages = *restored;
  }
  return db;
}

Result<std::unique_ptr<WriteSession>>
WriteSession::open(const std::string &dbPath, uint32_t pageSize, std::chrono::milliseconds wait,
                   FaultInjector *faults, const WriterAdmission &admit) {
  auto db = openForWriting(dbPath, pageSize, wait, faults, admit);
  if (!db)
    return db.status();
  return std::make_unique<WriteSession>(std::move(*db), faults, wait);
}

Status beginRead(FileLock &lock, uint32_t pageSize, std::chrono::milliseconds wait) {
  auto deadline = std::chrono::steady_clock::now() + wait;
  auto left = [&] {
    return std::max(std::chrono::milliseconds(0),
                    std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now()));
  };
  RollbackJournal journal(lock.path(), pageSize);
  for (;;) {
    JET_TRY(lock.lockShared(left()));
    auto state = journal.inspect();
    if (!state) {
      lock.unlockRead();
      return state.status();
    }
    // With the shared lock held no commit is in flight, so a journal that is not hot was
    // abandoned before the database was touched.
    if (*state != RollbackJournal::State::Hot)
      return Status::ok();
    lock.unlockRead();

    bool tookWriter = !lock.isWriter();
    Status st = lock.tryWriter();
    if (st.code() == ErrorCode::ReadOnly)
      return {ErrorCode::ReadOnly, "Il database '" + lock.path() +
                                       "' è rimasto a metà di un aggiornamento interrotto e va "
                                       "ripristinato, ma il file non è scrivibile."};
    if (st) {
      st = lock.lockExclusive(left());
      if (st) {
        auto store = PageStore::open(lock.path(), true, pageSize);
        st = store.status();
        if (store) {
          auto restored = journal.rollback(*store);
          st = restored.status();
        }
        lock.unlockRead();
      }
      if (tookWriter)
        lock.releaseWriter();
      if (!st && st.code() != ErrorCode::Locked)
        return st;
    }
    if (left().count() == 0)
      return {ErrorCode::Locked, "Il database '" + lock.path() +
                                     "' è in corso di aggiornamento da parte di un altro "
                                     "programma: riprovare tra qualche istante."};
    // A live writer holds it: its commit or its own recovery will clear the journal.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

} // namespace jet
