#pragma once
// What the main window asks of the database side: the shared connection ConnessioneDb held by
// GestoreDb, the catalogue's user tables, and the statements that run with errors ignored.
//
// The window creates one AccessoDatabase on load (GestoreDb) through a factory. Until the engine
// is wired in, the factory gives DatabaseNonCollegato, which cannot open anything: a configured
// database is then simply not opened. The layer that wires ManDB provides the real one by
// changing CreaGestoreDb. Failures are thrown as ErroreVask (app/comune/errori.h).
#include <QString>
#include <memory>
#include <vector>

struct VoceTabella {
  QString nome;
  int indice; // the table's index in the catalogue's table collection
};

class AccessoDatabase {
public:
  virtual ~AccessoDatabase() = default;

  // False while no engine can open a database.
  virtual bool Collegato() const = 0;
  // ConnessioneDb becomes a new connection to the file (get_Conn), replacing the previous one.
  virtual void ApriConnessione(const QString &nomeCompleto) = 0;
  // The user tables of the file (names not beginning "MSys"), in catalogue order.
  virtual std::vector<VoceTabella> ElencaTabelle(const QString &nomeCompleto) = 0;
  // Runs a statement on ConnessioneDb; any failure, or the lack of a connection, is ignored.
  virtual void EseguiIgnorandoErrori(const QString &sql) = 0;
  // Releases ConnessioneDb and everything GestoreDb holds.
  virtual void Rilascia() = 0;
};

class DatabaseNonCollegato : public AccessoDatabase {
public:
  bool Collegato() const override { return false; }
  void ApriConnessione(const QString &nomeCompleto) override;
  std::vector<VoceTabella> ElencaTabelle(const QString &) override { return {}; }
  void EseguiIgnorandoErrori(const QString &) override {}
  void Rilascia() override {}
};

// The program's GestoreDb.
std::unique_ptr<AccessoDatabase> CreaGestoreDb();
