#include "app/istanza.h"

#include <QDir>
#include <QStandardPaths>
#include <unistd.h>

IstanzaUnica::IstanzaUnica(const QString &fileBlocco)
    : blocco_(std::make_unique<QLockFile>(fileBlocco)) {
  // Stale only when its owner is gone, however old it is.
  blocco_->setStaleLockTime(0);
}

bool IstanzaUnica::Acquisisci() {
  if (blocco_->tryLock(0))
    return true;
  return blocco_->error() != QLockFile::LockFailedError;
}

QString IstanzaUnica::PercorsoPredefinito() {
  QString cartella = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (cartella.isEmpty())
    return QDir::temp().filePath(QStringLiteral("vask-%1.lock").arg(getuid()));
  return QDir(cartella).filePath(QStringLiteral("vask.lock"));
}
