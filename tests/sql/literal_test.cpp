// Values written into SQL text read back as the same values.
#include "sql/literal.h"
#include "sql_test_util.h"

using namespace sqltest;
using jet::ErrorCode;
using jet::Value;

namespace {

// Each value, written as a literal into an UPDATE of a column of its own type, is stored as it
// was, and a condition on that literal finds it.
TEST(Literals, ValuesRoundTripThroughAStatement) {
  MemoryDatabase db;
  ok(db, "CREATE TABLE T (Testo MEMO, Lungo LONG, Doppio DOUBLE, Singola SINGLE, Valuta CURRENCY, "
         "Data DATETIME, SiNo YESNO, Dec DECIMAL(28, 6), Intero SHORT)");
  ok(db, "INSERT INTO T (Lungo) VALUES (0)");
  jet::Decimal big;
  big.precision = 28;
  big.scale = 6;
  big.magnitude = static_cast<unsigned __int128>(1234567890123456789ULL) * 1000;
  big.negative = true;
  const std::pair<const char *, Value> cases[] = {{"Testo", Value("O'Neill")},
                                                  {"Testo", Value("''")},
                                                  {"Testo", Value("àèìòù “virgolette” €")},
                                                  {"Testo", Value("")},
                                                  {"Lungo", Value(int32_t{-2147483647 - 1})},
                                                  {"Lungo", Value(int32_t{2147483647})},
                                                  {"Intero", Value(int16_t{-32768})},
                                                  {"Doppio", Value(0.1)},
                                                  {"Doppio", Value(-1234.5678e-200)},
                                                  {"Doppio", Value(1.7976931348623157e308)},
                                                  {"Singola", Value(1.1f)},
                                                  {"Valuta", cur(922337203685477.5807)},
                                                  {"Valuta", Value(jet::Currency{INT64_MIN})},
                                                  {"Valuta", cur(-0.0001)},
                                                  {"Dec", Value(big)},
                                                  {"Data", date(2024, 2, 29, 23, 59, 59)},
                                                  {"Data", date(100, 1, 1)},
                                                  {"Data", date(9999, 12, 31, 23, 59, 59)},
                                                  {"Data", date(1899, 12, 30)},
                                                  {"Data", date(1899, 12, 29, 6, 0, 0)},
                                                  {"SiNo", Value(true)},
                                                  {"SiNo", Value(false)}};
  for (const auto &[column, v] : cases) {
    std::string text = "UPDATE T SET " + std::string(column) + " = " + sql::literal(v);
    ASSERT_EQ(ok(db, text), 1);
    auto rs = query(db, "SELECT " + std::string(column) + " FROM T");
    EXPECT_EQ(rs.rows[0][0], v) << text;
    auto cond = sql::equalsCondition(column, v);
    EXPECT_EQ(query(db, "SELECT * FROM T WHERE " + *cond).rows.size(), 1u) << *cond;
  }
  EXPECT_EQ(sql::literal(Value()), "Null");
  EXPECT_EQ(sql::numberLiteral(1234.5), "1234.5");
  EXPECT_EQ(sql::dateLiteral(jet::toDateTime({2003, 12, 25})), "#2003-12-25#");
}

TEST(Literals, EqualityConditionsFindTheRowTheyCameFrom) {
  MemoryDatabase db;
  makeBuoni(db);
  ok(db, "UPDATE BUONI SET Litri = 21.48 * 3 WHERE Numero = 5");
  auto all = query(db, "SELECT * FROM BUONI");
  for (size_t col = 1; col < all.columns.size(); ++col) {
    for (size_t r = 0; r < all.rows.size(); ++r) {
      auto cond = sql::equalsCondition(all.columns[col].name, all.rows[r][col]);
      ASSERT_TRUE(cond);
      auto rs = query(db, "SELECT Numero FROM BUONI WHERE " + *cond);
      bool found = false;
      for (const auto &row : rs.rows)
        found |= row[0] == all.rows[r][1];
      EXPECT_TRUE(found) << *cond;
    }
  }
  EXPECT_EQ(*sql::equalsCondition("Città", Value("Dell'Orto")), "[Città] = 'Dell''Orto'");
  EXPECT_EQ(*sql::equalsCondition("Note", Value()), "[Note] IS NULL");
  EXPECT_FALSE(sql::quoteName("a]b"));
  EXPECT_FALSE(sql::quoteName(""));
}

} // namespace

namespace {

// A table holding every column type with its extreme values, as the suite's TipiDati does.
void makeTipiDati(MemoryDatabase &db) {
  ok(db, "CREATE TABLE TipiDati (ID COUNTER PRIMARY KEY, [Byte] BYTE, Intero SHORT, Lungo LONG, "
         "Singola SINGLE, Doppia DOUBLE, Valuta CURRENCY, DataOra DATETIME, Testo TEXT(50), "
         "[Memo] MEMO, SiNo YESNO, [Guid] GUID, Decimale DECIMAL(18, 4), Binario BINARY(10), "
         "Oggetto LONGBINARY, UnNomeDiCampoMoltoLungo TEXT(255))");
  auto *t = db.get("TipiDati");
  jet::Decimal dec;
  dec.precision = 18;
  dec.scale = 4;
  dec.magnitude = static_cast<unsigned __int128>(123456789012345678ULL);
  jet::Decimal minusOne = dec;
  minusOne.magnitude = 10000;
  minusOne.negative = true;
  jet::Guid g;
  for (int i = 0; i < 16; ++i)
    g.bytes[i] = static_cast<uint8_t>(i * 17);
  std::string memo;
  while (memo.size() < 70000)
    memo += "Ferri & C. - Milano. O'Neill - Torino. Perché No - Canicattì. ";
  std::vector<bool> all(16, true);
  all[0] = false;
  std::vector<sql::Row> rows = {
      {Value(), Value(uint8_t{255}), Value(int16_t{-32768}), Value(int32_t{2147483647}),
       Value(1.5f), Value(-1234.5678), Value(jet::Currency{INT64_MAX}), date(1899, 12, 30),
       Value("€ à è é ì ò ù ç – “virgolette” 'apici'"), Value(memo), Value(true), Value(g),
       Value(dec), Value(jet::Bytes{1, 2, 3, 0, 255}), Value(jet::Bytes{0x50, 0x4b, 3, 4}),
       Value("abc")},
      {Value(), Value(), Value(), Value(), Value(), Value(), Value(), Value(), Value(), Value(),
       Value(false), Value(), Value(), Value(), Value(), Value()},
      {Value(), Value(uint8_t{0}), Value(int16_t{0}), Value(int32_t{-1}), Value(-0.0f),
       Value(1e300), cur(-0.01), date(1753, 1, 1, 12, 30, 15), Value(""), Value(""), Value(false),
       Value(), Value(minusOne), Value(jet::Bytes{}), Value(), Value("")},
      {Value(), Value(uint8_t{7}), Value(int16_t{2003}), Value(int32_t{0}), Value(3.25f),
       Value(0.1), cur(0), date(2003, 12, 25), Value("Roma"), Value("Uno\nDue\nTre"), Value(true),
       Value(), Value(), Value(), Value(), Value()},
  };
  for (const auto &r : rows)
    ASSERT_TRUE(t->insert(r, all).isOk());
}

TEST(Literals, EveryColumnTypeCopiesExactlyAndEveryValueIsFoundAgain) {
  MemoryDatabase db;
  makeTipiDati(db);
  ok(db, "SELECT * Into TemporaneaVask from [TipiDati]");
  EXPECT_EQ(db.rows("TemporaneaVask"), db.rows("TipiDati"));
  ok(db, "SELECT * Into [Copia] from TemporaneaVask");
  EXPECT_EQ(db.rows("Copia"), db.rows("TipiDati"));
  EXPECT_EQ(db.get("Copia")->columns()[12].scale, 4);
  EXPECT_EQ(db.get("Copia")->columns()[13].size, 10);

  // The filter's condition for any value of any row finds that row again.
  auto rs = query(db, "select * from TemporaneaVask;");
  int checked = 0;
  for (size_t r = 0; r < rs.rows.size(); ++r) {
    for (size_t c = 1; c < rs.columns.size(); ++c) {
      auto cond = sql::equalsCondition(rs.columns[c].name, rs.rows[r][c]);
      if (!cond) {
        EXPECT_TRUE(rs.rows[r][c].is<jet::Bytes>());
        continue;
      }
      auto found = query(db, "select * FROM TemporaneaVask Where " + *cond);
      bool same = false;
      for (const auto &row : found.rows)
        same |= row[0] == rs.rows[r][0];
      EXPECT_TRUE(same) << cond->substr(0, 80);
      ++checked;
    }
  }
  EXPECT_EQ(checked, 4 * 15 - 3);
  // Every value written back through UPDATE with its literal is stored unchanged.
  for (size_t c = 1; c < rs.columns.size(); ++c) {
    const Value &v = rs.rows[0][c];
    if (v.is<jet::Bytes>())
      continue;
    ok(db, "UPDATE [TemporaneaVask] SET [" + rs.columns[c].name + "] = " + sql::literal(v) +
               " where ( ID = 1)");
  }
  EXPECT_EQ(db.rows("TemporaneaVask")[0], db.rows("TipiDati")[0]);
}

} // namespace
