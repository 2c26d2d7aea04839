#pragma once
// What the maintenance panels need of the main window: the shared connection ConnessioneDb, the
// table chosen in the list, the database file, the command frame they are centred in, and the
// enabling of "Struttura" and "Azzera".
#include <QString>
#include <memory>

class QWidget;
namespace data {
class Connection;
}

class ContestoManutenzione {
public:
  virtual ~ContestoManutenzione() = default;
  // ConnessioneDb; throws ErroreVask where no database is open.
  virtual std::shared_ptr<data::Connection> ConnessioneDb() = 0;
  virtual QString TabellaCorrente() const = 0;
  // PercorsoDb + NomeDb.
  virtual QString FileDatabase() const = 0;
  virtual QWidget *Frame_main() const = 0;
  virtual void AbilitaManutenzione(bool abilitato) = 0;
};
