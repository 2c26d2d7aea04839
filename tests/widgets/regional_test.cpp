// Italian number and date forms, the picture format and the pattern match behind the box.
#include "textbox_fixture.h"
#include "widgets/regional.h"

#include <clocale>

using namespace regional;

TEST(Regional, NumbersReadInTheItalianForm) {
  auto value = [](const char *t) -> std::optional<double> {
    const auto d = parseNumber(QString::fromUtf8(t));
    if (!d)
      return std::nullopt;
    return CTVariant(QString::fromUtf8(t)).convertTo(CTVariant::Double).as<double>();
  };
  EXPECT_EQ(value("1.234,5"), 1234.5);
  EXPECT_EQ(value(" -12,25 "), -12.25);
  EXPECT_EQ(value("1.5"), 15.0) << "the point groups digits";
  EXPECT_EQ(value("1,5E3"), 1500.0);
  EXPECT_EQ(value(",5"), 0.5);
  for (const char *bad : {"", "-", "abc", "1,2,3", "1,2.3", ".5", "1e", "5-", "1 2"})
    EXPECT_FALSE(value(bad)) << bad;
}

TEST(Regional, ConversionsRoundAndOverflowAsTheTypesDo) {
  auto conv = [](const char *t, int type) { return CTVariant(t).convertTo(type); };
  EXPECT_EQ(conv("2,5", 2), CTVariant(int16_t(2)));
  EXPECT_EQ(conv("3,5", 2), CTVariant(int16_t(4)));
  EXPECT_EQ(conv("-2,5", 3), CTVariant(int32_t(-2)));
  EXPECT_EQ(conv("2,500001", 3), CTVariant(int32_t(3)));
  EXPECT_EQ(conv("-32768", 2), CTVariant(int16_t(-32768)));
  EXPECT_EQ(conv("-2.147.483.648", 3), CTVariant(int32_t(INT32_MIN)));
  EXPECT_EQ(conv("-0,4", 17), CTVariant(uint8_t(0)));
  for (auto [text, type] : {std::pair{"32768", 2},
                            {"2147483648", 3},
                            {"-1", 17},
                            {"1E39", 4},
                            {"1E309", 5},
                            {"922337203685478", 6},
                            {"1E29", 14}}) {
    try {
      conv(text, type);
      ADD_FAILURE() << text << " converted";
    } catch (const TextBoxError &e) {
      EXPECT_EQ(e.number(), 6) << text;
      EXPECT_EQ(e.description(), "Overflow");
    }
  }
  EXPECT_EQ(conv("-922.337.203.685.477,5808", 6), CTVariant(CTCurrency{INT64_MIN}));
  EXPECT_EQ(
      conv("0,12345678901234567890123456789", 14),
      CTVariant(CTDecimal{
          false, (unsigned __int128)1234567890123456789ULL * 1000000000ULL + 12345679ULL, 28}))
      << "28 places at most";
  try {
    CTVariant::null().convertTo(3);
    ADD_FAILURE() << "Null converted";
  } catch (const TextBoxError &e) {
    EXPECT_EQ(e.number(), 94);
  }
}

TEST(Regional, TextFormsOfValues) {
  EXPECT_EQ(CTVariant(int16_t(-5)).toText(), "-5");
  EXPECT_EQ(CTVariant(1234.5).toText(), "1234,5");
  EXPECT_EQ(CTVariant(123456789012345.0).toText(), "123456789012345");
  EXPECT_EQ(CTVariant(1e15).toText(), "1E+15");
  EXPECT_EQ(CTVariant(float(0.1f)).toText(), "0,1");
  EXPECT_EQ(CTVariant(CTCurrency{-12345}).toText(), "-1,2345");
  EXPECT_EQ(CTVariant(CTCurrency{20000}).toText(), "2");
  EXPECT_EQ(CTVariant(CTDecimal{false, 1250, 3}).toText(), "1,25");
  EXPECT_EQ(CTVariant(CTDate{45366.75}).toText(), "15/03/2024 18:00:00");
  EXPECT_EQ(CTVariant(CTDate{0.5}).toText(), "12:00:00");
  EXPECT_EQ(CTVariant(CTDate{-1.25}).toText(), "29/12/1899 06:00:00");
  EXPECT_EQ(CTVariant(CTDate{2}).toText(), "01/01/1900");
  EXPECT_THROW(CTVariant::null().toText(), TextBoxError);
}

TEST(Regional, TextFormsIgnoreTheProcessLocale) {
  // Qt sets the process locale from the environment; a comma locale must change nothing.
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  for (const char *name : {"it_IT.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8"}) {
    if (!std::setlocale(LC_ALL, name))
      continue;
    EXPECT_EQ(CTVariant(1234.5).toText(), "1234,5") << name;
    EXPECT_EQ(CTVariant("12,25").convertTo(CTVariant::Double), CTVariant(12.25)) << name;
    EXPECT_EQ(leadingValue("-0.5x"), -0.5) << name;
  }
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(Regional, DatesReadAsDayMonthYear) {
  auto date = [](const char *t) -> QString {
    const auto d = parseDate(QString::fromUtf8(t));
    return d ? formatDate(*d) : QStringLiteral("-");
  };
  EXPECT_EQ(date("15/03/2024"), "15/03/2024");
  EXPECT_EQ(date("1-2-2024"), "01/02/2024");
  EXPECT_EQ(date("1.2.24"), "01/02/2024");
  EXPECT_EQ(date("1/2/30"), "01/02/1930");
  EXPECT_EQ(date("29/02/2000"), "29/02/2000");
  EXPECT_EQ(date("15/03/2024 10:30"), "15/03/2024 10:30:00");
  EXPECT_EQ(date("31/12/9999"), "31/12/9999");
  for (const char *bad : {"29/02/1900", "30/02/2024", "31/04/2024", "00/01/2024", "13/13/2024",
                          "15/03/2024 25:00", "15//2024", "a/b/c", "", "1/1/10000"})
    EXPECT_EQ(date(bad), "-") << bad;
}

TEST(Regional, PictureAndPatternMatch) {
  EXPECT_TRUE(like("12.500", "##.###"));
  EXPECT_FALSE(like("12.5", ".###"));
  EXPECT_TRUE(like("-1.500", "-#.###"));
  EXPECT_TRUE(like("abc", "a?c"));
  EXPECT_TRUE(like("abcdef", "a*f"));
  EXPECT_TRUE(like("b", "[a-c]"));
  EXPECT_FALSE(like("b", "[!a-c]"));
  EXPECT_FALSE(like("123", "##"));
  EXPECT_EQ(leadingValue("-0,000"), 0.0);
  EXPECT_EQ(leadingValue(" 1 2.5abc"), 12.5);
  EXPECT_EQ(leadingValue("&H1F"), 31.0);
  EXPECT_EQ(leadingValue("x1"), 0.0);
}

TEST(Regional, VariantComparison) {
  EXPECT_EQ(compareVariants(CTVariant(int16_t(5)), CTVariant(5.0)), 0);
  EXPECT_EQ(compareVariants(CTVariant(), CTVariant(int32_t(1))), -1) << "empty is 0";
  EXPECT_EQ(compareVariants(CTVariant(int32_t(99)), CTVariant("1")), -1) << "numbers before text";
  EXPECT_EQ(compareVariants(CTVariant("b"), CTVariant("a")), 1);
  EXPECT_EQ(compareVariants(CTVariant(QDate(2024, 1, 2)), CTVariant(QDate(2024, 1, 1))), 1);
  EXPECT_FALSE(compareVariants(CTVariant::null(), CTVariant(int32_t(1))));
  EXPECT_FALSE(compareVariants(CTVariant::error(13), CTVariant(int32_t(1))));
}

TEST_F(TextBoxTest, InitRewritesTheBoxTextInTheTypesForm) {
  edit->setText("12,5");
  box.Init(edit, 5);
  EXPECT_EQ(edit->text(), "12,5") << "a first Init keeps the decimal comma";
  other->setText(" 7,6 ");
  box.Init(other, 3);
  EXPECT_EQ(other->text(), "8");
  EXPECT_EQ(box.box(), other);
  QTest::keyClicks(edit, "x");
  EXPECT_EQ(edit->text(), "x12,5") << "the first box is no longer driven";
}
