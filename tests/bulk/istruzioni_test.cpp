// The statements the bulk dialogs build, run by the SQL layer on an in-memory working copy: the
// dialect takes them as written and they leave the rows they say.
#include "sql_test_util.h"

using namespace sqltest;

namespace {

class Istruzioni : public ::testing::Test {
protected:
  void SetUp() override {
    ok(db, "CREATE TABLE TemporaneaVask (ID LONG, Codice TEXT(10), [Prezzo Unitario] DOUBLE, "
           "Note MEMO, Data DATETIME, Attivo BIT)");
    ok(db, "INSERT INTO TemporaneaVask VALUES (1, 'A1', 1.5, Null, #2015-11-08#, True)");
    ok(db, "INSERT INTO TemporaneaVask VALUES (2, 'O''Neill', 2.25, '', #2015-11-08 10:00:00#, "
           "False)");
    ok(db, "INSERT INTO TemporaneaVask VALUES (3, 'B2', 1500.75, 'nota', #2024-03-02#, False)");
    ok(db, "INSERT INTO TemporaneaVask VALUES (4, 'B3', 3, 'altra', Null, True)");
  }
  long conta(const std::string &dove) {
    return long(query(db, "select * from TemporaneaVask where " + dove).rows.size());
  }
  MemoryDatabase db;
};

TEST_F(Istruzioni, DeleteTextsOfTheConditionBuilder) {
  EXPECT_EQ(conta("( ISEMPTY([Note]))"), 2) << "Null and the empty text";
  EXPECT_EQ(conta("( NOT ISEMPTY([Note]))"), 2);
  EXPECT_EQ(conta("( [Data] =  datevalue('08/11/2015') )"), 1) << "midnight only";
  EXPECT_EQ(conta("( [Codice] = 'O''Neill')"), 1);
  EXPECT_EQ(conta("( [Prezzo Unitario] > 1500.5)"), 1);
  // AND binds before OR: ( ID > 1 AND ID < 4 ) OR ( ID = 1 AND Attivo = True ).
  EXPECT_EQ(conta("( [ID] > 1) AND ( [ID] < 4) OR ( [ID] = 1) AND ( NOT ISEMPTY([Codice]))"), 3);
  EXPECT_EQ(ok(db, "Delete * from TemporaneaVask where ( ISEMPTY([Note])) AND ( [ID] >= 2)"), 1);
  EXPECT_EQ(ok(db, "Delete * from TemporaneaVask"), 3);
}

TEST_F(Istruzioni, UpdateTextsOfTheBulkModify) {
  EXPECT_EQ(ok(db, "UPDATE [TemporaneaVask] SET [Prezzo Unitario] = 1234.500 where ( [Codice] = "
                   "'B2')"),
            1);
  EXPECT_EQ(conta("[Prezzo Unitario] = 1234.5"), 1);
  EXPECT_EQ(ok(db, "UPDATE [TemporaneaVask] SET [Data] = #2024-03-02# where ( [ID] >= 2)"), 3);
  EXPECT_EQ(conta("[Data] = #2024-03-02#"), 3);
  EXPECT_EQ(ok(db, "UPDATE [TemporaneaVask] SET [Attivo] = True"), 4);
  EXPECT_EQ(ok(db, "UPDATE [TemporaneaVask] SET [Codice] = 'l''una' where ( ISEMPTY([Note]))"), 2);
  EXPECT_EQ(conta("[Codice] = 'l''una'"), 2);
  EXPECT_EQ(ok(db, "UPDATE [TemporaneaVask] SET [Data] = Null where ( [Codice] = 'B3')"), 1);
  // A text longer than its field is refused and nothing changes.
  fails(db, "UPDATE [TemporaneaVask] SET [Codice] = '12345678901'");
  EXPECT_EQ(conta("[Codice] = 'l''una'"), 2);
  // A partly filled date in a condition is refused.
  fails(db, "Delete * from TemporaneaVask where ( [Data] =  datevalue('12/0/') )");
  EXPECT_EQ(conta("[ID] > 0"), 4);
}

} // namespace
