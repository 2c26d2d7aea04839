#pragma once
// The year-end reset without its panel: the groups of tables, the safety copy of the file, and
// the statements of the ticked groups with the fiscal-year update, all in one transaction.
#include "app/comune/errori.h"
#include "jet/status.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace data {
class Connection;
}

struct GruppoAzzera {
  QString didascalia;  // caption of its check box
  QStringList tabelle; // emptied in this order
};

// The fourteen groups, by index of ckAzzera.
const std::vector<GruppoAzzera> &GruppiAzzera();

// What the reset asks of ConnessioneDb.
class BancaDatiAzzera {
public:
  virtual ~BancaDatiAzzera() = default;
  virtual bool HaTabella(const QString &tabella) = 0;
  // The rows the table holds now.
  virtual jet::Result<int64_t> Righe(const QString &tabella) = 0;
  // righe, where given, receives the rows the statement touched.
  virtual jet::Status Esegui(const QString &sql, int64_t *righe = nullptr) = 0;
  virtual jet::Status BeginTrans() = 0;
  virtual jet::Status CommitTrans() = 0;
  virtual jet::Status RollbackTrans() = 0;
};

// BancaDatiAzzera over a data::Connection.
class BancaDatiConnessione : public BancaDatiAzzera {
public:
  explicit BancaDatiConnessione(data::Connection &c) : c_(c) {}
  bool HaTabella(const QString &tabella) override;
  jet::Result<int64_t> Righe(const QString &tabella) override;
  jet::Status Esegui(const QString &sql, int64_t *righe = nullptr) override;
  jet::Status BeginTrans() override;
  jet::Status CommitTrans() override;
  jet::Status RollbackTrans() override;

private:
  data::Connection &c_;
};

// The safety copy could not be written: nothing was changed.
class ErroreCopia : public ErroreVask {
public:
  using ErroreVask::ErroreVask;
};

// A statement of the reset failed: everything was rolled back. The description is the
// database's; copia names the safety copy, which stays.
class ErroreAzzeramento : public ErroreVask {
public:
  ErroreAzzeramento(const jet::Status &s, QString copia)
      : ErroreVask(s), copia_(std::move(copia)) {}
  const QString &Copia() const { return copia_; }

private:
  QString copia_;
};

struct RichiestaAzzera {
  std::vector<int> gruppi; // ticked indexes, any order
  std::optional<int> anno; // the new fiscal year, where ckAnno is ticked
};

struct EsitoAzzera {
  struct Svuotata {
    QString tabella;
    int64_t righe; // rows it held before the reset
  };
  std::vector<Svuotata> svuotate;
  QStringList saltate;         // tables of ticked groups the database lacks
  std::optional<int> anno;     // fiscal year written
  bool vociSenzaRighe = false; // the year was asked for, but Voci has no row to hold it
  QString copia;               // full name of the safety copy; empty where nothing was to change
  QStringList istruzioni;      // the statements run, in order
};

// The year as the reset accepts it: a whole number from 1900 to 9999, blanks around allowed.
std::optional<int> AnnoValido(const QString &testo);

// The fiscal year of Voci: Annofis of the first row; the current year where Voci has no rows.
// A missing table or field, or a value that is no whole year, throws ErroreVask.
int LeggiAnnoFiscale(data::Connection &c);

// "zelbo.mdb" at 31/12/2026 18:30:00 gives "zelbo-20261231-183000.mdb", in the file's folder.
QString NomeCopia(const QString &fileDb, const QDateTime &quando);
// Copies the file beside itself under NomeCopia (a free name: "-2", "-3" are added where one is
// taken), written whole or not at all. Throws ErroreCopia saying why. Returns the copy's name.
QString SalvaCopia(const QString &fileDb, const QDateTime &quando);

// Runs the reset. Nothing to change (no group, or only missing tables, and no year) does
// nothing at all. Otherwise: the copy, then one transaction.
EsitoAzzera EseguiAzzeramento(BancaDatiAzzera &db, const QString &fileDb,
                              const RichiestaAzzera &richiesta,
                              const QDateTime &quando = QDateTime::currentDateTime());

// The closing message.
QString TestoEsito(const EsitoAzzera &esito);
