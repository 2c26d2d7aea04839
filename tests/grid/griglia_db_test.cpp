// The grid on a real database: what the operator changes in the grid reaches the file.
#include "data/man_db.h"
#include "grid/griglia_dati.h"
#include "test_support.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTableView>
#include <gtest/gtest.h>

using jet::Value;

TEST(GrigliaSuDatabase, EditsInsertionsAndDeletionsReachTheTable) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto file = vasktest::copyFixture("suite/zelbo.mdb", dir);
  data::ManDB gestore([&] { return file.string(); });
  auto conn = gestore.get_Conn(file.string());
  ASSERT_TRUE(conn.isOk()) << conn.status().message();
  std::shared_ptr<data::Connection> connessione = *conn;

  grid::GrigliaDati g;
  std::vector<jet::Status> errori;
  g.setGestoreErrori([&](const jet::Status &st) { errori.push_back(st); });
  ASSERT_TRUE(g.CaricaSql("select * from [Listino Prezzi]", connessione).isOk());
  EXPECT_EQ(connessione, *conn);
  auto rs = g.RecordsetGriglia();
  ASSERT_TRUE(rs->updatable());
  const long righe = rs->RecordCount();
  EXPECT_EQ(righe, 25);
  EXPECT_EQ(g.vista()->model()->rowCount(), righe + 1);

  // A text field: the first one of type 202 that is not a key.
  int testo = -1;
  for (int i = 0; i < rs->fieldCount(); ++i)
    if (rs->fields()[i].type == 202) {
      testo = i;
      break;
    }
  ASSERT_GE(testo, 0);
  g.setRow(2);
  g.setCol(testo);
  jet::Status st = g.setTestoCella("D'inverno");
  ASSERT_TRUE(st.isOk()) << st.message();

  // The new-row line writes a row of its own.
  QObject::connect(&g, &grid::GrigliaDati::PrimaInserimento, [&](bool &) {});
  g.setRow(static_cast<int>(righe));
  g.setCol(testo);
  ASSERT_TRUE(g.setTestoCella("Nuova").isOk()) << errori.back().message();
  EXPECT_EQ(rs->RecordCount(), righe + 1);
  // And Delete on a selected row takes it out of the table.
  g.vista()->selectRow(0);
  QKeyEvent canc(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
  QApplication::sendEvent(g.vista(), &canc);
  EXPECT_EQ(rs->RecordCount(), righe);
  EXPECT_TRUE(errori.empty());

  // Read back through another recordset on the file.
  auto letto = gestore.get_Rs("select * from [Listino Prezzi]", file.string(), 1, 1, 1, nullptr);
  ASSERT_TRUE(letto.isOk()) << letto.status().message();
  EXPECT_EQ((*letto)->RecordCount(), righe);
  int trovati = 0;
  for (long i = 0; i < (*letto)->RecordCount(); ++i) {
    Value v = (*letto)->valueAt(i, testo);
    trovati += v == Value("D'inverno") || v == Value("Nuova");
  }
  EXPECT_EQ(trovati, 2);
  vasktest::expectCheckClean(file);
}
