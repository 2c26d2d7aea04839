// Statements on the in-memory database: results, copies, writes, constraints and atomicity.
#include "sql/parser.h"
#include "sql_test_util.h"

using namespace sqltest;
using jet::ColumnType;
using jet::ErrorCode;
using jet::Value;

namespace {

class Executor : public ::testing::Test {
protected:
  void SetUp() override { makeBuoni(db); }
  MemoryDatabase db;
};

TEST_F(Executor, SelectListNamesTypesAndSources) {
  auto rs = query(db, "SELECT Cliente, Importo * 2 AS Doppio, Numero + 1, UCase(Cliente), "
                      "[BUONI].[Data] FROM BUONI WHERE Numero <= 2");
  ASSERT_EQ(rs.columns.size(), 5u);
  EXPECT_EQ(rs.columns[0].name, "Cliente");
  EXPECT_EQ(rs.columns[0].size, 50);
  EXPECT_EQ(rs.columns[1].name, "Doppio");
  EXPECT_EQ(rs.columns[1].type, ColumnType::Currency);
  EXPECT_EQ(rs.columns[2].name, "Expr1000");
  EXPECT_EQ(rs.columns[2].type, ColumnType::Long);
  EXPECT_EQ(rs.columns[3].name, "Expr1001");
  EXPECT_EQ(rs.columns[3].type, ColumnType::Text);
  EXPECT_EQ(rs.sourceColumns, (std::vector<int>{3, -1, -1, -1, 2}));
  EXPECT_TRUE(query(db, "SELECT ID FROM BUONI").columns[0].autoNumber);
  EXPECT_TRUE(query(db, "SELECT * FROM BUONI").columns[0].autoNumber);
  EXPECT_FALSE(query(db, "SELECT ID + 0 AS X FROM BUONI").columns[0].autoNumber);
  ASSERT_EQ(rs.rows.size(), 2u);
  EXPECT_EQ(rs.rows[1][0], Value("Dell'Orto"));
  EXPECT_EQ(rs.rows[1][1], cur(67.4));
  EXPECT_EQ(rs.rows[1][3], Value("DELL'ORTO"));
  // Row ids identify the table rows, so a caller can write back to them.
  auto all = query(db, "SELECT * FROM BUONI");
  EXPECT_EQ(rs.rowIds[1], all.rowIds[1]);
  EXPECT_EQ(all.table, "BUONI");
}

TEST_F(Executor, OrderByPutsNullsFirstAndIgnoresCase) {
  auto numbers = [&](const std::string &order) {
    std::vector<int32_t> out;
    for (const auto &r : query(db, "select Numero from BUONI order by " + order).rows)
      out.push_back(r[0].as<int32_t>());
    return out;
  };
  EXPECT_EQ(numbers("Cliente"), (std::vector<int32_t>{5, 4, 3, 2, 1}));
  EXPECT_EQ(numbers("Cliente DESC"), (std::vector<int32_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(numbers("Data, Numero DESC"), (std::vector<int32_t>{4, 3, 1, 5, 2}));
  EXPECT_EQ(numbers("Fatturato, Importo DESC"), (std::vector<int32_t>{1, 4, 2, 3, 5}));
  EXPECT_EQ(numbers("Note"), (std::vector<int32_t>{2, 3, 1, 4, 5}));
  EXPECT_EQ(numbers("Litri * -1"), (std::vector<int32_t>{3, 1, 2, 4, 5}));
  // Mixed kinds sort Null, numbers, then texts, whatever the numbers' types.
  EXPECT_EQ(numbers("IIf(Numero > 2, Cliente, IIf(Numero = 1, 1.5, Numero * 1234567890123456789))"),
            (std::vector<int32_t>{5, 1, 2, 4, 3}));
  EXPECT_EQ(fails(db, "select * from BUONI order by Manca").code(), ErrorCode::NoSuchColumn);
}

TEST_F(Executor, SelectIntoCopiesColumnsAndRowsInSourceOrder) {
  EXPECT_EQ(ok(db, "SELECT Numero, Cliente & '!' AS Grido, Litri * 2 AS L2, Nz(Note, 'x') AS N "
                   "INTO Copia FROM BUONI WHERE Numero > 1 ORDER BY Numero DESC"),
            4);
  auto *t = db.get("Copia");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->columns()[1].type, ColumnType::Text);
  EXPECT_EQ(t->columns()[2].type, ColumnType::Double);
  EXPECT_EQ(t->columns()[3].type, ColumnType::Memo);
  auto rows = db.rows("Copia");
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0][0], Value(int32_t{5}));
  EXPECT_EQ(rows[0][1], Value("!"));
  EXPECT_EQ(rows[3][1], Value("Dell'Orto!"));
  EXPECT_TRUE(rows[2][2].isNull());
  EXPECT_EQ(rows[2][3], Value(""));
  EXPECT_EQ(rows[3][3], Value("x"));

  auto st = fails(db, "SELECT * INTO Copia FROM BUONI");
  EXPECT_EQ(st.code(), ErrorCode::TableExists);
  EXPECT_NE(st.message().find("'Copia'"), std::string::npos);
  EXPECT_EQ(fails(db, "SELECT Numero, Numero INTO Doppia FROM BUONI").code(),
            ErrorCode::DuplicateDestination);
  EXPECT_EQ(db.get("Doppia"), nullptr);
  // An empty source still makes the table.
  EXPECT_EQ(ok(db, "SELECT * INTO Vuota FROM BUONI WHERE 1 = 0"), 0);
  EXPECT_EQ(db.get("Vuota")->columns().size(), 8u);
}

TEST_F(Executor, InsertFillsCountersAndDefaults) {
  db.get("BUONI")->setDefault("Fatturato", Value(false));
  EXPECT_EQ(ok(db, "INSERT INTO BUONI (Numero) VALUES (6)"), 1);
  auto last = db.rows("BUONI").back();
  EXPECT_EQ(last[0], Value(int32_t{6}));
  EXPECT_EQ(last[6], Value(false));
  // An explicit Null is a value given: no default.
  ok(db, "INSERT INTO BUONI (Numero, Fatturato) VALUES (7, Null)");
  EXPECT_TRUE(db.rows("BUONI").back()[6].isNull());
  // A counter given a value keeps it, and the next one follows it.
  ok(db, "INSERT INTO BUONI (ID, Numero) VALUES (100, 8)");
  ok(db, "INSERT INTO BUONI (Numero) VALUES (9)");
  EXPECT_EQ(db.rows("BUONI").back()[0], Value(int32_t{101}));
  // Values convert to the column types.
  ok(db, "INSERT INTO BUONI (Numero, Data, Importo, Cliente) VALUES ('10', '25/12/2003', "
         "'1.234,56', 12.5)");
  last = db.rows("BUONI").back();
  EXPECT_EQ(last[1], Value(int32_t{10}));
  EXPECT_EQ(last[2], date(2003, 12, 25));
  EXPECT_EQ(last[4], cur(1234.56));
  EXPECT_EQ(last[3], Value("12,5"));
}

TEST_F(Executor, InsertErrorsChangeNothing) {
  auto before = db.rows("BUONI");
  EXPECT_EQ(fails(db, "INSERT INTO BUONI (Numero, Cliente) VALUES (6)").code(),
            ErrorCode::ValueCountMismatch);
  auto st = fails(db, "INSERT INTO BUONI (Numero, Targa) VALUES (6, 'AB')");
  EXPECT_EQ(st.code(), ErrorCode::NoSuchColumn);
  EXPECT_NE(st.message().find("'Targa'"), std::string::npos);
  EXPECT_EQ(fails(db, "INSERT INTO BUONI (Numero, numero) VALUES (6, 7)").code(),
            ErrorCode::DuplicateDestination);
  st = fails(db, "INSERT INTO BUONI (Numero) VALUES (1)");
  EXPECT_EQ(st.code(), ErrorCode::DuplicateKey);
  EXPECT_EQ(fails(db, "INSERT INTO BUONI (Numero, Data) VALUES (6, 'domani')").code(),
            ErrorCode::TypeMismatch);
  EXPECT_EQ(fails(db, "INSERT INTO BUONI (Numero) VALUES (Numero)").code(),
            ErrorCode::NoSuchColumn);
  EXPECT_EQ(fails(db, "INSERT INTO Manca (a) VALUES (1)").code(), ErrorCode::NoSuchTable);
  EXPECT_EQ(db.rows("BUONI"), before);
}

TEST_F(Executor, InsertSelectIsAllOrNothing) {
  ok(db, "CREATE TABLE Archivio (N LONG, Chi TEXT(5), CONSTRAINT pk PRIMARY KEY (N))");
  EXPECT_EQ(ok(db, "INSERT INTO Archivio SELECT Numero, Left(Cliente, 5) FROM BUONI WHERE "
                   "Numero < 3"),
            2);
  // The third row would repeat a key: none of the rows go in.
  EXPECT_EQ(fails(db, "INSERT INTO Archivio (N) SELECT Numero - 2 FROM BUONI").code(),
            ErrorCode::DuplicateKey);
  EXPECT_EQ(db.rows("Archivio").size(), 2u);
  // Too long for the column: the text is not cut.
  EXPECT_EQ(fails(db, "INSERT INTO Archivio SELECT Numero + 10, Cliente FROM BUONI").code(),
            ErrorCode::TextTooLong);
  EXPECT_EQ(fails(db, "INSERT INTO Archivio SELECT * FROM BUONI").code(),
            ErrorCode::ValueCountMismatch);
  // A table into itself reads its rows before writing.
  EXPECT_EQ(ok(db, "INSERT INTO Archivio SELECT N + 100, Chi FROM Archivio"), 2);
  EXPECT_EQ(db.rows("Archivio").size(), 4u);
}

TEST_F(Executor, UpdateReadsTheOldRowAndCountsMatchedRows) {
  ok(db, "CREATE TABLE Coppie (A LONG, B LONG)");
  ok(db, "INSERT INTO Coppie VALUES (1, 2)");
  EXPECT_EQ(ok(db, "UPDATE Coppie SET A = B, B = A"), 1);
  EXPECT_EQ(db.rows("Coppie")[0], (sql::Row{Value(int32_t{2}), Value(int32_t{1})}));
  EXPECT_EQ(ok(db, "UPDATE BUONI SET Fatturato = False WHERE Numero > 1"), 4);
  EXPECT_EQ(ok(db, "UPDATE BUONI SET Note = Note & ' (' & Numero & ')' WHERE Note <> ''"), 3);
  EXPECT_EQ(db.rows("BUONI")[0][7], Value("primo (1)"));
  EXPECT_EQ(ok(db, "UPDATE BUONI SET Litri = Null WHERE Litri IS NOT NULL"), 4);
  EXPECT_EQ(fails(db, "UPDATE BUONI SET Numero = 1, numero = 2").code(),
            ErrorCode::DuplicateDestination);
}

TEST_F(Executor, FailingUpdateOrDeleteLeavesEveryRow) {
  auto before = db.rows("BUONI");
  // The third change would give two rows the same number.
  EXPECT_EQ(fails(db, "UPDATE BUONI SET Numero = 3 WHERE Numero < 3").code(),
            ErrorCode::DuplicateKey);
  EXPECT_EQ(db.rows("BUONI"), before);
  db.failOnWrite(3);
  EXPECT_EQ(fails(db, "DELETE FROM BUONI").code(), ErrorCode::IoError);
  EXPECT_EQ(db.rows("BUONI"), before);
  db.failOnWrite(2);
  EXPECT_EQ(fails(db, "UPDATE BUONI SET Litri = 1").code(), ErrorCode::IoError);
  EXPECT_EQ(db.rows("BUONI"), before);
  // A row in the middle that the condition cannot compare stops the whole statement.
  ok(db, "CREATE TABLE Misti (T TEXT(10))");
  ok(db, "INSERT INTO Misti VALUES ('1')");
  ok(db, "INSERT INTO Misti VALUES ('abc')");
  ok(db, "INSERT INTO Misti VALUES ('3')");
  EXPECT_EQ(fails(db, "DELETE FROM Misti WHERE T > 0").code(), ErrorCode::TypeMismatch);
  EXPECT_EQ(db.rows("Misti").size(), 3u);
  EXPECT_EQ(ok(db, "DELETE FROM Misti WHERE T = '1' OR T = '3'"), 2);
}

TEST_F(Executor, AFailingStatementInATransactionUndoesOnlyItself) {
  ASSERT_TRUE(db.begin().isOk());
  EXPECT_EQ(ok(db, "DELETE FROM BUONI WHERE Numero = 1"), 1);
  EXPECT_EQ(fails(db, "UPDATE BUONI SET Numero = 2").code(), ErrorCode::DuplicateKey);
  EXPECT_TRUE(db.inTransaction());
  EXPECT_EQ(db.rows("BUONI").size(), 4u);
  ASSERT_TRUE(db.rollback().isOk());
  EXPECT_EQ(db.rows("BUONI").size(), 5u);
}

TEST_F(Executor, DefinitionStatements) {
  EXPECT_EQ(ok(db, "CREATE TABLE [Nuova Tabella] (ID COUNTER PRIMARY KEY, Nome TEXT(20) NOT "
                   "NULL, Prezzo CURRENCY)"),
            0);
  auto *t = db.get("nuova tabella");
  ASSERT_NE(t, nullptr);
  EXPECT_TRUE(t->columns()[0].autoNumber);
  EXPECT_TRUE(t->columns()[1].required);
  EXPECT_EQ(t->columns()[1].size, 20);
  EXPECT_EQ(fails(db, "CREATE TABLE [NUOVA TABELLA] (a LONG)").code(), ErrorCode::TableExists);
  EXPECT_EQ(fails(db, "CREATE TABLE X (a LONG, A TEXT)").code(), ErrorCode::DuplicateField);
  EXPECT_EQ(fails(db, "CREATE TABLE X (a LONG, PRIMARY KEY (b))").code(), ErrorCode::NoSuchColumn);
  EXPECT_EQ(fails(db, "INSERT INTO [Nuova Tabella] (Prezzo) VALUES (1)").code(),
            ErrorCode::RequiredNull);
  ok(db, "INSERT INTO [Nuova Tabella] (Nome) VALUES ('a')");
  ok(db, "INSERT INTO [Nuova Tabella] (Nome) VALUES ('A')");
  // Text keys compare without regard to case, so a unique index on Nome cannot be built.
  EXPECT_EQ(fails(db, "CREATE UNIQUE INDEX NomeUnico ON [Nuova Tabella] (Nome)").code(),
            ErrorCode::DuplicateKey);
  EXPECT_EQ(ok(db, "CREATE INDEX NomeIdx ON [Nuova Tabella] (Nome DESC)"), 0);
  EXPECT_EQ(db.get("Nuova Tabella")->state.indexes.size(), 2u);
  EXPECT_EQ(fails(db, "CREATE INDEX X ON [Nuova Tabella] (Manca)").code(), ErrorCode::NoSuchColumn);
  EXPECT_EQ(ok(db, "drop table [nuova tabella]"), 0);
  EXPECT_EQ(db.get("Nuova Tabella"), nullptr);
  EXPECT_EQ(fails(db, "DROP TABLE [Nuova Tabella]").code(), ErrorCode::NoSuchTable);
}

} // namespace

namespace {

TEST_F(Executor, DistinctAndTop) {
  ok(db, "UPDATE BUONI SET Cliente = 'ROSSI' WHERE Numero = 5");
  auto rs = query(db, "SELECT DISTINCT Cliente FROM BUONI ORDER BY Cliente");
  ASSERT_EQ(rs.rows.size(), 4u); // '' , Città..., Dell'Orto, Rossi (ROSSI is the same)
  EXPECT_EQ(rs.rows[3][0], Value("Rossi"));
  rs = query(db, "SELECT TOP 2 Numero FROM BUONI ORDER BY Importo DESC");
  ASSERT_EQ(rs.rows.size(), 2u);
  EXPECT_EQ(rs.rows[0][0], Value(int32_t{1}));
  // Ties with the last row kept come along.
  rs = query(db, "SELECT TOP 1 Numero FROM BUONI ORDER BY Fatturato");
  EXPECT_EQ(rs.rows.size(), 2u);
  rs = query(db, "SELECT TOP 50 PERCENT * FROM BUONI");
  EXPECT_EQ(rs.rows.size(), 3u);
  EXPECT_EQ(fails(db, "SELECT TOP 0 * FROM BUONI").code(), ErrorCode::Syntax);
}

} // namespace

namespace {

TEST_F(Executor, NamesTheJetEngineRefuses) {
  const char *bad[] = {"CREATE TABLE [a.b] (x LONG)", "CREATE TABLE T (x LONG, [y!] LONG)",
                       "CREATE TABLE [ spazio] (x LONG)",
                       "SELECT Numero AS [n`1] INTO Copia FROM BUONI",
                       "CREATE INDEX [i.1] ON BUONI (Numero)"};
  for (const char *s : bad) {
    auto st = fails(db, s);
    EXPECT_EQ(st.code(), ErrorCode::InvalidName) << s;
    EXPECT_NE(st.message().find("non è un nome valido"), std::string::npos) << s;
  }
  EXPECT_EQ(db.get("Copia"), nullptr);
  std::string longName(65, 'n');
  EXPECT_EQ(fails(db, "CREATE TABLE " + longName + " (x LONG)").code(), ErrorCode::InvalidName);
  EXPECT_EQ(ok(db, "CREATE TABLE [" + std::string(64, 'n') + "] ([Città è] LONG)"), 0);
}

TEST_F(Executor, LongComputedTextIsCopiedAsMemo) {
  ok(db, "UPDATE BUONI SET Note = '" + std::string(300, 'x') + "' WHERE Numero = 1");
  EXPECT_EQ(ok(db, "SELECT Note & '!' AS Lunga, Cliente & '' AS Corta INTO Copia FROM BUONI"), 5);
  EXPECT_EQ(db.get("Copia")->columns()[0].type, ColumnType::Memo);
  EXPECT_EQ(db.get("Copia")->columns()[1].type, ColumnType::Text);
  EXPECT_EQ(db.rows("Copia")[0][0].as<std::string>().size(), 301u);
}

TEST_F(Executor, WhatAReadOnlyConnectionMustRefuse) {
  auto w = [](const char *s) { return sql::writes(sql::parseStatement(s).value()); };
  EXPECT_FALSE(w("SELECT * FROM BUONI"));
  EXPECT_TRUE(w("SELECT * INTO X FROM BUONI"));
  EXPECT_TRUE(w("DELETE FROM BUONI"));
  EXPECT_TRUE(w("DROP TABLE BUONI"));
}

} // namespace

// A failed statement whose own undo fails takes the whole transaction with it, and says so:
// its changes are never left in the open transaction unreported.
TEST(ExecutorUndo, AStatementWhoseUndoFailsRollsBackTheTransactionAndSaysSo) {
  struct UndoFails : MemoryDatabase {
    jet::Status rollbackTo(int) override { return {ErrorCode::IoError, "disco non disponibile"}; }
  } db;
  makeBuoni(db);
  const size_t rows = query(db, "SELECT * FROM BUONI").rows.size();
  ASSERT_GT(rows, 1u);
  ASSERT_TRUE(db.begin().isOk());
  ASSERT_TRUE(sql::execute(db, "DELETE FROM BUONI WHERE Numero = 1").isOk());
  auto r = sql::execute(db, "INSERT INTO BUONI (Cliente) VALUES ('" + std::string(60, 'x') + "')");
  ASSERT_FALSE(r.isOk());
  EXPECT_EQ(r.status().code(), ErrorCode::TextTooLong);
  EXPECT_NE(r.status().message().find("è stata annullata l'intera transazione (disco non "
                                      "disponibile)"),
            std::string::npos)
      << r.status().message();
  EXPECT_FALSE(db.inTransaction());
  EXPECT_EQ(query(db, "SELECT * FROM BUONI").rows.size(), rows);
}
