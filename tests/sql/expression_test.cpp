// Evaluation rules: three-valued logic, comparisons, promotion, conversions and functions.
#include "sql/eval.h"
#include "sql/parser.h"
#include "sql_test_util.h"

using namespace sqltest;
using jet::ColumnType;
using jet::ErrorCode;
using jet::Value;

namespace {

// Evaluates "SELECT expr FROM T" on one row of typed columns.
class Expressions : public ::testing::Test {
protected:
  void SetUp() override {
    cols = {col("Testo", ColumnType::Text, 50), col("Lungo", ColumnType::Long),
            col("Doppio", ColumnType::Double),  col("Valuta", ColumnType::Currency),
            col("Data", ColumnType::DateTime),  col("SiNo", ColumnType::Boolean),
            col("Vuoto", ColumnType::Text, 10), col("Intero", ColumnType::Integer),
            col("Singola", ColumnType::Single), col("Byte", ColumnType::Byte)};
    row = {Value("Àlfa"),
           Value(int32_t{42}),
           Value(2.5),
           cur(10.25),
           date(2024, 2, 29, 13, 45, 10),
           Value(true),
           Value(),
           Value(int16_t{32767}),
           Value(1.1f),
           Value(uint8_t{200})};
  }

  jet::Result<Value> eval(const std::string &expr) {
    auto st = sql::parseStatement("SELECT " + expr + " FROM T");
    if (!st)
      return st.status();
    const auto &sel = std::get<sql::SelectStmt>(st.value());
    sql::Scope scope{"T", "", &cols};
    auto c = sql::compileExpr(*sel.items[0].expr, scope, jet::toDateTime({2024, 3, 15, 10, 30}));
    if (!c)
      return c.status();
    return c->evaluate(row, jet::toDateTime({2024, 3, 15, 10, 30}));
  }
  Value value(const std::string &expr) {
    auto r = eval(expr);
    EXPECT_TRUE(r.isOk()) << expr << " -> " << r.status().message();
    return r ? r.value() : Value("<errore>");
  }
  ErrorCode error(const std::string &expr) {
    auto r = eval(expr);
    EXPECT_FALSE(r.isOk()) << expr << " should fail";
    return r ? ErrorCode::Ok : r.status().code();
  }

  std::vector<sql::ColumnDef> cols;
  sql::Row row;
};

TEST_F(Expressions, ComparisonsWithNullAreNeitherTrueNorFalse) {
  EXPECT_TRUE(value("Vuoto = 'x'").isNull());
  EXPECT_TRUE(value("Vuoto <> 'x'").isNull());
  EXPECT_TRUE(value("NOT (Vuoto = 'x')").isNull());
  EXPECT_TRUE(value("Null = Null").isNull());
  EXPECT_EQ(value("Vuoto = 'x' OR Lungo = 42"), Value(true));
  EXPECT_EQ(value("Vuoto = 'x' AND Lungo = 1"), Value(false));
  EXPECT_TRUE(value("Vuoto = 'x' AND Lungo = 42").isNull());
  EXPECT_EQ(value("Vuoto IS NULL"), Value(true));
  EXPECT_EQ(value("Testo IS NOT NULL"), Value(true));
  EXPECT_TRUE(value("Vuoto IN ('a', 'b')").isNull());
  EXPECT_TRUE(value("'c' IN ('a', Null)").isNull());
  EXPECT_EQ(value("'a' IN ('a', Null)"), Value(true));
  EXPECT_TRUE(value("Vuoto BETWEEN 'a' AND 'z'").isNull());
  EXPECT_TRUE(value("Vuoto LIKE '*'").isNull());
}

TEST_F(Expressions, TextComparesWithoutRegardToCaseButWithAccents) {
  EXPECT_EQ(value("Testo = 'àLFA'"), Value(true));
  EXPECT_EQ(value("Testo = 'Alfa'"), Value(false));
  EXPECT_EQ(value("'abc' < 'ABD'"), Value(true));
  EXPECT_EQ(value("'Àlfa' < 'Alga'"), Value(true)); // accents only break ties
  EXPECT_EQ(value("'abc' = 'abc '"), Value(false));
  EXPECT_EQ(value("Testo IN ('x', 'ÀLFA')"), Value(true));
  EXPECT_EQ(value("'m' BETWEEN 'A' AND 'Z'"), Value(true));
  EXPECT_EQ(value("Lungo BETWEEN 50 AND 40"), Value(true)); // bounds in either order
  EXPECT_EQ(value("Lungo NOT BETWEEN 43 AND 50"), Value(true));
}

TEST_F(Expressions, TextAgainstNumbersConvertsOnlyWhereItReadsAsOne) {
  EXPECT_EQ(value("Lungo = '42'"), Value(true));
  EXPECT_EQ(value("'41,5' < Lungo"), Value(true));
  EXPECT_EQ(value("Doppio = '2.5'"), Value(true));
  EXPECT_EQ(error("Lungo = 'abc'"), ErrorCode::TypeMismatch);
  EXPECT_EQ(error("Lungo = ''"), ErrorCode::TypeMismatch);
  EXPECT_EQ(error("Testo > 5"), ErrorCode::TypeMismatch);
  EXPECT_EQ(value("Data > '28/02/2024'"), Value(true));
  EXPECT_EQ(error("Data > 'ieri'"), ErrorCode::TypeMismatch);
  auto r = eval("Lungo = 'abc'");
  EXPECT_NE(r.status().message().find("'Lungo'"), std::string::npos) << r.status().message();
  EXPECT_NE(r.status().message().find("'abc'"), std::string::npos);
}

TEST_F(Expressions, NumbersOfDifferentTypesCompareByValue) {
  EXPECT_EQ(value("Valuta = 10.25"), Value(true));
  EXPECT_EQ(value("Singola = 1.1"), Value(true)); // at the Single's precision
  EXPECT_EQ(value("Byte = 200"), Value(true));
  EXPECT_EQ(value("SiNo = -1"), Value(true));
  EXPECT_EQ(value("SiNo = True"), Value(true));
  EXPECT_EQ(value("SiNo = 1"), Value(false));
  EXPECT_EQ(value("Data > #2/29/2024#"), Value(true)); // a time after midnight
  EXPECT_EQ(value("Data >= 45351"), Value(true));
  EXPECT_EQ(value("2147483647 < 2147483648"), Value(true));
}

TEST_F(Expressions, ArithmeticPromotesAsVariantsDo) {
  EXPECT_EQ(value("Intero + 1"), Value(int32_t{32768}));
  EXPECT_EQ(value("Byte + Byte"), Value(int16_t{400}));
  EXPECT_EQ(value("Lungo * 2"), Value(int32_t{84}));
  EXPECT_EQ(value("2147483647 + 1"), Value(2147483648.0));
  EXPECT_EQ(value("Lungo / 4"), Value(10.5));
  EXPECT_EQ(value("Lungo \\ 4"), Value(int32_t{10}));
  EXPECT_EQ(value("Lungo Mod 5"), Value(int32_t{2}));
  EXPECT_EQ(value("-7 Mod 3"), Value(int32_t{-1}));
  EXPECT_EQ(value("7.5 \\ 2"), Value(int32_t{4})); // 7.5 rounds to 8 first
  EXPECT_EQ(value("Valuta * 2"), cur(20.5));
  EXPECT_EQ(value("Valuta + Doppio"), cur(12.75));
  EXPECT_EQ(value("2 ^ 10"), Value(1024.0));
  EXPECT_EQ(value("1 + 2 * 3 - 4 / 2"), Value(5.0));
  EXPECT_EQ(value("-Lungo"), Value(int32_t{-42}));
  EXPECT_EQ(value("'12' + 1"), Value(13.0));
  EXPECT_EQ(value("'a' + 'b'"), Value("ab"));
  EXPECT_TRUE(value("Vuoto + 1").isNull());
  EXPECT_EQ(value("Data + 1"), date(2024, 3, 1, 13, 45, 10));
  EXPECT_EQ(value("#2024-03-01# - #2024-02-28#"), Value(2.0));
  EXPECT_EQ(error("Testo + 1"), ErrorCode::TypeMismatch);
  EXPECT_EQ(error("Lungo / 0"), ErrorCode::DivisionByZero);
  EXPECT_EQ(error("Lungo Mod 0"), ErrorCode::DivisionByZero);
  EXPECT_EQ(error("1E308 * 10"), ErrorCode::Overflow);
}

TEST_F(Expressions, ConcatenationTreatsNullAsEmpty) {
  EXPECT_EQ(value("Testo & '-' & Vuoto & '!'"), Value("Àlfa-!"));
  EXPECT_TRUE(value("Vuoto & Null").isNull());
  EXPECT_EQ(value("Lungo & ''"), Value("42"));
  EXPECT_EQ(value("Doppio & ''"), Value("2,5")); // Italian decimal comma
  EXPECT_EQ(value("Valuta & ''"), Value("10,25"));
  EXPECT_EQ(value("Data & ''"), Value("29/02/2024 13:45:10"));
  EXPECT_EQ(value("DateValue(Data) & ''"), Value("29/02/2024"));
  EXPECT_EQ(value("1 + 2 & 3"), Value("33"));
}

TEST_F(Expressions, LogicOnNumbersIsBitwise) {
  EXPECT_EQ(value("5 AND 3"), Value(int32_t{1}));
  EXPECT_EQ(value("NOT 0"), Value(int32_t{-1}));
  EXPECT_EQ(value("True XOR True"), Value(false));
  EXPECT_EQ(error("'x' AND True"), ErrorCode::TypeMismatch);
}

TEST_F(Expressions, LikeUsesJetWildcards) {
  EXPECT_EQ(value("Testo LIKE 'àl*'"), Value(true));
  EXPECT_EQ(value("Testo LIKE '?lfa'"), Value(true));
  EXPECT_EQ(value("Testo LIKE 'alfa'"), Value(false));
  EXPECT_EQ(value("'AB12' LIKE 'ab##'"), Value(true));
  EXPECT_EQ(value("'AB1x' LIKE 'ab##'"), Value(false));
  EXPECT_EQ(value("'b' LIKE '[a-c]'"), Value(true));
  EXPECT_EQ(value("'B' LIKE '[!a-c]'"), Value(false));
  EXPECT_EQ(value("'a*b' LIKE 'a[*]b'"), Value(true));
  EXPECT_EQ(value("'axb' LIKE 'a[*]b'"), Value(false));
  EXPECT_EQ(value("'Dell''Orto' LIKE '*''*'"), Value(true));
  EXPECT_EQ(value("'' LIKE '*'"), Value(true));
  EXPECT_EQ(value("'abc' NOT LIKE '*c'"), Value(false));
  EXPECT_EQ(value("Lungo LIKE '4*'"), Value(true));
  EXPECT_EQ(error("'a' LIKE '[ab'"), ErrorCode::Syntax);
}

TEST_F(Expressions, Functions) {
  EXPECT_EQ(value("IsEmpty(Vuoto)"), Value(true));
  EXPECT_EQ(value("IsEmpty('')"), Value(true));
  EXPECT_EQ(value("IsEmpty(' ')"), Value(false));
  EXPECT_EQ(value("IsEmpty(0)"), Value(false));
  EXPECT_EQ(value("IsNull(Vuoto)"), Value(true));
  EXPECT_EQ(value("IsNull('')"), Value(false));
  EXPECT_EQ(value("DateValue('25/12/2003')"), date(2003, 12, 25));
  EXPECT_EQ(value("DateValue('1/2/03')"), date(2003, 2, 1));
  EXPECT_EQ(value("DateValue('2003-12-25')"), date(2003, 12, 25));
  EXPECT_EQ(value("DateValue('31/12/9999')"), date(9999, 12, 31));
  EXPECT_EQ(value("DateValue('01/01/100')"), date(100, 1, 1));
  EXPECT_EQ(value("DateValue('30/12/1899')"), date(1899, 12, 30));
  EXPECT_EQ(value("DateValue('29/12/1899')"), date(1899, 12, 29));
  EXPECT_EQ(value("DateValue(Data)"), date(2024, 2, 29));
  EXPECT_TRUE(value("DateValue(Vuoto)").isNull());
  EXPECT_EQ(error("DateValue('30/02/2003')"), ErrorCode::TypeMismatch);
  EXPECT_EQ(error("DateValue('')"), ErrorCode::TypeMismatch);
  EXPECT_EQ(value("Date()"), date(2024, 3, 15));
  EXPECT_EQ(value("Now()"), date(2024, 3, 15, 10, 30));
  EXPECT_EQ(value("Year(Data)"), Value(int16_t{2024}));
  EXPECT_EQ(value("Month(Data)"), Value(int16_t{2}));
  EXPECT_EQ(value("Day(Data)"), Value(int16_t{29}));
  EXPECT_EQ(value("Year('25/12/2003')"), Value(int16_t{2003}));
  EXPECT_EQ(value("UCase(Testo)"), Value("ÀLFA"));
  EXPECT_EQ(value("LCase('ÀÈÌ')"), Value("àèì"));
  EXPECT_EQ(value("'[' & Trim('  a b  ') & ']'"), Value("[a b]"));
  EXPECT_EQ(value("LTrim('  a ')"), Value("a "));
  EXPECT_EQ(value("RTrim('  a ')"), Value("  a"));
  EXPECT_EQ(value("Len(Testo)"), Value(int32_t{4}));
  EXPECT_TRUE(value("Len(Vuoto)").isNull());
  EXPECT_EQ(value("Left(Testo, 2)"), Value("Àl"));
  EXPECT_EQ(value("Right(Testo, 10)"), Value("Àlfa"));
  EXPECT_EQ(value("Mid(Testo, 2, 2)"), Value("lf"));
  EXPECT_EQ(value("Mid(Testo, 3)"), Value("fa"));
  EXPECT_EQ(value("Mid(Testo, 9)"), Value(""));
  EXPECT_EQ(error("Left(Testo, -1)"), ErrorCode::InvalidArgument);
  EXPECT_EQ(value("Nz(Vuoto, 'nessuno')"), Value("nessuno"));
  EXPECT_EQ(value("Nz(Vuoto)"), Value(""));
  EXPECT_EQ(value("Nz(Lungo, 0)"), Value(int32_t{42}));
  EXPECT_EQ(value("IIf(Lungo > 40, 'alto', 1 / 0)"), Value("alto"));
  EXPECT_EQ(value("CLng('1.234,6')"), Value(int32_t{1235}));
  EXPECT_EQ(value("Int(-2.5)"), Value(-3.0));
  EXPECT_EQ(value("Abs(-Valuta)"), cur(10.25));
  EXPECT_EQ(error("Sconosciuta(1)"), ErrorCode::UndefinedFunction);
  EXPECT_EQ(error("Left(Testo)"), ErrorCode::Syntax);
  EXPECT_EQ(error("Manca = 1"), ErrorCode::NoSuchColumn);
  EXPECT_EQ(error("X.Testo = 1"), ErrorCode::NoSuchColumn);
  EXPECT_EQ(value("T.Testo"), Value("Àlfa"));
  EXPECT_EQ(value("[T].[Lungo]"), Value(int32_t{42}));
}

TEST_F(Expressions, ConstantPartsAreComputedOnceAtCompileTime) {
  // A constant error shows even before any row is read.
  auto st = sql::parseStatement("SELECT * FROM T WHERE Data = DateValue('31/02/2024')");
  ASSERT_TRUE(st.isOk());
  const auto &sel = std::get<sql::SelectStmt>(st.value());
  sql::Scope scope{"T", "", &cols};
  auto c = sql::compileExpr(*sel.where, scope, {});
  EXPECT_FALSE(c.isOk());
  EXPECT_EQ(c.status().code(), ErrorCode::TypeMismatch);
}

} // namespace
