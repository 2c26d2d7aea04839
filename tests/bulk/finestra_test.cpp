// The bulk dialogs in the main window: the fixed lists at first activation, F7 and F6 in the
// grid, and the way back to the window's commands.
#include "app/accessodb.h"
#include "app/comune/messaggi.h"
#include "app/comune/tasti.h"
#include "app/frmmain.h"
#include "bulk/dialoghi_bulk.h"
#include "test_support.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
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
