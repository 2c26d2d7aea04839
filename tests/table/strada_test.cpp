// The operator's road through the real window, with the mouse and the keyboard only: the table
// list, the grid, the edit windows, a bulk dialog and the save. After every save the file is read
// back by the independent reader and checked with vaskdb.
#include "app/comune/stato_finestra.h"
#include "bulk/dialoghi_bulk.h"
#include "finestra.h"
#include "table/banca_dati.h"

#include <QCursor>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>

using vasktest::Finestra;
using vasktest::giraEventi;
using vasktest::mdbExport;

namespace {

long righeCsv(const std::string &csv) {
  return long(std::count(csv.begin(), csv.end(), '\n')) - 1;
}

// The value of one field in every row of the engine's own ORDER BY on the working copy.
QStringList ordineMotore(tabelle::BancaDati &b, const std::string &campo) {
  auto rs = b.Leggi("select * from TemporaneaVask order by " + campo, 1, 1);
  QStringList l;
  for (; !rs->isEOF(); rs->MoveNext())
    l << QString::fromStdString(rs->value(campo)->as<std::string>());
  rs->Close();
  return l;
}

} // namespace

TEST_F(Finestra, SaveGoesOnlyIntoTheTableTheCopyCameFrom) {
  apriDb();
  const std::string spese = mdbExport(db, "SPESERICAVI");
  cliccaTabella("INCPAG");
  clicca(w->btnTabella);
  ASSERT_EQ(righe(), 180);
  cliccaCella(0, campo("Descrizione"));
  scrivi("Incasso corretto");
  premi(Qt::Key_Return);
  // Another table clicked meanwhile changes neither the caption nor the status bar.
  cliccaTabella("SPESERICAVI");
  EXPECT_EQ(w->Stato.TabellaCorrente, QStringLiteral("SPESERICAVI"));
  EXPECT_EQ(g->Titolo(), QStringLiteral("Tabella: INCPAG - Ordine su ID"));
  EXPECT_TRUE(stato(3).startsWith(QStringLiteral("Record "))) << stato(3).toStdString();
  EXPECT_FALSE(w->btnVediStruttura->isEnabled());
  cliccaCella(1, 1);
  premi(Qt::Key_F10);
  EXPECT_TRUE(box.Mostrati().empty()) << testiMostrati().join("|").toStdString();
  EXPECT_FALSE(w->btnSalva->isEnabled());
  EXPECT_EQ(mdbExport(db, "SPESERICAVI"), spese);
  const std::string incpag = mdbExport(db, "INCPAG");
  EXPECT_EQ(righeCsv(incpag), 180);
  EXPECT_NE(incpag.find("\"Incasso corretto\""), std::string::npos);
  vasktest::expectCheckClean(db);
}

TEST_F(Finestra, TheKeyboardAloneChoosesAndOpensTables) {
  apriDb();
  w->List1->setFocus();
  premi(Qt::Key_Down);
  premi(Qt::Key_Down);
  const QString scelta = w->List1->currentItem()->text();
  EXPECT_EQ(w->Stato.TabellaCorrente, scelta);
  EXPECT_TRUE(stato(3).startsWith(scelta)) << stato(3).toStdString();
  premi(Qt::Key_Return);
  EXPECT_TRUE(box.Mostrati().empty()) << testiMostrati().join("|").toStdString();
  EXPECT_TRUE(g->Titolo().startsWith(QStringLiteral("Tabella: ") + scelta.toUpper()));
  // Esc outside a cell edit throws the copy away; then typing a name finds it in the list.
  premi(Qt::Key_Escape);
  EXPECT_FALSE(w->btnSalva->isEnabled());
  w->List1->setFocus();
  // The list takes typed letters as one search only within the platform's interval: the
  // operator's pause after the space key sent at the opening.
  QTest::qWait(QApplication::keyboardInputInterval() + 100);
  scrivi(QStringLiteral("Tip"));
  EXPECT_EQ(w->Stato.TabellaCorrente, QStringLiteral("TipiDati"));
  premi(Qt::Key_Return);
  EXPECT_EQ(g->Titolo(), QStringLiteral("Tabella: TIPIDATI - Ordine su ID"));
}

TEST_F(Finestra, EditWindowsGiveBackCrLfTextsByteForByte) {
  apriDb();
  cliccaTabella("TipiDati");
  clicca(w->btnTabella);
  const int memo = campo("Memo");
  // Row ID 4 holds "Uno", "Due", "Tre" on three lines ended CR LF.
  cliccaCella(3, memo);
  premi(Qt::Key_Return, Qt::ControlModifier);
  ASSERT_TRUE(w->frEditG->isVisible());
  clicca(w->btnSalvaEG);
  // The grid's own editor, opened and left without typing.
  cliccaCella(3, memo);
  QTest::mouseDClick(g->vista()->viewport(), Qt::LeftButton, Qt::NoModifier,
                     g->vista()->visualRect(g->vista()->model()->index(3, memo)).center());
  giraEventi();
  ASSERT_TRUE(g->EditInCorso());
  cliccaCella(2, memo);
  EXPECT_FALSE(g->EditInCorso());
  premi(Qt::Key_F10);
  EXPECT_TRUE(box.Mostrati().empty()) << testiMostrati().join("|").toStdString();
  EXPECT_NE(mdbExport(db, "TipiDati").find("\"Uno\r\nDue\r\nTre\""), std::string::npos);

  // A line typed in the window is ended CR LF like the others.
  cliccaTabella("TipiDati");
  clicca(w->btnTabella);
  cliccaCella(3, memo);
  premi(Qt::Key_Return, Qt::ControlModifier);
  ASSERT_TRUE(w->frEditG->isVisible());
  premi(Qt::Key_End, Qt::ControlModifier);
  premi(Qt::Key_Return);
  scrivi(QStringLiteral("Quattro"));
  clicca(w->btnSalvaEG);
  premi(Qt::Key_F10);
  EXPECT_TRUE(box.Mostrati().empty()) << testiMostrati().join("|").toStdString();
  EXPECT_NE(mdbExport(db, "TipiDati").find("\"Uno\r\nDue\r\nTre\r\nQuattro\""), std::string::npos);
  vasktest::expectCheckClean(db);
}

TEST_F(Finestra, TheFirstRowsOfAnEmptyTableAreNumberedAndSaved) {
  apriDb();
  cliccaTabella("Vuota");
  box.Rispondi(vbYes);
  clicca(w->btnTabella);
  ASSERT_EQ(righe(), 1);
  auto rs = g->RecordsetGriglia();
  EXPECT_EQ(rs->valueAt(0, campo("ID")), jet::Value(int32_t(1)));
  premi(Qt::Key_Insert);
  ASSERT_EQ(righe(), 2);
  EXPECT_EQ(g->RecordsetGriglia()->valueAt(1, campo("ID")), jet::Value(int32_t(2)));
  premi(Qt::Key_F10);
  ASSERT_EQ(box.Mostrati().size(), 1u) << testiMostrati().join("|").toStdString();
  const std::string vuota = mdbExport(db, "Vuota");
  EXPECT_EQ(righeCsv(vuota), 2) << vuota;
  EXPECT_NE(vuota.find("\n1,"), std::string::npos) << vuota;
  EXPECT_NE(vuota.find("\n2,"), std::string::npos) << vuota;
  vasktest::expectCheckClean(db);
}

TEST_F(Finestra, AHeadingClickOrdersTextAsTheEngineDoes) {
  apriDb();
  cliccaTabella("SPESERICAVI");
  clicca(w->btnTabella);
  const int descr = campo("Descrizione");
  QHeaderView *h = g->vista()->horizontalHeader();
  clicca(h->viewport(),
         QPoint(h->sectionViewportPosition(descr) + h->sectionSize(descr) / 2, h->height() / 2));
  auto rs = g->RecordsetGriglia();
  QStringList griglia;
  for (long i = 0; i < rs->RecordCount(); ++i)
    griglia << QString::fromStdString(rs->valueAt(i, descr).as<std::string>());
  const QStringList motore = ordineMotore(*t->Banca(), "Descrizione");
  ASSERT_EQ(griglia.size(), 150);
  EXPECT_EQ(griglia, motore);
  // "Àlfa ..." comes with the A's, not after the Z's.
  EXPECT_TRUE(griglia.front().startsWith(QChar(0xC0)) || griglia.front().startsWith(u'A'))
      << griglia.front().toStdString();
}

TEST_F(Finestra, ABulkDialogHoldsTheTableListAndDatabase) {
  apriDb();
  cliccaTabella("BUONI");
  clicca(w->btnTabella);
  cliccaCella(0, 1);
  premi(Qt::Key_F7);
  ASSERT_TRUE(w->frCancella->isVisible());
  EXPECT_FALSE(w->List1->isEnabled());
  EXPECT_FALSE(w->btnDatabase->isEnabled());
  cliccaTabella("CLIENTI");
  EXPECT_EQ(w->Stato.TabellaCorrente, QStringLiteral("BUONI"));
  EXPECT_FALSE(w->btnVediStruttura->isEnabled());
  EXPECT_FALSE(w->btnAzzera->isEnabled());
  // Esc closes the dialog; it never asks to quit.
  premi(Qt::Key_Escape);
  EXPECT_FALSE(w->frCancella->isVisible());
  EXPECT_TRUE(box.Mostrati().empty()) << testiMostrati().join("|").toStdString();
  EXPECT_TRUE(w->List1->isEnabled());
  EXPECT_FALSE(w->btnDatabase->isEnabled()); // the copy is still open
  EXPECT_TRUE(w->btnSalva->isEnabled());
}

TEST_F(Finestra, EscInsideACellEditCancelsThatEditOnly) {
  apriDb();
  cliccaTabella("CLIENTI");
  clicca(w->btnTabella);
  const int citta = campo("Citta");
  const jet::Value prima = g->RecordsetGriglia()->valueAt(0, citta);
  cliccaCella(0, citta);
  scrivi(QStringLiteral("XYZ"));
  ASSERT_TRUE(g->EditInCorso());
  premi(Qt::Key_Escape);
  EXPECT_FALSE(g->EditInCorso());
  EXPECT_TRUE(w->btnSalva->isEnabled());
  EXPECT_EQ(righe(), 150);
  EXPECT_EQ(g->RecordsetGriglia()->valueAt(0, citta), prima);
  // Outside an edit Esc is "Uscita" again.
  premi(Qt::Key_Escape);
  EXPECT_FALSE(w->btnSalva->isEnabled());
  EXPECT_TRUE(box.Mostrati().empty()) << testiMostrati().join("|").toStdString();
}

// Paints of status panel 2 and whether the busy pointer was up at each.
struct Pittura : QObject {
  QStringList testi;
  bool eventFilter(QObject *o, QEvent *e) override {
    if (e->type() == QEvent::Paint) {
      const QString t = static_cast<QLabel *>(o)->text();
      const QCursor *c = QApplication::overrideCursor();
      if (!t.isEmpty())
        testi << t + (c && c->shape() == Qt::BusyCursor ? QStringLiteral(" [occupato]") : "");
    }
    return false;
  }
};

TEST_F(Finestra, TheWaitTextsAreSeenWhileTheWorkRuns) {
  Pittura p;
  w->Pannelli[1]->installEventFilter(&p);
  apriDb();
  cliccaTabella("BUONI");
  clicca(w->btnTabella);
  cliccaCella(0, 1);
  premi(Qt::Key_F10);
  EXPECT_TRUE(box.Mostrati().empty()) << testiMostrati().join("|").toStdString();
  EXPECT_TRUE(
      p.testi.contains(QStringLiteral("Attendere, apertura di BUONI in corso... [occupato]")))
      << p.testi.join("|").toStdString();
  EXPECT_TRUE(
      p.testi.contains(QStringLiteral("Attendere, registrazione di BUONI in corso... [occupato]")))
      << p.testi.join("|").toStdString();
  EXPECT_EQ(stato(2), QString());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  vasktest::expectCheckClean(db);
}

TEST_F(Finestra, AfterARefusedValueTheFocusIsBackInTheGrid) {
  apriDb();
  cliccaTabella("CLIENTI");
  clicca(w->btnTabella);
  // A real message box, closed with Enter as the operator closes it.
  GestoreMsgBox prima = ImpostaGestoreMsgBox([](const RichiestaMsgBox &r) {
    QTimer::singleShot(0, [] {
      if (QWidget *m = QApplication::activeModalWidget())
        QTest::keyClick(m, Qt::Key_Return);
    });
    return MostraMsgBoxQt(r);
  });
  cliccaCella(0, campo("Fido"));
  scrivi(QStringLiteral("abc"));
  premi(Qt::Key_Return);
  ImpostaGestoreMsgBox(prima);
  // The window, active again, gives the focus to its own focus widget.
  QWidget *f = w->focusWidget();
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(f == g->vista() || g->vista()->isAncestorOf(f)) << f->metaObject()->className();
}

TEST_F(Finestra, AtItsOneSizeTheWindowCutsNoTextAndBoxesComeOverIt) {
  apriDb();
  EXPECT_EQ(w->minimumSize(), w->maximumSize());
  const QFontMetrics fm(w->List1->font());
  for (int i = 0; i < w->List1->count(); ++i) {
    const QString nome = w->List1->item(i)->text();
    EXPECT_LE(fm.horizontalAdvance(nome) + 6, w->List1->viewport()->width()) << nome.toStdString();
  }
  QLabel *ultimo = w->Pannelli[2];
  EXPECT_LE(ultimo->mapTo(w.get(), QPoint(ultimo->width(), 0)).x(), w->width());
  // Between windows (a dialog just closed) a box still belongs over the main window.
  QApplication::setActiveWindow(nullptr);
  EXPECT_EQ(GenitoreDialoghi(), w.get());
}

TEST_F(Finestra, NewRowsAreShownAsAReloadShowsThemAndSaved) {
  apriDb();
  cliccaTabella("BUONI");
  clicca(w->btnTabella);
  const long n = righe();
  ASSERT_GT(n, 100);
  const int id = campo("ID"), targa = campo("Targa");
  auto engine = [&] {
    std::vector<std::vector<jet::Value>> l;
    auto rs = t->Banca()->Leggi("select * from TemporaneaVask order by ID", 1, 1);
    for (; !rs->isEOF(); rs->MoveNext())
      l.push_back(rs->rowAt(rs->currentIndex()));
    rs->Close();
    return l;
  };
  auto grid = [&] {
    std::vector<std::vector<jet::Value>> l;
    auto rs = g->RecordsetGriglia();
    for (long i = 0; i < rs->RecordCount(); ++i)
      l.push_back(rs->rowAt(i));
    return l;
  };
  const jet::Value massimo = g->RecordsetGriglia()->valueAt(n - 1, id);
  const auto letto = g->RecordsetGriglia();
  premi(Qt::Key_Insert);
  EXPECT_EQ(g->RecordsetGriglia(), letto); // taken into the grid, the copy not read again
  EXPECT_TRUE(box.Mostrati().empty()) << testiMostrati().join("|").toStdString();
  ASSERT_EQ(righe(), n + 1);
  EXPECT_EQ(g->RecordsetGriglia()->valueAt(n, id), jet::Value(massimo.as<int32_t>() + 1));
  EXPECT_EQ(g->row(), n);
  EXPECT_EQ(stato(3), t->TestoRecord(n + 1));
  // Every row, the new one with its stored defaults (Fatturato False, not Null), as read again.
  EXPECT_EQ(grid(), engine());

  // An ID typed out of order: the grid no longer knows the highest one, and the copy is read
  // again, in ID order.
  const int32_t alto = massimo.as<int32_t>() + 10;
  cliccaCella(0, id);
  scrivi(QString::number(alto));
  premi(Qt::Key_Return);
  premi(Qt::Key_Insert);
  EXPECT_TRUE(box.Mostrati().empty()) << testiMostrati().join("|").toStdString();
  ASSERT_EQ(righe(), n + 2);
  EXPECT_EQ(g->RecordsetGriglia()->valueAt(n + 1, id), jet::Value(alto + 1));
  EXPECT_EQ(g->row(), n + 1);
  EXPECT_EQ(grid(), engine());
  EXPECT_EQ(stato(3), t->TestoRecord(n + 2));

  cliccaCella(static_cast<int>(n + 1), targa);
  scrivi(QStringLiteral("NUOVA1"));
  premi(Qt::Key_Return);
  premi(Qt::Key_F10);
  EXPECT_TRUE(box.Mostrati().empty()) << testiMostrati().join("|").toStdString();
  const std::string buoni = mdbExport(db, "BUONI");
  EXPECT_EQ(righeCsv(buoni), n + 2);
  EXPECT_NE(buoni.find("\n" + std::to_string(alto + 1) + ",,,,\"NUOVA1\""), std::string::npos);
  EXPECT_NE(buoni.find("\n" + std::to_string(massimo.as<int32_t>() + 1) + ",,,,,"),
            std::string::npos);
  vasktest::expectCheckClean(db);
}
