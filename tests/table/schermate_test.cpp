// Screenshots of the window for a person to look at: run only with VASK_SCHERMATE set to a
// folder, under an X server (xvfb-run), where imagemagick's import captures the screen.
#include "app/comune/dialoghi.h"
#include "app/comune/errori.h"
#include "app/comune/fungen.h"
#include "app/comune/messaggi.h"
#include "app/frmmain.h"
#include "app/principale.h"
#include "bulk/dialoghi_bulk.h"
#include "data/man_db.h"
#include "grid/griglia_dati.h"
#include "table/banca_dati.h"
#include "table/gestione_tabelle.h"
#include "test_support.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTextEdit>
#include <QThread>
#include <gtest/gtest.h>

namespace {

void attendi() {
  for (int i = 0; i < 20; ++i) {
    QCoreApplication::processEvents();
    QThread::msleep(25);
  }
}

// A key stroke to the control that the bulk dialog focused last.
void premi(bulk::ProceduraCondizione &p, int tasto, const QString &testo = QString()) {
  QWidget *w = p.Focale();
  ASSERT_TRUE(w);
  QKeyEvent giu(QEvent::KeyPress, tasto, Qt::NoModifier, testo);
  QApplication::sendEvent(w, &giu);
  QKeyEvent su(QEvent::KeyRelease, tasto, Qt::NoModifier, testo);
  QApplication::sendEvent(w, &su);
}

// Walks a list step of the dialog to the item with that text and presses Enter.
void scegli(bulk::ProceduraCondizione &p, const QString &testo) {
  auto *l = qobject_cast<QListWidget *>(p.Focale());
  ASSERT_TRUE(l);
  auto trovati = l->findItems(testo, Qt::MatchExactly);
  ASSERT_EQ(trovati.size(), 1) << testo.toStdString();
  premi(p, Qt::Key_Home);
  for (int i = 0; i < l->row(trovati[0]); ++i)
    premi(p, Qt::Key_Down);
  premi(p, Qt::Key_Return, QStringLiteral("\r"));
}

void scrivi(bulk::ProceduraCondizione &p, const QString &testo) {
  for (QChar ch : testo)
    premi(p, ch.isDigit() ? Qt::Key_0 + ch.digitValue() : Qt::Key_Comma, QString(ch));
}

void scatta(const std::string &cartella, const std::string &nome) {
  attendi();
  std::string comando = "import -window root '" + cartella + "/" + nome + ".png'";
  EXPECT_EQ(vasktest::runCommand(comando), 0) << comando;
}

} // namespace

TEST(Schermate, TableListGridFilterAndEditPanel) {
  const char *cartella = std::getenv("VASK_SCHERMATE");
  if (!cartella || QGuiApplication::platformName() != QStringLiteral("xcb"))
    GTEST_SKIP() << "screenshots only with VASK_SCHERMATE set, under an X server";
  VASK_REQUIRE_FIXTURES();
  // Fonts and locale as the program sets them.
  PreparaApplicazione(*qApp);
  vasktest::TempDir dir;
  auto db = vasktest::copyFixture("suite/zelbo.mdb", dir);
  frmMain::ImpostaCartellaProgramma(QString::fromStdString(dir.path().string()));
  MsgBoxSimulato box;
  ApriFileSimulato dialogo;
  frmMain w;
  w.Termina = [] {};
  w.move(0, 0);
  w.show();
  attendi();
  dialogo.Rispondi(QString::fromStdString(db.string()));
  w.btnDatabase->click();
  auto voce = w.List1->findItems(QStringLiteral("CLIENTI"), Qt::MatchExactly);
  ASSERT_EQ(voce.size(), 1);
  w.List1->setCurrentItem(voce[0]);
  w.Tabelle->List1_Click();
  scatta(cartella, "1-elenco-tabelle");

  w.btnTabella->click();
  attendi();
  ASSERT_TRUE(w.Griglia->RecordsetGriglia());
  scatta(cartella, "2-griglia");
  w.Griglia->setRow(1);
  w.Griglia->setCol(w.Griglia->RecordsetGriglia()->fieldIndex("Citta"));
  w.btnFiltro->click();
  scatta(cartella, "3-griglia-filtrata");
  w.Griglia->setCol(w.Griglia->RecordsetGriglia()->fieldIndex("Codice"));
  w.btnEditG->click();
  scatta(cartella, "4-edit-esteso");
  w.btnEscEG->click();

  // Both bulk dialogs over the window, halfway through their second condition.
  w.btnVuota->click();
  attendi();
  bulk::ProceduraCancellazione &canc = *w.Bulk->Cancellazione;
  w.Bulk->ProceduraCancella();
  scegli(canc, QStringLiteral("SELEZIONE"));
  scegli(canc, QStringLiteral("ID"));
  scegli(canc, w.Bulk->Cancella.ListOperatori->item(2)->text());
  if (auto *e = qobject_cast<QLineEdit *>(canc.Focale()))
    e->clear();
  scrivi(canc, QStringLiteral("10"));
  premi(canc, Qt::Key_Return, QStringLiteral("\r"));
  scegli(canc, w.Bulk->Cancella.ListConcatena->item(1)->text());
  scegli(canc, QStringLiteral("Fido"));
  scegli(canc, w.Bulk->Cancella.ListOperatori->item(4)->text());
  if (auto *e = qobject_cast<QLineEdit *>(canc.Focale()))
    e->clear();
  scrivi(canc, QStringLiteral("1500,5"));
  scatta(cartella, "5-cancella");
  premi(canc, Qt::Key_Escape, QStringLiteral("\x1b"));

  bulk::ProceduraModifica &mod = *w.Bulk->Modifica;
  w.Bulk->btnModifica_Click();
  scegli(mod, QStringLiteral("SELEZIONE"));
  scegli(mod, QStringLiteral("Fido"));
  if (auto *e = qobject_cast<QLineEdit *>(mod.Focale()))
    e->selectAll();
  scrivi(mod, QStringLiteral("2000"));
  premi(mod, Qt::Key_Return, QStringLiteral("\r"));
  scegli(mod, QStringLiteral("Citta"));
  scatta(cartella, "6-modifica");
  premi(mod, Qt::Key_Escape, QStringLiteral("\x1b"));
  EXPECT_TRUE(box.Mostrati().empty());
}
