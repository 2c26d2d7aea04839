#pragma once
// The "Stampa (F9)" command of the main window: the report of the rows in the grid, then the
// preview. The main window wires it by implementing HostStampa.
#include "print/report_source.h"

#include <string>

class QWidget;

namespace print {

// What the command needs of the main window.
class HostStampa {
public:
  virtual ~HostStampa() = default;
  // Enables or disables the commands around the grid while the report and its preview are up.
  virtual void AbilitaComandi(bool abilita) = 0;
  // Later activations of the main window only give the focus back to the grid.
  virtual void ImpostaPrimaAttivazione(bool valore) = 0;
  // The rows of the grid, in its order and under its filter; null when no grid is loaded.
  virtual ReportSource *RecordsetGriglia() = 0;
  // The table behind the working copy, as the table list spells it.
  virtual std::string TabellaCorrente() const = 0;
  // The window that owns the preview and the messages.
  virtual QWidget *finestra() = 0;
};

// Writes the report file and shows the preview modally. A failure is shown with its number and
// description; the commands come back enabled and the grid's row stays where it was either way.
void btnStampa_Click(HostStampa &host);

} // namespace print
