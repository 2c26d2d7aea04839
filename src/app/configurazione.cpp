#include "app/configurazione.h"

#include <QDir>
#include <QFileInfo>

QString FileConfigurazione(const QString &cartellaProgramma) {
  QString cartella = cartellaProgramma.trimmed();
  if (!cartella.endsWith(u'/'))
    cartella += u'/';
  const QString accanto = cartella + QStringLiteral("WZELBO.INI");
  if (QFileInfo(accanto).isFile())
    return accanto;
  // The XDG rule: a relative or empty value is ignored.
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty() || QDir::isRelativePath(base))
    base = QDir::homePath() + QStringLiteral("/.config");
  const QString utente = base + QStringLiteral("/vask/WZELBO.INI");
  return QFileInfo(utente).isFile() ? utente : accanto;
}

QString &DatabaseIniziale() {
  static QString nome;
  return nome;
}
