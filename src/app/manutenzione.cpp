#include "app/manutenzione.h"

#include "app/comune/errori.h"
#include "app/comune/fungen.h"
#include "app/frmmain.h"
#include "data/man_db.h"
#include "maint/contesto.h"
#include "maint/frazzera.h"
#include "maint/frstruttura.h"

#include <QObject>

namespace {

class ContestoFrmMain : public QObject, public ContestoManutenzione {
public:
  explicit ContestoFrmMain(frmMain &f) : QObject(&f), f_(f) {}

  std::shared_ptr<data::Connection> ConnessioneDb() override {
    // The window's shared connection where a database is open through it.
    if (f_.Comandi.ConnessioneDb)
      if (auto shared = f_.Comandi.ConnessioneDb(); shared && shared->isOpen())
        return shared;
    // Otherwise the connection of the open database: the same file as PercorsoDb + NomeDb, kept
    // until another database is opened.
    const QString file = FileDatabase();
    if (!conn_ || !conn_->isOpen() || file_ != file) {
      conn_.reset();
      data::ManDB gestore([file] { return file.toStdString(); });
      auto c = gestore.get_Conn(file.toStdString());
      Verifica(c.isOk() ? jet::Status() : c.status());
      conn_ = *c;
      file_ = file;
    }
    return conn_;
  }
  QString TabellaCorrente() const override { return f_.Stato.TabellaCorrente; }
  QString FileDatabase() const override { return PercorsoDb + NomeDb; }
  QWidget *Frame_main() const override { return f_.Frame_main; }
  void AbilitaManutenzione(bool abilitato) override { f_.AbilitaManutenzione(abilitato); }

private:
  frmMain &f_;
  std::shared_ptr<data::Connection> conn_;
  QString file_;
};

} // namespace

void InstallaManutenzione(frmMain &f) {
  auto *contesto = new ContestoFrmMain(f);
  auto *struttura =
      new PannelloStruttura(f.frStruttura, f.frStruttura->Bordo, f.frStruttura->Titolo, *contesto);
  auto *azzera = new PannelloAzzera(f.frAzzera, f.frAzzera->Bordo, f.frAzzera->Titolo, *contesto);
  f.Comandi.VediStruttura = [struttura] { struttura->btnVediStruttura_Click(); };
  f.Comandi.Azzera = [azzera] { azzera->btnAzzera_Click(); };
}

PannelloAzzera *PannelloAzzeraDi(const frmMain &f) {
  return f.frAzzera->findChild<PannelloAzzera *>();
}

PannelloStruttura *PannelloStrutturaDi(const frmMain &f) {
  return f.frStruttura->findChild<PannelloStruttura *>();
}
