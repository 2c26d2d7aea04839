#pragma once
// Both bulk dialogs as the main window holds them: the frames filled with their controls, the
// fixed lists, and the commands "Cancella (F7)" and "Modifica (F6)".
#include "bulk/procedure.h"

#include <memory>

namespace bulk {

class DialoghiBulk {
public:
  DialoghiBulk(QFrame *frCancella, Forma *shCancella, QLabel *lbCancella, QFrame *frModifica,
               Forma *shModifica, QLabel *lbModifica, AmbienteBulk ambiente);
  ~DialoghiBulk();

  // The main window's first activation fills the fixed lists of both frames.
  void RiempiOperatori();
  void ProceduraCancella() { Cancellazione->ProceduraCancella(); }
  void btnModifica_Click() { Modifica->btnModifica_Click(); }

  ControlliCondizione Cancella;
  ControlliModifica Modifiche;
  std::unique_ptr<ProceduraCancellazione> Cancellazione;
  std::unique_ptr<ProceduraModifica> Modifica;
};

} // namespace bulk
