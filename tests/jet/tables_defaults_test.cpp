// Column defaults: the DefaultValue design property applied to the columns an insert leaves out,
// on Access's own tables and on tables made here.
#include "jet/column_defaults.h"
#include "jet/database_builder.h"
#include "jet/table_ops.h"
#include "tables_support.h"

#include <gtest/gtest.h>

using namespace jet;

namespace {

ColumnDef column(ColumnType t) {
  ColumnDef c;
  c.type = t;
  return c;
}

Value constantOf(std::string_view text, ColumnType t) {
  ColumnDefault d = parseColumnDefault(text, column(t));
  return d.kind == ColumnDefault::Kind::Constant ? d.value : Value("(nessuno)");
}

TEST(ColumnDefaults, TheFormsTheEngineApplies) {
  using T = ColumnType;
  EXPECT_EQ(constantOf("0", T::Long), Value(0.0));
  EXPECT_EQ(constantOf("=-12.5", T::Double), Value(-12.5));
  EXPECT_EQ(constantOf(" 3 ", T::Text), Value("3"));
  EXPECT_EQ(constantOf("\"L'Aquila \"\"centro\"\"\"", T::Text), Value("L'Aquila \"centro\""));
  EXPECT_EQ(constantOf("'Sì'", T::Memo), Value("Sì"));
  EXPECT_EQ(constantOf("\"7\"", T::Integer), Value(7.0));
  EXPECT_EQ(constantOf("Yes", T::Boolean), Value(true));
  EXPECT_EQ(constantOf("false", T::Boolean), Value(false));
  EXPECT_EQ(constantOf("On", T::Long), Value(true));
  EXPECT_EQ(constantOf("#12/31/2024#", T::DateTime), Value(toDateTime({2024, 12, 31})));
  EXPECT_EQ(constantOf("#31/12/2024#", T::DateTime), Value(toDateTime({2024, 12, 31})));
  EXPECT_EQ(constantOf("#2024-02-29 08:30#", T::DateTime),
            Value(toDateTime({2024, 2, 29, 8, 30, 0})));
  EXPECT_EQ(parseColumnDefault("=Date()", column(T::DateTime)).kind, ColumnDefault::Kind::Today);
  EXPECT_EQ(parseColumnDefault("now ( )", column(T::DateTime)).kind, ColumnDefault::Kind::Now);
  EXPECT_EQ(parseColumnDefault("GenGUID()", column(T::Guid)).kind, ColumnDefault::Kind::NewGuid);
  // Not applied: expressions, bad dates, forms that do not fit the column, Null.
  for (const char *other : {"Format(Now(),\"yyyy\")", "1+1", "\"a\" & \"b\"", "#2023-02-29#",
                            "#13/13/2024#", "Null", "", "abc"})
    EXPECT_FALSE(parseColumnDefault(other, column(T::Long)).applies()) << other;
  EXPECT_FALSE(parseColumnDefault("Date()", column(T::Text)).applies());
  EXPECT_FALSE(parseColumnDefault("True", column(T::Text)).applies());
  EXPECT_FALSE(parseColumnDefault("GenGUID()", column(T::Long)).applies());

  std::vector<ColumnDefault> d{parseColumnDefault("Date()", column(T::DateTime)),
                               parseColumnDefault("Now()", column(T::DateTime)),
                               parseColumnDefault("5", column(T::Long))};
  std::vector<Value> v{Value(), Value(), Value()};
  std::vector<bool> given{false, false, true};
  DateTime now = toDateTime({2025, 3, 4, 15, 16, 17});
  applyColumnDefaults(d, v, given, now);
  EXPECT_EQ(v[0], Value(toDateTime({2025, 3, 4})));
  EXPECT_EQ(v[1], Value(now));
  EXPECT_TRUE(v[2].isNull()); // given as Null: stays Null
  EXPECT_EQ(given, (std::vector<bool>{true, true, true}));
}

TEST(ColumnDefaults, AppliedToAnAccessTableOnInsert) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto path = vasktest::copyFixture("access/testV2000.mdb", dir).string();
  {
    auto db = Database::open(path, OpenMode::ReadWrite);
    ASSERT_TRUE(db);
    // Table1: C (byte), D (integer), E (long), F (double), H (currency) default to 0.
    auto def = (*db)->table("Table1");
    ASSERT_TRUE(def);
    size_t n = (*def)->columns.size();
    std::vector<Value> v(n);
    std::vector<bool> given(n, false);
    v[0] = Value("nuova");
    given[0] = true;
    v[3] = Value(int16_t(9)); // D given
    given[3] = true;
    auto at = (*db)->insertRow("Table1", v, given);
    ASSERT_TRUE(at) << at.status().message();
    auto back = (*db)->readRow("Table1", *at);
    ASSERT_TRUE(back);
    EXPECT_EQ((*back)[2], Value(uint8_t(0)));
    EXPECT_EQ((*back)[3], Value(int16_t(9)));
    EXPECT_EQ((*back)[4], Value(int32_t(0)));
    EXPECT_EQ((*back)[5], Value(0.0));
    EXPECT_EQ((*back)[7], Value(Currency{0}));
    EXPECT_TRUE((*back)[1].isNull()); // B has no default
    EXPECT_TRUE((*back)[6].isNull()); // G neither
    // Without a list of given columns every value is taken as it is.
    std::vector<Value> all(n);
    all[0] = Value("tutti");
    auto at2 = (*db)->insertRow("Table1", all);
    ASSERT_TRUE(at2);
    EXPECT_TRUE((*(*db)->readRow("Table1", *at2))[4].isNull());
  }
  EXPECT_EQ(tablestest::checkFindings(path), std::vector<std::string>{});
}

TEST(ColumnDefaults, StoredForNewTablesAndReadBack) {
  vasktest::TempDir dir;
  std::string path = dir.file("predefiniti.mdb").string();
  ASSERT_TRUE(createDatabase(path));
  TableSpec t;
  t.name = "Clienti";
  t.columns = {{"ID", ColumnType::Long},        {"Paese", ColumnType::Text, 30},
               {"Attivo", ColumnType::Boolean}, {"Inizio", ColumnType::DateTime},
               {"Fido", ColumnType::Currency},  {"Creato", ColumnType::DateTime}};
  t.columns[0].autoNumber = true;
  t.columns[1].defaultValue = "\"Italia\"";
  t.columns[2].defaultValue = "Yes";
  t.columns[3].defaultValue = "#1/15/2020#";
  t.columns[4].defaultValue = "1500.25";
  t.columns[5].defaultValue = "=Date()";
  DateTime before = localNow();
  {
    auto db = Database::open(path, OpenMode::ReadWrite);
    ASSERT_TRUE(db);
    ASSERT_TRUE(createTable(**db, t));
  }
  auto db = Database::open(path, OpenMode::ReadWrite);
  ASSERT_TRUE(db);
  std::vector<Value> v(6);
  std::vector<bool> given(6, false);
  auto at = (*db)->insertRow("Clienti", v, given);
  ASSERT_TRUE(at) << at.status().message();
  auto back = (*db)->readRow("Clienti", *at);
  ASSERT_TRUE(back);
  EXPECT_EQ((*back)[0], Value(int32_t(1)));
  EXPECT_EQ((*back)[1], Value("Italia"));
  EXPECT_EQ((*back)[2], Value(true));
  EXPECT_EQ((*back)[3], Value(toDateTime({2020, 1, 15})));
  EXPECT_EQ((*back)[4], Value(Currency{15002500}));
  ASSERT_TRUE((*back)[5].is<DateTime>());
  double today = (*back)[5].as<DateTime>().days;
  EXPECT_EQ(today, std::floor(today));
  EXPECT_GE(today, std::floor(before.days));
  // A value given, even Null, wins over the default.
  std::vector<Value> w{Value(), Value("Francia"), Value(false), Value(), Value(), Value()};
  std::vector<bool> some{false, true, true, true, false, false};
  auto at2 = (*db)->insertRow("Clienti", w, some);
  ASSERT_TRUE(at2);
  back = (*db)->readRow("Clienti", *at2);
  EXPECT_EQ((*back)[1], Value("Francia"));
  EXPECT_EQ((*back)[2], Value(false));
  EXPECT_TRUE((*back)[3].isNull());
  EXPECT_EQ((*back)[4], Value(Currency{15002500}));
  // A copy carries no defaults.
  ASSERT_TRUE(copyTable(**db, "Clienti", "TemporaneaVask"));
  std::vector<Value> c(6);
  auto at3 = (*db)->insertRow("TemporaneaVask", c, std::vector<bool>(6, false));
  ASSERT_TRUE(at3);
  EXPECT_TRUE((*(*db)->readRow("TemporaneaVask", *at3))[1].isNull());
  db->reset();
  EXPECT_EQ(tablestest::checkFindings(path), std::vector<std::string>{});
  tablestest::expectMdbToolsAgree(path);
  if (vasktest::haveProgram("mdb-prop")) {
    std::string out;
    ASSERT_EQ(vasktest::runCommand("mdb-prop '" + path + "' Clienti", &out), 0);
    EXPECT_NE(out.find("DefaultValue: \"Italia\""), std::string::npos) << out;
    EXPECT_NE(out.find("DefaultValue: =Date()"), std::string::npos) << out;
  }
}

} // namespace
