#pragma once
// The main window on a copy of the suite's database, with the test's answers to every message
// box and file dialog, and the operator's clicks and keys.
#include "app/comune/dialoghi.h"
#include "app/comune/fungen.h"
#include "app/comune/messaggi.h"
#include "app/frmmain.h"
#include "grid/griglia_dati.h"
#include "table/gestione_tabelle.h"
#include "test_support.h"

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

namespace vasktest {

namespace fs = std::filesystem;

inline const char *const kZelbo = "suite/zelbo.mdb";

inline void giraEventi() {
  for (int i = 0; i < 4; ++i)
    QCoreApplication::processEvents();
}

struct Finestra : ::testing::Test {
  vasktest::TempDir dir;
  fs::path db;
  MsgBoxSimulato box;
  ApriFileSimulato dialogo;
  std::unique_ptr<frmMain> w;
  tabelle::GestioneTabelle *t = nullptr;
  grid::GrigliaDati *g = nullptr;

  void SetUp() override {
    VASK_REQUIRE_FIXTURES();
    db = vasktest::copyFixture(kZelbo, dir);
    frmMain::ImpostaCartellaProgramma(QString::fromStdString(dir.path().string()));
    PercorsoDb.clear();
    NomeDb.clear();
    w = std::make_unique<frmMain>();
    w->Termina = [] {};
    w->show();
    QApplication::setActiveWindow(w.get());
    giraEventi();
    t = w->Tabelle.get();
    g = w->Griglia;
  }
  void TearDown() override {
    if (w)
      w->hide();
    w.reset();
  }

  QString nomeDb() const { return QString::fromStdString(db.string()); }
  void apriDb() {
    dialogo.Rispondi(nomeDb());
    w->btnDatabase->click();
    giraEventi();
  }
  void scegli(const QString &tabella) {
    auto trovati = w->List1->findItems(tabella, Qt::MatchExactly);
    ASSERT_EQ(trovati.size(), 1) << tabella.toStdString();
    w->List1->setCurrentItem(trovati[0]);
    t->List1_Click();
  }
  void apri(const QString &tabella) {
    scegli(tabella);
    w->btnTabella->click();
    giraEventi();
  }
  QString stato(int pannello) { return TestoStato(pannello); }
  QStringList testiMostrati() {
    QStringList l;
    for (const auto &m : box.Mostrati())
      l << m.testo;
    return l;
  }
  // Runs SQL on the file outside the window (to shape a table before it is opened).
  void prepara(const std::vector<std::string> &istruzioni) {
    auto c = t->Banca()->GestoreDb.get_Conn(db.string());
    ASSERT_TRUE(c.isOk());
    for (const auto &s : istruzioni)
      ASSERT_TRUE((*c)->Execute(s).isOk()) << s;
  }
  void tasto(int k, Qt::KeyboardModifiers m = Qt::NoModifier) {
    QKeyEvent giu(QEvent::KeyPress, k, m);
    QApplication::sendEvent(g->vista(), &giu);
    giraEventi();
  }

  // The operator's hands: real clicks and key strokes where they land.
  void clicca(QWidget *dove, QPoint punto = QPoint()) {
    QTest::mouseClick(dove, Qt::LeftButton, Qt::NoModifier, punto);
    giraEventi();
  }
  void cliccaTabella(const QString &tabella) {
    auto trovati = w->List1->findItems(tabella, Qt::MatchExactly);
    ASSERT_EQ(trovati.size(), 1) << tabella.toStdString();
    w->List1->scrollToItem(trovati[0]);
    clicca(w->List1->viewport(), w->List1->visualItemRect(trovati[0]).center());
  }
  void cliccaCella(int riga, int colonna) {
    QModelIndex i = g->vista()->model()->index(riga, colonna);
    g->vista()->scrollTo(i);
    clicca(g->vista()->viewport(), g->vista()->visualRect(i).center());
  }
  // Keys go where the focus is, as the operator's keyboard sends them.
  void premi(int k, Qt::KeyboardModifiers m = Qt::NoModifier) {
    QWidget *dove = QApplication::focusWidget();
    ASSERT_NE(dove, nullptr);
    QTest::keyClick(dove, Qt::Key(k), m);
    giraEventi();
  }
  // One key at a time: the first may open an editor that takes the rest.
  void scrivi(const QString &testo) {
    for (QChar c : testo) {
      QWidget *dove = QApplication::focusWidget();
      ASSERT_NE(dove, nullptr);
      QTest::keyClick(dove, c.toLatin1());
      giraEventi();
    }
  }
  int campo(const char *nome) { return g->RecordsetGriglia()->fieldIndex(nome); }
  long righe() { return g->RecordsetGriglia() ? g->RecordsetGriglia()->RecordCount() : -1; }
};

} // namespace vasktest
