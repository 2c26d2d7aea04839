// The SQL pieces of the bulk dialogs: values made safe, numbers and dates written unambiguously.
#include "bulk/condizioni.h"
#include "data/recordset.h"

#include <gtest/gtest.h>

using namespace bulk;

namespace {

data::Field campo(const char *nome, int tipo, jet::ColumnType jt) {
  data::Field f;
  f.name = nome;
  f.type = tipo;
  f.jetType = jt;
  return f;
}

std::string s(const QString &q) {
  return q.toStdString();
}

} // namespace

TEST(Condizioni, TypeNamesAndOperators) {
  EXPECT_EQ(s(FieldType(203)), "adString");
  EXPECT_EQ(s(FieldType(130)), "adString");
  EXPECT_EQ(s(FieldType(7)), "adDate");
  EXPECT_EQ(s(FieldType(135)), "adDBTimeStamp");
  EXPECT_EQ(s(FieldType(11)), "adNumeric");
  EXPECT_EQ(s(OperatoreSql(QStringLiteral("UGUALE  A"))), " = ");
  EXPECT_EQ(s(OperatoreSql(QStringLiteral("UGUALE A"))), " = ") << "one blank matches nothing";
  EXPECT_EQ(s(OperatoreSql(QStringLiteral("MINORE O UGUALE A"))), " <= ");
  EXPECT_EQ(s(OperatoreSql(QStringLiteral("VUOTO"))), " isempty() ");
}

TEST(Condizioni, ValuesMadeSafe) {
  EXPECT_EQ(s(TestoSql(QStringLiteral("O'Neill ''"))), "'O''Neill '''''");
  EXPECT_EQ(s(NumeroSql(QStringLiteral("1.234,5"))), "1234.5");
  EXPECT_EQ(s(NumeroSql(QStringLiteral(" -0,250 "))), "-0.25");
  EXPECT_EQ(s(NumeroSql(QStringLiteral("1234567"))), "1234567");
  EXPECT_EQ(s(NumeroSql(QStringLiteral("1.5"))), "1.5") << "not a grouping point";
  EXPECT_EQ(s(NumeroSql(QStringLiteral("1,2,3"))), "1,2,3") << "left for the engine to refuse";
  EXPECT_EQ(s(TestoCondizione(QString(), QStringLiteral("Data Ins"), QStringLiteral(" >= "),
                              QStringLiteral("adDate"), QStringLiteral(" 01/02/2024 "))),
            "( [Data Ins] >=  datevalue('01/02/2024') )");
  EXPECT_EQ(s(TestoCondizione(QStringLiteral(" OR "), QStringLiteral("Note"),
                              QStringLiteral(" not isempty() "), QStringLiteral("adString"),
                              QStringLiteral("x"))),
            " OR ( NOT ISEMPTY([Note]))");
  EXPECT_EQ(s(TestoCondizione(QString(), QStringLiteral("Nome"), QStringLiteral(" <> "),
                              QStringLiteral("adString"), QStringLiteral("D'Amico"))),
            "( [Nome] <> 'D''Amico')");
}

TEST(Condizioni, LiteralsOfTheNewValue) {
  EXPECT_EQ(s(*LetteraleSql(jet::Value(jet::Currency{-12345678}))), "-1234.5678");
  EXPECT_EQ(s(*LetteraleSql(jet::Value(-0.5))), "-0.5");
  EXPECT_EQ(s(*LetteraleSql(jet::Value(true))), "True");
  EXPECT_EQ(s(*LetteraleSql(jet::Value())), "Null");
  EXPECT_EQ(s(*LetteraleSql(jet::Value(jet::toDateTime({2024, 3, 15, 13, 5, 0})))),
            "#2024-03-15 13:05:00#");
  EXPECT_FALSE(LetteraleSql(jet::Value(jet::Bytes{1, 2})).isOk());

  const auto prezzo = campo("Prezzo", 5, jet::ColumnType::Double);
  EXPECT_EQ(s(*LetteraleModifica(prezzo, QStringLiteral("1.234,5"), QStringLiteral("1234.5"))),
            "1234.5");
  EXPECT_EQ(s(*LetteraleModifica(prezzo, QString(), QString())), "Null");
  const auto data = campo("Data", 7, jet::ColumnType::DateTime);
  EXPECT_EQ(s(*LetteraleModifica(data, QStringLiteral("05/04/2024 "), QString())), "#2024-04-05#");
  auto parziale = LetteraleModifica(data, QStringLiteral("05/04/"), QString());
  ASSERT_FALSE(parziale.isOk());
  EXPECT_NE(parziale.status().message().find("non è completa"), std::string::npos);
  const auto testo = campo("Nome", 202, jet::ColumnType::Text);
  EXPECT_EQ(s(*LetteraleModifica(testo, QStringLiteral("l'una"), QString())), "'l''una'");
  // Types the typed box does not name are read as the grid reads them.
  const auto fido = campo("Fido", 6, jet::ColumnType::Currency);
  EXPECT_EQ(s(*LetteraleModifica(fido, QStringLiteral("1.234,5"), QString())), "1234.5000");
  const auto sino = campo("Attivo", 11, jet::ColumnType::Boolean);
  EXPECT_EQ(s(*LetteraleModifica(sino, QStringLiteral("Falso"), QString())), "False");
  EXPECT_FALSE(LetteraleModifica(sino, QStringLiteral("forse"), QString()).isOk());
}
