#pragma once
// GestoreDb and ConnessioneDb as the table windows use them: the ManDB factory, the shared
// connection replaced at every opening, the catalogue of the open file. Failures are thrown as
// ErroreVask (app/comune/errori.h), to be reported where the event handler ends.
#include "data/connection.h"
#include "data/man_db.h"

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tabelle {

class BancaDati {
public:
  // The default database is PercorsoDb + NomeDb as they stand.
  BancaDati();

  data::ManDB GestoreDb;
  std::shared_ptr<data::Connection> ConnessioneDb;

  bool Aperto() const { return ConnessioneDb && ConnessioneDb->isOpen(); }
  // A new connection to the file; the previous one stays if the file is refused.
  void ApriConnessione(const QString &nomeCompleto);
  // The user tables (names not beginning exactly "MSys"), each with its catalogue index. The
  // catalogue read stays as the handle of the names.
  std::vector<std::pair<QString, int>> ElencaTabelle(const QString &nomeCompleto);
  // The name of the catalogue table of that index (empty when there is none).
  QString NomeCatalogo(int indice) const;

  // ConnessioneDb, or a clear failure when no database is open.
  data::Connection &Connessione();
  void Esegui(const std::string &sql, int64_t *righe = nullptr);
  void EseguiIgnorandoErrori(const std::string &sql);
  // get_Rs on ConnessioneDb.
  std::shared_ptr<data::Recordset> Leggi(const std::string &sql, int cursore, int blocco);
  // Runs the work in a transaction on ConnessioneDb: committed when it ends, rolled back when it
  // fails (the failure then goes on).
  void InTransazione(const std::function<void()> &lavoro);

  // A transaction that a failure left open on the open database, whichever connection of the
  // process holds it, rolled back. True when there was one.
  bool AnnullaTransazioneAperta();

  void Rilascia();

private:
  std::shared_ptr<data::Connection> catalogo_;
  std::vector<std::string> nomiCatalogo_;
};

// After a database was opened: one that another program writes, or that the suite has open, is
// open read-only, and the operator is told at once who has it rather than at the first change.
void AvvisaSeInUso(const BancaDati *banca);

} // namespace tabelle
