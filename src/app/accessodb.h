#pragma once
// What the main window asks of the database side: the shared connection ConnessioneDb held by
// GestoreDb, the catalogue's user tables, and the statements that run with errors ignored.
//
// The window creates one AccessoDatabase on load (GestoreDb) through a factory; the program's
// own is DatabaseManDB over the engine. Failures are thrown as ErroreVask (app/comune/errori.h).
#include <QString>
#include <memory>
#include <vector>

namespace tabelle {
class BancaDati;
}

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
  // The engine side the table windows work on; null where there is none.
  virtual std::shared_ptr<tabelle::BancaDati> Banca() const { return nullptr; }
};

class DatabaseNonCollegato : public AccessoDatabase {
public:
  bool Collegato() const override { return false; }
  void ApriConnessione(const QString &nomeCompleto) override;
  std::vector<VoceTabella> ElencaTabelle(const QString &) override { return {}; }
  void EseguiIgnorandoErrori(const QString &) override {}
  void Rilascia() override {}
};

// GestoreDb over ManDB and the engine.
class DatabaseManDB : public AccessoDatabase {
public:
  DatabaseManDB();
  bool Collegato() const override { return true; }
  void ApriConnessione(const QString &nomeCompleto) override;
  std::vector<VoceTabella> ElencaTabelle(const QString &nomeCompleto) override;
  void EseguiIgnorandoErrori(const QString &sql) override;
  void Rilascia() override;
  std::shared_ptr<tabelle::BancaDati> Banca() const override { return banca_; }

private:
  std::shared_ptr<tabelle::BancaDati> banca_;
};

// The program's GestoreDb.
std::unique_ptr<AccessoDatabase> CreaGestoreDb();
