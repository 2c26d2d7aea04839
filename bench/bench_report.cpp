// The report of 100,000 grid rows: writing STAMPA.PRN, then printing it to PDF with the
// progress bar of the preview. The peer is the bare write of the same bytes, the floor that
// no report writer can go under.
#include "print/rapporto.h"
#include "print/stampa_rapporto.h"
#include "print/stampante.h"

#include <QApplication>
#include <QProgressBar>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

class Rows : public print::ReportSource {
public:
  explicit Rows(int n) {
    fields_ = {{"ID", 3, 4},      {"Data", 7, 8},          {"Descrizione", 202, 50},
               {"Importo", 5, 8}, {"Quantita", 2, 2},      {"Pagato", 11, 2},
               {"Prezzo", 6, 8},  {"Note", 203, 536870910}};
    rows_.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
      std::vector<jet::Value> r;
      r.emplace_back(int32_t{i + 1});
      r.emplace_back(jet::DateTime{40000.0 + i % 3000});
      r.emplace_back("Carburante verde self service n. " + std::to_string(i));
      r.emplace_back(i % 7 == 0 ? jet::Value() : jet::Value(i * 1.2345));
      r.emplace_back(int16_t(i % 300));
      r.emplace_back(i % 2 == 0);
      r.emplace_back(jet::Currency{int64_t{i} * 1250});
      r.emplace_back(i % 5 == 0 ? std::string() : std::string(200, 'n'));
      rows_.push_back(std::move(r));
    }
  }
  int fieldCount() const override { return static_cast<int>(fields_.size()); }
  print::ReportField field(int i) const override { return fields_[static_cast<size_t>(i)]; }
  jet::Status moveFirst() override {
    pos_ = 0;
    return {};
  }
  jet::Status moveNext() override {
    ++pos_;
    return {};
  }
  bool atEnd() const override { return pos_ >= static_cast<int64_t>(rows_.size()); }
  jet::Result<jet::Value> value(int i) const override {
    return rows_[static_cast<size_t>(pos_)][static_cast<size_t>(i)];
  }
  Position position() const override { return pos_; }
  jet::Status setPosition(Position p) override {
    pos_ = p;
    return {};
  }

private:
  std::vector<print::ReportField> fields_;
  std::vector<std::vector<jet::Value>> rows_;
  int64_t pos_ = 0;
};

double seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

} // namespace

int main(int argc, char **argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int n = argc > 1 ? std::atoi(argv[1]) : 100000;
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / "vask-bench-report";
  fs::create_directories(dir);
  const fs::path prn = dir / "STAMPA.PRN";

  Rows rows(n);
  double best = 1e9;
  for (int k = 0; k < 3; ++k) {
    auto t0 = std::chrono::steady_clock::now();
    jet::Status st = print::ScriviRapporto(rows, "BUONI", prn);
    best = std::min(best, seconds(std::chrono::steady_clock::now() - t0));
    if (!st.isOk()) {
      std::fprintf(stderr, "report failed: %s\n", st.message().c_str());
      return 1;
    }
  }
  const auto size = fs::file_size(prn);

  // Peer: the same bytes written in one go.
  auto text = print::ComponiRapporto(rows, "BUONI");
  double peer = 1e9;
  for (int k = 0; k < 3; ++k) {
    auto t0 = std::chrono::steady_clock::now();
    FILE *f = std::fopen((dir / "peer.prn").c_str(), "wb");
    std::fwrite(text->data(), 1, text->size(), f);
    std::fclose(f);
    peer = std::min(peer, seconds(std::chrono::steady_clock::now() - t0));
  }
  std::printf("report of %d rows: %.3f s (%.1f MB), bare write of the same bytes %.3f s, "
              "ratio %.1f\n",
              n, best, size / 1e6, peer, best / peer);

  // The print run to PDF, with the preview's progress bar on screen.
  QProgressBar bar;
  bar.setRange(0, 100);
  bar.show();
  std::set<int> seen;
  auto printer = print::QtPrinter::pdf(dir / "STAMPA.PDF");
  print::StatoAnteprima stato;
  print::ControlloStampa c;
  c.progress = [&](float v) { bar.setValue(static_cast<int>(v)); };
  c.processEvents = [&] {
    seen.insert(bar.value());
    QCoreApplication::processEvents();
  };
  auto t0 = std::chrono::steady_clock::now();
  auto result = print::StampaRapporto(prn, *printer, stato, c);
  const double printTime = seconds(std::chrono::steady_clock::now() - t0);
  if (result != print::EsitoStampa::Completata) {
    std::fprintf(stderr, "print run failed\n");
    return 1;
  }
  std::printf("print run to PDF: %.2f s, %.0f pages, %.1f MB, progress bar repainted at %zu "
              "different values\n",
              printTime, stato.TotalePagine, fs::file_size(dir / "STAMPA.PDF") / 1e6, seen.size());
  fs::remove_all(dir);
  return 0;
}
