#include "print/rapporto.h"
#include "print/stampa_rapporto.h"
#include "print/stampante.h"
#include "test_support.h"

#include <QFontInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QStringList>
#include <fstream>
#include <gtest/gtest.h>

using namespace print;

namespace {

// A PDF printer on a whole A4 sheet: 16838 twips high.
std::unique_ptr<QtPrinter> a4Pdf(const std::filesystem::path &file, QMarginsF margins = {}) {
  auto p = QtPrinter::pdf(file);
  p->qprinter().setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, margins,
                                          QPageLayout::Millimeter));
  return p;
}

void writeLines(const std::filesystem::path &path, const std::vector<std::string> &lines) {
  std::ofstream f(path, std::ios::binary);
  for (const auto &l : lines)
    f << l << "\r\n";
}

// Title, rule, heading, rule and `rows` data lines numbered from 1.
std::vector<std::string> report(int rows, int width = 40) {
  std::vector<std::string> lines = {"Tabella: BUONI", std::string(50, '='), "ID   Descrizione",
                                    std::string(50, '=')};
  for (int i = 1; i <= rows; ++i) {
    char b[32];
    std::snprintf(b, sizeof b, "%4d Riga%04d ", i, i);
    std::string l = b;
    while (static_cast<int>(l.size()) < width)
      l += static_cast<char>('a' + l.size() % 26);
    lines.push_back(l.substr(0, static_cast<size_t>(width)));
  }
  return lines;
}

// The text of each page of a PDF, as pdftotext reads it, line by line.
std::vector<QStringList> pdfPages(const std::filesystem::path &pdf) {
  std::string out;
  vasktest::runCommand("pdftotext -layout '" + pdf.string() + "' -", &out);
  std::vector<QStringList> pages;
  for (const QString &page : QString::fromStdString(out).split(QLatin1Char('\f'))) {
    QStringList lines;
    for (const QString &l : page.split(QLatin1Char('\n')))
      if (!l.trimmed().isEmpty())
        lines << l.trimmed();
    if (!lines.isEmpty())
      pages.push_back(lines);
  }
  return pages;
}

QString simplified(const QString &s) {
  return s.simplified();
}

} // namespace

TEST(CalcolaPagine, PageFiguresOnAWholeA4Sheet) {
  vasktest::TempDir dir;
  auto printer = a4Pdf(dir.file("x.pdf"));
  EXPECT_EQ(printer->pageHeight(), 16838);
  struct Case {
    int lines;
    double pages;
    const char *caption;
  } cases[] = {{104, 2, " Totale Pagine    2 "},
               {59, 1, " Totale Pagine    1 "},
               {60, 2, " Totale Pagine    2 "},
               {59 * 11 + 1, 12, " Totale Pagine   12 "},
               {59 * 12345, 12345, " Totale Pagine 12345 "}};
  for (const Case &c : cases) {
    StatoAnteprima stato;
    QStringList lines;
    for (int i = 0; i < c.lines; ++i)
      lines << QStringLiteral("riga %1").arg(i);
    ContaRighe(lines, stato);
    EXPECT_EQ(stato.RigheRiservate, 0);
    EXPECT_EQ(stato.LarghezzaRighe, 0);
    EXPECT_EQ(CalcolaPagine(*printer, stato), 59) << c.lines;
    EXPECT_DOUBLE_EQ(printer->fontSize(), 11.8);
    EXPECT_EQ(stato.TotalePagine, c.pages) << c.lines;
    EXPECT_EQ(DidascaliaPagine(stato), QString::fromLatin1(c.caption)) << c.lines;
  }
}

TEST(CalcolaPagine, APageTooShortForALineHasNoTotal) {
  vasktest::TempDir dir;
  auto printer = a4Pdf(dir.file("x.pdf"), QMarginsF(10, 148, 10, 146)); // 3 mm high
  StatoAnteprima stato;
  ContaRighe({QStringLiteral("a"), QStringLiteral("b")}, stato);
  EXPECT_LE(CalcolaPagine(*printer, stato), 0);
  EXPECT_EQ(DidascaliaPagine(stato), QStringLiteral(" Totale Pagine    ? "));
  EXPECT_EQ(StampaRapporto(dir.file("manca.PRN"), *printer, stato, {}), EsitoStampa::Fallita);
}

TEST(CalcolaPagine, RuleLinesOfHyphensReserveLinesAndSetTheWidth) {
  vasktest::TempDir dir;
  auto printer = a4Pdf(dir.file("x.pdf"));
  StatoAnteprima stato;
  QStringList lines = {QStringLiteral("Titolo"), QString(100, QLatin1Char('-')),
                       QStringLiteral("Colonne"), QStringLiteral(" -------"),
                       QString(90, QLatin1Char('-'))};
  for (int i = 0; i < 200; ++i)
    lines << QStringLiteral("dati");
  ContaRighe(lines, stato);
  EXPECT_EQ(stato.RigheTotali, 205);
  EXPECT_EQ(stato.LarghezzaRighe, 100);
  EXPECT_EQ(stato.RigheRiservate, 6); // the last rule is line 5
  // Wider than 80: 8 points, floor(16838 / 192) - 6 = 81 lines per page.
  EXPECT_EQ(CalcolaPagine(*printer, stato), 81);
  EXPECT_DOUBLE_EQ(printer->fontSize(), 8);
  EXPECT_EQ(stato.TotalePagine, 3);
  // Never cleared by a report without rules.
  ContaRighe({QStringLiteral("a")}, stato);
  EXPECT_EQ(stato.RigheRiservate, 6);
}

TEST(StampaRapporto, PageStamp) {
  EXPECT_EQ(TimbroPagina(1, 3), QStringLiteral("    Pagina  1 di  3"));
  EXPECT_EQ(TimbroPagina(12, 140), QStringLiteral("    Pagina  12 di  140"));
}

TEST(StampaRapporto, The124LineReportOnThreePagesWithHeadingsAndStamps) {
  if (!vasktest::haveProgram("pdftotext"))
    GTEST_SKIP() << "pdftotext not installed";
  vasktest::TempDir dir;
  const auto prn = dir.file("STAMPA.PRN");
  const auto lines = report(120);
  writeLines(prn, lines);
  auto printer = a4Pdf(dir.file("STAMPA.PDF"));
  StatoAnteprima stato;
  std::vector<float> progress;
  ControlloStampa c;
  c.progress = [&](float v) { progress.push_back(v); };
  ASSERT_EQ(StampaRapporto(prn, *printer, stato, c), EsitoStampa::Completata);
  EXPECT_EQ(stato.TotalePagine, 3);
  EXPECT_EQ(stato.LarghezzaRighe, 50); // the rules
  EXPECT_EQ(printer->orientation(), 1);
  ASSERT_FALSE(progress.empty());
  EXPECT_FLOAT_EQ(progress.back(), 100);
  EXPECT_FALSE(std::filesystem::exists(dir.file("STAMPA.PDF.part")));
  QFontInfo fi(printer->currentFont());
  EXPECT_EQ(fi.family(), QStringLiteral("Liberation Mono"));

  auto pages = pdfPages(dir.file("STAMPA.PDF"));
  ASSERT_EQ(pages.size(), 3u);
  auto q = [&](int i) {
    return QString::fromStdString(lines[static_cast<size_t>(i - 1)]).trimmed();
  };
  // Page 1: lines 1 to 59, the first stamped.
  ASSERT_EQ(pages[0].size(), 59);
  EXPECT_EQ(simplified(pages[0][0]), QStringLiteral("Tabella: BUONI Pagina 1 di 3"));
  EXPECT_EQ(pages[0][1], q(2));
  EXPECT_EQ(pages[0][2], q(3));
  EXPECT_EQ(pages[0][4], q(5)); // data lines lose their leading blanks
  EXPECT_TRUE(pages[0][4].startsWith(QStringLiteral("1 Riga0001")));
  EXPECT_EQ(pages[0][58], q(59));
  // Page 2: the heading again, then lines 60 to 116.
  ASSERT_EQ(pages[1].size(), 4 + 57);
  EXPECT_EQ(simplified(pages[1][0]), QStringLiteral("Tabella: BUONI Pagina 2 di 3"));
  EXPECT_EQ(pages[1][1], q(2));
  EXPECT_EQ(pages[1][2], q(3));
  EXPECT_EQ(pages[1][3], q(4));
  EXPECT_EQ(pages[1][4], q(60));
  EXPECT_EQ(pages[1][60], q(116));
  // Page 3: the heading and lines 117 to 124.
  ASSERT_EQ(pages[2].size(), 4 + 8);
  EXPECT_EQ(simplified(pages[2][0]), QStringLiteral("Tabella: BUONI Pagina 3 di 3"));
  EXPECT_EQ(pages[2][4], q(117));
  EXPECT_EQ(pages[2][11], q(124));
}

TEST(StampaRapporto, PageTotalCountsTheRepeatedHeadingsAndNoEmptyLastPage) {
  if (!vasktest::haveProgram("pdftotext"))
    GTEST_SKIP() << "pdftotext not installed";
  vasktest::TempDir dir;
  const auto prn = dir.file("STAMPA.PRN");
  struct Case {
    int rows;
    size_t pages;
  } cases[] = {{55, 1}, {59 + 57 - 4, 2}, {59 + 57 - 4 + 1, 3}};
  for (const Case &cs : cases) {
    writeLines(prn, report(cs.rows));
    auto printer = a4Pdf(dir.file("STAMPA.PDF"));
    StatoAnteprima stato;
    ASSERT_EQ(StampaRapporto(prn, *printer, stato, {}), EsitoStampa::Completata);
    EXPECT_EQ(stato.TotalePagine, static_cast<double>(cs.pages)) << cs.rows;
    auto pages = pdfPages(dir.file("STAMPA.PDF"));
    ASSERT_EQ(pages.size(), cs.pages) << cs.rows;
    const QString last = QStringLiteral("Pagina %1 di %1").arg(cs.pages);
    EXPECT_TRUE(simplified(pages.back()[0]).endsWith(last)) << pages.back()[0].toStdString();
  }
}

TEST(StampaRapporto, FontSizeAndOrientationFollowTheWidth) {
  if (!vasktest::haveProgram("pdftotext"))
    GTEST_SKIP() << "pdftotext not installed";
  vasktest::TempDir dir;
  const auto prn = dir.file("STAMPA.PRN");
  struct Case {
    int width;
    double size;
    int orientation;
    int printedWidth;
  } cases[] = {{80, 11.8, 1, 80}, {100, 8, 1, 100}, {150, 6, 2, 130}};
  for (const Case &cs : cases) {
    writeLines(prn, report(10, cs.width));
    auto printer = a4Pdf(dir.file("STAMPA.PDF"));
    StatoAnteprima stato;
    int orientationSeen = 0;
    ControlloStampa c;
    c.progress = [&](float) { orientationSeen = printer->orientation(); };
    ASSERT_EQ(StampaRapporto(prn, *printer, stato, c), EsitoStampa::Completata);
    EXPECT_DOUBLE_EQ(printer->fontSize(), cs.size);
    EXPECT_EQ(orientationSeen, cs.orientation);
    EXPECT_EQ(printer->orientation(), 1); // put back after the run
    EXPECT_EQ(stato.LarghezzaRighe, cs.printedWidth);
    auto pages = pdfPages(dir.file("STAMPA.PDF"));
    ASSERT_EQ(pages.size(), 1u);
    // Leading blanks go before the cut.
    EXPECT_EQ(pages[0][6].size(), std::min(cs.width - 3, cs.printedWidth));
    std::string info;
    vasktest::runCommand("pdfinfo '" + dir.file("STAMPA.PDF").string() + "'", &info);
    EXPECT_NE(info.find(cs.orientation == 2 ? "842 x 595 pts" : "595 x 842 pts"), std::string::npos)
        << info;
  }
}

TEST(StampaRapporto, WidthFittedToANarrowPage) {
  vasktest::TempDir dir;
  const auto prn = dir.file("STAMPA.PRN");
  writeLines(prn, report(5, 120)); // 8 points: 120 characters need 576 points
  auto printer = a4Pdf(dir.file("STAMPA.PDF"), QMarginsF(40, 10, 40, 10));
  StatoAnteprima stato;
  int events = 0;
  ControlloStampa c;
  c.processEvents = [&] { ++events; };
  ASSERT_EQ(StampaRapporto(prn, *printer, stato, c), EsitoStampa::Completata);
  // 130 mm are 368.5 points: 76 characters of 4.8 points.
  EXPECT_EQ(stato.LarghezzaRighe, 76);
  EXPECT_EQ(events, 22);
  EXPECT_LE(printer->textWidth(QString(76, QLatin1Char('X'))), printer->pageWidth());
}

TEST(StampaRapporto, TextOnlyPrinterUsesItsDeviceFonts) {
  vasktest::TempDir dir;
  const auto prn = dir.file("STAMPA.PRN");
  for (int width : {80, 150}) {
    writeLines(prn, report(3, width));
    auto printer = a4Pdf(dir.file("STAMPA.PDF"));
    printer->setDisplayName(QStringLiteral("  Generico / solo testo "));
    printer->setOrientation(2);
    StatoAnteprima stato;
    int orientationSeen = 0;
    ControlloStampa c;
    c.progress = [&](float) { orientationSeen = printer->orientation(); };
    ASSERT_EQ(StampaRapporto(prn, *printer, stato, c), EsitoStampa::Completata);
    EXPECT_EQ(printer->fontName(),
              width <= 80 ? QStringLiteral("Roman 10cpi") : QStringLiteral("Roman 17cpi"));
    EXPECT_DOUBLE_EQ(printer->fontSize(), 8);
    EXPECT_EQ(orientationSeen, 2);
    EXPECT_EQ(QFontInfo(printer->currentFont()).family(), QStringLiteral("Liberation Mono"));
  }
  // The name is compared with its letter case.
  writeLines(prn, report(3, 80));
  auto printer = a4Pdf(dir.file("STAMPA.PDF"));
  printer->setDisplayName(QStringLiteral("generico / solo testo"));
  StatoAnteprima stato;
  ASSERT_EQ(StampaRapporto(prn, *printer, stato, {}), EsitoStampa::Completata);
  EXPECT_EQ(printer->fontName(), QStringLiteral("Courier New"));
}

TEST(StampaRapporto, FailuresLeaveNoDocumentAndTheOrientationAsItWas) {
  vasktest::TempDir dir;
  auto printer = a4Pdf(dir.file("STAMPA.PDF"));
  printer->setOrientation(2);
  StatoAnteprima stato;
  EXPECT_EQ(StampaRapporto(dir.file("manca.PRN"), *printer, stato, {}), EsitoStampa::Fallita);
  // One rule only: every line is heading, and 51 of them do not fit the 50 slots.
  std::vector<std::string> lines = {"Titolo", std::string(50, '=')};
  for (int i = 0; i < 60; ++i)
    lines.push_back("riga " + std::to_string(i));
  writeLines(dir.file("STAMPA.PRN"), lines);
  EXPECT_EQ(StampaRapporto(dir.file("STAMPA.PRN"), *printer, stato, {}), EsitoStampa::Fallita);
  EXPECT_EQ(printer->orientation(), 2);
  EXPECT_FALSE(printer->documentOpen());
  EXPECT_FALSE(std::filesystem::exists(dir.file("STAMPA.PDF")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("STAMPA.PDF.part")));
}

TEST(StampaRapporto, CancelStopsBetweenLinesAndThrowsTheDocumentAway) {
  vasktest::TempDir dir;
  const auto prn = dir.file("STAMPA.PRN");
  writeLines(prn, report(2000));
  auto printer = a4Pdf(dir.file("STAMPA.PDF"));
  StatoAnteprima stato;
  float last = 0;
  bool cancel = false;
  ControlloStampa c;
  c.progress = [&](float v) {
    last = v;
    if (v >= 10)
      cancel = true;
  };
  c.cancelled = [&] { return cancel; };
  EXPECT_EQ(StampaRapporto(prn, *printer, stato, c), EsitoStampa::Annullata);
  EXPECT_LT(last, 11);
  EXPECT_FALSE(printer->documentOpen());
  EXPECT_FALSE(std::filesystem::exists(dir.file("STAMPA.PDF")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("STAMPA.PDF.part")));
}
