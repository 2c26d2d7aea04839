// The operator's main road on the demo database, through the real main window: "Apri Tabella"
// on the 100,000-row transaction table (copy into TemporaneaVask, CaricaGriglia, first paint),
// "Salva" after a few rows were edited, and on the working copy a bulk delete with two
// conditions and a bulk modify with one, each with the grid's reload. The peer is mdbtools'
// mdb-export reading the same table, in the same run.
//
//   bench_tabella [--rows N] [FILE [TABLE]]     (N also from BENCH_ROWS)
//
// Without FILE a fresh `vaskdb demo --rows N` (100,000 by default) and its table BUONI. Also
// printed: what the process's memory grew by over "Apri Tabella" against the size that the copy
// TemporaneaVask takes in the file (its rows and long values, no indexes).
#include "app/comune/dialoghi.h"
#include "app/comune/fungen.h"
#include "app/comune/messaggi.h"
#include "app/frmmain.h"
#include "bulk/dialoghi_bulk.h"
#include "data/connection.h"
#include "grid/griglia_dati.h"
#include "table/banca_dati.h"
#include "table/gestione_tabelle.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

// The processor time of this process, and of its finished children, in ms: other work on the
// machine does not count in it.
double cpu() {
  return 1000.0 * double(std::clock()) / CLOCKS_PER_SEC;
}
double cpuFigli() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return u.ru_utime.tv_sec * 1000.0 + u.ru_utime.tv_usec / 1000.0 + u.ru_stime.tv_sec * 1000.0 +
         u.ru_stime.tv_usec / 1000.0;
}

void eventi() {
  for (int i = 0; i < 3; ++i)
    QCoreApplication::processEvents();
}

int fallisce(const std::string &cosa) {
  std::fprintf(stderr, "bench_tabella: %s\n", cosa.c_str());
  return 1;
}

// Messages shown since the last call, as one line (empty when none).
std::string mostrati(MsgBoxSimulato &box) {
  std::string out;
  for (const auto &m : box.Mostrati())
    out += (out.empty() ? "" : " | ") + m.testo.toStdString();
  box.Azzera();
  return out;
}

// Resident memory, after handing freed heap back so it counts what is held.
size_t rss() {
  malloc_trim(0);
  std::ifstream f("/proc/self/statm");
  size_t total = 0, resident = 0;
  f >> total >> resident;
  return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

double mb(double b) {
  return b / (1024.0 * 1024.0);
}

} // namespace

int main(int argc, char **argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  const fs::path dir = fs::temp_directory_path() / ("bench_tabella_" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::string righeDemo =
      qEnvironmentVariable("BENCH_ROWS", QStringLiteral("100000")).toStdString();
  std::vector<std::string> argomenti;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--rows") == 0 && i + 1 < argc)
      righeDemo = argv[++i];
    else
      argomenti.push_back(argv[i]);
  }
  const bool demo = argomenti.empty();
  fs::path file = demo ? dir / "demo.mdb" : fs::path(argomenti[0]);
  const std::string tabella = argomenti.size() > 1 ? argomenti[1] : "BUONI";
  if (demo) {
    const fs::path tool = fs::canonical("/proc/self/exe").parent_path().parent_path() / "vaskdb";
    const std::string cmd =
        "'" + tool.string() + "' demo '" + file.string() + "' --rows " + righeDemo + " > /dev/null";
    auto t0 = Clock::now();
    if (std::system(cmd.c_str()) != 0)
      return fallisce("vaskdb demo failed: " + cmd);
    std::printf("demo database built in %.0f ms (%s, %.1f MB)\n", ms(t0, Clock::now()),
                file.c_str(), fs::file_size(file) / (1024.0 * 1024.0));
  }

  // The peer: mdb-export reading the whole table.
  auto p0 = Clock::now();
  const double pc0 = cpuFigli();
  const std::string esporta = "mdb-export '" + file.string() + "' '" + tabella + "' > /dev/null";
  if (std::system(esporta.c_str()) != 0)
    return fallisce("mdb-export failed");
  const double peer = ms(p0, Clock::now());
  const double peerCpu = cpuFigli() - pc0;

  frmMain::ImpostaCartellaProgramma(QString::fromStdString(dir.string()));
  MsgBoxSimulato box;
  ApriFileSimulato dialogo;
  auto w = std::make_unique<frmMain>();
  w->Termina = [] {};
  w->show();
  eventi();
  dialogo.Rispondi(QString::fromStdString(file.string()));
  w->btnDatabase->click();
  eventi();
  auto voci = w->List1->findItems(QString::fromStdString(tabella), Qt::MatchExactly);
  if (voci.size() != 1)
    return fallisce("table " + tabella + " not listed: " + mostrati(box));
  w->List1->setCurrentItem(voci[0]);
  w->Tabelle->List1_Click();
  grid::GrigliaDati *g = w->Griglia;
  tabelle::BancaDati &banca = *w->Tabelle->Banca();

  auto apri = [&]() {
    auto t0 = Clock::now();
    w->btnTabella->click();
    eventi();
    g->grab(); // the first screen, painted
    return ms(t0, Clock::now());
  };

  // (a) "Apri Tabella".
  const size_t memoriaPrima = rss();
  const auto filePrima = fs::file_size(file);
  double c = cpu();
  const double apertura = apri();
  const double aperturaCpu = cpu() - c;
  const size_t memoriaDopo = rss();
  const double copiaSuDisco = double(fs::file_size(file)) - double(filePrima);
  auto rs = g->RecordsetGriglia();
  if (!rs || !mostrati(box).empty())
    return fallisce("the table did not open");
  const long righe = rs->RecordCount();
  // Its parts, timed again alone: the copy, and CaricaGriglia with the paint.
  auto c0 = Clock::now();
  banca.InTransazione([&] { banca.Esegui("SELECT * Into CopiaBench from [" + tabella + "]"); });
  const double copia = ms(c0, Clock::now());
  banca.Esegui("DROP table CopiaBench");
  auto k0 = Clock::now();
  w->Comandi.CaricaGriglia(w->Stato.TabellaCopia, QString());
  g->grab();
  const double carica = ms(k0, Clock::now());

  // (b) "Salva" after editing five rows spread over the table.
  const int colonna = g->RecordsetGriglia()->fieldIndex("Targa");
  for (int i = 0; i < 5; ++i) {
    g->setRow(static_cast<int>(righe * i / 5));
    g->setCol(colonna >= 0 ? colonna : 1);
    if (!g->setTestoCella(QStringLiteral("BE%1NCH").arg(i)).isOk())
      return fallisce("edit refused");
  }
  auto s0 = Clock::now();
  c = cpu();
  w->btnSalva->click();
  eventi();
  const double salva = ms(s0, Clock::now());
  const double salvaCpu = cpu() - c;
  if (std::string m = mostrati(box); !m.empty())
    return fallisce("save refused: " + m);

  // (d) and (e) on a fresh working copy.
  apri();
  mostrati(box);
  bulk::DialoghiBulk &b = *w->Bulk;
  auto d0 = Clock::now();
  c = cpu();
  b.Cancellazione->EseguiCancellazione(
      QStringLiteral("( [Prodotto] = 'Gasolio') AND ( [Litri] > 30)"));
  const double cancella = ms(d0, Clock::now());
  const double cancellaCpu = cpu() - c;
  const std::string esitoCancella = mostrati(box);
  const long dopoCancella = g->RecordsetGriglia()->RecordCount();
  auto m0 = Clock::now();
  c = cpu();
  b.Modifica->EseguiModifica(QStringLiteral("UPDATE [TemporaneaVask] SET [Fatturato] = True"),
                             QStringLiteral("( [Prodotto] = 'Benzina')"));
  const double modifica = ms(m0, Clock::now());
  const double modificaCpu = cpu() - c;
  const std::string esitoModifica = mostrati(box);
  // "Nuova riga (Ins)": the next ID and the new row, into the grid.
  auto n0 = Clock::now();
  c = cpu();
  w->btnNuovo->click();
  eventi();
  const double nuova = ms(n0, Clock::now());
  const double nuovaCpu = cpu() - c;
  const std::string esitoNuova = mostrati(box);
  w->btnUscita->click();
  eventi();

  std::printf("table %s: %ld rows\n", tabella.c_str(), righe);
  std::printf("  (a) Apri Tabella: copy + CaricaGriglia + paint  %8.1f ms\n", apertura);
  std::printf("        of which the copy alone                  %8.1f ms\n", copia);
  std::printf("        of which CaricaGriglia + paint alone     %8.1f ms\n", carica);
  std::printf("  memory grown over Apri Tabella %.1f MB; the copy in the file %.1f MB: %.2f x\n",
              mb(double(memoriaDopo) - double(memoriaPrima)), mb(copiaSuDisco),
              copiaSuDisco > 0 ? (double(memoriaDopo) - double(memoriaPrima)) / copiaSuDisco : 0.0);
  std::printf("  (b) Salva after editing 5 rows                 %8.1f ms\n", salva);
  std::printf("  (d) bulk delete, 2 conditions, + reload        %8.1f ms  (%ld rows left; %s)\n",
              cancella, dopoCancella, esitoCancella.c_str());
  std::printf("  (e) bulk modify, 1 condition, + reload         %8.1f ms  %s\n", modifica,
              esitoModifica.c_str());
  std::printf("  Nuova riga (Ins)                               %8.1f ms  %s\n", nuova,
              esitoNuova.c_str());
  std::printf("peer: mdb-export of %s                     %8.1f ms\n", tabella.c_str(), peer);
  std::printf("ratio to the peer: open %.2f, save %.2f, delete %.2f, modify %.2f, new row %.2f\n",
              apertura / peer, salva / peer, cancella / peer, modifica / peer, nuova / peer);
  std::printf("processor time, ms: open %.0f, save %.0f, delete %.0f, modify %.0f, new row %.0f; "
              "peer %.0f\n",
              aperturaCpu, salvaCpu, cancellaCpu, modificaCpu, nuovaCpu, peerCpu);
  w.reset();
  if (demo)
    fs::remove_all(dir);
  return 0;
}
