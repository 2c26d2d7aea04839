#include "bulk/dialoghi_bulk.h"

namespace bulk {

DialoghiBulk::DialoghiBulk(QFrame *frCancella, Forma *shCancella, QLabel *lbCancella,
                           QFrame *frModifica, Forma *shModifica, QLabel *lbModifica,
                           AmbienteBulk ambiente)
    : Cancella(CreaControlliCancella(frCancella, shCancella, lbCancella)),
      Modifiche(CreaControlliModifica(frModifica, shModifica, lbModifica)),
      Cancellazione(std::make_unique<ProceduraCancellazione>(Cancella, ambiente)),
      Modifica(std::make_unique<ProceduraModifica>(Modifiche, ambiente)) {}

DialoghiBulk::~DialoghiBulk() = default;

void DialoghiBulk::RiempiOperatori() {
  RiempiListeFisse(Cancella);
  RiempiListeFisse(Modifiche.c);
}

} // namespace bulk
