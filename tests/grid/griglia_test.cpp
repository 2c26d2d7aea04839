#include "data/ado_types.h"
#include "grid/griglia_dati.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTableView>
#include <gtest/gtest.h>

using data::Field;
using data::Recordset;
using grid::GrigliaDati;
using jet::Value;

namespace {

// The table behind the recordset: records what reached it and refuses on demand.
struct FakeWriter : data::RowWriter {
  std::vector<std::vector<Value>> updated, inserted;
  std::vector<data::RowId> deleted;
  bool fail = false;
  data::RowId nextId = 100;
  jet::Status updateRow(data::RowId &, std::vector<Value> &values) override {
    if (fail)
      return {jet::ErrorCode::DuplicateKey, "Chiave duplicata."};
    updated.push_back(values);
    return {};
  }
  jet::Result<data::RowId> insertRow(std::vector<Value> &values) override {
    if (fail)
      return jet::Status{jet::ErrorCode::RequiredNull, "Campo obbligatorio vuoto."};
    inserted.push_back(values);
    return nextId++;
  }
  jet::Status deleteRow(data::RowId row) override {
    if (fail)
      return {jet::ErrorCode::RelationshipChildren, "Righe collegate."};
    deleted.push_back(row);
    return {};
  }
};

enum { kId, kNome, kPrezzo, kData, kAttivo, kNote };

std::vector<Field> campi() {
  using namespace data::ado;
  return {{"ID", Integer, 4, jet::ColumnType::Long},
          {"Nome", VarWChar, 10, jet::ColumnType::Text},
          {"Prezzo", Double, 8, jet::ColumnType::Double},
          {"Data", Date, 8, jet::ColumnType::DateTime},
          {"Attivo", Boolean, 2, jet::ColumnType::Boolean},
          {"Note", LongVarWChar, 536870910, jet::ColumnType::Memo}};
}

Value giorno(int y, int m, int d) {
  return Value(jet::toDateTime({y, m, d}));
}

class Griglia : public ::testing::Test {
protected:
  void SetUp() override {
    writer = std::make_shared<FakeWriter>();
    rs = std::make_shared<Recordset>(campi(), data::LockType::Optimistic, writer);
    const int ids[] = {1, 5, 3};
    const char *nomi[] = {"Rossi", "Bianchi", "Verdi"};
    for (int i = 0; i < 3; ++i)
      rs->appendLoadedRow(10 + i, {Value(int32_t(ids[i])), Value(nomi[i]), Value(1234.5 * (i + 1)),
                                   giorno(2003, 12, 25 + i), Value(i == 0), Value()});
    rs->finishLoading();
    g = std::make_unique<GrigliaDati>();
    g->resize(700, 300);
    g->setGestoreErrori([this](const jet::Status &st) { errori.push_back(st); });
    QObject::connect(g.get(), &GrigliaDati::CambioRiga,
                     [this](long prima, int) { cambi.push_back(prima); });
    g->CaricaRecordset(rs);
    g->show();
    QApplication::processEvents();
  }

  // The grid goes first: its handlers write into the members below.
  void TearDown() override { g.reset(); }

  QTableView *v() { return g->vista(); }
  QAbstractItemModel *m() { return v()->model(); }
  QString cella(int r, int c) { return m()->index(r, c).data().toString(); }
  void vai(int r, int c) { v()->setCurrentIndex(m()->index(r, c)); }
  void tasto(QWidget *w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier,
             const QString &text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(w, &press);
  }
  // Types a text into the cell and ends the edit with Enter, as the operator does.
  void digita(int r, int c, const QString &text) {
    vai(r, c);
    v()->edit(m()->index(r, c));
    auto *ed = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    ASSERT_NE(ed, nullptr);
    ed->setText(text);
    tasto(ed, Qt::Key_Return);
    QApplication::processEvents(); // the editor hands its text over once the key is done
  }
  void clicIntestazione(int colonna) {
    auto *h = v()->horizontalHeader();
    QPoint p(h->sectionViewportPosition(colonna) + h->sectionSize(colonna) / 2, h->height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, p, h->viewport()->mapToGlobal(p), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, p, h->viewport()->mapToGlobal(p),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(h->viewport(), &press);
    QApplication::sendEvent(h->viewport(), &release);
  }

  std::shared_ptr<FakeWriter> writer;
  std::shared_ptr<Recordset> rs;
  std::unique_ptr<GrigliaDati> g;
  std::vector<jet::Status> errori;
  std::vector<long> cambi;
};

} // namespace

TEST_F(Griglia, LoadsTheRecordsetItselfWithCaptionHeadingsAndANewRowLine) {
  EXPECT_EQ(g->RecordsetGriglia(), rs); // not a copy
  EXPECT_EQ(m()->rowCount(), 4);        // three rows and the new-row line
  EXPECT_EQ(m()->columnCount(), 6);
  EXPECT_EQ(g->row(), 0);
  EXPECT_EQ(g->ColonnaCorrente(), 0);
  EXPECT_EQ(rs->AbsolutePosition(), 1);
  EXPECT_EQ(cella(0, kNome), "Rossi");
  EXPECT_EQ(cella(1, kPrezzo), "2469");
  EXPECT_EQ(cella(0, kPrezzo), "1234,5");
  EXPECT_EQ(cella(0, kData), "25/12/2003");
  EXPECT_EQ(m()->index(0, kAttivo).data(Qt::CheckStateRole).toInt(), Qt::Checked);
  EXPECT_EQ(m()->index(1, kAttivo).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
  EXPECT_EQ(m()->headerData(3, Qt::Vertical).toString(), "*");
  EXPECT_TRUE(cambi.empty()); // loading is not a row change

  for (int i = 0; i < rs->fieldCount(); ++i) {
    QString nome = QString::fromStdString(rs->fields()[i].name);
    ASSERT_TRUE(
        g->IntestaColonna(nome + "\r\n(" + QString::number(i) + ")", rs->fields()[i].name).isOk());
  }
  EXPECT_EQ(m()->headerData(kPrezzo, Qt::Horizontal).toString(), "Prezzo\n(2)");
  EXPECT_EQ(g->Colonne()[kPrezzo].intestazione, "Prezzo\r\n(2)");
  EXPECT_EQ(g->Colonne()[kPrezzo].Testo(), "Prezzo");
  EXPECT_EQ(g->IntestaColonna("x", "Manca").code(), jet::ErrorCode::NoSuchColumn);
  g->setTitolo("Tabella: ARTICOLI - Ordine su ID");
  EXPECT_EQ(g->Titolo(), "Tabella: ARTICOLI - Ordine su ID");

  // A read-only recordset has no new-row line and nothing to edit.
  auto ro = std::make_shared<Recordset>(campi());
  ro->appendLoadedRow(1, {Value(int32_t(1)), Value("a"), Value(), Value(), Value(false), Value()});
  ro->finishLoading();
  g->CaricaRecordset(ro);
  EXPECT_EQ(m()->rowCount(), 1);
  EXPECT_FALSE(m()->index(0, kNome).flags() & Qt::ItemIsEditable);
}

TEST_F(Griglia, CaricaSqlGoesThroughTheLoaderAndKeepsTheGridOnFailure) {
  std::string chiesto;
  auto altro = std::make_shared<Recordset>(campi());
  altro->finishLoading();
  ASSERT_TRUE(g->CaricaSql("select * FROM TemporaneaVask ", [&](const std::string &sql) {
                 chiesto = sql;
                 return jet::Result<std::shared_ptr<Recordset>>(altro);
               }).isOk());
  EXPECT_EQ(chiesto, "select * FROM TemporaneaVask ");
  EXPECT_EQ(g->RecordsetGriglia(), altro);

  g->setCaricatore([](const std::string &) {
    return jet::Result<std::shared_ptr<Recordset>>(
        jet::Status{jet::ErrorCode::Syntax, "Errore di sintassi."});
  });
  EXPECT_EQ(g->CaricaSql("select").code(), jet::ErrorCode::Syntax);
  EXPECT_EQ(g->RecordsetGriglia(), altro);
  EXPECT_FALSE(GrigliaDati().CaricaSql("select").isOk()); // no loader at all
}

TEST_F(Griglia, HeadingClickOrdersOnItKeepingTheCurrentRecord) {
  std::vector<std::pair<int, bool>> ordini;
  QObject::connect(g.get(), &GrigliaDati::OrdineCambiato, [&](int c, bool asc) {
    ordini.push_back({c, asc});
  });
  vai(1, kNome); // Bianchi, ID 5
  clicIntestazione(kId);
  ASSERT_EQ(ordini.size(), 1u);
  EXPECT_EQ(ordini[0], std::make_pair(int(kId), true));
  EXPECT_EQ(cella(0, kId), "1");
  EXPECT_EQ(cella(1, kId), "3");
  EXPECT_EQ(cella(2, kId), "5");
  EXPECT_EQ(g->row(), 2); // Bianchi is still the current record
  EXPECT_EQ(rs->value(kNome).value(), Value("Bianchi"));
  clicIntestazione(kId);
  EXPECT_EQ(ordini.back(), std::make_pair(int(kId), false));
  EXPECT_EQ(cella(0, kId), "5");

  // OrdinaSu orders from the program and puts the first row current.
  ASSERT_TRUE(g->OrdinaSu("nome").isOk());
  EXPECT_EQ(cella(0, kNome), "Bianchi");
  EXPECT_EQ(g->row(), 0);
  EXPECT_EQ(rs->AbsolutePosition(), 1);
  EXPECT_EQ(ordini.size(), 2u); // only the operator's reorders are events
  EXPECT_FALSE(g->OrdinaSu("Manca").isOk());
}

TEST_F(Griglia, TypedCellsWriteValuesOfTheirFieldsType) {
  int riposiziona = 0, invio = 0;
  QObject::connect(g.get(), &GrigliaDati::RiposizionaCursore, [&](int, int) { ++riposiziona; });
  QObject::connect(g.get(), &GrigliaDati::EventoInvio, [&] { ++invio; });

  digita(1, kNome, "Neri");
  ASSERT_EQ(writer->updated.size(), 1u);
  EXPECT_EQ(writer->updated[0][kNome], Value("Neri"));
  EXPECT_EQ(writer->updated[0][kId], Value(int32_t(5)));
  EXPECT_EQ(riposiziona, 1);
  EXPECT_EQ(invio, 1);
  EXPECT_FALSE(g->EditInCorso());

  digita(1, kPrezzo, "1.234,56");
  EXPECT_EQ(writer->updated.back()[kPrezzo], Value(1234.56));
  EXPECT_EQ(cella(1, kPrezzo), "1234,56");
  digita(1, kData, "1/2/2004 08:30");
  EXPECT_EQ(writer->updated.back()[kData], Value(jet::toDateTime({2004, 2, 1, 8, 30, 0})));
  EXPECT_EQ(cella(1, kData), "01/02/2004 08:30:00");
  // The first day of the calendar, with its time; what the cell shows reads back unchanged.
  digita(1, kData, "1/1/0100 12:00");
  EXPECT_EQ(writer->updated.back()[kData], Value(jet::DateTime{-657434.5}));
  EXPECT_EQ(cella(1, kData), "01/01/0100 12:00:00");
  size_t primoGiorno = writer->updated.size();
  digita(1, kData, cella(1, kData));
  EXPECT_EQ(writer->updated.size(), primoGiorno);

  // Yes/no is a check: Space toggles it.
  vai(1, kAttivo);
  tasto(v(), Qt::Key_Space, Qt::NoModifier, " ");
  EXPECT_EQ(writer->updated.back()[kAttivo], Value(true));
  EXPECT_EQ(m()->index(1, kAttivo).data(Qt::CheckStateRole).toInt(), Qt::Checked);

  // Leaving a cell unchanged writes nothing.
  size_t scritti = writer->updated.size();
  digita(1, kPrezzo, "1234,56");
  EXPECT_EQ(writer->updated.size(), scritti);
  EXPECT_TRUE(errori.empty());
}

TEST_F(Griglia, ARefusedOrUnreadableValueIsReportedAndTheCellKeepsTheTablesValue) {
  int invio = 0;
  QObject::connect(g.get(), &GrigliaDati::EventoInvio, [&] { ++invio; });
  digita(0, kPrezzo, "3.5");
  ASSERT_EQ(errori.size(), 1u);
  EXPECT_EQ(errori[0].code(), jet::ErrorCode::TypeMismatch);
  EXPECT_NE(errori[0].message().find("Prezzo"), std::string::npos);
  EXPECT_TRUE(writer->updated.empty());

  writer->fail = true;
  digita(0, kNome, "Gialli");
  ASSERT_EQ(errori.size(), 2u);
  EXPECT_EQ(errori[1].code(), jet::ErrorCode::DuplicateKey);
  // The operator is told what was not kept.
  EXPECT_NE(errori[1].message().find("\"Gialli\""), std::string::npos);
  EXPECT_EQ(cella(0, kNome), "Rossi");
  EXPECT_EQ(rs->value(kNome).value(), Value("Rossi"));
  EXPECT_EQ(invio, 0); // Enter did not go on past a refused value

  writer->fail = false;
  digita(0, kNome, "Troppo lungo per dieci");
  ASSERT_EQ(errori.size(), 3u); // refused whole, never cut to the field's size
  EXPECT_EQ(errori[2].code(), jet::ErrorCode::TextTooLong);
  EXPECT_EQ(cella(0, kNome), "Rossi");
}

TEST_F(Griglia, NewRowLineInsertsWithTheRowCurrentDuringTheEvent) {
  QObject::connect(g.get(), &GrigliaDati::PrimaInserimento, [&](bool &) {
    // As the program does: the row being inserted is the recordset's current record.
    EXPECT_TRUE(rs->adding());
    ASSERT_TRUE(rs->setValue(rs->fieldIndex("ID"), Value(int32_t(6))).isOk());
  });
  digita(3, kNome, "Nuovo");
  ASSERT_EQ(writer->inserted.size(), 1u);
  EXPECT_EQ(writer->inserted[0][kId], Value(int32_t(6)));
  EXPECT_EQ(writer->inserted[0][kNome], Value("Nuovo"));
  EXPECT_EQ(rs->RecordCount(), 4);
  EXPECT_EQ(m()->rowCount(), 5);
  EXPECT_EQ(g->row(), 3);
  EXPECT_EQ(rs->AbsolutePosition(), 4);
  EXPECT_EQ(cella(3, kId), "6");
  EXPECT_EQ(m()->headerData(4, Qt::Vertical).toString(), "*");
  // Further cells of the new row are ordinary updates.
  digita(3, kPrezzo, "2");
  EXPECT_EQ(writer->inserted.size(), 1u);
  EXPECT_EQ(writer->updated.back()[kPrezzo], Value(2.0));
}

TEST_F(Griglia, CancelledOrRefusedInsertionWritesNothingAndLosesNothingSilently) {
  bool annulla = true;
  int eventi = 0;
  QObject::connect(g.get(), &GrigliaDati::PrimaInserimento, [&](bool &c) {
    ++eventi;
    c = annulla;
  });
  digita(3, kNome, "No");
  EXPECT_EQ(eventi, 1);
  EXPECT_TRUE(writer->inserted.empty());
  EXPECT_FALSE(rs->adding());
  EXPECT_EQ(rs->RecordCount(), 3);
  EXPECT_EQ(cella(3, kNome), "");

  annulla = false;
  writer->fail = true;
  digita(3, kNome, "Tenuto");
  ASSERT_EQ(errori.size(), 1u);
  EXPECT_EQ(errori[0].code(), jet::ErrorCode::RequiredNull);
  EXPECT_TRUE(rs->adding()); // still in the new-row line, with what was typed
  EXPECT_EQ(cella(3, kNome), "Tenuto");
  EXPECT_EQ(m()->headerData(3, Qt::Vertical).toString(), QString(QChar(0x270E)));
  writer->fail = false;
  digita(3, kPrezzo, "7,5"); // correcting it writes the whole row, without asking again
  EXPECT_EQ(eventi, 2);
  ASSERT_EQ(writer->inserted.size(), 1u);
  EXPECT_EQ(writer->inserted[0][kNome], Value("Tenuto"));
  EXPECT_EQ(writer->inserted[0][kPrezzo], Value(7.5));

  // Leaving a refused new row drops it.
  writer->fail = true;
  digita(4, kNome, "Via");
  EXPECT_TRUE(rs->adding());
  vai(0, kNome);
  EXPECT_FALSE(rs->adding());
  EXPECT_EQ(rs->AbsolutePosition(), 1);
}

TEST_F(Griglia, DeleteKeyOnASelectedRowAsksAndDeletes) {
  bool annulla = true;
  int eventi = 0;
  std::string corrente; // the row about to go is the recordset's current record
  QObject::connect(g.get(), &GrigliaDati::PrimaCancellazione, [&](bool &c) {
    ++eventi;
    corrente = rs->value(kNome)->as<std::string>();
    c = annulla;
  });
  vai(1, kNome);
  tasto(v(), Qt::Key_Delete); // a cell, not a selected row: nothing
  EXPECT_EQ(eventi, 0);
  v()->selectRow(1);
  tasto(v(), Qt::Key_Delete);
  EXPECT_EQ(eventi, 1);
  EXPECT_EQ(corrente, "Bianchi");
  EXPECT_TRUE(writer->deleted.empty());
  EXPECT_EQ(rs->RecordCount(), 3);

  annulla = false;
  cambi.clear();
  v()->selectRow(1);
  tasto(v(), Qt::Key_Delete);
  ASSERT_EQ(writer->deleted.size(), 1u);
  EXPECT_EQ(writer->deleted[0], 11u);
  EXPECT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(m()->rowCount(), 3);
  EXPECT_EQ(cella(1, kNome), "Verdi"); // the next row takes its place and is current
  EXPECT_EQ(g->row(), 1);
  EXPECT_EQ(rs->value(kNome).value(), Value("Verdi"));
  EXPECT_FALSE(cambi.empty());

  writer->fail = true;
  v()->selectRow(0);
  tasto(v(), Qt::Key_Delete);
  ASSERT_EQ(errori.size(), 1u);
  EXPECT_EQ(errori[0].code(), jet::ErrorCode::RelationshipChildren);
  EXPECT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(cella(0, kNome), "Rossi");
}

TEST_F(Griglia, KeysReachTastoGiuFirstAndCanBeSwallowedOrReplaced) {
  std::vector<std::pair<int, int>> tasti;
  int sostituisci = -1;
  QObject::connect(g.get(), &GrigliaDati::TastoGiu, [&](int &codice, int maiuscole) {
    tasti.push_back({codice, maiuscole});
    if (codice == 13 && maiuscole == 2)
      codice = 0; // Ctrl+Enter swallowed, as the program does
    else if (codice == 40 && sostituisci >= 0)
      codice = sostituisci;
  });
  tasto(v(), Qt::Key_F2, Qt::ControlModifier);
  ASSERT_EQ(tasti.size(), 1u);
  EXPECT_EQ(tasti[0], std::make_pair(113, 2));
  tasto(v(), Qt::Key_Return, Qt::ControlModifier);
  EXPECT_EQ(tasti.back(), std::make_pair(13, 2));
  EXPECT_EQ(g->ColonnaCorrente(), 0); // swallowed: Enter did not move on
  tasto(v(), Qt::Key_Return);
  EXPECT_EQ(g->ColonnaCorrente(), 1); // plain Enter goes to the next cell

  sostituisci = 0;
  tasto(v(), Qt::Key_Down);
  EXPECT_EQ(g->row(), 0);
  sostituisci = -1;
  tasto(v(), Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(tasti.back(), std::make_pair(40, 1));
  tasto(v(), Qt::Key_Down);
  EXPECT_EQ(g->row(), 2);
  sostituisci = 38; // Down turned into Up
  tasto(v(), Qt::Key_Down);
  EXPECT_EQ(g->row(), 1);

  // Keys typed in a cell editor are reported once, whether the editor uses them or not.
  vai(0, kNome);
  v()->edit(m()->index(0, kNome));
  QWidget *ed = QApplication::focusWidget();
  ASSERT_NE(qobject_cast<QLineEdit *>(ed), nullptr);
  tasti.clear();
  tasto(ed, Qt::Key_F7);
  tasto(ed, Qt::Key_A, Qt::NoModifier, "a");
  tasto(ed, Qt::Key_F5, Qt::AltModifier);
  std::vector<std::pair<int, int>> attesi{{118, 0}, {65, 0}, {116, 4}};
  EXPECT_EQ(tasti, attesi);
  EXPECT_TRUE(g->EditInCorso());
}

TEST_F(Griglia, CurrentRowIsTheRecordsetsCurrentRecordBothWays) {
  tasto(v(), Qt::Key_Down);
  EXPECT_EQ(rs->AbsolutePosition(), 2);
  ASSERT_EQ(cambi.size(), 1u);
  EXPECT_EQ(cambi[0], 0); // the previous row
  vai(2, kPrezzo);
  EXPECT_EQ(rs->AbsolutePosition(), 3);
  EXPECT_EQ(g->ColonnaCorrente(), kPrezzo);
  EXPECT_EQ(cambi.size(), 2u);
  vai(2, kNome); // a column change is not a row change
  EXPECT_EQ(cambi.size(), 2u);

  // Moving the recordset moves the grid.
  rs->MoveFirst();
  EXPECT_EQ(g->row(), 0);
  QApplication::processEvents(); // the view itself catches up when the loop turns
  EXPECT_EQ(v()->currentIndex().row(), 0);
  EXPECT_EQ(m()->headerData(0, Qt::Vertical).toString(), QString(QChar(0x25B6)));
  EXPECT_EQ(m()->headerData(2, Qt::Vertical).toString(), "");
  EXPECT_EQ(g->ColonnaCorrente(), kNome);
  EXPECT_EQ(cambi.size(), 3u);
  EXPECT_EQ(cambi.back(), 2);
  // Walking it to the end, as the report does, leaves the grid past the last row.
  for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) {
  }
  EXPECT_EQ(g->row(), 3);
  EXPECT_TRUE(g->rigaNuova(g->row()));
  tasto(v(), Qt::Key_Home);
  EXPECT_EQ(g->row(), 0);
  EXPECT_EQ(g->ColonnaCorrente(), kNome); // Home: first row, same column
  tasto(v(), Qt::Key_End);
  EXPECT_EQ(g->row(), 2);
  EXPECT_EQ(rs->AbsolutePosition(), 3);
  g->setCol(kData);
  EXPECT_EQ(g->ColonnaCorrente(), kData);
  EXPECT_EQ(g->row(), 2);
}

TEST_F(Griglia, TestoCellaAndEditInCorso) {
  vai(2, kNome);
  EXPECT_EQ(g->TestoCella(), "Verdi");
  ASSERT_TRUE(g->setTestoCella("Viola").isOk());
  EXPECT_EQ(writer->updated.back()[kNome], Value("Viola"));
  EXPECT_EQ(cella(2, kNome), "Viola");
  vai(2, kNote);
  ASSERT_TRUE(g->setTestoCella("riga uno\r\nriga due").isOk());
  EXPECT_EQ(writer->updated.back()[kNote], Value("riga uno\r\nriga due"));
  EXPECT_EQ(g->TestoCella(), "riga uno\r\nriga due");
  vai(2, kPrezzo);
  EXPECT_EQ(g->setTestoCella("due").code(), jet::ErrorCode::TypeMismatch);
  EXPECT_EQ(errori.size(), 1u);

  // Ending an edit keeps what was typed.
  vai(0, kNome);
  v()->edit(m()->index(0, kNome));
  ASSERT_TRUE(g->EditInCorso());
  auto *ed = qobject_cast<QLineEdit *>(QApplication::focusWidget());
  ASSERT_NE(ed, nullptr);
  ed->setText("Azzurri");
  EXPECT_EQ(g->TestoCella(), "Azzurri");
  g->setEditInCorso(false);
  EXPECT_FALSE(g->EditInCorso());
  EXPECT_EQ(writer->updated.back()[kNome], Value("Azzurri"));
  g->setEditInCorso(true); // the grid is always ready: nothing opens
  EXPECT_FALSE(g->EditInCorso());
}

TEST_F(Griglia, DisplaySettingsAndMemoEditing) {
  g->setColoreSfondo(16777215);
  g->setColoreTesto(0x80000008); // system colour 8, window text
  EXPECT_EQ(v()->palette().color(QPalette::Base), QColor(255, 255, 255));
  EXPECT_EQ(v()->palette().color(QPalette::Text), g->palette().color(QPalette::Text));
  g->setColoreSfondo(0x00FF0000); // Windows order: blue in the high byte
  EXPECT_EQ(v()->palette().color(QPalette::Base), QColor(0, 0, 255));
  g->setStileLinee(0);
  EXPECT_FALSE(v()->showGrid());
  g->setStileLinee(3);
  EXPECT_TRUE(v()->showGrid());
  g->setSelettoriRecord(false);
  EXPECT_FALSE(v()->verticalHeader()->isVisible());
  int alta = v()->verticalHeader()->defaultSectionSize();
  QFont f = g->FontGriglia();
  f.setBold(true);
  f.setPointSize(f.pointSize() + 6);
  g->setFontGriglia(f);
  EXPECT_TRUE(g->FontGriglia().bold());
  EXPECT_GT(v()->verticalHeader()->defaultSectionSize(), alta);

  g->setConsentiInserimento(false);
  EXPECT_EQ(m()->rowCount(), 3);
  g->setConsentiInserimento(true);
  EXPECT_EQ(m()->rowCount(), 4);
  g->setConsentiModifica(false);
  EXPECT_FALSE(m()->index(0, kNome).flags() & Qt::ItemIsEditable);
  EXPECT_TRUE(m()->index(3, kNome).flags() & Qt::ItemIsEditable); // the new-row line still is
  g->setConsentiModifica(true);
  g->setConsentiCancellazione(false);
  int eventi = 0;
  QObject::connect(g.get(), &GrigliaDati::PrimaCancellazione, [&](bool &) { ++eventi; });
  v()->selectRow(0);
  tasto(v(), Qt::Key_Delete);
  EXPECT_EQ(eventi, 0);
  EXPECT_EQ(rs->RecordCount(), 3);

  // A memo is edited over several lines and keeps CR LF line ends.
  vai(1, kNote);
  v()->edit(m()->index(1, kNote));
  auto *ed = qobject_cast<QPlainTextEdit *>(QApplication::focusWidget());
  ASSERT_NE(ed, nullptr);
  ed->setPlainText("prima\nseconda");
  g->setEditInCorso(false);
  EXPECT_EQ(writer->updated.back()[kNote], Value("prima\r\nseconda"));
  EXPECT_EQ(cella(1, kNote), QString("prima") + QChar(0x21B5) + "seconda"); // shown on one line
}

TEST_F(Griglia, DownInAnEditorWritesTheCellAndMovesOnReportedOnce) {
  std::vector<int> tasti;
  QObject::connect(g.get(), &GrigliaDati::TastoGiu,
                   [&](int &codice, int) { tasti.push_back(codice); });
  vai(0, kNome);
  v()->edit(m()->index(0, kNome));
  auto *ed = qobject_cast<QLineEdit *>(QApplication::focusWidget());
  ASSERT_NE(ed, nullptr);
  ed->setText("Marroni");
  tasto(ed, Qt::Key_Down); // the editor does not use it: the view moves on
  QApplication::processEvents();
  EXPECT_EQ(tasti, std::vector<int>{40});
  EXPECT_EQ(g->row(), 1);
  EXPECT_EQ(rs->AbsolutePosition(), 2);
  EXPECT_FALSE(g->EditInCorso());
  ASSERT_FALSE(writer->updated.empty());
  EXPECT_EQ(writer->updated.back()[kNome], Value("Marroni"));
  EXPECT_EQ(cella(0, kNome), "Marroni");
}
