#include "print/comando_stampa.h"

#include "app/comune/errori.h"
#include "print/formstampa.h"
#include "print/rapporto.h"

#include <QApplication>

namespace print {

void btnStampa_Click(HostStampa &host) {
  host.ImpostaPrimaAttivazione(false);
  host.AbilitaComandi(false);
  ReportSource *source = host.RecordsetGriglia();
  if (!source) {
    host.AbilitaComandi(true);
    return;
  }
  QApplication::setOverrideCursor(Qt::BusyCursor);
  jet::Status st = ScriviRapporto(*source, host.TabellaCorrente(), percorsoRapporto());
  QApplication::restoreOverrideCursor();
  if (!st.isOk()) {
    SegnalaErrore(st.number(), QString::fromStdString(st.message()));
    host.AbilitaComandi(true);
    return;
  }
  if (previewFunction())
    previewFunction()(host.finestra());
  host.AbilitaComandi(true);
}

} // namespace print
