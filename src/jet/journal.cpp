#include "jet/journal.h"

#include "jet/bytes.h"

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <thread>

namespace jet {

namespace {

constexpr std::array<uint8_t, 8> kMagic = {'J', 'e', 't', 'R', 'b', 'J', '0', '1'};
// magic, version, page size, size, records, salt, final size, appended pages, crc
constexpr size_t kHeaderFields = 48;
constexpr size_t kHeaderChecked = 44;

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

uint32_t saltedChecksum(uint32_t salt, std::span<const uint8_t> data) {
  uint8_t prefix[4];
  put32(prefix, salt);
  return journalChecksum(data, journalChecksum(prefix));
}

uint32_t sectorsOf(uint32_t pageSize) {
  return pageSize / RollbackJournal::kSectorSize;
}

std::span<const uint8_t> sector(std::span<const uint8_t> page, uint32_t s) {
  return page.subspan(size_t(s) * RollbackJournal::kSectorSize, RollbackJournal::kSectorSize);
}

// The CRC-32 of each sector of a page image, one after another from `out`.
void putSectorChecksums(std::span<const uint8_t> image, uint8_t *out) {
  for (uint32_t s = 0; s < sectorsOf(uint32_t(image.size())); ++s)
    put32(out + 4 * s, journalChecksum(sector(image, s)));
}

size_t appendedSizeFor(uint32_t pageSize) {
  return 8 + 4 * size_t(sectorsOf(pageSize));
}

bool allZero(std::span<const uint8_t> b) {
  return std::all_of(b.begin(), b.end(), [](uint8_t x) { return x == 0; });
}

enum class HeaderKind { Invalid, Ours, OtherVersion };

} // namespace

struct RollbackJournal::Header {
  uint32_t pageSize = 0;
  uint64_t originalSize = 0;
  uint32_t records = 0;
  uint32_t salt = 0;
  uint64_t finalSize = 0;
  uint32_t appended = 0;

  size_t recordSize() const { return RollbackJournal::recordSize(pageSize); }
  size_t appendedSize() const { return appendedSizeFor(pageSize); }
  uint64_t appendedStart() const { return kHeaderSize + uint64_t(records) * recordSize(); }
};

namespace {

// Sealed by this version for this page size, sealed by another version (whose records this one
// cannot read), or never sealed.
HeaderKind parseHeader(std::span<const uint8_t> raw, uint32_t pageSize,
                       RollbackJournal::Header &h) {
  if (raw.size() < kHeaderFields || !std::equal(kMagic.begin(), kMagic.end(), raw.begin()))
    return HeaderKind::Invalid;
  uint32_t version = get32(raw.data() + 8);
  if (version == 1 && journalChecksum(raw.first(32)) == get32(raw.data() + 32))
    return HeaderKind::OtherVersion;
  if (journalChecksum(raw.first(kHeaderChecked)) != get32(raw.data() + kHeaderChecked))
    return HeaderKind::Invalid;
  if (version != RollbackJournal::kVersion)
    return HeaderKind::OtherVersion;
  h.pageSize = get32(raw.data() + 12);
  h.originalSize = get64(raw.data() + 16);
  h.records = get32(raw.data() + 24);
  h.salt = get32(raw.data() + 28);
  h.finalSize = get64(raw.data() + 32);
  h.appended = get32(raw.data() + 40);
  bool fits = h.pageSize == pageSize && h.originalSize % pageSize == 0 &&
              h.finalSize % pageSize == 0 && h.finalSize >= h.originalSize;
  return fits ? HeaderKind::Ours : HeaderKind::Invalid;
}

// Reads the valid records in order, each as its page, original image and written sectors'
// checksums, until `fn` says stop; returns how many were valid.
template <typename Fn>
Result<uint32_t> eachRecord(const SyncFile &f, const RollbackJournal::Header &h, Fn fn) {
  std::vector<uint8_t> rec(h.recordSize());
  const uint64_t originalPages = h.originalSize / h.pageSize;
  uint32_t i = 0;
  for (; i < h.records; ++i) {
    size_t got = 0;
    JET_TRY(f.readAt(RollbackJournal::kHeaderSize + uint64_t(i) * rec.size(), rec, &got));
    if (got != rec.size())
      break;
    uint32_t page = get32(rec.data());
    std::span<const uint8_t> body(rec.data(), rec.size() - 4);
    if (page >= originalPages || get32(rec.data() + body.size()) != saltedChecksum(h.salt, body))
      break;
    Status st =
        fn(page, std::span<const uint8_t>(rec.data() + 4, h.pageSize), rec.data() + 4 + h.pageSize);
    if (!st)
      return st;
  }
  return i;
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
  return parseHeader(std::span(raw).first(got), pageSize_, h) == HeaderKind::Invalid
             ? State::Invalid
             : State::Hot;
}

std::string RollbackJournal::asidePathFor(const std::string &dbPath, int n) {
  return pathFor(dbPath) + ".accantonato" + (n > 1 ? "-" + std::to_string(n) : "");
}

Status RollbackJournal::create(uint64_t originalSize, uint64_t finalSize) {
  auto f = SyncFile::open(path_, O_WRONLY | O_CREAT | O_TRUNC, faults_);
  if (!f)
    return f.status();
  file_ = std::move(*f);
  // Whoever may write the database may have to roll this back.
  struct stat st;
  if (::stat(dbPath_.c_str(), &st) == 0)
    (void)::fchmod(file_.fd(), st.st_mode & 0777);
  originalSize_ = originalSize;
  finalSize_ = finalSize;
  records_ = 0;
  appended_.clear();
  salt_ = freshSalt();
  return Status::ok();
}

Status RollbackJournal::add(uint32_t page, std::span<const uint8_t> original,
                            std::span<const uint8_t> written) {
  std::vector<uint8_t> &rec = record_;
  rec.resize(RollbackJournal::recordSize(pageSize_));
  put32(rec.data(), page);
  std::memcpy(rec.data() + 4, original.data(), pageSize_);
  putSectorChecksums(written.first(pageSize_), rec.data() + 4 + pageSize_);
  const size_t body = rec.size() - 4;
  put32(rec.data() + body, saltedChecksum(salt_, std::span(rec).first(body)));
  JET_TRY(file_.writeAt(kHeaderSize + uint64_t(records_) * rec.size(), rec));
  ++records_;
  return Status::ok();
}

void RollbackJournal::addAppended(uint32_t page, std::span<const uint8_t> written) {
  const size_t at = appended_.size(), body = appendedSizeFor(pageSize_) - 4;
  appended_.resize(at + body + 4);
  put32(appended_.data() + at, page);
  putSectorChecksums(written.first(pageSize_), appended_.data() + at + 4);
  put32(appended_.data() + at + body,
        saltedChecksum(salt_, std::span(appended_).subspan(at, body)));
}

Status RollbackJournal::seal() {
  if (!appended_.empty())
    JET_TRY(file_.writeAt(kHeaderSize + uint64_t(records_) * RollbackJournal::recordSize(pageSize_),
                          appended_));
  std::array<uint8_t, kHeaderSize> raw{};
  std::copy(kMagic.begin(), kMagic.end(), raw.begin());
  put32(raw.data() + 8, kVersion);
  put32(raw.data() + 12, pageSize_);
  put64(raw.data() + 16, originalSize_);
  put32(raw.data() + 24, records_);
  put32(raw.data() + 28, salt_);
  put64(raw.data() + 32, finalSize_);
  put32(raw.data() + 40, uint32_t(appended_.size() / appendedSizeFor(pageSize_)));
  put32(raw.data() + kHeaderChecked, journalChecksum(std::span(raw).first(kHeaderChecked)));
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
  HeaderKind kind = parseHeader(std::span(raw).first(got), pageSize_, h);
  if (kind == HeaderKind::Invalid) {
    // Never sealed: the database was not touched.
    f.close();
    JET_TRY(removeFile(path_, faults_));
    JET_TRY(syncDirectoryOf(path_, faults_));
    return uint32_t(0);
  }
  if (kind == HeaderKind::OtherVersion) {
    f.close();
    return keepAside("il giornale è stato scritto da un'altra versione del programma");
  }
  auto mismatch = stateMismatch(f, h, db);
  if (!mismatch)
    return mismatch.status();
  if (!mismatch->empty()) {
    f.close();
    return keepAside(*mismatch);
  }
  auto restored =
      eachRecord(f, h, [&](uint32_t page, std::span<const uint8_t> original, const uint8_t *) {
        return db.writePage(page, original);
      });
  if (!restored)
    return restored.status();
  auto size = db.sizeBytes();
  if (!size)
    return size.status();
  if (*size != h.originalSize)
    JET_TRY(db.truncateBytes(h.originalSize));
  JET_TRY(db.sync());
  f.close();
  JET_TRY(removeFile(path_, faults_));
  JET_TRY(syncDirectoryOf(path_, faults_));
  return *restored;
}

Result<std::string> RollbackJournal::stateMismatch(const SyncFile &f, const Header &h,
                                                   PageStore &db) const {
  auto size = db.sizeBytes();
  if (!size)
    return size.status();
  if (*size < h.originalSize || *size > h.finalSize)
    return "il database è di " + std::to_string(*size) + " byte, l'aggiornamento lo portava da " +
           std::to_string(h.originalSize) + " a " + std::to_string(h.finalSize);
  const uint32_t sectors = sectorsOf(h.pageSize);
  std::vector<uint8_t> now(h.pageSize);
  // The page as the file has it, zeros past its end.
  auto readNow = [&](uint32_t page) -> Status {
    std::fill(now.begin(), now.end(), 0);
    size_t got = 0;
    return db.file().readAt(uint64_t(page) * h.pageSize, now, &got);
  };
  // A crash tears at most the one write in flight, so a sector may hold part of each image:
  // one torn by the commit's crash, one by a crash of an earlier rollback.
  std::string found;
  int torn = 0;
  auto differs = [&](uint32_t page) {
    if (++torn <= 2)
      return false;
    found = "la pagina " + std::to_string(page) +
            " non è né quella di prima né quella scritta dall'aggiornamento";
    return true;
  };
  auto checked =
      eachRecord(f, h, [&](uint32_t page, std::span<const uint8_t> original, const uint8_t *sums) {
        if (!found.empty())
          return Status::ok();
        JET_TRY(readNow(page));
        for (uint32_t s = 0; s < sectors; ++s)
          if (!std::equal(sector(now, s).begin(), sector(now, s).end(),
                          sector(original, s).begin()) &&
              journalChecksum(sector(now, s)) != get32(sums + 4 * s) && differs(page))
            break;
        return Status::ok();
      });
  if (!checked)
    return checked.status();
  if (!found.empty())
    return found;
  // Every page past the original end that the file holds is one the commit wrote.
  std::unordered_map<uint32_t, std::vector<uint32_t>> written;
  std::vector<uint8_t> entry(h.appendedSize());
  for (uint32_t i = 0; i < h.appended; ++i) {
    size_t got = 0;
    JET_TRY(f.readAt(h.appendedStart() + uint64_t(i) * entry.size(), entry, &got));
    const size_t body = entry.size() - 4;
    if (got != entry.size() ||
        get32(entry.data() + body) != saltedChecksum(h.salt, std::span(entry).first(body)))
      break;
    auto &sums = written[get32(entry.data())];
    for (uint32_t s = 0; s < sectors; ++s)
      sums.push_back(get32(entry.data() + 4 + 4 * s));
  }
  const uint64_t end = (*size + h.pageSize - 1) / h.pageSize;
  for (uint64_t page = h.originalSize / h.pageSize; page < end; ++page) {
    auto it = written.find(uint32_t(page));
    if (it == written.end())
      return "la pagina " + std::to_string(page) + " non è stata scritta dall'aggiornamento";
    JET_TRY(readNow(uint32_t(page)));
    for (uint32_t s = 0; s < sectors; ++s)
      if (!allZero(sector(now, s)) && journalChecksum(sector(now, s)) != it->second[s] &&
          differs(uint32_t(page)))
        return found;
  }
  return std::string();
}

Status RollbackJournal::keepAside(const std::string &found) {
  std::string aside;
  for (int n = 1; n < 1000 && aside.empty(); ++n)
    if (!fileExists(asidePathFor(dbPath_, n)))
      aside = asidePathFor(dbPath_, n);
  std::string kept;
  if (!aside.empty() && (!faults_ || faults_->admitOther()) &&
      ::rename(path_.c_str(), aside.c_str()) == 0 && syncDirectoryOf(path_, faults_))
    kept = "è stato conservato a parte come '" + aside +
           "'. Verificare il database (vaskdb check) "
           "e, se risulta danneggiato, ripristinarne una copia di sicurezza; il database si può "
           "ora riaprire.";
  else
    kept = "resta '" + path_ +
           "', perché non è stato possibile metterlo da parte: spostarlo "
           "altrove a mano, poi verificare il database (vaskdb check) e, se risulta danneggiato, "
           "ripristinarne una copia di sicurezza.";
  return {ErrorCode::StaleJournal,
          "Accanto al database '" + dbPath_ +
              "' è rimasto il giornale di un aggiornamento interrotto, ma il database non è più "
              "nello stato a cui il giornale si riferisce (" +
              found +
              "): dopo l'interruzione è stato modificato da un altro programma o sostituito da "
              "un'altra copia. Il giornale non è stato applicato e " +
              kept};
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
  if (*size > kMaxDatabaseBytes)
    return {ErrorCode::Corrupt, "Il file '" + db_.path() +
                                    "' supera i 2 GB che il formato consente a un database: il "
                                    "database è danneggiato e non vi si scrive."};
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
  if (uint64_t(pageCount_ + 1) * pageSize_ > kMaxDatabaseBytes)
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
  if (Status gone = db_.stillAtItsPath(); !gone) {
    finish();
    return gone;
  }

  RollbackJournal journal(db_.path(), pageSize_, faults_);
  Status st =
      journal.create(uint64_t(originalPages_) * pageSize_, uint64_t(pageCount_) * pageSize_);
  std::vector<uint32_t> toWrite;
  toWrite.reserve(order.size());
  std::vector<uint8_t> original(pageSize_);
  for (size_t i = 0; st && i < order.size(); ++i) {
    uint32_t page = order[i];
    auto img = pages_.find(page);
    if (!img) {
      st = img.status();
      break;
    }
    const std::span<const uint8_t> written(*img, pageSize_);
    if (page >= originalPages_) {
      journal.addAppended(page, written);
      toWrite.push_back(page);
      continue;
    }
    st = db_.readPage(page, original);
    if (!st)
      break;
    if (std::memcmp(original.data(), written.data(), pageSize_) == 0)
      continue;
    st = journal.add(page, original, written);
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
  if (st)
    st = db_.stillAtItsPath();
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
  // A write past the process's file size limit fails with EFBIG, reported and undone like any
  // failed write, instead of killing the process halfway through a commit.
  static const bool ignoreFileSizeSignal = [] {
    struct sigaction now {};
    if (::sigaction(SIGXFSZ, nullptr, &now) == 0 && now.sa_handler == SIG_DFL)
      ::signal(SIGXFSZ, SIG_IGN);
    return true;
  }();
  (void)ignoreFileSizeSignal;
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
