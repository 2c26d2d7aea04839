#include "data/ado_types.h"
#include "grid/testo_valore.h"

#include <clocale>
#include <gtest/gtest.h>

using grid::leggiValore;
using grid::testoValore;
using jet::Value;

namespace {

data::Field campo(int type, int64_t size = 0) {
  data::Field f;
  f.name = "Campo";
  f.type = type;
  f.definedSize = size;
  return f;
}

Value leggi(const std::string &t, int type, int64_t size = 0) {
  auto r = leggiValore(t, campo(type, size));
  EXPECT_TRUE(r.isOk()) << t << ": " << r.status().message();
  return r ? *r : Value();
}

jet::ErrorCode rifiuto(const std::string &t, int type, int64_t size = 0) {
  auto r = leggiValore(t, campo(type, size));
  EXPECT_FALSE(r.isOk()) << t;
  return r.status().code();
}

Value quando(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0) {
  return Value(jet::toDateTime({y, m, d, hh, mm, ss}));
}

} // namespace

TEST(TestoValore, NumbersWithADecimalCommaAndNoGrouping) {
  EXPECT_EQ(testoValore(Value(1234.5)), "1234,5");
  EXPECT_EQ(testoValore(Value(-0.0)), "0");
  EXPECT_EQ(testoValore(Value(0.1)), "0,1");
  EXPECT_EQ(testoValore(Value(1.0 / 3)), "0,333333333333333");
  EXPECT_EQ(testoValore(Value(1e20)), "1E+20");
  EXPECT_EQ(testoValore(Value(0.1f)), "0,1");
  EXPECT_EQ(testoValore(Value(int32_t(-1234567))), "-1234567");
  EXPECT_EQ(testoValore(Value(uint8_t(255))), "255");
  EXPECT_EQ(testoValore(Value(jet::Currency{125000})), "12,5");
  EXPECT_EQ(testoValore(Value(jet::Currency{-1})), "-0,0001");
  EXPECT_EQ(testoValore(Value(jet::Currency{30000})), "3");
  jet::Decimal d;
  d.negative = true;
  d.scale = 3;
  d.magnitude = 1500;
  EXPECT_EQ(testoValore(Value(d)), "-1,5");
  EXPECT_EQ(testoValore(Value()), "");
  EXPECT_EQ(testoValore(Value(true)), "Vero");
  EXPECT_EQ(testoValore(Value(false)), "Falso");
}

TEST(TestoValore, DatesDayFirstWithTheTimeOnlyWhenThereIsOne) {
  EXPECT_EQ(testoValore(quando(2003, 12, 25)), "25/12/2003");
  EXPECT_EQ(testoValore(quando(2003, 1, 5, 9, 5, 7)), "05/01/2003 09:05:07");
  EXPECT_EQ(testoValore(Value(jet::DateTime{0.75})), "18:00:00"); // a time with no date
  EXPECT_EQ(testoValore(quando(1850, 3, 1, 6)), "01/03/1850 06:00:00");
  // The year has four digits, as the short date form writes it.
  EXPECT_EQ(testoValore(Value(jet::DateTime{-657434.5})), "01/01/0100 12:00:00");
  EXPECT_EQ(testoValore(quando(999, 12, 31)), "31/12/0999");
}

TEST(TestoValore, IsTheSameWhateverTheCLocale) {
  // Qt sets the C locale from the environment; a comma locale must not change anything.
  const char *vecchio = std::setlocale(LC_NUMERIC, nullptr);
  std::string salvato = vecchio ? vecchio : "C";
  bool cambiato =
      std::setlocale(LC_NUMERIC, "it_IT.UTF-8") || std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  EXPECT_EQ(testoValore(Value(2.5)), "2,5");
  EXPECT_EQ(leggi("2,5", data::ado::Double), Value(2.5));
  std::setlocale(LC_NUMERIC, salvato.c_str());
  if (!cambiato)
    GTEST_SKIP() << "no comma locale installed: checked under the C locale only";
}

TEST(LeggiValore, ItalianNumbersWithGroupingOnlyWhereItGroupsThousands) {
  using namespace data::ado;
  EXPECT_EQ(leggi("1.234,5", Double), Value(1234.5));
  EXPECT_EQ(leggi("  -0,25 ", Double), Value(-0.25));
  EXPECT_EQ(leggi(",5", Double), Value(0.5));
  EXPECT_EQ(leggi("1,5E+3", Double), Value(1500.0));
  EXPECT_EQ(leggi("2,5", Single), Value(2.5f));
  EXPECT_EQ(rifiuto("3.5", Double), jet::ErrorCode::TypeMismatch); // not read as 35
  EXPECT_EQ(rifiuto("12.34.567", Double), jet::ErrorCode::TypeMismatch);
  EXPECT_EQ(rifiuto("1,2,3", Double), jet::ErrorCode::TypeMismatch);
  EXPECT_EQ(rifiuto("abc", Double), jet::ErrorCode::TypeMismatch);
  EXPECT_EQ(rifiuto("1E+400", Double), jet::ErrorCode::OutOfRange);
  EXPECT_EQ(rifiuto("1E+39", Single), jet::ErrorCode::OutOfRange);

  EXPECT_EQ(leggi("1.234", Integer), Value(int32_t(1234)));
  EXPECT_EQ(leggi("-2147483648", Integer), Value(int32_t(INT32_MIN)));
  EXPECT_EQ(leggi("12,0", Integer), Value(int32_t(12)));
  EXPECT_EQ(rifiuto("12,5", Integer), jet::ErrorCode::TypeMismatch);
  EXPECT_EQ(rifiuto("2147483648", Integer), jet::ErrorCode::OutOfRange);
  EXPECT_EQ(leggi("-32768", SmallInt), Value(int16_t(-32768)));
  EXPECT_EQ(rifiuto("70000", SmallInt), jet::ErrorCode::OutOfRange);
  EXPECT_EQ(rifiuto("-1", UnsignedTinyInt), jet::ErrorCode::OutOfRange);
  EXPECT_EQ(leggi("", Integer), Value()); // an empty cell is a Null
}

TEST(LeggiValore, CurrencyAndDecimalExactlyToTheirScale) {
  using namespace data::ado;
  EXPECT_EQ(leggi("1.234,5678", Currency), Value(jet::Currency{12345678}));
  EXPECT_EQ(leggi("0,00005", Currency), Value(jet::Currency{0})); // halves to even
  EXPECT_EQ(leggi("0,00015", Currency), Value(jet::Currency{2}));
  EXPECT_EQ(leggi("-922337203685477,5808", Currency), Value(jet::Currency{INT64_MIN}));
  EXPECT_EQ(rifiuto("922337203685478", Currency), jet::ErrorCode::OutOfRange);

  data::Field f = campo(Numeric);
  f.precision = 5;
  f.scale = 2;
  auto r = leggiValore("-123,456", f);
  ASSERT_TRUE(r.isOk());
  const auto &d = r->as<jet::Decimal>();
  EXPECT_TRUE(d.negative);
  EXPECT_EQ(d.scale, 2);
  EXPECT_EQ(static_cast<uint64_t>(d.magnitude), 12346u);
  EXPECT_EQ(testoValore(*r), "-123,46");
  EXPECT_FALSE(leggiValore("1234,5", f).isOk()); // six digits in a precision of five
}

TEST(LeggiValore, DatesDayFirstWithOrWithoutTime) {
  using data::ado::Date;
  EXPECT_EQ(leggi("25/12/2003", Date), quando(2003, 12, 25));
  EXPECT_EQ(leggi("5-1-2003", Date), quando(2003, 1, 5));
  EXPECT_EQ(leggi("25.12.2003", Date), quando(2003, 12, 25));
  EXPECT_EQ(leggi("25/12/03 10:30", Date), quando(2003, 12, 25, 10, 30));
  EXPECT_EQ(leggi("1/1/45", Date), quando(1945, 1, 1));
  EXPECT_EQ(leggi("29/02/2004 23.59.59", Date), quando(2004, 2, 29, 23, 59, 59));
  EXPECT_EQ(leggi("10.30", Date), Value(jet::DateTime{10.5 / 24}));
  EXPECT_EQ(rifiuto("29/02/2003", Date), jet::ErrorCode::TypeMismatch);
  EXPECT_EQ(rifiuto("12/13/2003", Date), jet::ErrorCode::TypeMismatch);
  EXPECT_EQ(rifiuto("25/12/2003 24:00", Date), jet::ErrorCode::TypeMismatch);
  EXPECT_EQ(rifiuto("domani", Date), jet::ErrorCode::TypeMismatch);
  // What the grid shows reads back as the same value.
  for (auto v : {quando(2003, 12, 25), quando(1999, 7, 4, 13, 14, 15), quando(1850, 3, 1, 6),
                 quando(100, 1, 1, 12), quando(100, 1, 1, 23, 59, 59), quando(9999, 12, 31, 18)})
    EXPECT_EQ(leggi(testoValore(v), Date), v) << testoValore(v);
}

TEST(LeggiValore, TextYesNoAndIdentifiers) {
  using namespace data::ado;
  EXPECT_EQ(leggi(" con spazi ", VarWChar, 20), Value(" con spazi ")); // text kept as typed
  EXPECT_EQ(leggi("Città", VarWChar, 5), Value("Città"));              // five characters
  EXPECT_EQ(rifiuto("Cittàx", VarWChar, 5), jet::ErrorCode::TextTooLong);
  EXPECT_EQ(leggi(std::string(70000, 'x'), LongVarWChar, 536870910).as<std::string>().size(),
            70000u);
  EXPECT_EQ(leggi("", VarWChar, 5), Value());
  EXPECT_EQ(leggi("Sì", Boolean), Value(true));
  EXPECT_EQ(leggi("falso", Boolean), Value(false));
  EXPECT_EQ(leggi("-1", Boolean), Value(true));
  EXPECT_EQ(rifiuto("forse", Boolean), jet::ErrorCode::TypeMismatch);
  jet::Guid g;
  for (int i = 0; i < 16; ++i)
    g.bytes[i] = static_cast<uint8_t>(i * 17);
  std::string t = testoValore(Value(g));
  EXPECT_EQ(t, "{33221100-5544-7766-8899-AABBCCDDEEFF}");
  EXPECT_EQ(leggi(t, Guid), Value(g));
  EXPECT_EQ(rifiuto("x", VarBinary), jet::ErrorCode::Unsupported);
}
