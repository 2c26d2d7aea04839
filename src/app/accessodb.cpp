#include "app/accessodb.h"

#include "app/comune/errori.h"
#include "table/banca_dati.h"

void DatabaseNonCollegato::ApriConnessione(const QString &nomeCompleto) {
  throw ErroreVask(static_cast<int>(jet::ErrorCode::Unsupported),
                   QStringLiteral("Impossibile aprire il database %1: motore non disponibile")
                       .arg(nomeCompleto));
}

DatabaseManDB::DatabaseManDB() : banca_(std::make_shared<tabelle::BancaDati>()) {}

void DatabaseManDB::ApriConnessione(const QString &nomeCompleto) {
  banca_->ApriConnessione(nomeCompleto);
}

std::vector<VoceTabella> DatabaseManDB::ElencaTabelle(const QString &nomeCompleto) {
  std::vector<VoceTabella> out;
  for (const auto &[nome, indice] : banca_->ElencaTabelle(nomeCompleto))
    out.push_back({nome, indice});
  return out;
}

void DatabaseManDB::EseguiIgnorandoErrori(const QString &sql) {
  banca_->EseguiIgnorandoErrori(sql.toUtf8().toStdString());
}

void DatabaseManDB::Rilascia() {
  banca_->Rilascia();
}

std::unique_ptr<AccessoDatabase> CreaGestoreDb() {
  return std::make_unique<DatabaseManDB>();
}
