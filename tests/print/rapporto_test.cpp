#include "fonte_prova.h"
#include "print/cp1252.h"
#include "print/rapporto.h"
#include "print/recordset_source.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace print;
using printtest::FonteProva;

namespace {

const std::string kRule(50, '=');

std::string head(const std::string &table, const std::string &heading) {
  return "Tabella: " + table + "\r\n" + kRule + "\r\n" + heading + "\r\n" + kRule + "\r\n";
}

std::string pad(const std::string &s, size_t n) {
  return s + std::string(n > s.size() ? n - s.size() : 0, ' ');
}

jet::Value date(int y, int m, int d) {
  return jet::toDateTime({y, m, d});
}

std::string compose(FonteProva &src, const std::string &table = "Prova") {
  auto r = ComponiRapporto(src, table);
  EXPECT_TRUE(r.isOk()) << r.status().message();
  return r.isOk() ? *r : std::string();
}

} // namespace

TEST(Rapporto, IntegerAndTextColumnsAsInTheTableOfWidths) {
  FonteProva src;
  src.fields = {{"ID", 3, 4}, {"Nome", 202, 30}};
  src.rows = {{int32_t{7}, "ROSSI"}, {int32_t{-12}, "Bianchi"}};
  EXPECT_EQ(compose(src, "CLIENTI"), head("CLIENTI", "ID   " + pad("Nome", 20)) + "   7 " +
                                         pad("ROSSI", 20) + "\r\n" + " -12 " + pad("Bianchi", 20) +
                                         "\r\n");
}

TEST(Rapporto, ColumnWidthsAndCappedColumns) {
  EXPECT_EQ(LarghezzaColonna({"ID", 3, 4}).larghezza, 5);
  EXPECT_EQ(LarghezzaColonna({"Descrizione", 202, 8}).larghezza, 12); // L >= D: L + 1
  EXPECT_EQ(LarghezzaColonna({"Codice", 202, 19}).larghezza, 20);
  EXPECT_FALSE(LarghezzaColonna({"Codice", 202, 19}).limitata);
  EXPECT_TRUE(LarghezzaColonna({"Codice", 202, 20}).limitata);
  EXPECT_TRUE(LarghezzaColonna({"Note", 203, 536870910}).limitata);
  EXPECT_EQ(LarghezzaColonna({"Note", 203, 536870910}).larghezza, 20);
  // The name's length counts characters, not UTF-8 bytes.
  EXPECT_EQ(LarghezzaColonna({"Qualità", 202, 2}).larghezza, 8);

  FonteProva src;
  src.fields = {
      {"Testo", 202, 50}, {"Descrizione", 202, 8}, {"NomeMoltoPiuLungoDiVenti", 203, 536870910}};
  const std::string forty = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";
  src.rows = {{forty, "ABCDEFGH", "corto"}, {"abc", "XY", std::string(70000, 'm')}};
  const std::string expected =
      head("Prova", pad("Testo", 20) + "Descrizione " + "NomeMoltoPiuLungoDiVenti") +
      forty.substr(0, 19) + " " + "ABCDEFGH    " + pad("corto", 20) + "\r\n" + pad("abc", 20) +
      "XY          " + std::string(19, 'm') + " \r\n";
  EXPECT_EQ(compose(src), expected);
}

TEST(Rapporto, DatesWiderThanTheirHeadingAndMissingValues) {
  FonteProva src;
  src.fields = {{"Data", 7, 8}, {"DataDocumento", 7, 8}, {"Importo", 5, 8},
                {"Qta", 3, 4},  {"Peso", 4, 4},          {"Nome", 202, 10}};
  src.rows = {
      {date(2026, 12, 25), date(2026, 1, 5), 1234.5, int32_t{3}, 0.25f, "X"},
      {jet::Value(), jet::Value(), jet::Value(), jet::Value(), jet::Value(), jet::Value()},
      {date(1999, 3, 9), date(2000, 2, 29), -0.0005, int32_t{0}, -2.5f, ""},
  };
  const std::string heading = "Data     DataDocumento Importo  Qta  Peso Nome       ";
  const std::string expected =
      head("Prova", heading) +
      // the date cells take 11 characters under a 9-wide heading
      "25/12/2026 " + "   05/01/2026 " + "1234,500 " + "   3 " + "0,250 " + pad("X", 11) + "\r\n" +
      "__/__/____ " + "   __/__/____ " + "   0.000 " + "   0 " + "0.000 " + pad("_", 11) + "\r\n" +
      "09/03/1999 " + "   29/02/2000 " + "  -0,001 " + "   0 " + "-2,500 " + pad("_", 11) + "\r\n";
  EXPECT_EQ(compose(src), expected);
}

TEST(Rapporto, OtherTypesArePlacedAsText) {
  FonteProva src;
  src.fields = {{"Attivo", 11, 2}, {"Pz", 2, 2},         {"B", 17, 1},
                {"Prezzo", 6, 8},  {"Importo", 131, 19}, {"Guid", 72, 16}};
  jet::Decimal dec{true, 18, 3, 12500}; // -12.500
  jet::Guid g;
  for (int i = 0; i < 16; ++i)
    g.bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  src.rows = {{true, int16_t{-5}, uint8_t{200}, jet::Currency{125000}, dec, g},
              {false, int16_t{7}, uint8_t{0}, jet::Currency{-5}, jet::Decimal{}, jet::Value()}};
  const std::string heading = "Attivo Pz B Prezzo   Importo             Guid             ";
  const std::string expected = head("Prova", heading) + "Vero   " + "-5 " + "200" + "12,5     " +
                               pad("-12,5", 20) + "{03020100-0504-0706-0809-0A0B0C0D0E0F}" +
                               "\r\n" + "Falso  " + "7  " + "0 " + "-0,0005  " + pad("0", 20) +
                               pad("_", 17) + "\r\n";
  EXPECT_EQ(compose(src), expected);
}

TEST(Rapporto, RulesFrameALongHeadingAndAnEmptyGridGivesTheFourLines) {
  FonteProva src;
  for (int i = 0; i < 8; ++i)
    src.fields.push_back({"Campo" + std::to_string(i), 202, 30});
  const std::string text = compose(src, "Listino Prezzi");
  std::string heading;
  for (int i = 0; i < 8; ++i)
    heading += pad("Campo" + std::to_string(i), 20);
  EXPECT_EQ(text, head("Listino Prezzi", heading)); // 160-character heading, 50-sign rules
}

TEST(Rapporto, WritesWindows1252WithCrLfAndOneLinePerRow) {
  FonteProva src;
  src.fields = {{"Città", 202, 10}, {"Note", 203, 536870910}};
  src.rows = {{"Forlì", "riga uno\r\nriga due\tfine"}, {"€ 5", "漢字 è"}};
  const std::string text = compose(src, "Società");
  EXPECT_EQ(text.substr(0, 20), std::string("Tabella: Societ\xE0\r\n"
                                            "=====",
                                            20));
  EXPECT_NE(text.find(std::string("Citt\xE0      Note")), std::string::npos);
  // Breaks inside a value become blanks, so the row stays on one line.
  EXPECT_NE(text.find(std::string("Forl\xEC      riga uno  riga due ")), std::string::npos);
  EXPECT_NE(text.find(std::string("\x80 5        ?? \xE8")), std::string::npos);
  size_t lines = 0;
  for (size_t i = 0; i + 1 < text.size(); ++i)
    if (text[i] == '\r') {
      EXPECT_EQ(text[i + 1], '\n');
      ++lines;
    }
  EXPECT_EQ(lines, 6u);
  EXPECT_EQ(cp1252ToUtf8(utf8ToCp1252("€ àèìòù ß ŒŠ")), "€ àèìòù ß ŒŠ");
}

TEST(Rapporto, FilteredRowsAndTheGridRowPutBack) {
  FonteProva src; // a source under a filter yields only its rows; the title names the table only
  src.fields = {{"ID", 3, 4}};
  src.rows = {{int32_t{4}}, {int32_t{9}}};
  src.current = 1;
  EXPECT_EQ(compose(src, "BUONI"), head("BUONI", "ID   ") + "   4 \r\n   9 \r\n");
  EXPECT_EQ(src.current, 1);
  EXPECT_EQ(src.walks, 1);
}

TEST(Rapporto, FileIsReplacedOnlyByAWholeReport) {
  vasktest::TempDir dir;
  const auto path = dir.file("STAMPA.PRN");
  FonteProva src;
  src.fields = {{"ID", 3, 4}};
  src.rows = {{int32_t{1}}, {int32_t{2}}, {int32_t{3}}};
  ASSERT_TRUE(ScriviRapporto(src, "T", path).isOk());
  const std::string first = vasktest::readFile(path);
  EXPECT_EQ(first, head("T", "ID   ") + "   1 \r\n   2 \r\n   3 \r\n");

  src.current = 2;
  src.failAtRow = 1;
  jet::Status st = ScriviRapporto(src, "T", path);
  EXPECT_FALSE(st.isOk());
  EXPECT_EQ(st.number(), 3051);
  EXPECT_EQ(vasktest::readFile(path), first);
  EXPECT_EQ(src.current, 2);
  EXPECT_FALSE(std::filesystem::exists(dir.file("STAMPA.PRN.tmp")));

  src.failAtRow = -1;
  st = ScriviRapporto(src, "T", dir.file("manca") / "STAMPA.PRN");
  EXPECT_FALSE(st.isOk());
  EXPECT_FALSE(st.message().empty());
}

TEST(Rapporto, DefaultPlaceIsTheHomeFolder) {
  impostaPercorsoRapporto({});
#ifndef _WIN32
  const char *home = std::getenv("HOME");
  ASSERT_NE(home, nullptr);
  EXPECT_EQ(percorsoRapporto(), std::filesystem::path(home) / "STAMPA.PRN");
#else
  EXPECT_EQ(percorsoRapporto(), std::filesystem::path("C:\\STAMPA.PRN"));
#endif
  impostaPercorsoRapporto("/tmp/x/STAMPA.PRN");
  EXPECT_EQ(percorsoRapporto(), std::filesystem::path("/tmp/x/STAMPA.PRN"));
  impostaPercorsoRapporto({});
}

TEST(Rapporto, NumberFormsRoundHalfAwayFromZero) {
  const ReportField dbl{"V", 5, 8}, lng{"V", 3, 4};
  const Colonna c{1, false};
  EXPECT_EQ(CellaDati(dbl, c, 2.0005), "2,001 ");
  EXPECT_EQ(CellaDati(dbl, c, 0.1 + 0.2), "0,300 ");
  EXPECT_EQ(CellaDati(dbl, c, 1e10), "10000000000,000 ");
  EXPECT_EQ(CellaDati(dbl, c, 999.9996), "1000,000 ");
  EXPECT_EQ(CellaDati(lng, c, 2.5), "3 ");
  EXPECT_EQ(CellaDati(lng, c, int32_t{-2147483647 - 1}), "-2147483648 ");
  EXPECT_EQ(TestoValore(jet::toDateTime({2026, 3, 1, 14, 5, 0})), "01/03/2026 14:05:00");
  EXPECT_EQ(TestoValore(jet::toDateTime({1899, 12, 30, 8, 0, 0})), "08:00:00");
  EXPECT_EQ(TestoValore(2.5), "2,5");
  EXPECT_EQ(TestoValore(jet::Bytes{0x01, 0xAB}), "0x01ab");
}

TEST(Rapporto, TheGridsRecordsetInItsOrderAndBackOnItsRow) {
  data::Recordset rs({{"ID", 3, 4}, {"Nome", 202, 30}, {"Data", 7, 8}});
  rs.appendLoadedRow(1, {int32_t{3}, "VERDI", date(2026, 1, 2)});
  rs.appendLoadedRow(2, {int32_t{1}, "ROSSI", jet::Value()});
  rs.appendLoadedRow(3, {int32_t{2}, jet::Value(), date(2025, 12, 31)});
  rs.finishLoading();
  rs.Sort(0); // the grid ordered on ID
  ASSERT_TRUE(rs.setAbsolutePosition(2).isOk());
  RecordsetSource src(rs);
  auto text = ComponiRapporto(src, "CLIENTI");
  ASSERT_TRUE(text.isOk());
  EXPECT_EQ(*text, head("CLIENTI", "ID   " + pad("Nome", 20) + "Data     ") + "   1 " +
                       pad("ROSSI", 20) + "__/__/____ \r\n" + "   2 " + pad("_", 20) +
                       "31/12/2025 \r\n" + "   3 " + pad("VERDI", 20) + "02/01/2026 \r\n");
  EXPECT_EQ(rs.AbsolutePosition(), 2);
  rs.MoveLast();
  rs.MoveNext();
  ASSERT_TRUE(ComponiRapporto(src, "CLIENTI").isOk());
  EXPECT_TRUE(rs.isEOF());
}
