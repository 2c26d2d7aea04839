#include "app/stampa_main.h"

#include "app/comune/fungen.h"
#include "app/frmmain.h"
#include "grid/griglia_dati.h"
#include "print/comando_stampa.h"
#include "print/recordset_source.h"

#include <memory>

namespace {

class HostFrmMain : public print::HostStampa {
public:
  explicit HostFrmMain(frmMain &f) : f_(f) {}
  void AbilitaComandi(bool abilita) override { f_.AbilitaComandi(abilita); }
  void ImpostaPrimaAttivazione(bool valore) override { f_.PrimaAttivazione = valore; }
  print::ReportSource *RecordsetGriglia() override {
    auto *griglia = qobject_cast<grid::GrigliaDati *>(f_.grTabelle);
    rs_ = griglia ? griglia->RecordsetGriglia() : nullptr;
    if (!rs_)
      return nullptr;
    source_ = std::make_unique<print::RecordsetSource>(*rs_);
    return source_.get();
  }
  std::string TabellaCorrente() const override { return f_.Stato.TabellaCopia.toStdString(); }
  QWidget *finestra() override { return &f_; }

private:
  frmMain &f_;
  std::shared_ptr<data::Recordset> rs_;
  std::unique_ptr<print::RecordsetSource> source_;
};

} // namespace

void InstallaStampa(frmMain &f) {
  auto host = std::make_shared<HostFrmMain>(f);
  f.Comandi.Stampa = [host] { print::btnStampa_Click(*host); };
}
