#pragma once
// One running copy per user: a lock file in the user's runtime folder. The lock of a copy that
// was killed is taken over by the next start.
#include <QLockFile>
#include <QString>
#include <memory>

class IstanzaUnica {
public:
  explicit IstanzaUnica(const QString &fileBlocco = PercorsoPredefinito());
  // False when another copy holds the lock. A lock that cannot be made at all (no writable
  // folder) does not stop the program.
  bool Acquisisci();
  static QString PercorsoPredefinito();

private:
  std::unique_ptr<QLockFile> blocco_;
};
