#pragma once
// The Jet engine's lock file (name.ldb beside name.mdb): who has the database open, and the
// page locks by which Jet clients keep out of each other's writes. Vask takes part as a Jet user
// does; what it relies on, and where each fact comes from, is in ldb.md.
//
//   entries   255 slots of 64 bytes from offset 0: computer name (32 bytes), security name
//             (32 bytes), NUL-padded.
//   user lock one byte at kUserLocks + slot, held by the slot's user while the database is open.
//             A slot whose lock nobody holds is free; its entry is left from an earlier user.
//   page locks the write locks of the database's pages, in [kPageLocks, kPageLocksEnd).
//   Vask mark one byte at kVaskMarks + slot, beyond every range Jet uses: the slot's user is a
//             Vask process, which keeps to Vask's own writer and read locks on the database.
// Every lock lies past the end of the file, so none stops anyone reading the entries.
#include "jet/status.h"

#include <string>
#include <vector>

namespace jet {

struct JetUser {
  int slot = -1;
  std::string computer;
  std::string user;
};

// name.mdb -> name.ldb (the extension replaced whatever its case; appended where there is none).
std::string ldbPathFor(const std::string &dbPath);
// This machine's name as a Jet user entry carries it.
std::string localComputerName();

class LdbMembership {
public:
  static constexpr int kSlots = 255;
  static constexpr int kEntrySize = 64;
  static constexpr int kNameSize = 32;
  static constexpr long long kUserLocks = 0x10000001LL;
  static constexpr long long kPageLocks = 0x20000000LL;
  static constexpr long long kPageLocksEnd = 0x30000000LL;
  static constexpr long long kVaskMarks = 0x7E000001LL;

  LdbMembership() = default;
  ~LdbMembership();
  LdbMembership(LdbMembership &&other) noexcept;
  LdbMembership &operator=(LdbMembership &&other) noexcept;
  LdbMembership(const LdbMembership &) = delete;
  LdbMembership &operator=(const LdbMembership &) = delete;

  // Becomes a user of the database: opens the .ldb (creating it where there is none), holds the
  // first free slot's user lock and the Vask mark, and writes `computer` and `user` there. Where
  // the .ldb cannot be created or written (a folder or file without write permission), the
  // membership only looks at the users already there.
  static Result<LdbMembership> join(const std::string &dbPath, const std::string &computer,
                                    const std::string &user = "Admin");

  // Users other than Vask processes that have the database open: entries whose user lock is
  // held by another open and that carry no Vask mark.
  Result<std::vector<JetUser>> liveJetUsers() const;
  // Holds every page's write lock until leave(): a Jet client's write then fails or waits
  // instead of landing beside ours. InUse when a Jet client holds one now. Nothing is held by a
  // membership that only looks.
  Status holdPageLocks();
  // Gives the slot back; the last user to go removes the .ldb, as the Jet engine does.
  void leave();

  bool joined() const { return slot_ >= 0; }
  int slot() const { return slot_; }
  const std::string &path() const { return path_; }

private:
  std::string path_;
  int fd_ = -1;
  int slot_ = -1;
};

// "Il database è in uso da PC-CASSA (Admin): chiudere il gestionale prima di modificarlo."
Status inUseError(const std::vector<JetUser> &users);

} // namespace jet
