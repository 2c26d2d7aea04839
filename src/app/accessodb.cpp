#include "app/accessodb.h"

#include "app/comune/errori.h"

void DatabaseNonCollegato::ApriConnessione(const QString &nomeCompleto) {
  throw ErroreVask(static_cast<int>(jet::ErrorCode::Unsupported),
                   QStringLiteral("Impossibile aprire il database %1: motore non disponibile")
                       .arg(nomeCompleto));
}

std::unique_ptr<AccessoDatabase> CreaGestoreDb() {
  return std::make_unique<DatabaseNonCollegato>();
}
