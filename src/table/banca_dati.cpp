#include "table/banca_dati.h"

#include "app/comune/errori.h"
#include "app/comune/fungen.h"
#include "app/comune/messaggi.h"
#include "data/shared_database.h"

namespace tabelle {

namespace {

std::string utf8(const QString &s) {
  return s.toUtf8().toStdString();
}

} // namespace

BancaDati::BancaDati() : GestoreDb([] { return utf8(PercorsoDb + NomeDb); }) {}

void BancaDati::ApriConnessione(const QString &nomeCompleto) {
  auto c = GestoreDb.get_Conn(utf8(nomeCompleto));
  if (!c)
    throw ErroreVask(c.status());
  ConnessioneDb = *c;
}

std::vector<std::pair<QString, int>> BancaDati::ElencaTabelle(const QString &nomeCompleto) {
  auto c = GestoreDb.get_Conn(utf8(nomeCompleto));
  if (!c)
    throw ErroreVask(c.status());
  catalogo_ = *c;
  nomiCatalogo_ = catalogo_->database().engine().tableNames();
  std::vector<std::pair<QString, int>> out;
  for (size_t i = 0; i < nomiCatalogo_.size(); ++i)
    if (nomiCatalogo_[i].compare(0, 4, "MSys") != 0)
      out.emplace_back(QString::fromStdString(nomiCatalogo_[i]), static_cast<int>(i));
  return out;
}

QString BancaDati::NomeCatalogo(int indice) const {
  if (indice < 0 || indice >= static_cast<int>(nomiCatalogo_.size()))
    return {};
  return QString::fromStdString(nomiCatalogo_[indice]);
}

data::Connection &BancaDati::Connessione() {
  if (!Aperto())
    throw ErroreVask(static_cast<int>(jet::ErrorCode::Closed),
                     QStringLiteral("Nessun database aperto: sceglierne uno con il pulsante "
                                    "\"Database\"."));
  return *ConnessioneDb;
}

void BancaDati::Esegui(const std::string &sql, int64_t *righe) {
  Verifica(Connessione().Execute(sql, righe, -1));
}

void BancaDati::EseguiIgnorandoErrori(const std::string &sql) {
  if (Aperto())
    (void)ConnessioneDb->Execute(sql, nullptr, -1);
}

std::shared_ptr<data::Recordset> BancaDati::Leggi(const std::string &sql, int cursore, int blocco) {
  auto rs = GestoreDb.get_Rs(sql, "", cursore, blocco, 1, Connessione().shared_from_this());
  if (!rs)
    throw ErroreVask(rs.status());
  return *rs;
}

void BancaDati::InTransazione(const std::function<void()> &lavoro) {
  data::Connection &c = Connessione();
  Verifica(c.BeginTrans());
  try {
    lavoro();
  } catch (...) {
    if (c.inTransaction())
      (void)c.RollbackTrans();
    throw;
  }
  Verifica(c.CommitTrans());
}

bool BancaDati::AnnullaTransazioneAperta() {
  if (!Aperto())
    return false;
  if (ConnessioneDb->inTransaction()) {
    (void)ConnessioneDb->RollbackTrans();
    return true;
  }
  data::SharedDatabase &db = ConnessioneDb->database();
  if (!db.engine().inTransaction())
    return false;
  // Held by another connection of this process (or begun on the engine itself).
  (void)db.storage().rollback();
  db.setTransactionOwner(nullptr);
  db.storage().invalidate();
  return true;
}

void BancaDati::Rilascia() {
  if (ConnessioneDb && ConnessioneDb->inTransaction())
    (void)ConnessioneDb->RollbackTrans();
  ConnessioneDb.reset();
  catalogo_.reset();
  nomiCatalogo_.clear();
}

void AvvisaSeInUso(const BancaDati *banca) {
  if (!banca || !banca->Aperto())
    return;
  const jet::Status perche = banca->ConnessioneDb->readOnlyReason();
  if (perche.code() == jet::ErrorCode::InUse || perche.code() == jet::ErrorCode::Locked)
    MsgBox(QString::fromStdString(perche.message()), vbOKOnly + vbExclamation,
           QStringLiteral("Database in sola lettura"));
}

} // namespace tabelle
