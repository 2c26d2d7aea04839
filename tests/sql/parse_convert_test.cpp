// The dialect's syntax, its error positions, and the conversions of literals and assignments.
#include "sql/convert.h"
#include "sql/parser.h"
#include "sql_test_util.h"

using namespace sqltest;
using jet::ColumnType;
using jet::ErrorCode;
using jet::Value;

namespace {

jet::Status syntaxOf(const std::string &text) {
  auto r = sql::parseStatement(text);
  EXPECT_FALSE(r.isOk()) << text;
  return r.status();
}

TEST(Parsing, StatementFormsKeywordsInAnyCaseAndAFinalSemicolon) {
  const char *good[] = {
      "select * from T",
      "SELECT * FROM [T];",
      "SeLeCt a, [b c], T.d, a + 1 AS somma FROM T AS x WHERE a = 1 ORDER BY a DESC, b ASC",
      "select T.* from T order by 1",
      "SELECT * INTO [Nuova] FROM T WHERE NOT a IS NULL",
      "INSERT INTO T (a, [b c]) VALUES (1, 'x');",
      "INSERT INTO T SELECT * FROM U",
      "insert into T (a) select b from U where b > 0",
      "UPDATE T SET a = 1, [b c] = 'x' WHERE a IN (1, 2, 3)",
      "update T set T.a = a * 2",
      "DELETE * FROM T WHERE a BETWEEN 1 AND 10 AND b NOT LIKE 'x*'",
      "DELETE FROM T",
      "delete T.* from T",
      "DROP TABLE [Listino Prezzi]",
      "CREATE TABLE T (ID COUNTER PRIMARY KEY, Nome TEXT(50) NOT NULL, Memo MEMO, N LONG, "
      "I SHORT, B BYTE, S SINGLE, D DOUBLE, C CURRENCY, DT DATETIME, F YESNO, G GUID, "
      "DE DECIMAL(10,2), BI BINARY(16), O LONGBINARY, CONSTRAINT U UNIQUE (Nome, N))",
      "CREATE UNIQUE INDEX Idx ON T (a ASC, b DESC) WITH PRIMARY",
      "create index i on T (a) with ignore null",
  };
  for (const char *s : good) {
    auto r = sql::parseStatement(s);
    EXPECT_TRUE(r.isOk()) << s << " -> " << r.status().message();
  }
}

TEST(Parsing, TextDatesAndNumbersOfLiterals) {
  auto st = sql::parseStatement(
      "SELECT 'it''s', \"say \"\"hi\"\"\", #12/25/2003#, #2003-12-25 14:30:00#, 1.5, .5, 1E3, "
      "3000000000, -2147483648 FROM T");
  ASSERT_TRUE(st.isOk()) << st.status().message();
  const auto &items = std::get<sql::SelectStmt>(st.value()).items;
  EXPECT_EQ(items[0].expr->value, Value("it's"));
  EXPECT_EQ(items[1].expr->value, Value("say \"hi\""));
  EXPECT_EQ(items[2].expr->value, date(2003, 12, 25));
  EXPECT_EQ(items[3].expr->value, date(2003, 12, 25, 14, 30));
  EXPECT_EQ(items[4].expr->value, Value(1.5));
  EXPECT_EQ(items[5].expr->value, Value(0.5));
  EXPECT_EQ(items[6].expr->value, Value(1000.0));
  EXPECT_EQ(items[7].expr->value, Value(3000000000.0));
  EXPECT_EQ(items[8].expr->value, Value(int32_t{-2147483648}));
}

TEST(Parsing, SyntaxErrorsSayWhereAndWhat) {
  auto st = syntaxOf("UPDATE [TemporaneaVask] SET [Cliente] = 'O'Neill'");
  EXPECT_EQ(st.code(), ErrorCode::Syntax);
  EXPECT_EQ(st.number(), 3075);
  EXPECT_NE(st.message().find("posizione 44"), std::string::npos) << st.message();
  EXPECT_NE(st.message().find("Neill"), std::string::npos) << st.message();

  st = syntaxOf("Delete * from T where ( Litri > )");
  EXPECT_NE(st.message().find("WHERE"), std::string::npos) << st.message();
  EXPECT_NE(st.message().find("posizione 33"), std::string::npos) << st.message();

  st = syntaxOf("select * from T where Citta = 'Roma");
  EXPECT_NE(st.message().find("posizione 31"), std::string::npos) << st.message();
  st = syntaxOf("select * from [T where a = 1");
  EXPECT_NE(st.message().find("posizione 15"), std::string::npos) << st.message();
  st = syntaxOf("select * from T where d = #2003-13-45#");
  EXPECT_NE(st.message().find("#2003-13-45#"), std::string::npos) << st.message();
  // Positions count characters, not bytes.
  st = syntaxOf("select * from T where Città = = 1");
  EXPECT_NE(st.message().find("posizione 31"), std::string::npos) << st.message();

  const char *bad[] = {"",
                       "SELECT",
                       "SELECT * FROM",
                       "SELECT * FROM T, U",
                       "SELECT * FROM T WHERE",
                       "SELECT * FROM T ORDER a",
                       "SELECT a b c FROM T",
                       "INSERT INTO T VALUES 1",
                       "INSERT INTO T (a VALUES (1)",
                       "UPDATE T a = 1",
                       "UPDATE T SET a = 1 WHERE",
                       "DELETE * T",
                       "DROP T",
                       "CREATE TABLE T (a TEXT(300))",
                       "CREATE TABLE T (a NUOVOTIPO)",
                       "CREATE TABLE T ()",
                       "SELECT * FROM T; SELECT * FROM U",
                       "SELECT * FROM T WHERE a = 1 @",
                       "MERGE INTO T"};
  for (const char *s : bad)
    EXPECT_EQ(syntaxOf(s).code(), ErrorCode::Syntax) << s;
  EXPECT_NE(syntaxOf("MERGE INTO T").message().find("SELECT"), std::string::npos);
}

TEST(Parsing, JetTypeNamesInCreateTable) {
  auto st = sql::parseStatement(
      "CREATE TABLE T (a INTEGER, b SHORT, c TEXT, d CHAR(5), e COUNTER, f BIT, g DECIMAL(12, 3), "
      "h OLEOBJECT, i AUTOINCREMENT(1, 1), j VARCHAR(20) CONSTRAINT pk PRIMARY KEY)");
  ASSERT_TRUE(st.isOk()) << st.status().message();
  const auto &def = std::get<sql::CreateTableStmt>(st.value()).def;
  EXPECT_EQ(def.columns[0].type, ColumnType::Long); // INTEGER is Jet's long integer
  EXPECT_EQ(def.columns[1].type, ColumnType::Integer);
  EXPECT_EQ(def.columns[2].size, 255);
  EXPECT_TRUE(def.columns[3].fixedLength);
  EXPECT_TRUE(def.columns[4].autoNumber);
  EXPECT_EQ(def.columns[5].type, ColumnType::Boolean);
  EXPECT_EQ(def.columns[6].precision, 12);
  EXPECT_EQ(def.columns[6].scale, 3);
  EXPECT_EQ(def.columns[7].type, ColumnType::Ole);
  EXPECT_TRUE(def.columns[8].autoNumber);
  ASSERT_EQ(def.indexes.size(), 1u);
  EXPECT_EQ(def.indexes[0].name, "pk");
  EXPECT_TRUE(def.indexes[0].primary);
}

TEST(Conversion, DateLiteralsReadAsTheJetEngineReadsThem) {
  using sql::parseDateLiteral;
  auto d = [](int y, int m, int dd, int h = 0, int mi = 0, int s = 0) {
    return jet::toDateTime({y, m, dd, h, mi, s});
  };
  EXPECT_EQ(parseDateLiteral("1/2/2003"), d(2003, 1, 2));     // month first
  EXPECT_EQ(parseDateLiteral("25/12/2003"), d(2003, 12, 25)); // no month 25: day first
  EXPECT_EQ(parseDateLiteral("2003-12-25"), d(2003, 12, 25));
  EXPECT_EQ(parseDateLiteral("2003/1/2"), d(2003, 1, 2));
  EXPECT_EQ(parseDateLiteral("12/31/99"), d(1999, 12, 31));
  EXPECT_EQ(parseDateLiteral("1/1/29"), d(2029, 1, 1));
  EXPECT_EQ(parseDateLiteral("2/29/2000 11:05:09 PM"), d(2000, 2, 29, 23, 5, 9));
  EXPECT_EQ(parseDateLiteral("12:30"), d(1899, 12, 30, 12, 30));
  EXPECT_EQ(parseDateLiteral("0100-01-01"), d(100, 1, 1));
  EXPECT_EQ(parseDateLiteral("9999-12-31 23:59:59"), d(9999, 12, 31, 23, 59, 59));
  EXPECT_FALSE(parseDateLiteral("2/29/2001"));
  EXPECT_FALSE(parseDateLiteral("13/13/2003"));
  EXPECT_FALSE(parseDateLiteral("0099-01-01"));
  EXPECT_FALSE(parseDateLiteral("1/2/2003 25:00"));
  EXPECT_FALSE(parseDateLiteral(""));
  EXPECT_FALSE(parseDateLiteral("ieri"));
  EXPECT_EQ(sql::parseItalianDate("1/2/2003", false), d(2003, 2, 1)); // day first
  EXPECT_EQ(sql::parseItalianDate("01.02.2003", false), d(2003, 2, 1));
  EXPECT_EQ(sql::parseItalianDate("1/2/2003 10:30", false), d(2003, 2, 1));
  EXPECT_EQ(sql::parseItalianDate("1/2/2003 10.30", true), d(2003, 2, 1, 10, 30));
}

TEST(Conversion, NumbersInItalianAndPlainForm) {
  EXPECT_EQ(sql::parseNumber("1.234,5"), 1234.5);
  EXPECT_EQ(sql::parseNumber(" -1,5 "), -1.5);
  EXPECT_EQ(sql::parseNumber("1234.5"), 1234.5);
  EXPECT_EQ(sql::parseNumber("1.234.567"), 1234567.0);
  EXPECT_EQ(sql::parseNumber("1e3"), 1000.0);
  EXPECT_FALSE(sql::parseNumber(""));
  EXPECT_FALSE(sql::parseNumber("1,2,3"));
  EXPECT_FALSE(sql::parseNumber("12a"));
  EXPECT_FALSE(sql::parseNumber("- 1"));
  EXPECT_FALSE(sql::parseNumber("-nan"));
  EXPECT_FALSE(sql::parseNumber("-inf"));
  EXPECT_FALSE(sql::parseNumber("1e999"));
  EXPECT_EQ(sql::parseNumber("-,5"), -0.5);
  EXPECT_EQ(sql::formatNumber(1234.5), "1234,5");
  EXPECT_EQ(sql::formatNumber(0.1 + 0.2), "0,3");
  EXPECT_EQ(sql::formatNumber(1e20), "1E+20");
  EXPECT_EQ(sql::formatNumber(-2.5e-7), "-2,5E-07");
  EXPECT_EQ(sql::toText(Value(1.1f)), "1,1");
  EXPECT_EQ(sql::toText(cur(-0.5)), "-0,5");
}

TEST(Conversion, AssignmentsConvertOrFailNamingTheField) {
  auto to = [](ColumnType t, const Value &v, int size = 0) {
    auto c = col("Campo", t, size);
    c.precision = 5;
    c.scale = 2;
    return sql::convertForColumn(v, c);
  };
  EXPECT_EQ(to(ColumnType::Byte, Value(255.4)).value(), Value(uint8_t{255}));
  EXPECT_EQ(to(ColumnType::Byte, Value(256)).status().code(), ErrorCode::OutOfRange);
  EXPECT_EQ(to(ColumnType::Byte, Value(-1)).status().code(), ErrorCode::OutOfRange);
  EXPECT_EQ(to(ColumnType::Integer, Value(2.5)).value(), Value(int16_t{2})); // to even
  EXPECT_EQ(to(ColumnType::Integer, Value(3.5)).value(), Value(int16_t{4}));
  EXPECT_EQ(to(ColumnType::Integer, Value(-32768)).value(), Value(int16_t{-32768}));
  EXPECT_EQ(to(ColumnType::Integer, Value(32768)).status().code(), ErrorCode::OutOfRange);
  EXPECT_EQ(to(ColumnType::Long, Value("1.234")).value(), Value(int32_t{1}));
  EXPECT_EQ(to(ColumnType::Long, Value("1.234,0")).value(), Value(int32_t{1234}));
  EXPECT_EQ(to(ColumnType::Long, Value("due")).status().code(), ErrorCode::TypeMismatch);
  EXPECT_EQ(to(ColumnType::Long, Value(true)).value(), Value(int32_t{-1}));
  EXPECT_EQ(to(ColumnType::Currency, Value(1.23456)).value(), cur(1.2346));
  EXPECT_EQ(to(ColumnType::Currency, Value(1e16)).status().code(), ErrorCode::OutOfRange);
  EXPECT_EQ(to(ColumnType::Single, Value(1e39)).status().code(), ErrorCode::OutOfRange);
  EXPECT_EQ(to(ColumnType::Double, Value(int32_t{7})).value(), Value(7.0));
  EXPECT_EQ(to(ColumnType::Boolean, Value("Vero")).value(), Value(true));
  EXPECT_EQ(to(ColumnType::Boolean, Value(0)).value(), Value(false));
  EXPECT_EQ(to(ColumnType::Boolean, Value("forse")).status().code(), ErrorCode::TypeMismatch);
  EXPECT_EQ(to(ColumnType::DateTime, Value("25/12/2003 10:00")).value(), date(2003, 12, 25, 10));
  EXPECT_EQ(to(ColumnType::DateTime, Value(2.5)).value(), date(1900, 1, 1, 12));
  EXPECT_EQ(to(ColumnType::DateTime, Value(3e6)).status().code(), ErrorCode::OutOfRange);
  EXPECT_EQ(to(ColumnType::DateTime, Value("32/12/2003")).status().code(), ErrorCode::TypeMismatch);
  EXPECT_EQ(to(ColumnType::Text, Value(2.5), 3).value(), Value("2,5"));
  EXPECT_EQ(to(ColumnType::Text, Value("àèìòù"), 5).value(), Value("àèìòù")); // characters
  auto tooLong = to(ColumnType::Text, Value("abcdef"), 5);
  EXPECT_EQ(tooLong.status().code(), ErrorCode::TextTooLong);
  EXPECT_NE(tooLong.status().message().find("'Campo'"), std::string::npos);
  EXPECT_EQ(to(ColumnType::Text, date(2003, 12, 25), 10).value(), Value("25/12/2003"));
  EXPECT_EQ(to(ColumnType::Memo, Value(std::string(70000, 'x'))).value().as<std::string>().size(),
            70000u);
  EXPECT_EQ(sql::formatDecimal(to(ColumnType::Numeric, Value(123.456)).value().as<jet::Decimal>()),
            "123,46");
  EXPECT_EQ(to(ColumnType::Numeric, Value(1234.0)).status().code(), ErrorCode::OutOfRange);
  auto g = to(ColumnType::Guid, Value("{6B29FC40-CA47-1067-B31D-00DD010662DA}"));
  ASSERT_TRUE(g.isOk());
  EXPECT_EQ(sql::formatGuid(g.value().as<jet::Guid>()), "{6B29FC40-CA47-1067-B31D-00DD010662DA}");
  EXPECT_EQ(to(ColumnType::Guid, Value("6B29")).status().code(), ErrorCode::TypeMismatch);
  EXPECT_EQ(to(ColumnType::Binary, Value("x"), 4).status().code(), ErrorCode::TypeMismatch);
  EXPECT_TRUE(to(ColumnType::Long, Value()).value().isNull());
}

} // namespace
