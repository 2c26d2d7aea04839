// Text, row and CSV codecs on hand-built bytes: the cases the fixtures do not isolate.
#include "jet/csv_export.h"
#include "jet/names.h"
#include "jet/row_codec.h"
#include "jet/text_codec.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

using namespace jet;

namespace {

std::string text(std::initializer_list<uint8_t> bytes) {
  std::vector<uint8_t> v(bytes);
  return decodeJetText(v);
}

TEST(TextCodec, PlainAndCompressedUnicode) {
  EXPECT_EQ(text({'C', 0, 'i', 0, 'a', 0, 'o', 0}), "Ciao");
  // Compressed, switching to two-byte mode for the euro sign and back.
  EXPECT_EQ(text({0xFF, 0xFE, 'p', 'r', 'e', 'z', 'z', 'o', ' ', 0x00, 0xAC, 0x20, 0x00, '5'}),
            "prezzo €5");
  // Latin-1 range stays one byte in compressed mode.
  EXPECT_EQ(text({0xFF, 0xFE, 'c', 'i', 't', 't', 0xE0}), "città");
  EXPECT_EQ(text({0xFF, 0xFE}), "");
  EXPECT_EQ(text({}), "");
  // Surrogate pair, lone surrogate, odd trailing byte.
  EXPECT_EQ(text({0x3D, 0xD8, 0x00, 0xDE}), "\xF0\x9F\x98\x80");
  EXPECT_EQ(text({0x00, 0xDC, 'a', 0}), "\xEF\xBF\xBD"
                                        "a");
  EXPECT_EQ(text({'a', 0, 'b'}), "a\xEF\xBF\xBD");
  EXPECT_EQ(text({0xFF, 0xFE, 0x00, 0x41}), "\xEF\xBF\xBD");
}

TEST(Names, CompareIgnoresCaseOfAsciiAndAccentedLetters) {
  EXPECT_EQ(compareNoCase("msysNote", "MSYSNOTE"), 0);
  EXPECT_LT(compareNoCase("MOVIMENTI", "msysNote"), 0);
  EXPECT_LT(compareNoCase("msysNote", "PAGAMENTI"), 0);
  EXPECT_EQ(compareNoCase("Città", "CITTÀ"), 0);
  EXPECT_LT(compareNoCase("Listino", "Listino Prezzi"), 0);
}

// A row of two fixed columns (Long at 0, Integer at 4), a yes/no, and two text columns.
struct RowBuilder {
  std::vector<uint8_t> bytes;
  void u16(uint16_t v) {
    bytes.push_back(v & 0xFF);
    bytes.push_back(v >> 8);
  }
};

TableDef sampleTable() {
  TableDef t;
  t.name = "Prova";
  t.varColumnCount = 2;
  auto col = [&](const char *name, ColumnType type, uint16_t number, uint16_t fixedOffset,
                 uint16_t varIndex, bool fixed) {
    ColumnDef c;
    c.name = name;
    c.type = type;
    c.number = number;
    c.index = number;
    c.fixedOffset = fixedOffset;
    c.varIndex = varIndex;
    c.flags = fixed ? ColumnDef::kFixedFlag : 0;
    c.length = type == ColumnType::Text ? 100 : static_cast<uint16_t>(fixedSizeOf(type));
    t.columns.push_back(c);
  };
  col("Lungo", ColumnType::Long, 0, 0, 0, true);
  col("Intero", ColumnType::Integer, 1, 4, 0, true);
  col("SiNo", ColumnType::Boolean, 2, 0, 0, true);
  col("Nome", ColumnType::Text, 3, 0, 0, false);
  col("Note", ColumnType::Text, 4, 0, 1, false);
  return t;
}

// Builds a row with the given stored column count and variable values (nullptr: null).
std::vector<uint8_t> buildRow(uint16_t columns, std::vector<const char *> vars, uint8_t mask) {
  RowBuilder r;
  r.u16(columns);
  r.u16(7); // Lungo = 7
  r.u16(0);
  r.u16(0xFFFE); // Intero = -2
  std::vector<uint16_t> offsets;
  for (const char *v : vars) {
    offsets.push_back(static_cast<uint16_t>(r.bytes.size()));
    for (const char *p = v ? v : ""; *p; ++p)
      r.u16(static_cast<uint8_t>(*p));
  }
  uint16_t eod = static_cast<uint16_t>(r.bytes.size());
  r.u16(eod);
  for (size_t i = offsets.size(); i-- > 0;)
    r.u16(offsets[i]);
  r.u16(static_cast<uint16_t>(vars.size()));
  r.bytes.push_back(mask);
  return r.bytes;
}

TEST(RowCodec, DecodesFixedVariableNullAndYesNo) {
  TableDef t = sampleTable();
  auto row = buildRow(5, {"abc", "de"}, 0b11111);
  auto layout = RowLayout::parse(row, t.varColumnCount, 9);
  ASSERT_TRUE(layout) << layout.status().message();
  EXPECT_EQ(decodeScalar(t.columns[0], layout->fixedField(0, 4, 9).value(), 9).value(),
            Value(int32_t(7)));
  EXPECT_EQ(decodeScalar(t.columns[1], layout->fixedField(4, 2, 9).value(), 9).value(),
            Value(int16_t(-2)));
  EXPECT_TRUE(layout->isSet(2));
  EXPECT_EQ(decodeJetText(layout->varField(0, 9).value()), "abc");
  EXPECT_EQ(decodeJetText(layout->varField(1, 9).value()), "de");
  // Null bits: Intero (1) and Note (4) cleared.
  auto nulls = buildRow(5, {"abc", nullptr}, 0b01101);
  auto l2 = RowLayout::parse(nulls, t.varColumnCount, 9);
  ASSERT_TRUE(l2);
  EXPECT_FALSE(l2->isSet(1));
  EXPECT_FALSE(l2->isSet(4));
  EXPECT_TRUE(l2->isSet(3));
}

TEST(RowCodec, RowWrittenBeforeColumnsWereAddedReadsThemAsNull) {
  TableDef t = sampleTable();
  // Written when the table had four columns and one variable column.
  auto row = buildRow(4, {"abc"}, 0b1111);
  auto layout = RowLayout::parse(row, t.varColumnCount, 9);
  ASSERT_TRUE(layout) << layout.status().message();
  EXPECT_EQ(layout->columnCount(), 4);
  EXPECT_EQ(layout->varCount(), 1);
  EXPECT_FALSE(layout->isSet(4)); // beyond the row's null mask
}

TEST(RowCodec, DamagedRowsAreErrorsNamingThePage) {
  TableDef t = sampleTable();
  auto good = buildRow(5, {"abc", "de"}, 0xFF);
  // Every truncation of a good row either parses into in-bounds fields or fails cleanly.
  for (size_t n = 0; n < good.size(); ++n) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + n);
    auto l = RowLayout::parse(cut, t.varColumnCount, 42);
    if (!l) {
      EXPECT_EQ(l.status().code(), ErrorCode::Corrupt);
      EXPECT_NE(l.status().message().find("pagina 42"), std::string::npos);
      continue;
    }
    for (uint16_t v = 0; v < l->varCount(); ++v)
      if (auto f = l->varField(v, 42)) {
        EXPECT_LE(f->data() + f->size(), cut.data() + cut.size());
      }
  }
  auto bad = good;
  bad[bad.size() - 6] = 0xF0; // first variable offset far past the row
  auto l = RowLayout::parse(bad, t.varColumnCount, 42);
  if (l) {
    auto f = l->varField(0, 42);
    EXPECT_FALSE(f);
  }
  // Decimal and GUID need their full size.
  ColumnDef dec;
  dec.type = ColumnType::Numeric;
  std::vector<uint8_t> shortDec(5, 0);
  EXPECT_FALSE(decodeScalar(dec, shortDec, 3));
}

TEST(RowCodec, DecimalWordsAreMostSignificantFirst) {
  ColumnDef dec;
  dec.type = ColumnType::Numeric;
  dec.precision = 28;
  dec.scale = 4;
  std::vector<uint8_t> b(17, 0);
  b[0] = 0x80;  // negative
  b[13] = 0x39; // lowest word: 12345
  b[14] = 0x30;
  b[9] = 0x01; // third word: 1 << 32
  auto v = decodeScalar(dec, b, 1);
  ASSERT_TRUE(v);
  const Decimal &d = v->as<Decimal>();
  EXPECT_TRUE(d.negative);
  EXPECT_EQ(d.magnitude, (static_cast<unsigned __int128>(1) << 32) + 12345);
  EXPECT_EQ(formatDecimal(d), "-429497.9641");
}

std::string field(const Value &v) {
  std::string s;
  appendCsvField(s, v);
  return s;
}

TEST(CsvFormat, CanonicalFields) {
  EXPECT_EQ(field(Value()), "");
  EXPECT_EQ(field(Value(true)), "1");
  EXPECT_EQ(field(Value(false)), "0");
  EXPECT_EQ(field(Value(uint8_t(255))), "255");
  EXPECT_EQ(field(Value(int16_t(-32768))), "-32768");
  EXPECT_EQ(field(Value("O'Neill \"il\" grande")), "\"O'Neill \"\"il\"\" grande\"");
  EXPECT_EQ(field(Value("")), "\"\"");
  EXPECT_EQ(field(Value(Currency{35000})), "3.5000");
  EXPECT_EQ(field(Value(Currency{-100})), "-0.0100");
  EXPECT_EQ(field(Value(Currency{std::numeric_limits<int64_t>::min()})), "-922337203685477.5808");
  EXPECT_EQ(field(Value(DateTime{36526.5})), "2000-01-01 12:00:00");
  EXPECT_EQ(field(Value(Bytes{})), "0x");
  EXPECT_EQ(field(Value(Bytes{0x00, 0xAB, 0x10})), "0x00ab10");
  Guid g;
  const uint8_t raw[16] = {0x78, 0x56, 0x34, 0x12, 0x34, 0x12, 0x34, 0x12,
                           0x12, 0x34, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
  std::memcpy(g.bytes.data(), raw, 16);
  EXPECT_EQ(field(Value(g)), "{12345678-1234-1234-1234-123456789ABC}");
  Decimal d;
  d.scale = 2;
  d.magnitude = 5;
  EXPECT_EQ(field(Value(d)), "0.05");
  d.scale = 0;
  d.magnitude = 0;
  d.negative = true;
  EXPECT_EQ(field(Value(d)), "0");
}

TEST(CsvFormat, FloatsReadBackAsTheSameValue) {
  const double doubles[] = {0.1,          -1234.5678, 1e300, -0.0, 5e-324, 1.7976931348623157e308,
                            123456789.123};
  for (double d : doubles) {
    std::string s = field(Value(d));
    double back = std::strtod(s.c_str(), nullptr);
    EXPECT_EQ(std::memcmp(&back, &d, sizeof d), 0) << s;
  }
  const float floats[] = {1.5f, 3.25f, 0.1f, -0.0f, 3.4028235e38f, 1e-45f};
  for (float f : floats) {
    std::string s = field(Value(f));
    float back = std::strtof(s.c_str(), nullptr);
    EXPECT_EQ(std::memcmp(&back, &f, sizeof f), 0) << s;
  }
  // A date outside Access's range is shown as its stored number, not as nonsense.
  EXPECT_EQ(field(Value(DateTime{1e300})), "1e+300");
}

} // namespace
