#pragma once
// Page counting and the print run of the report file, apart from the window that shows them.
#include "print/stampante.h"

#include <QString>
#include <QStringList>
#include <filesystem>
#include <functional>

namespace print {

// Variables of the preview window: they keep their values for the whole run of the program,
// also while the window is closed.
struct StatoAnteprima {
  int RigheTotali = 0;
  int RigheRiservate = 0;
  int LarghezzaRighe = 0;
  double TotalePagine = 0; // -1 where a page cannot hold one line
  int OrientamentoSalvato = 1;
};
StatoAnteprima &statoAnteprima();

// The report file's lines, decoded from Windows-1252; false where it cannot be read.
bool LeggiRighe(const std::filesystem::path &path, QStringList &lines);

// Counts the lines and finds the "-------" rule lines of the preview's reading of the report.
void ContaRighe(const QStringList &lines, StatoAnteprima &stato);

// Sets the printer's font size by the report width and computes TotalePagine.
// Returns the lines per page, which is not above 0 where the page cannot hold one.
int CalcolaPagine(Printer &printer, StatoAnteprima &stato);

// The caption of the page-total frame for TotalePagine.
QString DidascaliaPagine(const StatoAnteprima &stato);

// "    Pagina  1 di  3"
QString TimbroPagina(int page, double total);

enum class EsitoStampa { Completata, Annullata, Fallita };

struct ControlloStampa {
  // Called after every printed line with the share printed, 0 to 100.
  std::function<void(float)> progress;
  // Lets the window handle its input; called while fitting the width and between lines.
  std::function<void()> processEvents;
  // True once the operator has asked to stop.
  std::function<bool()> cancelled;
};

// The print run of the report file on printer. A failure leaves the printer's orientation as it
// was and the document thrown away; a cancel throws the document away too.
EsitoStampa StampaRapporto(const std::filesystem::path &path, Printer &printer,
                           StatoAnteprima &stato, const ControlloStampa &controllo);

} // namespace print
