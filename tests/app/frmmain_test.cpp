// The main window driven without showing it: load, first activation with WZELBO.INI, the
// keyboard shortcuts, the exit routine and the reporting of untrapped failures.
#include "app/comune/errori.h"
#include "app/comune/fungen.h"
#include "app/comune/messaggi.h"
#include "app/comune/tasti.h"
#include "app/comune/twips.h"
#include "app/forminfo.h"
#include "app/frmmain.h"
#include "test_support.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <gtest/gtest.h>
#include <memory>

namespace {

using Chiamate = std::shared_ptr<QStringList>;

class DbFinto : public AccessoDatabase {
public:
  explicit DbFinto(Chiamate r) : r_(std::move(r)) {}
  bool Collegato() const override { return true; }
  void ApriConnessione(const QString &n) override {
    *r_ << "ApriConnessione " + n;
    if (fallisci)
      throw ErroreVask(3343, QStringLiteral("Formato di database non riconosciuto"));
  }
  std::vector<VoceTabella> ElencaTabelle(const QString &n) override {
    *r_ << "ElencaTabelle " + n;
    return {{QStringLiteral("Articoli"), 3}, {QStringLiteral("Voci"), 7}};
  }
  void EseguiIgnorandoErrori(const QString &sql) override { *r_ << "Esegui " + sql; }
  void Rilascia() override { *r_ << "Rilascia"; }
  bool fallisci = false;

private:
  Chiamate r_;
};

struct Finestra {
  explicit Finestra(bool fallisci = false) : registro(std::make_shared<QStringList>()) {
    Chiamate r = registro;
    w = std::make_unique<frmMain>([r, fallisci] {
      auto db = std::make_unique<DbFinto>(r);
      db->fallisci = fallisci;
      return db;
    });
    w->Termina = [this] { ++terminazioni; };
  }
  Chiamate registro;
  std::unique_ptr<frmMain> w;
  int terminazioni = 0;
};

void scriviIni(const vasktest::TempDir &dir, const QByteArray &testo) {
  QFile f(QString::fromStdString(dir.file("WZELBO.INI").string()));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(testo);
}

QString cartella(const vasktest::TempDir &dir) {
  return QString::fromStdString(dir.path().string());
}

} // namespace

TEST(FrmMain, LoadSetsCaptionRegistryAndStates) {
  Finestra f;
  frmMain &w = *f.w;
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Vask di Manutenzione del Database  (Ver. 1.3.3)"));
  EXPECT_EQ(w.btnVuota->text(), QStringLiteral("Tutti (Ctrl+F2)"));
  EXPECT_EQ(w.btnDatabase->text(), QStringLiteral("&Database"));
  EXPECT_EQ(w.btnTabella->text(), QStringLiteral("Apri &Tabella"));
  EXPECT_FALSE(w.btnVediStruttura->isEnabled());
  EXPECT_FALSE(w.btnAzzera->isEnabled());
  EXPECT_FALSE(w.btnTabella->isEnabled());
  EXPECT_TRUE(w.PrimaAttivazione);
  EXPECT_NEAR(w.LarghezzaTwips(), 10590, TwipsPerPixelX());

  QList<VoceRegistro> r = Registro();
  ASSERT_EQ(r.size(), 12);
  EXPECT_EQ(r[0].controllo, w.btnNuovo);
  EXPECT_EQ(r[1].larghezzaFissa, 1900);
  EXPECT_EQ(r[8].controllo, w.barra);
  EXPECT_EQ(r[8].larghezzaFissa, 3000);
  EXPECT_EQ(r[8].gruppo, QStringLiteral("seconda"));
  EXPECT_EQ(r[11].controllo, w.btnUscita);
  EXPECT_EQ(w.btnFiltro->toolTip(),
            QStringLiteral("Visualizza solo quanti hanno la caratteristica selezionata"));
  EXPECT_EQ(w.btnStampa->toolTip(), QStringLiteral("stampa i records visualizzati"));

  ASSERT_EQ(w.Pannelli.size(), 3);
  EXPECT_EQ(w.Pannelli[1]->width(), TwipsInPixelX(w.LarghezzaTwips() * 0.33));
  // The third, about half, takes what is left up to the bar's end.
  for (QWidget *p : {static_cast<QWidget *>(w.frCancella), static_cast<QWidget *>(w.frModifica),
                     static_cast<QWidget *>(w.frEditG), static_cast<QWidget *>(w.frStruttura),
                     static_cast<QWidget *>(w.frAzzera)})
    EXPECT_TRUE(p->isHidden()) << p->objectName().toStdString();
  // Designed places, in twips.
  EXPECT_EQ(Geometria(w.List1).Height, 5325);
  EXPECT_EQ(Geometria(w.grTabelle).Left, 1935);
  EXPECT_EQ(Geometria(w.btnDatabase).Left, 7905);
}

TEST(FrmMain, FirstActivationOpensTheConfiguredDatabaseAndLaysOutTheRows) {
  vasktest::TempDir dir;
  const QString db = cartella(dir) + "/zelbo.mdb";
  QFile(db).open(QIODevice::WriteOnly);
  scriviIni(dir, ("PathDbDati=" + cartella(dir) + "/\r\nnomedbdati=zelbo.mdb\r\n").toUtf8());
  frmMain::ImpostaCartellaProgramma(cartella(dir));
  Finestra f;
  frmMain &w = *f.w;
  int riempiOperatori = 0;
  w.Comandi.RiempiOperatori = [&] { ++riempiOperatori; };
  w.Stato.TabellaVuota = true;
  w.Form_Activate();
  frmMain::ImpostaCartellaProgramma(QString());

  EXPECT_EQ(riempiOperatori, 1);
  EXPECT_FALSE(w.Stato.TabellaVuota);
  EXPECT_EQ(PercorsoDb, cartella(dir) + "/");
  EXPECT_EQ(NomeDb, QStringLiteral("zelbo.mdb"));
  EXPECT_EQ(*f.registro, (QStringList{"ApriConnessione " + db, "ElencaTabelle " + db}));
  EXPECT_EQ(w.Label1->text(), db);
  ASSERT_EQ(w.List1->count(), 2);
  EXPECT_EQ(w.List1->item(1)->text(), QStringLiteral("Voci"));
  EXPECT_EQ(w.List1->item(1)->data(Qt::UserRole).toInt(), 7);
  EXPECT_TRUE(w.btnTabella->isEnabled());
  EXPECT_FALSE(w.PrimaAttivazione);
  EXPECT_EQ(w.focusWidget(), w.btnDatabase);

  // Both rows from the grid's left edge to the margin, shares taken half to even.
  const double larghezza = std::lround(w.LarghezzaTwips());
  const double quotaPrima = std::nearbyint((larghezza - 1935 - 200 - 3000) / 4);
  Twips nuovo = Geometria(w.btnNuovo), edit = Geometria(w.btnEditG);
  EXPECT_EQ(nuovo.Left, 1935);
  EXPECT_EQ(nuovo.Top, 5580);
  EXPECT_EQ(nuovo.Height, 345);
  EXPECT_EQ(nuovo.Width, quotaPrima);
  EXPECT_EQ(edit.Left, 1935 + quotaPrima);
  EXPECT_EQ(edit.Width, 1900);
  Twips azzera = Geometria(w.btnAzzera), barra = Geometria(w.barra),
        uscita = Geometria(w.btnUscita);
  EXPECT_EQ(azzera.Left, 2935);
  EXPECT_EQ(barra.Left, 3935);
  EXPECT_EQ(barra.Width, 3000);
  EXPECT_EQ(barra.Top, 5970);
  EXPECT_EQ(uscita.Height, 300);
  EXPECT_NEAR(uscita.Left + uscita.Width, larghezza - 200, 2);
  for (const VoceRegistro &v : Registro())
    EXPECT_FALSE(v.controllo->isEnabled()) << v.controllo->objectName().toStdString();

  // A later activation leaves everything as it was and puts the focus on the control before
  // the grid in tab order.
  w.btnNuovo->setEnabled(true);
  w.Form_Activate();
  EXPECT_TRUE(w.btnNuovo->isEnabled());
  EXPECT_EQ(f.registro->size(), 2);
  EXPECT_EQ(w.focusWidget(), w.btnTabella);
}

TEST(FrmMain, NothingOpensWithoutAFileOrWithAPathLackingItsSeparator) {
  vasktest::TempDir dir;
  QFile(cartella(dir) + "/zelbo.mdb").open(QIODevice::WriteOnly);
  frmMain::ImpostaCartellaProgramma(cartella(dir));
  {
    Finestra f;
    PercorsoDb = QStringLiteral("c:\\lavorow\\winzelbo\\vask");
    NomeDb = QStringLiteral("zelbo.mdb");
    f.w->Form_Activate();
    EXPECT_EQ(PercorsoDb, QString()); // the defaults are lost
    EXPECT_EQ(NomeDb, QString());
    EXPECT_TRUE(f.registro->isEmpty());
  }
  scriviIni(dir, ("pathdbdati=" + cartella(dir) + "\r\nnomeDbDati=zelbo.mdb\r\n").toUtf8());
  {
    Finestra f;
    f.w->Form_Activate();
    EXPECT_EQ(NomeDb, QStringLiteral("zelbo.mdb"));
    EXPECT_TRUE(f.registro->isEmpty());
    EXPECT_FALSE(f.w->btnTabella->isEnabled());
    EXPECT_EQ(f.w->Label1->text(), QString());
  }
  frmMain::ImpostaCartellaProgramma(QString());
}

TEST(FrmMain, AFailedOpeningIsReportedAndTheWindowIsStillUsable) {
  vasktest::TempDir dir;
  QFile(cartella(dir) + "/zelbo.mdb").open(QIODevice::WriteOnly);
  scriviIni(dir, ("pathdbdati=" + cartella(dir) + "/\r\nnomeDbDati=zelbo.mdb\r\n").toUtf8());
  frmMain::ImpostaCartellaProgramma(cartella(dir));
  Finestra f(true);
  MsgBoxSimulato box;
  f.w->Form_Activate();
  frmMain::ImpostaCartellaProgramma(QString());
  ASSERT_EQ(box.Mostrati().size(), 1u);
  EXPECT_EQ(
      box.Mostrati()[0].testo,
      QStringLiteral("Errore di run-time '3343':\r\n\r\nFormato di database non riconosciuto"));
  EXPECT_EQ(box.Mostrati()[0].icona(), vbCritical);
  EXPECT_FALSE(f.w->btnTabella->isEnabled());
  EXPECT_FALSE(f.w->btnSalva->isEnabled()); // the rows were still laid out and disabled
  EXPECT_FALSE(f.w->PrimaAttivazione);
}

TEST(FrmMain, ShortcutTableSwallowsOnlyEnter) {
  Finestra f;
  frmMain &w = *f.w;
  QStringList eseguiti;
  auto segna = [&](const char *nome) { return [&eseguiti, nome] { eseguiti << nome; }; };
  w.Comandi.Filtra = segna("Filtra");
  w.Comandi.Tutti = segna("Tutti");
  w.Comandi.Modifica = segna("Modifica");
  w.Comandi.ProceduraCancella = segna("Cancella");
  w.Comandi.Stampa = segna("Stampa");
  w.Comandi.Salva = segna("Salva");
  w.Comandi.Uscita = segna("Uscita");
  w.Comandi.EditEsteso = segna("EditEsteso");
  w.Comandi.NuovaRiga = segna("NuovaRiga");
  struct Caso {
    int tasto, maiuscole;
    const char *comando; // nullptr: nothing runs
    bool inghiottito;
  };
  w.Stato.GrigliaVuota = false;
  const Caso casi[] = {
      {vbKeyF2, 0, "Filtra", false},
      {vbKeyF2, vbCtrlMask, "Tutti", false},
      {vbKeyF2, vbShiftMask, nullptr, false},
      {vbKeyF2, vbAltMask, nullptr, false},
      {vbKeyF4, 0, nullptr, false},
      {vbKeyF5, vbCtrlMask, nullptr, false},
      {vbKeyF6, vbShiftMask, "Modifica", false},
      {vbKeyF7, 0, "Cancella", false},
      {vbKeyF9, vbAltMask, "Stampa", false},
      {vbKeyF10, 0, "Salva", false},
      {vbKeyEscape, 0, "Uscita", false},
      {vbKeyInsert, 0, "NuovaRiga", false},
      {vbKeyReturn, vbCtrlMask, "EditEsteso", true},
      {vbKeyReturn, 0, nullptr, false},
      {vbKeyReturn, vbShiftMask, nullptr, false},
      {65, 0, nullptr, false},
  };
  for (const Caso &c : casi) {
    eseguiti.clear();
    int codice = c.tasto;
    w.grTabelle_TastoGiu(codice, c.maiuscole);
    EXPECT_EQ(eseguiti, c.comando ? QStringList{c.comando} : QStringList{})
        << c.tasto << "/" << c.maiuscole;
    EXPECT_EQ(codice, c.inghiottito ? 0 : c.tasto) << c.tasto << "/" << c.maiuscole;
  }
  // With no rows in the grid every Enter is swallowed and nothing runs.
  w.Stato.GrigliaVuota = true;
  for (int maiuscole : {0, vbCtrlMask}) {
    eseguiti.clear();
    int codice = vbKeyReturn;
    w.grTabelle_TastoGiu(codice, maiuscole);
    EXPECT_EQ(codice, 0);
    EXPECT_TRUE(eseguiti.isEmpty());
  }
}

TEST(FrmMain, ExitAnsweredNoChangesNothing) {
  Finestra f;
  MsgBoxSimulato box;
  box.Rispondi(vbNo);
  EXPECT_FALSE(f.w->ChiediUscita());
  ASSERT_EQ(box.Mostrati().size(), 1u);
  const RichiestaMsgBox &m = box.Mostrati()[0];
  EXPECT_EQ(m.testo, QStringLiteral("Vuoi veramente uscire ?"));
  EXPECT_EQ(m.titolo, QStringLiteral("Uscita da VASK"));
  EXPECT_EQ(m.stile, vbYesNo + vbQuestion + vbDefaultButton2);
  EXPECT_TRUE(f.registro->isEmpty());
  EXPECT_EQ(f.terminazioni, 0);
  EXPECT_TRUE(f.w->GestoreDb);

  // Closing the window asks the same; No keeps it open.
  box.Rispondi(vbNo);
  QCloseEvent chiusura;
  QCoreApplication::sendEvent(f.w.get(), &chiusura);
  EXPECT_FALSE(chiusura.isAccepted());
  EXPECT_EQ(box.Mostrati().size(), 2u);
  // The default button is the harmless one.
  EXPECT_EQ(RispostaPredefinita(m.stile), vbNo);
}

TEST(FrmMain, ExitAnsweredYesDropsTheWorkingTableAndEnds) {
  Finestra f;
  MsgBoxSimulato box;
  int finiEdit = 0;
  f.w->Comandi.TerminaEdit = [&] { ++finiEdit; };
  box.Rispondi(vbYes);
  QCloseEvent chiusura;
  QCoreApplication::sendEvent(f.w.get(), &chiusura);
  EXPECT_TRUE(chiusura.isAccepted());
  EXPECT_EQ(finiEdit, 1);
  EXPECT_EQ(*f.registro, (QStringList{"Esegui DROP table TemporaneaVask", "Rilascia"}));
  EXPECT_FALSE(f.w->GestoreDb);
  EXPECT_EQ(f.terminazioni, 1);
}

TEST(FrmMain, EscInTheTableListAsksToExitEnterOpensTheTable) {
  Finestra f;
  MsgBoxSimulato box;
  int aperture = 0;
  f.w->Comandi.ApriTabella = [&] { ++aperture; };
  box.Rispondi(vbNo);
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(f.w->List1, &esc);
  ASSERT_EQ(box.Mostrati().size(), 1u);
  EXPECT_EQ(box.Mostrati()[0].titolo, QStringLiteral("Uscita da VASK"));
  QKeyEvent invio(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QCoreApplication::sendEvent(f.w->List1, &invio);
  EXPECT_EQ(aperture, 1);
}

TEST(FrmMain, UntrappedFailureOfACommandIsReportedAndTheWindowStaysUsable) {
  Finestra f;
  MsgBoxSimulato box;
  f.w->Comandi.Salva = [] { throw ErroreVask(3022, QStringLiteral("Valore duplicato")); };
  f.w->btnSalva->setEnabled(true);
  f.w->btnSalva->click();
  ASSERT_EQ(box.Mostrati().size(), 1u);
  EXPECT_EQ(box.Mostrati()[0].testo,
            QStringLiteral("Errore di run-time '3022':\r\n\r\nValore duplicato"));
  EXPECT_EQ(box.Mostrati()[0].stile, vbOKOnly + vbCritical);
  EXPECT_EQ(f.terminazioni, 0);
  // The grid's key for the same command reports the same way and the key still passes.
  int codice = vbKeyF10;
  f.w->grTabelle_TastoGiu(codice, 0);
  EXPECT_EQ(codice, vbKeyF10);
  EXPECT_EQ(box.Mostrati().size(), 2u);
}

TEST(FrmMain, CommandStatesOfTheShell) {
  Finestra f;
  frmMain &w = *f.w;
  w.AbilitaComandi(false);
  EXPECT_FALSE(w.btnTabella->isEnabled());
  EXPECT_FALSE(w.btn_info->isEnabled());
  EXPECT_FALSE(w.btnFine->isEnabled());
  EXPECT_FALSE(w.grTabelle->isEnabled());
  // The list and "&Database" too: a click there cannot change the table behind a dialog.
  EXPECT_FALSE(w.btnDatabase->isEnabled());
  EXPECT_FALSE(w.List1->isEnabled());
  w.AbilitaComandi(true);
  EXPECT_TRUE(w.grTabelle->isEnabled());
  EXPECT_TRUE(w.List1->isEnabled());
  EXPECT_TRUE(w.btnDatabase->isEnabled());
  // With a working copy open "&Database" stays off.
  w.Stato.TabellaCopia = QStringLiteral("BUONI");
  w.AbilitaComandi(false);
  w.AbilitaComandi(true);
  EXPECT_FALSE(w.btnDatabase->isEnabled());
  EXPECT_FALSE(w.btnAzzera->isEnabled()); // its own state comes back
  w.AbilitaManutenzione(true);
  EXPECT_TRUE(w.btnVediStruttura->isEnabled());
  EXPECT_TRUE(w.btnAzzera->isEnabled());
}

TEST(FormInfo, ShowsTheVersionOnceLoaded) {
  Form_info info;
  EXPECT_EQ(info.windowTitle(), QStringLiteral("Informazioni sul programma"));
  EXPECT_EQ(info.Label_versione->text(), QStringLiteral("Ver. 1.3.3"));
  EXPECT_EQ(info.Label2->text(),
            QStringLiteral("VASK di manutenzione del DataBase di Zelbo per Windows"));
  EXPECT_EQ(info.btnChiudi->text(), QStringLiteral("&Chiudi"));
}
