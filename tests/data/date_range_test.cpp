// The first and last days of the calendar Access holds, whole, through SQL on a real file:
// inserted and updated as serial numbers and as literals, stored as those numbers, exported as
// dates; a day beyond them is refused and changes nothing.
#include "../jet/tables_support.h"
#include "data/engine_storage.h"
#include "jet/database_builder.h"
#include "sql/executor.h"

#include <gtest/gtest.h>

using namespace jet;

TEST(DateRange, TheFirstDayWithItsTimesIsADateEverywhere) {
  vasktest::TempDir dir;
  const std::string path = dir.file("date.mdb").string();
  ASSERT_TRUE(createDatabase(path));
  {
    auto db = Database::open(path, OpenMode::ReadWrite);
    ASSERT_TRUE(db);
    data::EngineStorage st(**db);
    for (const char *statement : {
             "CREATE TABLE Giorni (Nome TEXT(10), Quando DATETIME)",
             "INSERT INTO Giorni VALUES ('b', -657434.5)",
             "INSERT INTO Giorni VALUES ('c', #0100-01-01 23:59:59#)",
             "INSERT INTO Giorni VALUES ('d', -657433.75)",
             "INSERT INTO Giorni VALUES ('e', 2958465.5)",
             "UPDATE Giorni SET Quando = Quando - 1 WHERE Nome = 'd'",
         }) {
      auto r = sql::execute(st, statement);
      ASSERT_TRUE(r) << statement << ": " << r.status().message();
    }
    for (const char *statement : {
             "INSERT INTO Giorni VALUES ('x', -657435)",
             "INSERT INTO Giorni VALUES ('y', 2958466)",
             "UPDATE Giorni SET Quando = Quando - 1 WHERE Nome = 'b'",
         }) {
      auto r = sql::execute(st, statement);
      EXPECT_FALSE(r) << statement;
      EXPECT_NE(r.status().message().find("Overflow"), std::string::npos) << r.status().message();
    }
    auto stored = sql::execute(st, "SELECT CDbl(Quando) FROM Giorni");
    ASSERT_TRUE(stored) << stored.status().message();
    std::vector<Value> serials;
    for (const auto &row : stored->rows.rows)
      serials.push_back(row[0]);
    EXPECT_EQ(serials, (std::vector<Value>{Value(-657434.5), Value(-657434.0 - 86399.0 / 86400),
                                           Value(-657434.75), Value(2958465.5)}));
    auto csv = exportCsv(**db, "Giorni");
    ASSERT_TRUE(csv) << csv.status().message();
    EXPECT_EQ(*csv, "\"Nome\",\"Quando\"\n"
                    "\"b\",0100-01-01 12:00:00\n"
                    "\"c\",0100-01-01 23:59:59\n"
                    "\"d\",0100-01-01 18:00:00\n"
                    "\"e\",9999-12-31 12:00:00\n");
  }
  EXPECT_EQ(tablestest::checkFindings(path), std::vector<std::string>{});
  // mdb-export shows dates outside 1900 to 2037 as "1900-01-00": only the rows compare.
  if (vasktest::haveProgram("mdb-export")) {
    std::string theirs;
    ASSERT_EQ(vasktest::runCommand("mdb-export '" + path + "' Giorni", &theirs), 0);
    auto rows = tablestest::parseCsv(theirs);
    ASSERT_EQ(rows.size(), 5u);
    for (size_t i = 1; i < rows.size(); ++i)
      EXPECT_EQ(rows[i][0], std::string(1, static_cast<char>('a' + i)));
  }
}
