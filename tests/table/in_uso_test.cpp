// The suite has the database open (a Jet client in a process of its own): the window still opens
// it, read-only, tells the operator who has it, and writes nothing.
#include "app/comune/dialoghi.h"
#include "app/comune/fungen.h"
#include "app/comune/messaggi.h"
#include "app/frmmain.h"
#include "jet/ldb_users.h"
#include "jet_client.h"
#include "test_support.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

void giraEventi() {
  for (int i = 0; i < 4; ++i)
    QCoreApplication::processEvents();
}

bool mostrato(const MsgBoxSimulato &box, const QString &testo) {
  for (const auto &m : box.Mostrati())
    if (m.testo.contains(testo))
      return true;
  return false;
}

} // namespace

TEST(InUso, DatabaseOpenInTheSuiteOpensReadOnlyAndNamesItsUser) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  const fs::path db = vasktest::copyFixture("suite/zelbo.mdb", dir);
  const std::string prima = vasktest::readFile(db);
  frmMain::ImpostaCartellaProgramma(QString::fromStdString(dir.path().string()));
  PercorsoDb.clear();
  NomeDb.clear();
  MsgBoxSimulato box;
  ApriFileSimulato dialogo;
  const QString messaggio = QStringLiteral(
      "Il database è in uso da PC-CASSA (Admin): chiudere il gestionale prima di modificarlo.");
  {
    vasktest::JetClient cassa(jet::ldbPathFor(db.string()), "PC-CASSA", "Admin");
    auto w = std::make_unique<frmMain>();
    w->Termina = [] {};
    w->show();
    giraEventi();

    dialogo.Rispondi(QString::fromStdString(db.string()));
    QTest::mouseClick(w->btnDatabase, Qt::LeftButton);
    giraEventi();
    ASSERT_TRUE(mostrato(box, messaggio));
    EXPECT_EQ(box.Mostrati().back().icona(), vbExclamation);
    auto buoni = w->List1->findItems(QStringLiteral("BUONI"), Qt::MatchExactly);
    ASSERT_EQ(buoni.size(), 1); // the tables are listed all the same

    // Opening a table needs its working copy in the file: refused with the same words.
    box.Azzera();
    QTest::mouseClick(w->List1->viewport(), Qt::LeftButton, {},
                      w->List1->visualItemRect(buoni[0]).center());
    giraEventi();
    QTest::mouseClick(w->btnTabella, Qt::LeftButton);
    giraEventi();
    EXPECT_TRUE(mostrato(box, QStringLiteral("in uso da PC-CASSA (Admin)")));
    EXPECT_TRUE(w->btnDatabase->isEnabled());
    w->hide();
  }
  EXPECT_EQ(vasktest::readFile(db), prima);
  EXPECT_FALSE(fs::exists(db.string() + "-journal"));
  std::string out;
  EXPECT_EQ(vasktest::runCommand(
                (vasktest::binaryDir() / "vaskdb").string() + " check '" + db.string() + "'", &out),
            0)
      << out;
  EXPECT_EQ(vasktest::runCommand("mdb-export '" + db.string() + "' BUONI > /dev/null"), 0);
}
