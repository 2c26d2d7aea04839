#include "jet/ldb_users.h"

#include "jet/file_lock.h"
#include "jet/page_store.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace jet {

namespace {

bool denied(int err) {
  return err == EACCES || err == EROFS || err == EPERM;
}

// Whether `path` still names the file open on `fd`: the last user to leave may have removed it
// between our open and our lock.
bool stillNamed(int fd, const std::string &path) {
  struct stat open {
  }, named{};
  if (::fstat(fd, &open) != 0 || ::stat(path.c_str(), &named) != 0)
    return false;
  return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

std::string nameField(const uint8_t *p) {
  std::string s;
  for (int i = 0; i < LdbMembership::kNameSize && p[i] != 0; ++i)
    s += char(p[i]);
  while (!s.empty() && s.back() == ' ')
    s.pop_back();
  return s;
}

void putNameField(uint8_t *p, const std::string &name) {
  for (size_t i = 0; i < size_t(LdbMembership::kNameSize) - 1 && i < name.size(); ++i)
    p[i] = uint8_t(name[i]);
}

} // namespace

std::string ldbPathFor(const std::string &dbPath) {
  size_t slash = dbPath.find_last_of('/');
  size_t dot = dbPath.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return dbPath + ".ldb";
  return dbPath.substr(0, dot) + ".ldb";
}

std::string localComputerName() {
  std::array<char, 256> host{};
  if (::gethostname(host.data(), host.size() - 1) != 0 || host[0] == 0)
    return "VASK";
  std::string name(host.data());
  name = name.substr(0, name.find('.'));
  // Windows shows computer names in capitals, and so does the suite's list of users.
  for (auto &c : name)
    c = char(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

LdbMembership::~LdbMembership() {
  leave();
}

LdbMembership::LdbMembership(LdbMembership &&o) noexcept
    : path_(std::move(o.path_)), fd_(o.fd_), slot_(o.slot_) {
  o.fd_ = -1;
  o.slot_ = -1;
}

LdbMembership &LdbMembership::operator=(LdbMembership &&o) noexcept {
  if (this != &o) {
    leave();
    path_ = std::move(o.path_);
    fd_ = o.fd_;
    slot_ = o.slot_;
    o.fd_ = -1;
    o.slot_ = -1;
  }
  return *this;
}

Result<LdbMembership> LdbMembership::join(const std::string &dbPath, const std::string &computer,
                                          const std::string &user) {
  LdbMembership m;
  m.path_ = ldbPathFor(dbPath);
  // A user leaving takes every user lock for a moment before removing the file: wait that out.
  for (int attempt = 0; attempt < 200; ++attempt) {
    if (m.fd_ >= 0)
      ::close(m.fd_);
    m.fd_ = ::open(m.path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (m.fd_ < 0) {
      int err = errno;
      if (!denied(err))
        return fileSystemError("aprendo il file dei blocchi", m.path_, err);
      m.fd_ = ::open(m.path_.c_str(), O_RDONLY | O_CLOEXEC);
      return m; // only looks, or sees no .ldb at all
    }
    int slot = -1;
    for (int s = 0; s < kSlots && slot < 0; ++s) {
      int rc = rangelock::set(m.fd_, F_WRLCK, kUserLocks + s);
      if (rc == 0)
        slot = s;
      else if (rc != EAGAIN)
        return fileSystemError("bloccando il file dei blocchi", m.path_, rc);
    }
    if (slot < 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    if (!stillNamed(m.fd_, m.path_))
      continue; // removed by the last user leaving: open the new one
    if (int rc = rangelock::set(m.fd_, F_WRLCK, kVaskMarks + slot); rc != 0)
      return fileSystemError("bloccando il file dei blocchi", m.path_, rc);
    std::array<uint8_t, kEntrySize> entry{};
    putNameField(entry.data(), computer);
    putNameField(entry.data() + kNameSize, user);
    if (::pwrite(m.fd_, entry.data(), entry.size(), off_t(slot) * kEntrySize) !=
        ssize_t(entry.size()))
      return fileSystemError("scrivendo il file dei blocchi", m.path_, errno);
    m.slot_ = slot;
    return m;
  }
  ::close(m.fd_);
  m.fd_ = -1;
  return Status(ErrorCode::InUse, "Il database ha già " + std::to_string(kSlots) +
                                      " utenti collegati: riprovare quando qualcuno lo chiude.");
}

Result<std::vector<JetUser>> LdbMembership::liveJetUsers() const {
  std::vector<JetUser> users;
  if (fd_ < 0)
    return users;
  struct stat st {};
  if (::fstat(fd_, &st) != 0)
    return fileSystemError("leggendo il file dei blocchi", path_, errno);
  // A user writes its entry right after taking its lock; one caught in between still counts.
  int slots = int(std::min<off_t>(kSlots, (st.st_size + kEntrySize - 1) / kEntrySize + 1));
  for (int s = 0; s < slots; ++s) {
    if (s == slot_)
      continue;
    int held = rangelock::heldElsewhere(fd_, kUserLocks + s);
    if (held == 1)
      held = rangelock::heldElsewhere(fd_, kVaskMarks + s) == 1 ? 0 : 1;
    if (held < 0)
      return fileSystemError("leggendo il file dei blocchi", path_, -held);
    if (held == 0)
      continue;
    std::array<uint8_t, kEntrySize> entry{};
    ssize_t got = ::pread(fd_, entry.data(), entry.size(), off_t(s) * kEntrySize);
    if (got < 0)
      return fileSystemError("leggendo il file dei blocchi", path_, errno);
    users.push_back({s, nameField(entry.data()), nameField(entry.data() + kNameSize)});
  }
  return users;
}

Status LdbMembership::holdPageLocks() {
  if (!joined())
    return Status::ok();
  int rc = rangelock::set(fd_, F_WRLCK, kPageLocks, kPageLocksEnd - kPageLocks);
  if (rc == 0)
    return Status::ok();
  if (rc != EAGAIN)
    return fileSystemError("bloccando il file dei blocchi", path_, rc);
  auto users = liveJetUsers();
  return inUseError(users ? *users : std::vector<JetUser>{});
}

void LdbMembership::leave() {
  if (fd_ < 0)
    return;
  if (slot_ >= 0) {
    rangelock::set(fd_, F_UNLCK, kPageLocks, kPageLocksEnd - kPageLocks);
    rangelock::set(fd_, F_UNLCK, kVaskMarks + slot_);
    rangelock::set(fd_, F_UNLCK, kUserLocks + slot_);
    // Every user lock ours for a moment: nobody else has the database open.
    if (rangelock::set(fd_, F_WRLCK, kUserLocks, kSlots) == 0 && stillNamed(fd_, path_))
      (void)::unlink(path_.c_str());
  }
  ::close(fd_); // releases whatever this open still holds
  fd_ = -1;
  slot_ = -1;
}

Status inUseError(const std::vector<JetUser> &users) {
  std::string who;
  for (const auto &u : users) {
    if (u.computer.empty() && u.user.empty())
      continue;
    if (!who.empty())
      who += ", ";
    who += u.computer.empty() ? "un altro computer" : u.computer;
    if (!u.user.empty())
      who += " (" + u.user + ")";
  }
  if (who.empty())
    who = "un altro utente del gestionale";
  return {ErrorCode::InUse,
          "Il database è in uso da " + who + ": chiudere il gestionale prima di modificarlo."};
}

} // namespace jet
