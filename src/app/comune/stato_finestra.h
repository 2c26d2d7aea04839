#pragma once
// The main window's state that the table, bulk, maintenance and print commands share. The main
// window owns the one instance; every other module reads and writes it through a pointer.
#include <QString>

struct StatoFinestra {
  // The table chosen in the table list: the one "Apri Tabella", "Struttura" and "Azzera" use.
  QString TabellaCorrente;
  // The real table the open working copy was made from; empty while no copy is open. "Salva"
  // writes only there, whatever the list shows meanwhile.
  QString TabellaCopia;
  // The grid's row condition; "Where " alone is no filter.
  QString CondizioneFiltro = QStringLiteral("Where ");
  bool HaCampoID = false;
  QString CampoOrdine;
  bool GrigliaVuota = true; // the grid has no rows to show
  bool TabellaVuota = false;

  bool CopiaAperta() const { return !TabellaCopia.isEmpty(); }
};
