// Start-up: Qt's Italian texts, the message-box seam, and the single running copy per user
// checked with the real program started as two processes.
#include "app/comune/messaggi.h"
#include "app/istanza.h"
#include "app/principale.h"
#include "test_support.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
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
