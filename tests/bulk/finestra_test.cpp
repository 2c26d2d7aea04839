// The bulk dialogs in the main window: the fixed lists at first activation, F7 and F6 in the
// grid, the way back to the window's commands, and a modify carried to the file by F10.
#include "app/accessodb.h"
#include "app/comune/dialoghi.h"
#include "app/comune/fungen.h"
#include "app/comune/messaggi.h"
#include "app/comune/tasti.h"
#include "app/frmmain.h"
#include "bulk/condizioni.h"
#include "bulk/dialoghi_bulk.h"
#include "grid/griglia_dati.h"
#include "table/gestione_tabelle.h"
#include "test_support.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <gtest/gtest.h>

TEST(FinestraBulk, FixedListsAndShortcutsOfTheMainWindow) {
  vasktest::TempDir dir;
  frmMain::ImpostaCartellaProgramma(QString::fromStdString(dir.path().string()));
  frmMain w([] { return std::make_unique<DatabaseNonCollegato>(); });
  w.Termina = [] {};
  MsgBoxSimulato box;
  w.Form_Activate();
  frmMain::ImpostaCartellaProgramma(QString());
  ASSERT_TRUE(w.Bulk);

  for (const bulk::ControlliCondizione *c : {&w.Bulk->Cancella, &w.Bulk->Modifiche.c}) {
    ASSERT_EQ(c->ListAmbito->count(), 2);
    EXPECT_EQ(c->ListAmbito->item(0)->text(), QStringLiteral("TUTTI"));
    EXPECT_EQ(c->ListAmbito->item(1)->text(), QStringLiteral("SELEZIONE"));
    ASSERT_EQ(c->ListOperatori->count(), 8);
    EXPECT_EQ(c->ListOperatori->item(0)->text(), QStringLiteral("UGUALE  A"));
    ASSERT_EQ(c->ListConcatena->count(), 3);
    EXPECT_EQ(c->ListConcatena->item(0)->text(), QStringLiteral("- OK -"));
    EXPECT_EQ(c->ListConcatena->item(1)->text(), QStringLiteral("  E  "));
    EXPECT_EQ(c->ListConcatena->item(2)->text(), QStringLiteral("  O  "));
  }
  EXPECT_EQ(w.Bulk->Cancella.ListAmbito->parentWidget(), w.frCancella);
  EXPECT_EQ(w.Bulk->Modifiche.List5_Mod->parentWidget(), w.frModifica);

  // F7 and F6 in the grid open the dialogs over a disabled window; Esc gives everything back.
  w.btnTabella->setEnabled(true);
  for (int tasto : {vbKeyF7, vbKeyF6}) {
    int codice = tasto;
    w.grTabelle_TastoGiu(codice, 0);
    QFrame *fr = tasto == vbKeyF7 ? static_cast<QFrame *>(w.frCancella) : w.frModifica;
    bulk::ProceduraCondizione *p =
        tasto == vbKeyF7 ? static_cast<bulk::ProceduraCondizione *>(w.Bulk->Cancellazione.get())
                         : w.Bulk->Modifica.get();
    EXPECT_FALSE(fr->isHidden());
    EXPECT_FALSE(w.Frame_main->isEnabled());
    EXPECT_FALSE(w.btnTabella->isEnabled());
    EXPECT_FALSE(w.btnFine->isEnabled());
    EXPECT_FALSE(w.btn_info->isEnabled());
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(p->Focale(), &esc);
    EXPECT_TRUE(fr->isHidden());
    EXPECT_TRUE(w.Frame_main->isEnabled());
    EXPECT_TRUE(w.btnTabella->isEnabled());
    EXPECT_TRUE(w.btnFine->isEnabled());
  }
  EXPECT_TRUE(box.Mostrati().empty());
}

// In the whole window: F6 on a 70,000-character memo, the value left as it stands, a condition,
// then F10; the saved table holds the memo whole for the independent reader.
TEST(FinestraBulk, AMemoModifiedAndSavedStaysWhole) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  const auto db = vasktest::copyFixture("suite/zelbo.mdb", dir);
  frmMain::ImpostaCartellaProgramma(QString::fromStdString(dir.path().string()));
  PercorsoDb.clear();
  NomeDb.clear();
  MsgBoxSimulato box;
  ApriFileSimulato dialogo;
  frmMain w;
  w.Termina = [] {};
  w.show();
  QCoreApplication::processEvents();
  dialogo.Rispondi(QString::fromStdString(db.string()));
  w.btnDatabase->click();
  auto trovati = w.List1->findItems(QStringLiteral("TipiDati"), Qt::MatchExactly);
  ASSERT_EQ(trovati.size(), 1);
  w.List1->setCurrentItem(trovati[0]);
  w.Tabelle->List1_Click();
  w.btnTabella->click();
  QCoreApplication::processEvents();
  frmMain::ImpostaCartellaProgramma(QString());

  bulk::ProceduraModifica *m = w.Bulk->Modifica.get();
  auto premi = [](QWidget *dove, int tasto, const QString &testo) {
    ASSERT_TRUE(dove);
    QKeyEvent giu(QEvent::KeyPress, tasto, Qt::NoModifier, testo);
    QApplication::sendEvent(dove, &giu);
    QKeyEvent su(QEvent::KeyRelease, tasto, Qt::NoModifier, testo);
    QApplication::sendEvent(dove, &su);
    QCoreApplication::processEvents();
  };
  auto scegli = [&](const QString &voce) {
    auto *l = qobject_cast<QListWidget *>(m->Focale());
    ASSERT_TRUE(l);
    auto v = l->findItems(voce, Qt::MatchExactly);
    ASSERT_EQ(v.size(), 1) << voce.toStdString();
    while (l->currentRow() < l->row(v[0]))
      premi(l, Qt::Key_Down, QString());
    premi(l, Qt::Key_Return, QStringLiteral("\r"));
  };
  premi(w.Griglia->vista(), Qt::Key_F6, QString());
  ASSERT_FALSE(w.frModifica->isHidden());
  scegli(bulk::kSelezione);
  scegli(QStringLiteral("Memo"));
  ASSERT_EQ(m->Focale(), static_cast<QWidget *>(w.Bulk->Modifiche.txValoreMod));
  EXPECT_EQ(w.Bulk->Modifiche.txValoreMod->text().size(), 70000);
  premi(m->Focale(), Qt::Key_Return, QStringLiteral("\r"));
  scegli(QStringLiteral("ID"));
  scegli(QStringLiteral("UGUALE  A"));
  premi(m->Focale(), Qt::Key_End, QString());
  premi(m->Focale(), Qt::Key_Backspace, QStringLiteral("\b"));
  premi(m->Focale(), Qt::Key_4, QStringLiteral("4"));
  premi(m->Focale(), Qt::Key_Return, QStringLiteral("\r"));
  box.Rispondi(vbOK);
  scegli(bulk::kOk);
  EXPECT_TRUE(w.frModifica->isHidden());
  EXPECT_EQ(m->strSql, QStringLiteral("( [ID] = 4)"));
  premi(w.Griglia->vista(), Qt::Key_F10, QString());
  for (const auto &b : box.Mostrati())
    EXPECT_NE(b.titolo, QStringLiteral("Errore")) << b.testo.toStdString();

  vasktest::expectCheckClean(db);
  const auto righe = vasktest::mdbExportRows(db, "TipiDati");
  ASSERT_GE(righe.size(), 5u);
  EXPECT_EQ(righe[0][9], "Memo");
  for (const auto &r : righe)
    if (r[0] == "1" || r[0] == "4")
      EXPECT_EQ(QString::fromStdString(r[9]).size(), 70000) << "ID " << r[0];
}
