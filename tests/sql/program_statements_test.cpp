// Every statement text the program builds, run as the program writes it.
#include "sql/convert.h"
#include "sql_test_util.h"

using namespace sqltest;
using jet::ErrorCode;
using jet::Value;

namespace {

class ProgramStatements : public ::testing::Test {
protected:
  void SetUp() override {
    makeBuoni(db);
    sql::TableDef voci;
    voci.name = "Voci";
    voci.columns = {col("ID", jet::ColumnType::Long), col("Annofis", jet::ColumnType::Integer),
                    col("RagioneSociale", jet::ColumnType::Text, 100)};
    ASSERT_TRUE(db.createTable(voci).isOk());
    ok(db, "INSERT INTO Voci VALUES (1, 2024, 'Stazione di Servizio Dell''Orto S.n.c.')");
    ok(db, "INSERT INTO Voci VALUES (2, 2023, 'Seconda')");
    sql::TableDef listino;
    listino.name = "Listino Prezzi";
    listino.columns = {col("Codice", jet::ColumnType::Text, 13),
                       col("Prezzo", jet::ColumnType::Double)};
    ASSERT_TRUE(db.createTable(listino).isOk());
    ok(db, "INSERT INTO [Listino Prezzi] VALUES ('8000000000001', 2.53)");
  }

  // Opening a table into the working copy, as the table command does it.
  void openCopy(const std::string &table) {
    ASSERT_TRUE(db.begin().isOk());
    run(db, "DROP table TemporaneaVask"); // its failure is ignored
    ok(db, "SELECT * Into TemporaneaVask from [" + table + "]");
    ASSERT_TRUE(db.commit().isOk());
  }

  std::vector<int32_t> numbers(const std::string &where) {
    std::vector<int32_t> out;
    for (const auto &r : query(db, "select * FROM TemporaneaVask " + where).rows)
      out.push_back(r[1].as<int32_t>());
    return out;
  }

  MemoryDatabase db;
};

TEST_F(ProgramStatements, RowCountOfTheChosenTableInBrackets) {
  EXPECT_EQ(query(db, "Select * from [BUONI]").rows.size(), 5u);
  EXPECT_EQ(query(db, "Select * from [Listino Prezzi]").rows.size(), 1u);
  auto st = fails(db, "Select * from [Manca]");
  EXPECT_EQ(st.code(), ErrorCode::NoSuchTable);
  EXPECT_NE(st.message().find("'Manca'"), std::string::npos);
}

TEST_F(ProgramStatements, WorkingCopyKeepsFieldsAndRowsButNoKeysOrCounters) {
  openCopy("BUONI");
  auto *copy = db.get("TemporaneaVask");
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(copy->state.indexes.empty());
  const auto &cols = copy->columns();
  ASSERT_EQ(cols.size(), 8u);
  EXPECT_EQ(cols[0].name, "ID");
  EXPECT_FALSE(cols[0].autoNumber);
  EXPECT_EQ(cols[3].type, jet::ColumnType::Text);
  EXPECT_EQ(cols[3].size, 50);
  EXPECT_EQ(cols[7].type, jet::ColumnType::Memo);
  EXPECT_EQ(db.rows("TemporaneaVask"), db.rows("BUONI"));

  // A second opening drops the old copy first, inside the same transaction.
  ok(db, "Delete * from TemporaneaVask");
  openCopy("Listino Prezzi");
  EXPECT_EQ(query(db, "select * from TemporaneaVask;").columns[0].name, "Codice");
  EXPECT_EQ(db.rows("TemporaneaVask").size(), 1u);
}

TEST_F(ProgramStatements, GridLoadWithAndWithoutTheFilterText) {
  openCopy("BUONI");
  EXPECT_EQ(query(db, "select * FROM TemporaneaVask ").rows.size(), 5u);
  EXPECT_EQ(numbers("Where Cliente = 'Rossi'"), (std::vector<int32_t>{1}));
  EXPECT_EQ(numbers("Where Cliente = 'ROSSI' AND Numero = 1"), (std::vector<int32_t>{1}));
  EXPECT_EQ(numbers("Where Data = datevalue('01/01/2024')"), (std::vector<int32_t>{1}));
  EXPECT_EQ(numbers("Where Data = datevalue('31/12/2023')"), (std::vector<int32_t>{3}));
  EXPECT_EQ(numbers("Where Importo = 33.7"), (std::vector<int32_t>{2}));
  EXPECT_EQ(numbers("Where Fatturato = True AND Litri = 10"), (std::vector<int32_t>{4}));
  // The values made safe: brackets, doubled apostrophe, ISO dates, IS NULL.
  EXPECT_EQ(numbers("Where [Cliente] = 'Dell''Orto'"), (std::vector<int32_t>{2}));
  EXPECT_EQ(numbers("Where [Cliente] = 'città di castello'"), (std::vector<int32_t>{3}));
  EXPECT_EQ(numbers("Where [Data] = #2023-12-31#"), (std::vector<int32_t>{3}));
  EXPECT_EQ(numbers("Where [Cliente] IS NULL AND [Importo] = -12.5"), (std::vector<int32_t>{5}));
  EXPECT_EQ(numbers("Where [Cliente] = ''"), (std::vector<int32_t>{4}));

  // "Where " alone is not a condition.
  EXPECT_EQ(fails(db, "select * FROM TemporaneaVask Where ").code(), ErrorCode::Syntax);
  // What the unescaped filter of a Null or an apostrophe would build is refused cleanly.
  EXPECT_EQ(fails(db, "select * FROM TemporaneaVask Where Importo = ").code(), ErrorCode::Syntax);
  EXPECT_EQ(fails(db, "select * FROM TemporaneaVask Where Cliente = 'Dell'Orto'").code(),
            ErrorCode::Syntax);
  EXPECT_EQ(fails(db, "select * FROM TemporaneaVask Where Data = datevalue('')").code(),
            ErrorCode::TypeMismatch);
  EXPECT_EQ(fails(db, "select * FROM TemporaneaVask Where Litri = 50,5").code(), ErrorCode::Syntax);
}

TEST_F(ProgramStatements, NewRowTakesTheHighestIdPlusOne) {
  openCopy("BUONI");
  auto rs = query(db, "select * from TemporaneaVask order by ID desc;");
  ASSERT_EQ(rs.rows.size(), 5u);
  int32_t next = rs.rows[0][0].as<int32_t>() + 1;
  EXPECT_EQ(next, 6);
  EXPECT_EQ(ok(db, "INSERT INTO TemporaneaVask (ID) VALUES (" + std::to_string(next) + ")"), 1);
  auto last = db.rows("TemporaneaVask").back();
  EXPECT_EQ(last[0], Value(int32_t{6}));
  for (size_t i = 1; i < last.size(); ++i)
    EXPECT_TRUE(last[i].isNull());
  EXPECT_EQ(query(db, "select * from TemporaneaVask order by ID desc;").rows[0][0],
            Value(int32_t{6}));
}

TEST_F(ProgramStatements, BulkDeleteWithBuiltConditions) {
  openCopy("BUONI");
  EXPECT_EQ(ok(db, "Delete * from TemporaneaVask where ( Importo > 0) AND ( Cliente = 'ROSSI')"),
            1);
  EXPECT_EQ(ok(db, "Delete * from TemporaneaVask where ( NOT ISEMPTY(Cliente))"), 2);
  // Left: number 4 (empty text) and 5 (Null): both are empty.
  EXPECT_EQ(numbers(""), (std::vector<int32_t>{4, 5}));
  EXPECT_EQ(ok(db, "Delete * from TemporaneaVask where ( ISEMPTY(Cliente))"), 2);
  EXPECT_EQ(ok(db, "Delete * from TemporaneaVask"), 0);
}

TEST_F(ProgramStatements, ConditionsOnDatesNumbersAndEmptiness) {
  openCopy("BUONI");
  EXPECT_EQ(numbers("where ( Data >= datevalue('01/01/2024') )"), (std::vector<int32_t>{1, 2, 5}));
  EXPECT_EQ(numbers("where ( Data < datevalue('1/1/2024') )"), (std::vector<int32_t>{3}));
  EXPECT_EQ(numbers("where ( Data <> datevalue('29/02/2024') )"),
            (std::vector<int32_t>{1, 2, 3, 5}));
  EXPECT_EQ(numbers("where ( Note = 'rossi') OR ( Numero = 1)"), (std::vector<int32_t>{1, 5}));
  EXPECT_EQ(numbers("where ( ISEMPTY(Note))"), (std::vector<int32_t>{2, 3}));
  EXPECT_EQ(numbers("where ( NOT ISEMPTY(Note)) AND ( Litri >= 0)"),
            (std::vector<int32_t>{1, 4, 5}));
  EXPECT_EQ(numbers("where ( ISEMPTY(Data))"), (std::vector<int32_t>{4}));
  EXPECT_EQ(numbers("where ( Importo <= -12.5)"), (std::vector<int32_t>{5}));
  // A date box left with unfilled positions, a comma in a number.
  EXPECT_EQ(fails(db, "Delete * from TemporaneaVask where ( Data = datevalue('  /  /') )").code(),
            ErrorCode::TypeMismatch);
  EXPECT_EQ(fails(db, "Delete * from TemporaneaVask where ( Litri > 1,5)").code(),
            ErrorCode::Syntax);
  EXPECT_EQ(fails(db, "Delete * from TemporaneaVask where ( Litri > )").code(), ErrorCode::Syntax);
  // A text compared with a number field.
  EXPECT_EQ(fails(db, "Delete * from TemporaneaVask where ( Litri > 'ROSSI')").code(),
            ErrorCode::TypeMismatch);
  EXPECT_EQ(db.rows("TemporaneaVask").size(), 5u);
}

TEST_F(ProgramStatements, BulkModifyStatements) {
  openCopy("BUONI");
  EXPECT_EQ(ok(db, "UPDATE [TemporaneaVask] SET [Litri] = 1234.5 where ( Cliente = 'Rossi')"), 1);
  EXPECT_EQ(db.rows("TemporaneaVask")[0][5], Value(1234.5));
  EXPECT_EQ(ok(db, "UPDATE [TemporaneaVask] SET [Cliente] = 'Verdi'"), 5);
  EXPECT_EQ(ok(db, "UPDATE [TemporaneaVask] SET [Cliente] = 'L''Aquila' where ( Numero > 3)"), 2);
  EXPECT_EQ(db.rows("TemporaneaVask")[4][3], Value("L'Aquila"));
  // The date literal as made safe, and as the typed box gives it (day over 12: read d/m/y).
  EXPECT_EQ(ok(db, "UPDATE [TemporaneaVask] SET [Data] = #2003-12-25# where ( Numero = 1)"), 1);
  EXPECT_EQ(db.rows("TemporaneaVask")[0][2], date(2003, 12, 25));
  EXPECT_EQ(ok(db, "UPDATE [TemporaneaVask] SET [Data] = #25/12/2003# where ( Numero = 2)"), 1);
  EXPECT_EQ(db.rows("TemporaneaVask")[1][2], date(2003, 12, 25));
  EXPECT_EQ(ok(db, "UPDATE [TemporaneaVask] SET [Importo] = 1234.5 where ( ISEMPTY(Note))"), 2);
  EXPECT_EQ(db.rows("TemporaneaVask")[2][4], cur(1234.5));
  EXPECT_EQ(ok(db, "UPDATE [TemporaneaVask] SET [Numero] = 100 where ( Numero = 999)"), 0);

  auto before = db.rows("TemporaneaVask");
  // Rejected statements change nothing.
  EXPECT_EQ(fails(db, "UPDATE [TemporaneaVask] SET [Cliente] = 'O'Neill'").code(),
            ErrorCode::Syntax);
  EXPECT_EQ(fails(db, "UPDATE [TemporaneaVask] SET [Litri] = ").code(), ErrorCode::Syntax);
  EXPECT_EQ(fails(db, "UPDATE [TemporaneaVask] SET [Numero] = 3000000000").code(),
            ErrorCode::OutOfRange);
  EXPECT_EQ(
      fails(db, "UPDATE [TemporaneaVask] SET [Cliente] = '" + std::string(51, 'x') + "'").code(),
      ErrorCode::TextTooLong);
  EXPECT_EQ(fails(db, "UPDATE [TemporaneaVask] SET [Manca] = 1").code(), ErrorCode::NoSuchColumn);
  EXPECT_EQ(db.rows("TemporaneaVask"), before);
  // On the real table the counter cannot be given a value.
  auto st = fails(db, "UPDATE [BUONI] SET [ID] = 7");
  EXPECT_EQ(st.code(), ErrorCode::FieldNotUpdatable);
  EXPECT_NE(st.message().find("'ID'"), std::string::npos);
}

TEST_F(ProgramStatements, SavingCopiesBackInOneTransaction) {
  openCopy("Listino Prezzi");
  ok(db, "UPDATE [TemporaneaVask] SET [Prezzo] = 2.6");
  ASSERT_TRUE(db.begin().isOk());
  ok(db, "DROP table [Listino Prezzi]");
  ok(db, "SELECT * Into [Listino Prezzi] from TemporaneaVask");
  ok(db, "DROP table TemporaneaVask");
  ASSERT_TRUE(db.commit().isOk());
  EXPECT_EQ(db.get("TemporaneaVask"), nullptr);
  EXPECT_EQ(db.rows("Listino Prezzi")[0][1], Value(2.6));

  // A failing copy-back rolls the drop back with it.
  openCopy("Listino Prezzi");
  ASSERT_TRUE(db.begin().isOk());
  ok(db, "DROP table [Listino Prezzi]");
  db.failOnWrite(2); // the second write of the copy: its first row
  EXPECT_EQ(fails(db, "SELECT * Into [Listino Prezzi] from TemporaneaVask").code(),
            ErrorCode::IoError);
  EXPECT_EQ(db.get("Listino Prezzi"), nullptr); // statement undone, drop still pending
  ASSERT_TRUE(db.rollback().isOk());
  ASSERT_NE(db.get("Listino Prezzi"), nullptr);
  EXPECT_EQ(db.rows("Listino Prezzi").size(), 1u);
}

TEST_F(ProgramStatements, DropOfAMissingTableFailsWithoutSpoilingTheTransaction) {
  ASSERT_TRUE(db.begin().isOk());
  auto st = fails(db, "DROP table TemporaneaVask");
  EXPECT_EQ(st.code(), ErrorCode::NoSuchTable);
  EXPECT_NE(st.message().find("TemporaneaVask"), std::string::npos);
  ok(db, "SELECT * Into TemporaneaVask from [BUONI]");
  ASSERT_TRUE(db.commit().isOk());
  EXPECT_EQ(db.rows("TemporaneaVask").size(), 5u);
}

TEST_F(ProgramStatements, YearEndReset) {
  auto voci = query(db, "Select * from Voci");
  ASSERT_FALSE(voci.rows.empty());
  EXPECT_EQ(voci.columns[1].name, "Annofis");
  EXPECT_EQ(voci.rows[0][1], Value(int16_t{2024}));
  EXPECT_EQ(ok(db, "Delete * from BUONI"), 5);
  EXPECT_EQ(ok(db, "Update Voci Set AnnoFis =2005"), 2);
  EXPECT_EQ(db.rows("Voci")[1][1], Value(int16_t{2005}));
  // The year as typed: the text reaches the statement unchanged.
  EXPECT_EQ(ok(db, "Update Voci Set AnnoFis = 2006 "), 2);
  EXPECT_EQ(fails(db, "Update Voci Set AnnoFis =").code(), ErrorCode::Syntax);
  EXPECT_EQ(fails(db, "Update Voci Set AnnoFis =20x5").code(), ErrorCode::Syntax);
  EXPECT_EQ(fails(db, "Update Voci Set AnnoFis =duemila").code(), ErrorCode::NoSuchColumn);
  EXPECT_EQ(fails(db, "Update Voci Set AnnoFis =99999").code(), ErrorCode::OutOfRange);
  EXPECT_EQ(fails(db, "Delete * from SCONTRINI").code(), ErrorCode::NoSuchTable);
  EXPECT_EQ(db.rows("Voci")[0][1], Value(int16_t{2006}));
}

TEST_F(ProgramStatements, StructureViewReadsTheTableByItsBareName) {
  auto rs = query(db, "select * from BUONI;");
  ASSERT_EQ(rs.columns.size(), 8u);
  EXPECT_EQ(rs.columns[3].size, 50);
  // A name with a blank cannot be written bare: the error names the first word.
  auto st = fails(db, "select * from Listino Prezzi;");
  EXPECT_EQ(st.code(), ErrorCode::NoSuchTable);
  EXPECT_NE(st.message().find("'Listino'"), std::string::npos);
}

} // namespace
