#pragma once
// The program's version numbers, from the project's version in the build.
#include <QString>

constexpr int VersioneMaggiore = VASK_VERSIONE_MAGGIORE;
constexpr int VersioneMinore = VASK_VERSIONE_MINORE;
constexpr int VersioneRevisione = VASK_VERSIONE_REVISIONE;

// "1.3.3": the three numbers as plain decimal integers.
inline QString VersioneProgramma() {
  return QStringLiteral("%1.%2.%3")
      .arg(VersioneMaggiore)
      .arg(VersioneMinore)
      .arg(VersioneRevisione);
}
