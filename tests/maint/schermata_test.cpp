// Shows both panels on screen for a while, so that they can be photographed:
//   VASK_SCHERMATA=azzera|struttura VASK_SCHERMATA_SECONDI=6 test_maint --gtest_filter=Schermata.*
// Without VASK_SCHERMATA the test is skipped.
#include "app/comune/fungen.h"
#include "app/frmmain.h"
#include "app/manutenzione.h"
#include "app/principale.h"
#include "maint/frazzera.h"
#include "maint/frstruttura.h"
#include "test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace {

TEST(Schermata, Pannelli) {
  const QByteArray quale = qgetenv("VASK_SCHERMATA");
  if (quale.isEmpty())
    GTEST_SKIP() << "VASK_SCHERMATA non impostata";
  VASK_REQUIRE_FIXTURES();
  PreparaApplicazione(*qApp);
  vasktest::TempDir dir;
  const auto file = vasktest::copyFixture("suite/zelbo.mdb", dir);
  PercorsoDb = QString::fromStdString(dir.path().string()) + u'/';
  NomeDb = QStringLiteral("zelbo.mdb");
  frmMain f;
  f.Stato.TabellaCorrente =
      quale == "struttura" ? QStringLiteral("TipiDati") : QStringLiteral("BUONI");
  f.PrimaAttivazione = false;
  f.show();
  f.List1->addItem(f.Stato.TabellaCorrente);
  f.AbilitaManutenzione(true);
  if (quale == "struttura") {
    f.btnVediStruttura->click();
    if (qEnvironmentVariableIsSet("VASK_SCHERMATA_FINE"))
      PannelloStrutturaDi(f)->rtStruttura->moveCursor(QTextCursor::End);
  } else {
    f.btnAzzera->click();
    PannelloAzzera *p = PannelloAzzeraDi(f);
    p->ckAzzera[0]->setChecked(true);
    p->ckAzzera[13]->setChecked(true);
    p->ckAnno->setChecked(true);
    p->txtAnno->setText(QStringLiteral("2025"));
  }
  QElapsedTimer t;
  t.start();
  const int secondi = qEnvironmentVariableIntValue("VASK_SCHERMATA_SECONDI");
  while (t.elapsed() < 1000 * (secondi > 0 ? secondi : 5))
    QApplication::processEvents(QEventLoop::AllEvents, 50);
}

} // namespace
