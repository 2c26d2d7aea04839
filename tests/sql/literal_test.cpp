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
