// Start-up: Qt's Italian texts, the message-box seam, the single running copy per user checked
// with the real program started as two processes, the database named on the command line and
// WZELBO.INI in the user's configuration folder.
#include "app/comune/fungen.h"
#include "app/comune/messaggi.h"
#include "app/configurazione.h"
#include "app/frmmain.h"
#include "app/istanza.h"
#include "app/principale.h"
#include "test_support.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

TEST(Avvio, StandardButtonsReadItalian) {
  if (!PreparaApplicazione(*qApp))
    GTEST_SKIP() << "Qt's translations (qt6-translations-l10n) are not installed";
  QMessageBox box;
  box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok |
                         QMessageBox::Cancel);
  auto testo = [&](QMessageBox::StandardButton b) { return box.button(b)->text().remove('&'); };
  EXPECT_EQ(testo(QMessageBox::Yes), QStringLiteral("Sì"));
  EXPECT_EQ(testo(QMessageBox::No), QStringLiteral("No"));
  EXPECT_EQ(testo(QMessageBox::Ok), QStringLiteral("OK"));
  EXPECT_EQ(testo(QMessageBox::Cancel), QStringLiteral("Annulla"));
}

TEST(MsgBoxSeam, QtBoxHasTheStylesButtonsIconAndDefault) {
  QMessageBox box;
  PreparaMsgBoxQt(box, {QStringLiteral("Vuoi veramente uscire ?"),
                        vbYesNo + vbQuestion + vbDefaultButton2, QStringLiteral("Uscita da VASK")});
  EXPECT_EQ(box.windowTitle(), QStringLiteral("Uscita da VASK"));
  EXPECT_EQ(box.icon(), QMessageBox::Question);
  EXPECT_EQ(box.standardButtons(), QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::No));
  EXPECT_EQ(RispostaMsgBoxQt(box, vbYesNo), vbNo); // closed without a choice

  QMessageBox errore;
  PreparaMsgBoxQt(errore, {QStringLiteral("riga 1\r\nriga 2"), vbOKOnly + vbCritical, QString()});
  EXPECT_EQ(errore.windowTitle(), QApplication::applicationName()); // no title of its own
  EXPECT_EQ(errore.text(), QStringLiteral("riga 1\nriga 2"));
  EXPECT_EQ(errore.icon(), QMessageBox::Critical);
  EXPECT_EQ(errore.standardButtons(), QMessageBox::Ok);

  QMessageBox tre;
  PreparaMsgBoxQt(tre, {QStringLiteral("?"), vbYesNoCancel + vbExclamation + vbDefaultButton3,
                        QStringLiteral("t")});
  EXPECT_EQ(tre.defaultButton(), tre.button(QMessageBox::Cancel));
  EXPECT_EQ(tre.escapeButton(), tre.button(QMessageBox::Cancel));
  EXPECT_EQ(tre.icon(), QMessageBox::Warning);
}

TEST(MsgBoxSeam, AnswersInTurnThenTheDefaultButton) {
  MsgBoxSimulato box;
  box.Rispondi(vbRetry);
  EXPECT_EQ(MsgBox(QStringLiteral("a"), vbRetryCancel), vbRetry);
  EXPECT_EQ(MsgBox(QStringLiteral("b"), vbYesNoCancel + vbDefaultButton3), vbCancel);
  EXPECT_EQ(MsgBox(QStringLiteral("c"), vbYesNo + vbCritical, QStringLiteral("T")), vbYes);
  ASSERT_EQ(box.Mostrati().size(), 3u);
  EXPECT_EQ(box.Mostrati()[2].titolo, QStringLiteral("T"));
  EXPECT_EQ(box.Mostrati()[2].icona(), vbCritical);
  {
    MsgBoxSimulato interno; // nested handlers restore the outer one
    MsgBox(QStringLiteral("d"));
    EXPECT_EQ(interno.Mostrati().size(), 1u);
  }
  MsgBox(QStringLiteral("e"));
  EXPECT_EQ(box.Mostrati().size(), 4u);
}

TEST(IstanzaUnica, OneHolderPerLockFile) {
  vasktest::TempDir dir;
  const QString percorso = QString::fromStdString(dir.file("vask.lock").string());
  IstanzaUnica prima(percorso);
  ASSERT_TRUE(prima.Acquisisci());
  IstanzaUnica seconda(percorso);
  EXPECT_FALSE(seconda.Acquisisci());
}

namespace {

// The built program, with its own home and runtime folder and message boxes answered on stderr.
struct Programma {
  explicit Programma(const vasktest::TempDir &dir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString casa = QString::fromStdString(dir.path().string());
    QDir(casa).mkpath(QStringLiteral("run"));
    QFile::setPermissions(casa + "/run",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    env.insert(QStringLiteral("HOME"), casa);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), casa + "/run");
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("VASK_RISPOSTE_AUTOMATICHE"), QStringLiteral("1"));
    p.setProcessEnvironment(env);
    p.setProgram(QString::fromStdString((vasktest::binaryDir() / "vask").string()));
  }
  ~Programma() {
    if (p.state() != QProcess::NotRunning) {
      p.kill();
      p.waitForFinished(10000);
    }
  }
  // Waits until the main window is up (or the process has ended).
  bool AttendiFinestra() {
    for (int i = 0; i < 300 && !errori.contains("frmMain mostrata"); ++i) {
      if (p.state() == QProcess::NotRunning)
        break;
      p.waitForReadyRead(100);
      errori += p.readAllStandardError();
    }
    return errori.contains("frmMain mostrata");
  }
  QProcess p;
  QByteArray errori;
};

} // namespace

TEST(IstanzaUnica, ASecondProcessIsRefusedAndAKilledOneDoesNotBlock) {
  const auto vask = vasktest::binaryDir() / "vask";
  if (!std::filesystem::exists(vask))
    GTEST_SKIP() << "the program is not built";
  vasktest::TempDir dir;

  Programma prima(dir);
  prima.p.start();
  ASSERT_TRUE(prima.AttendiFinestra()) << prima.errori.toStdString();

  Programma seconda(dir);
  seconda.p.start();
  ASSERT_TRUE(seconda.p.waitForFinished(30000));
  const QByteArray testo = seconda.p.readAllStandardError();
  EXPECT_EQ(seconda.p.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(seconda.p.exitCode(), 1);
  EXPECT_TRUE(
      testo.contains("MsgBox [Errore!] Questo programma è già attivo in un'altra finestra!"))
      << testo.toStdString();
  EXPECT_FALSE(testo.contains("frmMain mostrata")) << testo.toStdString();
  EXPECT_EQ(prima.p.state(), QProcess::Running); // the first copy is untouched

  // A copy killed outright leaves its lock behind; the next start takes it over.
  prima.p.kill();
  ASSERT_TRUE(prima.p.waitForFinished(10000));
  Programma terza(dir);
  terza.p.start();
  EXPECT_TRUE(terza.AttendiFinestra()) << terza.errori.toStdString();
}

namespace {

QString testo(const std::filesystem::path &p) {
  return QString::fromStdString(p.string());
}

void scriviIni(const QString &file, const QString &cartellaDb) {
  QDir().mkpath(QFileInfo(file).absolutePath());
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(("pathdbdati=" + cartellaDb + "/\r\nnomeDbDati=zelbo.mdb\r\n").toUtf8());
}

// The real main window over two demo databases: the configured one and another.
struct AvvioConFile : ::testing::Test {
  vasktest::TempDir dir;
  QString configurato, altro, cartellaProgramma, configurazione;
  QByteArray xdgPrima;
  std::unique_ptr<frmMain> w;

  void SetUp() override {
    const std::string vaskdb = (vasktest::binaryDir() / "vaskdb").string();
    QDir(testo(dir.path())).mkpath(QStringLiteral("programma"));
    QDir(testo(dir.path())).mkpath(QStringLiteral("altri"));
    configurato = testo(dir.file("zelbo.mdb"));
    altro = testo(dir.path() / "altri" / "cassa.mdb");
    for (const QString &f : {configurato, altro})
      ASSERT_EQ(vasktest::runCommand(vaskdb + " demo '" + f.toStdString() + "' --rows 20"), 0);
    cartellaProgramma = testo(dir.path() / "programma");
    configurazione = testo(dir.path() / "config");
    xdgPrima = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", configurazione.toUtf8());
    frmMain::ImpostaCartellaProgramma(cartellaProgramma);
    PercorsoDb.clear();
    NomeDb.clear();
  }
  void TearDown() override {
    if (w)
      w->hide();
    w.reset();
    DatabaseIniziale().clear();
    frmMain::ImpostaCartellaProgramma(QString());
    qputenv("XDG_CONFIG_HOME", xdgPrima);
  }
  void avvia() {
    w = std::make_unique<frmMain>();
    w->Termina = [] {};
    w->show();
    for (int i = 0; i < 4; ++i)
      QCoreApplication::processEvents();
  }
  QStringList tabelle() const {
    QStringList l;
    for (int i = 0; i < w->List1->count(); ++i)
      l << w->List1->item(i)->text();
    return l;
  }
};

} // namespace

TEST_F(AvvioConFile, WzelboIniBesideTheProgramComesFirstThenTheUserConfigurationFolder) {
  const QString accanto = cartellaProgramma + "/WZELBO.INI";
  const QString utente = configurazione + "/vask/WZELBO.INI";
  EXPECT_EQ(FileConfigurazione(cartellaProgramma), accanto); // neither: the usual place
  scriviIni(utente, testo(dir.path()));
  EXPECT_EQ(FileConfigurazione(cartellaProgramma), utente);
  qputenv("XDG_CONFIG_HOME", "relativa"); // not absolute: ignored, as XDG says
  EXPECT_EQ(FileConfigurazione(cartellaProgramma), accanto);
  qputenv("XDG_CONFIG_HOME", configurazione.toUtf8());

  // Installed system-wide there is none beside the program: the user's opens the database.
  avvia();
  EXPECT_EQ(w->Label1->text(), configurato);
  EXPECT_TRUE(tabelle().contains(QStringLiteral("BUONI")));
  EXPECT_EQ(PercorsoDb, testo(dir.path()) + "/");
  w.reset();

  scriviIni(accanto, testo(dir.path() / "altri")); // names altri/zelbo.mdb, which is missing
  EXPECT_EQ(FileConfigurazione(cartellaProgramma), accanto);
  avvia();
  EXPECT_EQ(w->Label1->text(), QString());
  EXPECT_EQ(w->List1->count(), 0);
}

TEST_F(AvvioConFile, TheDatabaseOnTheCommandLineOpensInsteadOfTheConfiguredOne) {
  scriviIni(configurazione + "/vask/WZELBO.INI", testo(dir.path()));
  DatabaseIniziale() = altro;
  avvia();
  EXPECT_EQ(w->Label1->text(), altro);
  EXPECT_EQ(PercorsoDb, testo(dir.path() / "altri") + "/"); // as "&Database" sets them
  EXPECT_EQ(NomeDb, QStringLiteral("cassa.mdb"));
  EXPECT_TRUE(tabelle().contains(QStringLiteral("BUONI")));
  EXPECT_EQ(w->focusWidget(), w->List1);
  // The operator goes on from there: a click on a table shows its row count.
  auto trovate = w->List1->findItems(QStringLiteral("IVA"), Qt::MatchExactly);
  ASSERT_EQ(trovate.size(), 1);
  QTest::mouseClick(w->List1->viewport(), Qt::LeftButton, {},
                    w->List1->visualItemRect(trovate[0]).center());
  EXPECT_TRUE(TestoStato(3).startsWith(QStringLiteral("IVA"))) << TestoStato(3).toStdString();
  EXPECT_TRUE(w->btnTabella->isEnabled());
}

TEST_F(AvvioConFile, AMissingOrRefusedDatabaseOnTheCommandLineIsReportedAndNothingOpens) {
  scriviIni(configurazione + "/vask/WZELBO.INI", testo(dir.path()));
  MsgBoxSimulato box;
  DatabaseIniziale() = testo(dir.file("manca.mdb"));
  avvia();
  ASSERT_EQ(box.Mostrati().size(), 1u);
  EXPECT_TRUE(box.Mostrati()[0].testo.contains(QStringLiteral("il file non esiste")));
  EXPECT_EQ(w->Label1->text(), QString()); // nor the configured one
  EXPECT_FALSE(w->btnTabella->isEnabled());
  w.reset();

  QFile finto(testo(dir.file("finto.mdb")));
  ASSERT_TRUE(finto.open(QIODevice::WriteOnly));
  finto.write(QByteArray(4096, 'x'));
  finto.close();
  DatabaseIniziale() = finto.fileName();
  avvia();
  ASSERT_EQ(box.Mostrati().size(), 2u);
  EXPECT_EQ(box.Mostrati()[1].icona(), vbCritical);
  EXPECT_EQ(w->Label1->text(), QString());
  EXPECT_EQ(PercorsoDb, testo(dir.path()) + "/"); // the refused file is forgotten
  EXPECT_EQ(NomeDb, QStringLiteral("zelbo.mdb"));
}

TEST(IstanzaUnica, TheProgramTakesTheDatabaseFromItsFirstArgument) {
  const auto vask = vasktest::binaryDir() / "vask";
  if (!std::filesystem::exists(vask))
    GTEST_SKIP() << "the program is not built";
  vasktest::TempDir dir;
  Programma p(dir);
  const QString manca = testo(dir.file("manca.mdb"));
  p.p.setArguments({manca});
  p.p.start();
  ASSERT_TRUE(p.AttendiFinestra()) << p.errori.toStdString();
  for (int i = 0; i < 50 && !p.errori.contains("non esiste"); ++i) {
    p.p.waitForReadyRead(100);
    p.errori += p.p.readAllStandardError();
  }
  EXPECT_TRUE(p.errori.contains(
      ("Impossibile aprire il database \"" + manca + "\": il file non esiste.").toUtf8()))
      << p.errori.toStdString();
}
