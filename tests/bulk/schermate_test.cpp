// Pictures of both dialogs halfway through a condition, for looking at them: only when
// VASK_SCHERMATE names a folder and a display is there (run under Xvfb).
#include "app/principale.h"
#include "banco.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdlib>

using bulktest::Banco;

namespace {

class Schermate : public Banco {
protected:
  void Fotografa(const QString &nome) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 800)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const QString file = qEnvironmentVariable("VASK_SCHERMATE") + u'/' + nome;
    ASSERT_EQ(std::system(("import -window root '" + file + "'").toLocal8Bit().constData()), 0);
  }
};

TEST_F(Schermate, BothDialogsHalfwayThroughACondition) {
  if (qEnvironmentVariableIsEmpty("VASK_SCHERMATE") || qEnvironmentVariableIsEmpty("DISPLAY"))
    GTEST_SKIP() << "VASK_SCHERMATE and a display are needed for the pictures";
  VASK_REQUIRE_FIXTURES();
  // Fonts and locale as the program sets them.
  PreparaApplicazione(*qApp);
  Apri("CLIENTI");
  finestra_->move(0, 0);
  attiva_ = canc_.get();
  canc_->ProceduraCancella();
  Giu();
  Invio();
  Campo(QStringLiteral("ID"));
  Operatore(2);
  Svuota();
  Scrivi(QStringLiteral("10"));
  Invio();
  Giu();
  Invio();
  Campo(QStringLiteral("Fido"));
  Operatore(4);
  Svuota();
  Scrivi(QStringLiteral("1500,5"));
  Fotografa(QStringLiteral("cancella.png"));
  Esc();

  attiva_ = mod_.get();
  mod_->btnModifica_Click();
  Giu();
  Invio();
  Campo(QStringLiteral("DataInserimento"));
  cm_.txValoreMod->selectAll();
  Scrivi(QStringLiteral("020324"));
  Invio();
  Campo(QStringLiteral("Citta"));
  Operatore(1);
  Fotografa(QStringLiteral("modifica.png"));
  Esc();

  // A long new value, and the longest operators.
  ValoreLungoEDueCondizioni();
  Fotografa(QStringLiteral("modifica_lunga.png"));
  Esc();
}

} // namespace
