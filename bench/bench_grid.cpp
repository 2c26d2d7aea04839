// The data grid on 200,000 rows of 10 columns: load and first paint, scrolling, and what the
// grid costs in memory beside its data and against the same table's size in a Jet file. The peer
// is a per-cell item model (QStandardItemModel) in the same view, on a tenth of the rows.
//
//   bench_grid            run the measurements (offscreen platform unless one is set)
//   bench_grid --demo     show a small window with the grid, for a screenshot
#include "data/ado_types.h"
#include "data/recordset.h"
#include "grid/griglia_dati.h"
#include "grid/testo_valore.h"
#include "jet/database_builder.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <malloc.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using jet::Value;

double ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

// Resident memory, after handing freed heap back so it counts what is held.
size_t rss() {
  malloc_trim(0);
  std::ifstream f("/proc/self/statm");
  size_t total = 0, resident = 0;
  f >> total >> resident;
  return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

double mb(size_t b) {
  return b / (1024.0 * 1024.0);
}

struct NullWriter : data::RowWriter {
  jet::Status updateRow(data::RowId &, std::vector<Value> &) override { return {}; }
  jet::Result<data::RowId> insertRow(std::vector<Value> &) override { return data::RowId(0); }
  jet::Status deleteRow(data::RowId) override { return {}; }
};

std::vector<data::Field> campi() {
  using namespace data::ado;
  return {{"ID", Integer, 4, jet::ColumnType::Long},
          {"Codice", VarWChar, 10, jet::ColumnType::Text},
          {"Descrizione", VarWChar, 40, jet::ColumnType::Text},
          {"Prezzo", Double, 8, jet::ColumnType::Double},
          {"Quantita", SmallInt, 2, jet::ColumnType::Integer},
          {"Data", Date, 8, jet::ColumnType::DateTime},
          {"Pagato", Boolean, 2, jet::ColumnType::Boolean},
          {"Importo", Currency, 8, jet::ColumnType::Currency},
          {"Reparto", VarWChar, 20, jet::ColumnType::Text},
          {"Cliente", Integer, 4, jet::ColumnType::Long}};
}

std::vector<Value> riga(int i) {
  static const char *reparti[] = {"Carburanti", "Bar", "Lavaggio", "Market", "Officina"};
  char codice[16];
  std::snprintf(codice, sizeof codice, "A%07d", i);
  return {Value(int32_t(i + 1)),
          Value(std::string(codice)),
          Value("Articolo di prova numero " + std::to_string(i)),
          Value(1.5 + (i % 1000) * 0.25),
          Value(int16_t(i % 300)),
          Value(jet::DateTime{37000.0 + i % 2000}),
          Value(i % 3 == 0),
          Value(jet::Currency{int64_t(i) * 125}),
          i % 7 == 0 ? Value() : Value(reparti[i % 5]),
          Value(int32_t(i % 5000))};
}

std::shared_ptr<data::Recordset> recordset(int righe) {
  auto rs = std::make_shared<data::Recordset>(campi(), data::LockType::Optimistic,
                                              std::make_shared<NullWriter>());
  for (int i = 0; i < righe; ++i)
    rs->appendLoadedRow(static_cast<data::RowId>(i), riga(i));
  rs->finishLoading();
  return rs;
}

// The bytes the table takes in a Jet file (rows, long values, maps, the primary key's tree): a
// database holding it less one holding it empty.
size_t suDisco(int righe) {
  using jet::ColumnSpec;
  using jet::ColumnType;
  auto col = [](const char *nome, ColumnType t, uint16_t dim = 0) {
    ColumnSpec c;
    c.name = nome;
    c.type = t;
    c.size = dim;
    return c;
  };
  jet::TableSpec movimenti{"MOVIMENTI",
                           {col("ID", ColumnType::Long), col("Codice", ColumnType::Text, 10),
                            col("Descrizione", ColumnType::Text, 40),
                            col("Prezzo", ColumnType::Double), col("Quantita", ColumnType::Integer),
                            col("Data", ColumnType::DateTime), col("Pagato", ColumnType::Boolean),
                            col("Importo", ColumnType::Currency),
                            col("Reparto", ColumnType::Text, 20), col("Cliente", ColumnType::Long)},
                           {{"PrimaryKey", {{"ID", true}}, true}}};
  auto misura = [&](int n) -> size_t {
    std::vector<std::vector<Value>> dati;
    dati.reserve(n);
    for (int i = 0; i < n; ++i)
      dati.push_back(riga(i));
    jet::DatabaseBuilder b(jet::DateTime{45000.0});
    if (!b.addTable(movimenti, std::move(dati)))
      return 0;
    auto bytes = b.build();
    return bytes ? bytes->size() : 0;
  };
  size_t pieno = misura(righe), vuoto = misura(0);
  return pieno > vuoto ? pieno - vuoto : 0;
}

void intesta(grid::GrigliaDati &g) {
  auto rs = g.RecordsetGriglia();
  for (int i = 0; i < rs->fieldCount(); ++i)
    g.IntestaColonna(QString::fromStdString(rs->fields()[i].name) + "\r\n(" + QString::number(i) +
                         ")",
                     rs->fields()[i].name);
}

int demo(QApplication &app) {
  grid::GrigliaDati g;
  g.setWindowTitle("Vask - griglia");
  g.CaricaRecordset(recordset(12));
  g.CampoChiave("id");
  g.OrdinaSu("ID");
  QFont f = g.FontGriglia();
  f.setBold(true);
  g.setFontGriglia(f);
  g.setTitolo("Tabella: MOVIMENTI - Ordine su ID");
  intesta(g);
  g.resize(1000, 420);
  g.move(20, 20);
  g.show();
  g.setRow(2);
  g.setCol(2);
  QTimer::singleShot(60000, &app, &QApplication::quit);
  return app.exec();
}

} // namespace

int main(int argc, char **argv) {
  bool vediDemo = argc > 1 && std::strcmp(argv[1], "--demo") == 0;
  if (!vediDemo && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (vediDemo)
    return demo(app);

  const int righe = 200000;
  {
    // Warm up fonts and styles so their one-time cost is not charged to either grid.
    grid::GrigliaDati g;
    g.CaricaRecordset(recordset(10));
    g.resize(1000, 600);
    g.show();
    g.grab();
  }

  size_t r0 = rss();
  auto t0 = Clock::now();
  auto rs = recordset(righe);
  auto t1 = Clock::now();
  size_t r1 = rss();

  auto *g = new grid::GrigliaDati;
  g->resize(1000, 600);
  auto t2 = Clock::now();
  g->CaricaRecordset(rs);
  auto tOrdina = Clock::now();
  g->OrdinaSu("ID");
  auto tOrdinato = Clock::now();
  intesta(*g);
  g->show();
  QPixmap primo = g->grab(); // the first screen, painted
  auto t3 = Clock::now();
  size_t r2 = rss();

  // Scrolling: jump to 100 places across the table and paint each screen.
  auto *bar = g->vista()->verticalScrollBar();
  auto t4 = Clock::now();
  for (int i = 0; i < 100; ++i) {
    bar->setValue(static_cast<int>(static_cast<long>(bar->maximum()) * ((i * 37) % 100) / 100));
    g->vista()->viewport()->grab();
  }
  auto t5 = Clock::now();
  // Walking the recordset, as the report does, with the grid following every move.
  auto t6 = Clock::now();
  for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) {
  }
  auto t7 = Clock::now();
  // A reorder on a heading of text.
  auto t8 = Clock::now();
  g->OrdinaSu("Descrizione");
  g->grab();
  auto t9 = Clock::now();
  size_t r3 = rss();

  // Peer: one item per cell, a tenth of the rows.
  const int righePeer = righe / 10;
  size_t p0 = rss();
  auto q0 = Clock::now();
  auto *peer = new QStandardItemModel(righePeer, 10);
  for (int i = 0; i < righePeer; ++i) {
    auto v = riga(i);
    for (int c = 0; c < 10; ++c)
      peer->setItem(i, c, new QStandardItem(QString::fromStdString(grid::testoValore(v[c]))));
  }
  QTableView vistaPeer;
  vistaPeer.setModel(peer);
  vistaPeer.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  vistaPeer.resize(1000, 600);
  vistaPeer.show();
  vistaPeer.grab();
  auto q1 = Clock::now();
  size_t p1 = rss();

  const size_t dati = rs->memoryBytes();
  const size_t disco = suDisco(righe);
  const double grigliaMb = mb(r2 - r1);
  const double perRigaGriglia = double(r2 - r1) / righe;
  const double perRigaPeer = double(p1 - p0) / righePeer;
  std::printf("grid: %d rows x 10 columns\n", righe);
  std::printf("  recordset built             %8.1f ms   data %.1f MB (RSS +%.1f MB)\n", ms(t0, t1),
              mb(dati), mb(r1 - r0));
  std::printf("  load + order + first paint  %8.1f ms   grid RSS +%.1f MB (%.0f bytes a row)\n",
              ms(t2, t3), grigliaMb, perRigaGriglia);
  std::printf("    of which ordering on ID     %8.1f ms\n", ms(tOrdina, tOrdinato));
  std::printf("  scroll and paint a screen   %8.2f ms each (100 jumps)\n", ms(t4, t5) / 100);
  std::printf("  walk the recordset, grid following %8.1f ms (%.2f us a row)\n", ms(t6, t7),
              ms(t6, t7) * 1000 / righe);
  std::printf("  reorder on a text heading   %8.1f ms\n", ms(t8, t9));
  std::printf("  grid + data RSS vs data     %8.2f x\n", double(r3 - r0) / dati);
  std::printf("  table on disk %.1f MB; grid + data RSS after load %.1f MB: %.2f x (goal 2 x)\n",
              mb(disco), mb(r2 - r0), disco ? double(r2 - r0) / disco : 0.0);
  std::printf("peer: QStandardItemModel, %d rows\n", righePeer);
  std::printf("  load + first paint          %8.1f ms   RSS +%.1f MB (%.0f bytes a row)\n",
              ms(q0, q1), mb(p1 - p0), perRigaPeer);
  std::printf("ratio (per row) grid/peer: time %.3f, memory %.3f\n",
              (ms(t2, t3) / righe) / (ms(q0, q1) / righePeer), perRigaGriglia / perRigaPeer);
  (void)primo;
  delete g;
  return 0;
}
