#include "index_fixture.h"
#include "jet/index_key.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace jet;
using indextest::hexBytes;

namespace {

IndexKeyColumn col(ColumnType t, bool asc = true, uint8_t scale = 0) {
  IndexKeyColumn c;
  c.type = t;
  c.ascending = asc;
  c.scale = scale;
  return c;
}

Bytes key1(const IndexKeyColumn &c, const Value &v) {
  Bytes out;
  Status st = appendIndexKeyColumn(c, v, out);
  EXPECT_TRUE(st.isOk()) << st.message();
  return out;
}

// Keys of values given in ascending order must sort the same way byte by byte, and the other
// way round in a descending column.
void expectOrdered(ColumnType t, const std::vector<Value> &ascending) {
  for (bool asc : {true, false}) {
    for (size_t i = 1; i < ascending.size(); ++i) {
      const Bytes a = key1(col(t, asc), ascending[i - 1]);
      const Bytes b = key1(col(t, asc), ascending[i]);
      if (asc)
        EXPECT_LT(a, b) << "type " << int(t) << " asc, values " << i - 1 << " and " << i;
      else
        EXPECT_GT(a, b) << "type " << int(t) << " desc, values " << i - 1 << " and " << i;
    }
  }
}

Decimal dec(bool negative, unsigned long long magnitude, uint8_t scale = 0) {
  Decimal d;
  d.negative = negative;
  d.magnitude = magnitude;
  d.scale = scale;
  d.precision = 18;
  return d;
}

} // namespace

TEST(IndexKey, NumbersDatesAndYesNoSortByTheirKeyBytes) {
  const float fInf = std::numeric_limits<float>::infinity();
  const double dInf = std::numeric_limits<double>::infinity();
  expectOrdered(ColumnType::Byte,
                {uint8_t(0), uint8_t(1), uint8_t(127), uint8_t(128), uint8_t(255)});
  expectOrdered(ColumnType::Integer, {int16_t(-32768), int16_t(-256), int16_t(-1), int16_t(0),
                                      int16_t(1), int16_t(32767)});
  expectOrdered(ColumnType::Long, {INT32_MIN, -65536, -1, 0, 1, 255, 256, INT32_MAX});
  expectOrdered(ColumnType::Currency, {Currency{INT64_MIN}, Currency{-10000}, Currency{-1},
                                       Currency{0}, Currency{1}, Currency{INT64_MAX}});
  expectOrdered(ColumnType::Single,
                {-fInf, -1e30f, -1.5f, -1e-30f, -0.0f, 0.0f, 1e-30f, 1.0f, 1.5f, 1e30f, fInf});
  expectOrdered(ColumnType::Double,
                {-dInf, -1e300, -2.0, -1.0, -1e-300, -0.0, 0.0, 1e-300, 1.0, 2.0, 1e300, dInf});
  expectOrdered(ColumnType::DateTime,
                {DateTime{-657434.0}, DateTime{-1.25}, DateTime{-1.0}, DateTime{0.0}, DateTime{0.5},
                 DateTime{36526.0}, DateTime{36526.75}, DateTime{2958465.99}});
  // Yes (-1) sorts before No (0).
  expectOrdered(ColumnType::Boolean, {true, false});
}

TEST(IndexKey, LaysOutValuesAsAccessDoes) {
  // Long keys as the fixtures' primary keys hold them.
  EXPECT_EQ(key1(col(ColumnType::Long), int32_t(1)), hexBytes("7f 80 00 00 01"));
  EXPECT_EQ(key1(col(ColumnType::Long), int32_t(-45)), hexBytes("7f 7f ff ff d3"));
  EXPECT_EQ(key1(col(ColumnType::Long, false), int32_t(1)), hexBytes("80 7f ff ff fe"));
  EXPECT_EQ(key1(col(ColumnType::Byte), uint8_t(3)), hexBytes("7f 03"));
  EXPECT_EQ(key1(col(ColumnType::Byte, false), uint8_t(3)), hexBytes("80 fc"));
  EXPECT_EQ(key1(col(ColumnType::Integer), int16_t(2)), hexBytes("7f 80 02"));
  EXPECT_EQ(key1(col(ColumnType::Double), 1.0), hexBytes("7f bf f0 00 00 00 00 00 00"));
  EXPECT_EQ(key1(col(ColumnType::Double), -1.0), hexBytes("7f 40 0f ff ff ff ff ff ff"));
  EXPECT_EQ(key1(col(ColumnType::Double, false), 1.0), hexBytes("80 40 0f ff ff ff ff ff ff"));
  EXPECT_EQ(key1(col(ColumnType::Single), 1.0f), hexBytes("7f bf 80 00 00"));
  EXPECT_EQ(key1(col(ColumnType::Currency), Currency{10000}),
            hexBytes("7f 80 00 00 00 00 00 27 10"));
  EXPECT_EQ(key1(col(ColumnType::Boolean), true), hexBytes("7f 00"));
  EXPECT_EQ(key1(col(ColumnType::Boolean), false), hexBytes("7f ff"));
  EXPECT_EQ(key1(col(ColumnType::Boolean, false), true), hexBytes("80 ff"));
  EXPECT_EQ(key1(col(ColumnType::Text), "Az9"), hexBytes("7f 4a 78 48 01 00"));
  EXPECT_EQ(key1(col(ColumnType::Memo, false), ""), hexBytes("80 fe ff 00"));
}

TEST(IndexKey, NullsTakeOnlyTheFlagByteAndYesNoHasNoNull) {
  for (ColumnType t : {ColumnType::Byte, ColumnType::Long, ColumnType::Double, ColumnType::Text,
                       ColumnType::Guid, ColumnType::Binary, ColumnType::Numeric}) {
    EXPECT_EQ(key1(col(t), Value::null()), Bytes{0x00});
    EXPECT_EQ(key1(col(t, false), Value::null()), Bytes{0xff});
  }
  // A Null sorts before every value ascending and after every value descending.
  EXPECT_LT(key1(col(ColumnType::Long), Value::null()), key1(col(ColumnType::Long), INT32_MIN));
  EXPECT_GT(key1(col(ColumnType::Long, false), Value::null()),
            key1(col(ColumnType::Long, false), INT32_MIN));
  EXPECT_EQ(key1(col(ColumnType::Boolean), Value::null()), key1(col(ColumnType::Boolean), false));
}

TEST(IndexKey, MultiColumnKeysChainTheColumnParts) {
  const IndexKeyColumn cols[] = {col(ColumnType::Text), col(ColumnType::Long)};
  // As TableIgnoreNulls2 of the fixtures holds ("more", Null) and ("stuff", 13).
  const Value a[] = {Value("more"), Value::null()};
  auto k = encodeIndexKey(cols, a);
  ASSERT_TRUE(k.isOk());
  EXPECT_EQ(*k, hexBytes("7f 60 64 69 51 01 00 00"));
  const Value b[] = {Value("stuff"), Value(int32_t(13))};
  k = encodeIndexKey(cols, b);
  ASSERT_TRUE(k.isOk());
  EXPECT_EQ(*k, hexBytes("7f 6b 6d 6f 53 53 01 00 7f 80 00 00 0d"));

  const IndexKeyColumn mixed[] = {col(ColumnType::Long, false), col(ColumnType::Text)};
  const Value c[] = {Value(int32_t(5)), Value("x")};
  k = encodeIndexKey(mixed, c);
  ASSERT_TRUE(k.isOk());
  EXPECT_EQ(*k, hexBytes("80 7f ff ff fa 7f 75 01 00"));

  const Value nulls[] = {Value::null(), Value::null()};
  EXPECT_TRUE(indexLeavesOutRow(true, nulls));
  EXPECT_FALSE(indexLeavesOutRow(false, nulls));
  EXPECT_FALSE(indexLeavesOutRow(true, a)); // one column set is enough to keep the row
  EXPECT_TRUE(uniqueIndexAllowsRepeat(nulls));
  EXPECT_FALSE(uniqueIndexAllowsRepeat(a));
  // What a unique index compares: "Rossi" and "ROSSI " are one key.
  const IndexKeyColumn text[] = {col(ColumnType::Text)};
  const Value r1[] = {Value("Rossi")}, r2[] = {Value("ROSSI ")}, r3[] = {Value("Rossì")};
  EXPECT_EQ(*encodeIndexKey(text, r1), *encodeIndexKey(text, r2));
  EXPECT_NE(*encodeIndexKey(text, r1), *encodeIndexKey(text, r3));
}

TEST(IndexKey, BinaryAndGuidKeysComeInEightByteSegments) {
  const auto bin = [](std::initializer_list<uint8_t> b) { return Value(Bytes(b)); };
  EXPECT_EQ(key1(col(ColumnType::Binary), bin({})), hexBytes("7f"));
  EXPECT_EQ(key1(col(ColumnType::Binary), bin({0xab})), hexBytes("7f ab 00 00 00 00 00 00 00 01"));
  EXPECT_EQ(key1(col(ColumnType::Binary), bin({1, 2, 3, 4, 5, 6, 7, 8})),
            hexBytes("7f 01 02 03 04 05 06 07 08 08"));
  EXPECT_EQ(key1(col(ColumnType::Binary), bin({1, 2, 3, 4, 5, 6, 7, 8, 9})),
            hexBytes("7f 01 02 03 04 05 06 07 08 09 09 00 00 00 00 00 00 00 01"));
  // Descending: data and final length inverted, the 0x09 continuation markers not.
  EXPECT_EQ(key1(col(ColumnType::Binary, false), bin({1, 2, 3, 4, 5, 6, 7, 8, 9})),
            hexBytes("80 fe fd fc fb fa f9 f8 f7 09 f6 ff ff ff ff ff ff ff fe"));
  expectOrdered(ColumnType::Binary,
                {bin({0}), bin({0, 0}), bin({0, 1}), bin({1}), bin({1, 2, 3, 4, 5, 6, 7, 8}),
                 bin({1, 2, 3, 4, 5, 6, 7, 8, 0}), bin({0xff})});
  // An empty value is the flag alone, first in either direction.
  EXPECT_LT(key1(col(ColumnType::Binary), bin({})), key1(col(ColumnType::Binary), bin({0})));

  // {00112233-4455-6677-8899-AABBCCDDEEFF} as a row stores it.
  Guid g;
  const uint8_t stored[16] = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                              0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
  std::copy(std::begin(stored), std::end(stored), g.bytes.begin());
  EXPECT_EQ(key1(col(ColumnType::Guid), g),
            hexBytes("7f 00 11 22 33 44 55 66 77 09 88 99 aa bb cc dd ee ff 08"));
  EXPECT_EQ(key1(col(ColumnType::Guid, false), g),
            hexBytes("80 ff ee dd cc bb aa 99 88 09 77 66 55 44 33 22 11 00 f7"));
}

TEST(IndexKey, DecimalsFollowTheJet4Order) {
  const auto c = col(ColumnType::Numeric, true, 2);
  EXPECT_EQ(key1(c, dec(false, 100, 2)),
            hexBytes("7f ff 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 64"));
  EXPECT_EQ(key1(c, dec(true, 100, 2)),
            hexBytes("7f 00 ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff 9b"));
  // Values at another scale are brought to the column's scale first.
  EXPECT_EQ(key1(c, dec(false, 1, 0)), key1(c, dec(false, 100, 2)));
  EXPECT_EQ(key1(c, dec(false, 1000, 3)), key1(c, dec(false, 100, 2)));
  EXPECT_EQ(key1(c, dec(true, 0, 2)), key1(c, dec(false, 0, 2))); // no negative zero
  const std::vector<Decimal> ascending = {dec(true, 1000), dec(true, 1), dec(false, 0),
                                          dec(false, 1), dec(false, 1000)};
  for (size_t i = 1; i < ascending.size(); ++i)
    EXPECT_LT(key1(col(ColumnType::Numeric), ascending[i - 1]),
              key1(col(ColumnType::Numeric), ascending[i]));
  // Descending, Jet 4 orders the positives from the largest and puts the negatives after them,
  // themselves from the smallest magnitude: the order its own indexes have.
  const auto d = col(ColumnType::Numeric, false);
  EXPECT_GT(key1(d, dec(false, 1)), key1(d, dec(false, 1000)));
  EXPECT_LT(key1(d, dec(true, 1)), key1(d, dec(false, 1000)));
  EXPECT_LT(key1(d, dec(true, 1)), key1(d, dec(true, 1000)));

  Bytes out;
  EXPECT_EQ(appendIndexKeyColumn(c, dec(false, 105, 3), out).code(), ErrorCode::TypeMismatch);
  EXPECT_TRUE(out.empty());
}

TEST(IndexKey, RefusesValuesThatDoNotFitTheColumn) {
  struct Case {
    IndexKeyColumn column;
    Value value;
    ErrorCode code;
  };
  IndexKeyColumn italian = col(ColumnType::Text);
  italian.sortOrder = 1040;
  IndexKeyColumn general2010 = col(ColumnType::Text);
  general2010.sortVersion = 1;
  const Case cases[] = {
      {col(ColumnType::Long), Value("12"), ErrorCode::TypeMismatch},
      {col(ColumnType::Text), Value(int32_t(12)), ErrorCode::TypeMismatch},
      {col(ColumnType::Byte), Value(int16_t(256)), ErrorCode::OutOfRange},
      {col(ColumnType::Byte), Value(int32_t(-1)), ErrorCode::OutOfRange},
      {col(ColumnType::Integer), Value(int32_t(40000)), ErrorCode::OutOfRange},
      {col(ColumnType::Single), Value(1.0), ErrorCode::TypeMismatch},
      {col(ColumnType::DateTime), Value(1.0), ErrorCode::TypeMismatch},
      {col(ColumnType::Boolean), Value(int32_t(1)), ErrorCode::TypeMismatch},
      {col(ColumnType::Ole), Value(Bytes{1}), ErrorCode::Unsupported},
      {col(ColumnType::Ole), Value::null(), ErrorCode::Unsupported},
      {italian, Value("a"), ErrorCode::Unsupported},
      {general2010, Value("a"), ErrorCode::Unsupported},
      {col(ColumnType::Text), Value("T\xc5kyo"), ErrorCode::KeyNotEncodable},
  };
  for (const auto &c : cases) {
    Bytes out = {0x42};
    Status st = appendIndexKeyColumn(c.column, c.value, out);
    EXPECT_EQ(st.code(), c.code) << int(c.column.type) << " " << st.message();
    EXPECT_FALSE(st.message().empty());
    EXPECT_EQ(out, Bytes{0x42}) << "partial key left behind";
  }
  // Widening within range is fine.
  EXPECT_EQ(key1(col(ColumnType::Long), int16_t(1)), key1(col(ColumnType::Long), int32_t(1)));
  EXPECT_EQ(key1(col(ColumnType::Byte), int32_t(7)), key1(col(ColumnType::Byte), uint8_t(7)));

  const IndexKeyColumn two[] = {col(ColumnType::Long), col(ColumnType::Long)};
  const Value one[] = {Value(int32_t(1))};
  EXPECT_FALSE(encodeIndexKey(two, one).isOk());
  EXPECT_FALSE(encodeIndexKey({}, {}).isOk());
  const Value bad[] = {Value(int32_t(1)), Value("x")};
  EXPECT_EQ(encodeIndexKey(two, bad).status().code(), ErrorCode::TypeMismatch);
  EXPECT_FALSE(isIndexableType(ColumnType::Ole));
  EXPECT_TRUE(isIndexableType(ColumnType::Memo));
}
