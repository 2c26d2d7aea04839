// General routines: fixed-width columns, key=value files, the command registry and its rows,
// the frame panels, the status panels and the grid cursor keys.
#include "app/comune/errori.h"
#include "app/comune/forma.h"
#include "app/comune/fungen.h"
#include "app/comune/messaggi.h"
#include "app/comune/twips.h"
#include "test_support.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

QString scrivi(const vasktest::TempDir &dir, const char *nome, const QByteArray &dati) {
  QString percorso = QString::fromStdString(dir.file(nome).string());
  QFile f(percorso);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(dati);
  return percorso;
}

QPushButton *bottone(QWidget *genitore, const QString &nome) {
  auto *b = new QPushButton(nome, genitore);
  b->setObjectName(nome);
  return b;
}

} // namespace

TEST(Riempi, PadsWithFirstFillCharacterAndCutsTheCallersFill) {
  QString riempi = QStringLiteral("*-");
  EXPECT_EQ(RiempiADestra(QStringLiteral("abc"), 5, riempi), QStringLiteral("abc**"));
  EXPECT_EQ(riempi, QStringLiteral("*"));

  riempi = QStringLiteral("0x");
  EXPECT_EQ(RiempiASinistra(QStringLiteral("42"), 6, riempi), QStringLiteral("000042"));
  EXPECT_EQ(riempi, QStringLiteral("0"));
}

TEST(Riempi, NeverCutsALongTextAndLeavesTheFillAlone) {
  QString riempi = QStringLiteral("ab");
  EXPECT_EQ(RiempiASinistra(QStringLiteral("abcde"), 3, riempi), QStringLiteral("abcde"));
  EXPECT_EQ(RiempiADestra(QStringLiteral("abc"), 3, riempi), QStringLiteral("abc"));
  EXPECT_EQ(riempi, QStringLiteral("ab"));
  // An empty fill is only a fault where padding is needed.
  QString vuoto;
  EXPECT_EQ(RiempiADestra(QStringLiteral("abc"), 2, vuoto), QStringLiteral("abc"));
  try {
    RiempiADestra(QStringLiteral("abc"), 5, vuoto);
    FAIL() << "an empty fill must fail";
  } catch (const ErroreVask &e) {
    EXPECT_EQ(e.Numero(), 5);
  }
}

TEST(LeggiFileChiavi, KeyLookupRules) {
  vasktest::TempDir dir;
  const QString ini = scrivi(dir, "WZELBO.INI",
                             "commento senza uguale\r\n"
                             "pathdbdati =/non/questa/\r\n"
                             "PATHDBDATI=/dati/vask/\r\n"
                             "pathdbdati=/la/seconda/\r\n"
                             "nomeDbDati=zelbo=2.mdb \r\n"
                             "vuota=\r\n");
  MsgBoxSimulato box;
  // Capitals in the file, first of two lines, the blank before "=" not matched.
  EXPECT_EQ(LeggiFileChiavi(ini, QStringLiteral("pathdbdati"), 0), QStringLiteral("/dati/vask/"));
  // Everything after the first "=", untrimmed.
  EXPECT_EQ(LeggiFileChiavi(ini, QStringLiteral("NOMEDBDATI"), 0), QStringLiteral("zelbo=2.mdb "));
  EXPECT_EQ(LeggiFileChiavi(ini, QStringLiteral("vuota"), 0), QString(""));
  // A line without "=" and a key that is only a prefix never match.
  EXPECT_EQ(LeggiFileChiavi(ini, QStringLiteral("commento senza uguale"), 0), std::nullopt);
  EXPECT_EQ(LeggiFileChiavi(ini, QStringLiteral("path"), 0), std::nullopt);
  EXPECT_EQ(LeggiFileChiavi(ini, QStringLiteral("manca"), 0), std::nullopt);
  EXPECT_TRUE(box.Mostrati().empty());
}

TEST(LeggiFileChiavi, LineEndsOfEveryKindAndAnsiText) {
  vasktest::TempDir dir;
  const QString lf = scrivi(dir, "lf.ini", "a=1\nb=2");
  EXPECT_EQ(LeggiFileChiavi(lf, QStringLiteral("b"), 0), QStringLiteral("2"));
  EXPECT_EQ(LeggiFileChiavi(lf, QStringLiteral("a"), 0), QStringLiteral("1"));
  const QString ansi = scrivi(dir, "ansi.ini", "pathdbdati=C:\\Citt\xE0\\\r\n");
  EXPECT_EQ(LeggiFileChiavi(ansi, QStringLiteral("pathdbdati"), 0), QStringLiteral("C:\\Città\\"));
}

TEST(LeggiFileChiavi, WholeFileAndListModes) {
  vasktest::TempDir dir;
  const QString ini = scrivi(dir, "x.ini", "a=1\r\nsenza\r\nc=x=y");
  EXPECT_EQ(LeggiFileChiavi(ini, QString(), 1), QStringLiteral("a=1\r\nsenza\r\nc=x=y\r\n"));

  QVector<CoppiaChiave> elenco;
  EXPECT_EQ(LeggiFileChiavi(ini, QString(), elenco), QStringLiteral("OK"));
  ASSERT_EQ(elenco.size(), 4); // entries 0 to N
  EXPECT_EQ(elenco[0].chiave, QStringLiteral("a="));
  EXPECT_EQ(elenco[0].valore, QStringLiteral("1"));
  EXPECT_EQ(elenco[1].chiave, QStringLiteral("senza"));
  EXPECT_EQ(elenco[1].valore, QString());
  EXPECT_EQ(elenco[2].chiave, QStringLiteral("c="));
  EXPECT_EQ(elenco[2].valore, QStringLiteral("x=y"));
  EXPECT_TRUE(elenco[3].chiave.isEmpty());
}

TEST(LeggiFileChiavi, MissingFileGivesNothingSilentlyUnreadableFileIsReported) {
  vasktest::TempDir dir;
  MsgBoxSimulato box;
  const QString manca = QString::fromStdString(dir.file("WZELBO.INI").string());
  EXPECT_EQ(LeggiFileChiavi(manca, QStringLiteral("pathdbdati"), 0), std::nullopt);
  QVector<CoppiaChiave> elenco(2);
  EXPECT_EQ(LeggiFileChiavi(manca, QString(), elenco), std::nullopt);
  EXPECT_EQ(elenco.size(), 2);
  EXPECT_TRUE(box.Mostrati().empty());

  // A file that opens but cannot be read (address 0 of the process's own memory).
  const QString illeggibile = QStringLiteral("/proc/self/mem");
  if (!QFileInfo(illeggibile).isFile())
    GTEST_SKIP() << "no /proc here: the read error cannot be produced";
  EXPECT_EQ(LeggiFileChiavi(illeggibile, QStringLiteral("a"), 0), std::nullopt);
  EXPECT_EQ(LeggiFileChiavi(illeggibile, QString(), elenco), std::nullopt);
  EXPECT_EQ(elenco.size(), 2); // the caller's list is left as it was
  ASSERT_EQ(box.Mostrati().size(), 2u);
  EXPECT_EQ(box.Mostrati()[0].testo,
            QStringLiteral("Errore 57 leggendo il file /proc/self/mem, impossibile procedere!"));
  EXPECT_EQ(box.Mostrati()[0].stile, vbOKOnly);
  EXPECT_TRUE(box.Mostrati()[0].titolo.isEmpty());
}

TEST(Registro, ResetDuplicatesAndHints) {
  QWidget finestra;
  QPushButton *a = bottone(&finestra, "btnA");
  QPushButton *b = bottone(&finestra, "btnB");
  auto *a2 = bottone(&finestra, "BTNA"); // another control with the same name but for case

  MostraSuggerimenti = true;
  RegistraBottone(a, 0, QStringLiteral("primo"), true, QStringLiteral("g1"));
  RegistraBottone(b, 100, QStringLiteral("secondo"), false, QStringLiteral("g1"));
  RegistraBottone(a2, 0, QStringLiteral("doppio"), false, QStringLiteral("g1"));
  RegistraBottone(a, 0, QStringLiteral("altro gruppo"), false, QStringLiteral("g2"));
  // The group must match exactly for a duplicate.
  RegistraBottone(a, 0, QStringLiteral("gruppo in maiuscolo"), false, QStringLiteral("G2"));
  QList<VoceRegistro> r = Registro();
  ASSERT_EQ(r.size(), 4);
  EXPECT_EQ(r[0].controllo, a);
  EXPECT_EQ(r[1].larghezzaFissa, 100);
  EXPECT_EQ(r[2].gruppo, QStringLiteral("g2"));
  EXPECT_EQ(r[3].gruppo, QStringLiteral("G2"));
  EXPECT_EQ(a2->toolTip(), QString()); // not registered, hint untouched
  EXPECT_EQ(a->toolTip(), QStringLiteral("gruppo in maiuscolo"));

  MostraSuggerimenti = false;
  RegistraBottone(b, 0, QStringLiteral("nuovo"), true, QStringLiteral("g1"));
  EXPECT_EQ(Registro().size(), 1);
  EXPECT_EQ(b->toolTip(), QString());
  MostraSuggerimenti = true;
}

TEST(Registro, AbilitaGruppoIgnoresCaseAndOtherGroups) {
  QWidget finestra;
  QPushButton *a = bottone(&finestra, "a");
  QPushButton *b = bottone(&finestra, "b");
  RegistraBottone(a, 0, QString(), true, QStringLiteral("Prima"));
  RegistraBottone(b, 0, QString(), false, QStringLiteral("seconda"));
  AbilitaGruppo(false, QStringLiteral("PRIMA"));
  EXPECT_FALSE(a->isEnabled());
  EXPECT_TRUE(b->isEnabled());
  AbilitaGruppo(false, QStringLiteral("nessuno"));
  EXPECT_TRUE(b->isEnabled());
}

TEST(DisponiBottoni, SharesRoundHalfToEvenAndRowHasNoGaps) {
  QWidget finestra;
  QList<QPushButton *> b;
  const qint16 fisse[] = {0, 1900, 0, 1100, 0, 0};
  for (int i = 0; i < 6; ++i) {
    b << bottone(&finestra, QStringLiteral("b%1").arg(i));
    ImpostaGeometria(b[i], 0, i == 0 ? 5580 : 0, 500, i == 0 ? 345 : 100);
    RegistraBottone(b[i], fisse[i], QString(), i == 0, QStringLiteral("prima"));
  }
  DisponiBottoni(10590, 100, 200, 0, QStringLiteral("prima"));
  double x = 100;
  for (int i = 0; i < 6; ++i) {
    Twips t = Geometria(b[i]);
    EXPECT_EQ(t.Top, 5580) << i;
    EXPECT_EQ(t.Height, 345) << i;
    EXPECT_EQ(t.Left, x) << i;
    // (10590 - 100 - 200 - 3000) / 4 = 1822.5, taken to the even 1822.
    EXPECT_EQ(t.Width, fisse[i] ? fisse[i] : 1822) << i;
    x += t.Width;
  }
  // 1823.5 goes up to the even 1824; the offset moves the row.
  DisponiBottoni(10594, 100, 200, 50, QStringLiteral("prima"));
  EXPECT_EQ(Geometria(b[0]).Width, 1824);
  EXPECT_EQ(Geometria(b[0]).Left, 150);
  // Pixels follow the twips edge to edge.
  for (int i = 1; i < 6; ++i)
    EXPECT_EQ(b[i - 1]->geometry().right() + 1, b[i]->geometry().left());
}

TEST(DisponiBottoni, OverfullRowIsReportedAndNothingMoves) {
  QWidget finestra;
  QPushButton *a = bottone(&finestra, "a");
  QPushButton *f = bottone(&finestra, "f");
  ImpostaGeometria(a, 11, 22, 33, 44);
  ImpostaGeometria(f, 55, 66, 77, 88);
  RegistraBottone(a, 0, QString(), true, QStringLiteral("riga"));
  RegistraBottone(f, 3000, QString(), false, QStringLiteral("riga"));
  MsgBoxSimulato box;
  DisponiBottoni(5000, 1935, 200, 0, QStringLiteral("riga")); // fixed widths overfill
  DisponiBottoni(2000, 1935, 200, 0, QStringLiteral("riga")); // no free width at all
  ASSERT_EQ(box.Mostrati().size(), 2u);
  for (const RichiestaMsgBox &m : box.Mostrati()) {
    EXPECT_EQ(m.testo,
              QStringLiteral(
                  "La somma delle larghezze dei bottoni è superiore alla larghezza della form"));
    EXPECT_EQ(m.stile, vbOKOnly);
    EXPECT_TRUE(m.titolo.isEmpty());
  }
  EXPECT_EQ(Geometria(a).Left, 11);
  EXPECT_EQ(Geometria(a).Width, 33);
  EXPECT_EQ(Geometria(f).Left, 55);
}

TEST(DisponiBottoni, AllFixedWithWidthLeftFailsBeforeMovingAnything) {
  QWidget finestra;
  QPushButton *f = bottone(&finestra, "f");
  ImpostaGeometria(f, 55, 66, 77, 88);
  RegistraBottone(f, 1000, QString(), true, QStringLiteral("riga"));
  EXPECT_THROW(DisponiBottoni(10590, 1935, 200, 0, QStringLiteral("riga")), ErroreVask);
  EXPECT_EQ(Geometria(f).Left, 55);
  MsgBoxSimulato box;
  DisponiBottoni(10590, 1935, 200, 0, QStringLiteral("vuoto")); // no controls: nothing at all
  EXPECT_TRUE(box.Mostrati().empty());
}

TEST(Riquadri, StyleAndExactCentring) {
  QWidget contenitore;
  ImpostaGeometria(&contenitore, 0, 315, 10590, 6301);
  QFrame riquadro(&contenitore);
  riquadro.setObjectName(QStringLiteral("frProva"));
  riquadro.setFrameShape(QFrame::Box);
  ImpostaGeometria(&riquadro, 0, 0, 5001, 3000);
  Forma bordo(&riquadro);
  QLabel titolo(&riquadro);

  StileRiquadro(&riquadro, &bordo, &titolo, QString());
  EXPECT_EQ(riquadro.frameShape(), QFrame::NoFrame);
  EXPECT_EQ(titolo.text(), QStringLiteral(" frProva"));
  EXPECT_EQ(Geometria(&titolo).Width, 5001 - 80);
  EXPECT_EQ(Geometria(&titolo).Height, 210);
  EXPECT_EQ(Geometria(&bordo).Left, -7);
  EXPECT_EQ(Geometria(&bordo).Width, 5001);
  EXPECT_EQ(bordo.BorderColor(), QColor(64, 64, 64));
  EXPECT_EQ(bordo.BorderWidth(), 2);
  EXPECT_TRUE(bordo.Trasparente());
  EXPECT_TRUE(titolo.font().bold());
  EXPECT_EQ(titolo.palette().color(QPalette::Window), ColoreDiSistema(2));
  EXPECT_EQ(titolo.palette().color(QPalette::WindowText), ColoreDiSistema(14));
  StileRiquadro(&riquadro, &bordo, &titolo, QStringLiteral("Cancellazione"));
  EXPECT_EQ(titolo.text(), QStringLiteral(" Cancellazione"));

  CentraRiquadro(&riquadro, &contenitore, 0, 0);
  EXPECT_DOUBLE_EQ(Geometria(&riquadro).Left, 2794.5);
  EXPECT_DOUBLE_EQ(Geometria(&riquadro).Top, 1650.5);
  CentraRiquadro(&riquadro, &contenitore, 10, -20);
  EXPECT_DOUBLE_EQ(Geometria(&riquadro).Left, 2804.5);
  EXPECT_DOUBLE_EQ(Geometria(&riquadro).Top, 1630.5);

  EXPECT_EQ(ColoreVb(0x000000FF), QColor(255, 0, 0)); // Windows colours are BGR
  EXPECT_EQ(ColoreVb(0x8000000Au), ColoreDiSistema(10));
}

TEST(MostraStato, WritesOnlyAVisibleWindowsExistingPanel) {
  auto *finestra = new QWidget;
  QLabel *p1 = new QLabel(finestra), *p2 = new QLabel(finestra);
  ImpostaBarraStato(finestra, {p1, p2});
  MostraStato(QStringLiteral("nascosta"), 1);
  EXPECT_EQ(p1->text(), QString());
  finestra->show();
  MostraStato(QStringLiteral("due"), 2);
  MostraStato(QStringLiteral("tre"), 3);
  MostraStato(QStringLiteral("zero"), 0);
  EXPECT_EQ(p2->text(), QStringLiteral("due"));
  EXPECT_EQ(p1->text(), QString());
  delete finestra;
  MostraStato(QStringLiteral("finestra chiusa"), 1); // no window: nothing, no fault
  ImpostaBarraStato(nullptr, {});
}

namespace {
class Registratore : public QWidget {
public:
  QList<int> tasti;
  bool event(QEvent *e) override {
    if (e->type() == QEvent::KeyPress)
      tasti << static_cast<QKeyEvent *>(e)->key();
    return QWidget::event(e);
  }
};
} // namespace

TEST(TastoGriglia, ReseatsTheCursorWithKeys) {
  Registratore griglia;
  griglia.setProperty("row", 0);
  TastoGrigliaSu(&griglia, -1, true, 3);
  EXPECT_EQ(griglia.property("col").toInt(), 3);
  EXPECT_EQ(griglia.tasti, QList<int>{Qt::Key_Home});

  griglia.tasti.clear();
  griglia.setProperty("row", 4);
  TastoGrigliaSu(&griglia, -1, false, 1); // queued: delivered once events run
  EXPECT_TRUE(griglia.tasti.isEmpty());
  QCoreApplication::processEvents();
  EXPECT_EQ(griglia.property("col").toInt(), 1);
  EXPECT_EQ(griglia.tasti, (QList<int>{Qt::Key_Up, Qt::Key_Down}));

  griglia.tasti.clear();
  TastoGrigliaSu(&griglia, 0, true, 9);
  TastoGrigliaSu(&griglia, 1, true, 9);
  EXPECT_EQ(griglia.tasti, (QList<int>{Qt::Key_Home, Qt::Key_Up, Qt::Key_Down}));
  EXPECT_EQ(griglia.property("col").toInt(), 1); // only direction < 0 sets the column
}
