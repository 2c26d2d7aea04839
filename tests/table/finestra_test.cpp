// The main window driven on copies of the suite's database: choosing the database and the table,
// the working copy with its save and discard, grid editing, the filter. Every message box and
// file dialog is answered by the test.
#include "app/comune/errori.h"
#include "data/connection.h"
#include "data/man_db.h"
#include "data/shared_database.h"
#include "finestra.h"
#include "table/banca_dati.h"

#include <QLabel>
#include <QTextEdit>
#include <fstream>

using vasktest::Finestra;
using vasktest::giraEventi;
namespace fs = std::filesystem;

// ------------------------------------------------------------------ reads only

TEST_F(Finestra, DatabaseDialogOpensTheFileAndListsUserTables) {
  // The extension in mixed case is accepted; the folder keeps its final separator.
  fs::path misto = dir.file("Zelbo.Mdb");
  fs::copy_file(db, misto);
  dialogo.Rispondi(QString::fromStdString(misto.string()));
  w->btnDatabase->click();
  giraEventi();
  ASSERT_EQ(dialogo.Richieste().size(), 1u);
  EXPECT_EQ(dialogo.Richieste()[0].titolo, QStringLiteral("Apertura Database Access"));
  EXPECT_EQ(PercorsoDb, QString::fromStdString(dir.path().string()) + "/");
  EXPECT_EQ(NomeDb, QStringLiteral("Zelbo.Mdb"));
  EXPECT_EQ(w->Label1->text(), QString::fromStdString(misto.string()));
  EXPECT_TRUE(w->btnTabella->isEnabled());
  QStringList nomi;
  for (int i = 0; i < w->List1->count(); ++i)
    nomi << w->List1->item(i)->text();
  EXPECT_TRUE(nomi.contains("Listino Prezzi"));
  EXPECT_TRUE(nomi.contains("msysNote")); // the test is case-sensitive
  EXPECT_TRUE(nomi.contains("BUONI"));
  for (const QString &n : nomi)
    EXPECT_FALSE(n.startsWith("MSys")) << n.toStdString();
  EXPECT_EQ(nomi.size(), 35);
  EXPECT_TRUE(box.Mostrati().empty());

  // Cancelling the dialog opens the same database again.
  w->btnDatabase->click();
  giraEventi();
  EXPECT_EQ(w->List1->count(), 35);
  EXPECT_TRUE(w->btnTabella->isEnabled());
}

TEST_F(Finestra, RefusedFilesLeaveThePreviousDatabaseInPlace) {
  apriDb();
  const QString etichetta = w->Label1->text();
  // Not an .mdb name: nothing opens, no message, "Apri Tabella" stays disabled.
  fs::path testo = dir.file("note.txt");
  { std::ofstream(testo) << "ciao"; }
  dialogo.Rispondi(QString::fromStdString(testo.string()));
  w->btnDatabase->click();
  giraEventi();
  EXPECT_TRUE(box.Mostrati().empty());
  EXPECT_FALSE(w->btnTabella->isEnabled());
  EXPECT_EQ(NomeDb, QStringLiteral("note.txt"));
  EXPECT_EQ(w->Label1->text(), etichetta);

  // An .mdb that is not a database: its message with number, the old one stays.
  fs::path falso = dir.file("falso.mdb");
  { std::ofstream(falso) << std::string(8192, 'x'); }
  dialogo.Rispondi(QString::fromStdString(falso.string()));
  w->btnDatabase->click();
  giraEventi();
  ASSERT_EQ(box.Mostrati().size(), 1u);
  EXPECT_TRUE(box.Mostrati()[0].testo.contains("3343")) << box.Mostrati()[0].testo.toStdString();
  EXPECT_EQ(w->Label1->text(), etichetta);
  EXPECT_EQ(w->List1->count(), 35);
  EXPECT_TRUE(w->btnTabella->isEnabled());
  EXPECT_EQ(NomeDb, QStringLiteral("note.txt"));
  // And the old database still works.
  scegli("Listino Prezzi");
  EXPECT_EQ(stato(3), QStringLiteral("Listino Prezzi       - Records: 25"));
}

TEST_F(Finestra, ClickShowsPaddedNameAndRowCount) {
  apriDb();
  // The focus and the space key given to the list after opening choose its first table.
  EXPECT_EQ(w->Stato.TabellaCorrente, w->List1->item(0)->text());
  scegli("Listino Prezzi");
  EXPECT_EQ(w->Stato.TabellaCorrente, QStringLiteral("Listino Prezzi"));
  EXPECT_EQ(stato(3), QStringLiteral("Listino Prezzi       - Records: 25"));
  EXPECT_TRUE(w->btnVediStruttura->isEnabled());
  EXPECT_TRUE(w->btnAzzera->isEnabled());
  scegli("Vuota");
  EXPECT_EQ(stato(3), QStringLiteral("Vuota                - Records: 0"));
  scegli("BUONI");
  EXPECT_EQ(stato(3), QStringLiteral("BUONI                - Records: 1234"));
}

TEST_F(Finestra, CommandsWithoutADatabaseSayItAndDoNothingElse) {
  // Enter in the list and "Apri Tabella" with nothing open.
  int invio = 13;
  w->List1_KeyDown(invio, 0);
  Protetto(w->Comandi.ApriTabella); // as the handler runs it: the button is disabled
  ASSERT_EQ(box.Mostrati().size(), 2u);
  EXPECT_TRUE(box.Mostrati()[0].testo.contains("Nessun database aperto"))
      << box.Mostrati()[0].testo.toStdString();
  EXPECT_TRUE(w->btnDatabase->isEnabled());
  EXPECT_FALSE(w->btnSalva->isEnabled());
  // "Filtra" with no row: a clear message, nothing changes.
  box.Azzera();
  w->btnFiltro->setEnabled(true);
  w->btnFiltro->click();
  ASSERT_EQ(box.Mostrati().size(), 1u);
  EXPECT_TRUE(box.Mostrati()[0].testo.contains("Nessuna riga selezionata"));
  EXPECT_EQ(w->Stato.CondizioneFiltro, QStringLiteral("Where "));
}

// A working copy left behind by an abnormal end: listed, and shown by the grid loader with its
// filters. Made here by renaming CISTERNERICONC (a name of the same length) in the catalogue of
// the copy, which needs no table to be created.
TEST_F(Finestra, LeftoverCopyIsListedAndTheLoaderFiltersIt) {
  {
    std::string byte = vasktest::readFile(db);
    const std::u16string da = u"CISTERNERICONC", a = u"TemporaneaVask";
    std::string vecchio(reinterpret_cast<const char *>(da.data()), da.size() * 2);
    std::string nuovo(reinterpret_cast<const char *>(a.data()), a.size() * 2);
    size_t i = byte.find(vecchio);
    ASSERT_NE(i, std::string::npos);
    byte.replace(i, nuovo.size(), nuovo);
    std::ofstream(db, std::ios::binary | std::ios::trunc) << byte;
  }
  apriDb();
  ASSERT_EQ(w->List1->findItems("TemporaneaVask", Qt::MatchExactly).size(), 1);
  scegli("CLIENTI");
  w->Stato.HaCampoID = true;
  t->CaricaGriglia("CISTERNERICONC", QString());
  EXPECT_EQ(g->Titolo(), QStringLiteral("Tabella: CISTERNERICONC - Ordine su ID"));
  EXPECT_EQ(g->Colonne()[3].intestazione, QStringLiteral("Importo\r\n(3)"));
  const long tutte = righe();
  EXPECT_EQ(stato(3), QStringLiteral("Record 1 di ") + QString::number(tutte));
  EXPECT_EQ(*g->RecordsetGriglia()->value("ID"), jet::Value(int32_t(1)));

  // F2 on the date, then on the amount (a decimal value): each narrows, with the mark.
  auto filtra = [&](const char *campo) {
    g->setCol(g->RecordsetGriglia()->fieldIndex(campo));
    int f2 = 113;
    w->grTabelle_TastoGiu(f2, 0);
    giraEventi();
  };
  filtra("Data");
  EXPECT_EQ(w->Stato.CondizioneFiltro, QStringLiteral("Where [Data] = #2023-01-25#"));
  EXPECT_TRUE(box.Mostrati().empty()) << testiMostrati().join("|").toStdString();
  EXPECT_GE(righe(), 1);
  EXPECT_EQ(g->ColonnaCorrente(), 1);
  filtra("Importo");
  EXPECT_EQ(w->Stato.CondizioneFiltro,
            QStringLiteral("Where [Data] = #2023-01-25# AND [Importo] = 1758.79"));
  EXPECT_EQ(righe(), 1);
  EXPECT_EQ(stato(3), QStringLiteral("Record 1 di 1 (filtrati)"));
  // Ctrl+Enter on a number does nothing.
  g->setCol(3);
  tasto(Qt::Key_Return, Qt::ControlModifier);
  EXPECT_FALSE(w->frEditG->isVisible());

  // "Tutti": every row, the column kept, no mark.
  int f2 = 113;
  w->grTabelle_TastoGiu(f2, 2);
  giraEventi();
  EXPECT_EQ(w->Stato.CondizioneFiltro, QStringLiteral("Where "));
  EXPECT_EQ(righe(), tutte);
  EXPECT_EQ(g->ColonnaCorrente(), 3);
  EXPECT_FALSE(stato(3).contains("filtrati"));
  // Shift+F2 does nothing.
  w->grTabelle_TastoGiu(f2, 1);
  EXPECT_EQ(w->Stato.CondizioneFiltro, QStringLiteral("Where "));
}

// ------------------------------------------------------------------ the working copy

TEST_F(Finestra, OpenShowsCaptionHeadingsCounterAndStates) {
  apriDb();
  apri("BUONI");
  EXPECT_TRUE(box.Mostrati().empty()) << testiMostrati().join("|").toStdString();
  EXPECT_EQ(g->Titolo(), QStringLiteral("Tabella: BUONI - Ordine su ID"));
  EXPECT_EQ(g->Colonne()[0].intestazione, QStringLiteral("ID\r\n(0)"));
  EXPECT_EQ(g->Colonne()[2].intestazione, QStringLiteral("Data\r\n(2)"));
  EXPECT_EQ(stato(3), QStringLiteral("Record 1 di 1.234"));
  EXPECT_EQ(stato(2), QString());
  EXPECT_EQ(righe(), 1234);
  EXPECT_TRUE(w->Stato.HaCampoID);
  EXPECT_FALSE(w->btnDatabase->isEnabled());
  EXPECT_TRUE(w->btnSalva->isEnabled());
  EXPECT_TRUE(w->btnNuovo->isEnabled());
  EXPECT_FALSE(w->btnVediStruttura->isEnabled());
  EXPECT_FALSE(w->Stato.GrigliaVuota);
  // Ordered on ID: the first row is ID 1.
  EXPECT_EQ(*g->RecordsetGriglia()->value("ID"), jet::Value(int32_t(1)));

  // A field "Id" is not "ID": ordered on the first field.
  apri("Anagrafica");
  EXPECT_FALSE(w->Stato.HaCampoID);
  EXPECT_EQ(g->Titolo(), QStringLiteral("Tabella: ANAGRAFICA - Ordine su Cognome"));
  EXPECT_EQ(stato(3), QStringLiteral("Record 1 di 10"));
}

TEST_F(Finestra, EditSaveAndDiscard) {
  apriDb();
  // Discard: the real table is untouched and the copy is gone.
  apri("Listino Prezzi");
  const std::string prima = vasktest::mdbExport(db, "Listino Prezzi");
  g->setCol(0);
  ASSERT_TRUE(g->setTestoCella("CAMBIATO").isOk());
  w->btnUscita->click();
  giraEventi();
  EXPECT_TRUE(box.Mostrati().empty());
  EXPECT_EQ(vasktest::mdbExport(db, "Listino Prezzi"), prima);
  EXPECT_TRUE(w->btnDatabase->isEnabled());
  EXPECT_FALSE(w->btnSalva->isEnabled());
  EXPECT_TRUE(w->btnVediStruttura->isEnabled());
  EXPECT_EQ(stato(3), QString());

  // Edit and save a table whose name holds a blank.
  apri("Listino Prezzi");
  g->setCol(0);
  ASSERT_TRUE(g->setTestoCella("CAMBIATO").isOk());
  g->setCol(1);
  ASSERT_TRUE(g->setTestoCella("3,25").isOk());
  w->btnSalva->click();
  giraEventi();
  EXPECT_TRUE(box.Mostrati().empty()) << testiMostrati().join("|").toStdString();
  EXPECT_TRUE(w->btnDatabase->isEnabled());
  EXPECT_FALSE(w->btnSalva->isEnabled());
  EXPECT_TRUE(w->btnAzzera->isEnabled());
  std::string dopo = vasktest::mdbExport(db, "Listino Prezzi");
  EXPECT_NE(dopo.find("\"CAMBIATO\",3.25"), std::string::npos) << dopo;
  EXPECT_EQ(std::count(dopo.begin(), dopo.end(), '\n'), 26);
  // The copy is gone: the independent reader's table list does not hold it.
  std::string tabelle;
  ASSERT_EQ(vasktest::runCommand("mdb-tables -1 '" + db.string() + "'", &tabelle), 0);
  EXPECT_NE(tabelle.find("Listino Prezzi"), std::string::npos) << tabelle;
  EXPECT_EQ(tabelle.find("TemporaneaVask"), std::string::npos) << tabelle;
  vasktest::expectCheckClean(db);
}

TEST_F(Finestra, EmptyTableAsksAndBothAnswersDoWhatTheySay) {
  apriDb();
  box.Rispondi(vbNo);
  apri("Vuota");
  ASSERT_EQ(box.Mostrati().size(), 1u);
  EXPECT_EQ(box.Mostrati()[0].testo,
            QStringLiteral("Tabella Vuota ! \r\nAggiungere un record vuoto ?"));
  EXPECT_EQ(box.Mostrati()[0].titolo, QStringLiteral("TABELLA  VUOTA"));
  EXPECT_EQ(box.Mostrati()[0].stile, vbYesNo + vbCritical + vbDefaultButton2);
  EXPECT_TRUE(w->Stato.GrigliaVuota);
  EXPECT_FALSE(w->btnSalva->isEnabled());
  EXPECT_TRUE(w->btnDatabase->isEnabled());

  box.Azzera();
  box.Rispondi(vbYes);
  apri("Vuota");
  EXPECT_EQ(box.Mostrati().size(), 1u);
  EXPECT_EQ(righe(), 1);
  EXPECT_FALSE(w->Stato.GrigliaVuota);
  EXPECT_TRUE(w->btnSalva->isEnabled());
  EXPECT_EQ(stato(3), QStringLiteral("Record 1 di 1"));
}

TEST_F(Finestra, FiltersChainWithApostropheNullDateAndDecimalThenTutti) {
  apriDb();
  apri("CLIENTI");
  ASSERT_EQ(righe(), 150);
  // Row 1: Indirizzo "Via Dell'Orto, 124", Note Null, DataInserimento 08/11/2015, Fido 1261,28.
  auto filtra = [&](const char *campo) {
    g->setCol(g->RecordsetGriglia()->fieldIndex(campo));
    int f2 = 113;
    w->grTabelle_TastoGiu(f2, 0);
    giraEventi();
  };
  filtra("Indirizzo");
  EXPECT_EQ(w->Stato.CondizioneFiltro, QStringLiteral("Where [Indirizzo] = 'Via Dell''Orto, 124'"));
  EXPECT_TRUE(box.Mostrati().empty()) << testiMostrati().join("|").toStdString();
  const long conIndirizzo = righe();
  EXPECT_GE(conIndirizzo, 1);
  EXPECT_EQ(g->ColonnaCorrente(), g->RecordsetGriglia()->fieldIndex("Indirizzo"));
  EXPECT_TRUE(stato(3).endsWith(" (filtrati)"));
  filtra("Note");
  EXPECT_TRUE(w->Stato.CondizioneFiltro.endsWith(" AND [Note] IS NULL"));
  filtra("DataInserimento");
  EXPECT_TRUE(w->Stato.CondizioneFiltro.endsWith(" AND [DataInserimento] = #2015-11-08#"));
  filtra("Fido");
  EXPECT_TRUE(w->Stato.CondizioneFiltro.endsWith(" AND [Fido] = 1261.28"))
      << w->Stato.CondizioneFiltro.toStdString();
  EXPECT_TRUE(box.Mostrati().empty()) << testiMostrati().join("|").toStdString();
  EXPECT_EQ(righe(), 1);
  EXPECT_EQ(*g->RecordsetGriglia()->value("ID"), jet::Value(int32_t(1)));
  EXPECT_EQ(stato(3), QStringLiteral("Record 1 di 1 (filtrati)"));

  // "Tutti" (Ctrl+F2): every row again, back in the same column, no mark.
  g->setCol(3);
  int f2 = 113;
  w->grTabelle_TastoGiu(f2, 2);
  giraEventi();
  EXPECT_EQ(w->Stato.CondizioneFiltro, QStringLiteral("Where "));
  EXPECT_EQ(righe(), 150);
  EXPECT_EQ(g->ColonnaCorrente(), 3);
  EXPECT_EQ(stato(3), QStringLiteral("Record 1 di 150"));
}

TEST_F(Finestra, NewRowTakesTheHighestIdPlusOne) {
  prepara({"INSERT INTO Vuota (ID, Descrizione) VALUES (1, 'uno')",
           "INSERT INTO Vuota (ID, Descrizione) VALUES (5, 'cinque')",
           "INSERT INTO Vuota (ID, Descrizione) VALUES (3, 'tre')"});
  apriDb();
  apri("Vuota");
  ASSERT_EQ(righe(), 3);
  tasto(Qt::Key_Insert); // "Nuova riga (Ins)"
  EXPECT_TRUE(box.Mostrati().empty()) << testiMostrati().join("|").toStdString();
  ASSERT_EQ(righe(), 4);
  auto rs = g->RecordsetGriglia();
  EXPECT_EQ(rs->valueAt(3, rs->fieldIndex("ID")), jet::Value(int32_t(6)));

  // Through the grid's own new-row line: the question, then the ID.
  box.Rispondi(vbYes);
  g->setRow(static_cast<int>(rs->RecordCount())); // the new-row line
  g->setCol(1);
  ASSERT_TRUE(g->setTestoCella("sette").isOk());
  giraEventi();
  ASSERT_EQ(box.Mostrati().size(), 1u);
  EXPECT_EQ(box.Mostrati()[0].testo, QStringLiteral("Aggiungere una riga nuova?"));
  rs = g->RecordsetGriglia();
  ASSERT_EQ(rs->RecordCount(), 5);
  bool trovato = false;
  for (long i = 0; i < rs->RecordCount(); ++i)
    if (rs->valueAt(i, 1) == jet::Value("sette")) {
      trovato = true;
      EXPECT_EQ(rs->valueAt(i, 0), jet::Value(int32_t(7)));
    }
  EXPECT_TRUE(trovato);
}

TEST_F(Finestra, LastRowDeletedAfterTheHint) {
  apriDb();
  apri("msysNote");
  ASSERT_EQ(righe(), 1);
  box.Rispondi(vbOK);
  box.Rispondi(vbYes);
  g->vista()->selectRow(0);
  tasto(Qt::Key_Delete);
  ASSERT_EQ(box.Mostrati().size(), 2u) << testiMostrati().join("|").toStdString();
  EXPECT_EQ(box.Mostrati()[0].titolo, QStringLiteral("Consiglio"));
  EXPECT_EQ(
      box.Mostrati()[0].testo,
      QStringLiteral("Per vuotare completamente la tabella utilizzare F7 e scegliere TUTTI!"));
  EXPECT_EQ(box.Mostrati()[1].testo, QStringLiteral("Eliminare definitamente la riga indicata?"));
  EXPECT_EQ(righe(), 0);
  w->btnSalva->click();
  giraEventi();
  std::string dopo = vasktest::mdbExport(db, "msysNote");
  EXPECT_EQ(std::count(dopo.begin(), dopo.end(), '\n'), 1) << dopo;
  vasktest::expectCheckClean(db);
}

TEST_F(Finestra, CtrlEnterOpensThePanelOnTextOnly) {
  apriDb();
  apri("CLIENTI");
  auto rs = g->RecordsetGriglia();
  auto ctrlInvio = [&](const char *campo) {
    g->setCol(rs->fieldIndex(campo));
    tasto(Qt::Key_Return, Qt::ControlModifier);
  };
  ctrlInvio("ID");
  EXPECT_FALSE(w->frEditG->isVisible());
  ctrlInvio("Fido");
  EXPECT_FALSE(w->frEditG->isVisible());
  ctrlInvio("DataInserimento");
  EXPECT_FALSE(w->frEditG->isVisible());
  ctrlInvio("Indirizzo");
  ASSERT_TRUE(w->frEditG->isVisible());
  EXPECT_EQ(w->txEditG->toPlainText(), QStringLiteral("Via Dell'Orto, 124"));
  EXPECT_EQ(w->frEditG->Titolo->text(), QStringLiteral(" Modifica"));
  // "Abbandona" leaves the cell; "Salva" writes the panel's text into it.
  w->txEditG->setPlainText("Altro");
  w->btnEscEG->click();
  EXPECT_FALSE(w->frEditG->isVisible());
  EXPECT_EQ(g->TestoCella(), QStringLiteral("Via Dell'Orto, 124"));
  ctrlInvio("Indirizzo");
  w->txEditG->setPlainText("Via Nuova, 1");
  w->btnSalvaEG->click();
  giraEventi();
  EXPECT_FALSE(w->frEditG->isVisible());
  EXPECT_EQ(g->TestoCella(), QStringLiteral("Via Nuova, 1"));
}

TEST_F(Finestra, SaveThatWouldDuplicateAKeyIsRefusedAndChangesNothing) {
  apriDb();
  apri("CATEGORIE");
  const std::string prima = vasktest::mdbExport(db, "CATEGORIE");
  auto rs = g->RecordsetGriglia();
  ASSERT_GE(rs->RecordCount(), 2);
  // The copy has no keys: two rows can share ID 1 there, not in the real table.
  g->setRow(1);
  g->setCol(rs->fieldIndex("ID"));
  ASSERT_TRUE(g->setTestoCella("1").isOk());
  w->btnSalva->click();
  giraEventi();
  ASSERT_EQ(box.Mostrati().size(), 1u);
  const QString m = box.Mostrati()[0].testo;
  EXPECT_TRUE(m.contains("non è stata registrata")) << m.toStdString();
  EXPECT_TRUE(m.contains("duplicat")) << m.toStdString();
  EXPECT_TRUE(m.contains("ID = 1")) << m.toStdString();
  EXPECT_EQ(vasktest::mdbExport(db, "CATEGORIE"), prima);
  // The copy stays open for correction.
  EXPECT_TRUE(w->btnSalva->isEnabled());
  EXPECT_FALSE(w->btnDatabase->isEnabled());
  EXPECT_EQ(righe(), rs->RecordCount());
  vasktest::expectCheckClean(db);
}

TEST_F(Finestra, UntrappedFailureIsShownItsOpenTransactionRolledBackAndTheWindowGoesOn) {
  apriDb();
  apri("CATEGORIE");
  const std::string prima = vasktest::mdbExport(db, "CATEGORIE");
  const long copia = righe();
  auto conn = t->Banca()->ConnessioneDb;
  // A command that opens a transaction, writes, and fails on a statement the engine refuses.
  w->Comandi.Filtra = [&] {
    Verifica(conn->BeginTrans());
    Verifica(conn->Execute("DELETE FROM TemporaneaVask"));
    Verifica(conn->Execute("INSERT INTO CATEGORIE (ID, Descrizione) SELECT ID, Descrizione FROM "
                           "CATEGORIE"));
  };
  tasto(Qt::Key_F2);
  ASSERT_EQ(box.Mostrati().size(), 1u) << testiMostrati().join("|").toStdString();
  const QString m = box.Mostrati()[0].testo;
  EXPECT_TRUE(m.startsWith(QStringLiteral("Errore di run-time '")) && m.contains("':\r\n\r\n"))
      << m.toStdString();
  EXPECT_TRUE(m.contains("duplicat")) << m.toStdString();
  EXPECT_FALSE(conn->inTransaction());
  EXPECT_FALSE(conn->database().engine().inTransaction());
  EXPECT_EQ(std::count_if(box.Mostrati().begin(), box.Mostrati().end(),
                          [](const auto &b) { return b.stile == vbOKOnly + vbCritical; }),
            1);

  // A transaction of another connection to the same file, left open the same way.
  auto altra = t->Banca()->GestoreDb.get_Conn(db.string());
  ASSERT_TRUE(altra.isOk());
  w->Comandi.Filtra = [&] {
    Verifica((*altra)->BeginTrans());
    Verifica((*altra)->Execute("DELETE FROM TemporaneaVask"));
    throw ErroreVask(3021, QStringLiteral("Nessun record corrente."));
  };
  tasto(Qt::Key_F2);
  ASSERT_EQ(box.Mostrati().size(), 2u);
  EXPECT_EQ(box.Mostrati()[1].testo,
            QStringLiteral("Errore di run-time '3021':\r\n\r\nNessun record corrente."));
  EXPECT_FALSE((*altra)->inTransaction());
  EXPECT_FALSE(conn->database().engine().inTransaction());

  // The window goes on: the copy still has its rows, and it is saved as it stands.
  w->btnVuota->click();
  giraEventi();
  EXPECT_EQ(righe(), copia);
  w->btnSalva->click();
  giraEventi();
  EXPECT_EQ(box.Mostrati().size(), 2u) << testiMostrati().join("|").toStdString();
  EXPECT_TRUE(w->btnDatabase->isEnabled());
  EXPECT_EQ(vasktest::mdbExport(db, "CATEGORIE"), prima);
  vasktest::expectCheckClean(db);
}
