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

TEST(Condizioni, ValuesOfTheConditionMadeSafe) {
  EXPECT_EQ(s(TestoSql(QStringLiteral("O'Neill ''"))), "'O''Neill '''''");
  const auto prezzo = campo("Prezzo", 5, jet::ColumnType::Double);
  auto v = [](const data::Field &f, const char *testo) {
    auto r = ValoreCondizione(f, QString::fromUtf8(testo));
    return r ? s(*r) : "rifiutato: " + r.status().message();
  };
  EXPECT_EQ(v(prezzo, "1.234,5"), "1234.5");
  EXPECT_EQ(v(prezzo, " -0,250 "), "-0.25");
  EXPECT_EQ(v(prezzo, "1234567"), "1234567");
  // What is no number is said before any statement runs, naming the field.
  for (const char *t : {"1.5", "1,2,3", "", "  ", "abc"})
    EXPECT_NE(v(prezzo, t).find("rifiutato: "), std::string::npos) << t;
  EXPECT_NE(v(prezzo, "abc").find("Prezzo"), std::string::npos);
  const auto sino = campo("Attivo", 11, jet::ColumnType::Boolean);
  EXPECT_EQ(v(sino, "Vero"), "True");
  EXPECT_EQ(v(sino, "falso"), "False");
  EXPECT_EQ(v(sino, "-1"), "True");
  const auto data = campo("Data Ins", 7, jet::ColumnType::DateTime);
  EXPECT_EQ(v(data, " 01/02/2024 "), " datevalue('01/02/2024') ");
  EXPECT_NE(v(data, "31/02/2024").find("rifiutato"), std::string::npos);
  EXPECT_NE(v(data, "15/03/").find("gg/mm/aaaa"), std::string::npos);
  const auto nome = campo("Nome", 202, jet::ColumnType::Text);
  EXPECT_EQ(v(nome, " D'Amico"), "' D''Amico'") << "a text stays as typed";
  EXPECT_EQ(v(nome, ""), "''");

  EXPECT_EQ(s(TestoCondizione(QString(), QStringLiteral("Data Ins"), QStringLiteral(" >= "),
                              QStringLiteral(" datevalue('01/02/2024') "))),
            "( [Data Ins] >=  datevalue('01/02/2024') )");
  EXPECT_EQ(s(TestoCondizione(QStringLiteral(" OR "), QStringLiteral("Note"),
                              QStringLiteral(" not isempty() "), QString())),
            " OR ( NOT ISEMPTY([Note]))");
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
  EXPECT_EQ(s(*LetteraleModifica(prezzo, QStringLiteral("1.234,500"))), "1234.5");
  // A bulk modify never writes Null: an empty number, date or yes/no is refused.
  const auto data = campo("Data", 7, jet::ColumnType::DateTime);
  const auto sino = campo("Attivo", 11, jet::ColumnType::Boolean);
  for (const auto &f : {prezzo, data, sino}) {
    auto vuoto = LetteraleModifica(f, QStringLiteral(" "));
    ASSERT_FALSE(vuoto.isOk()) << f.name;
    EXPECT_NE(vuoto.status().message().find("non può restare vuota"), std::string::npos);
  }
  EXPECT_EQ(s(*LetteraleModifica(data, QStringLiteral("05/04/2024 "))), "#2024-04-05#");
  auto parziale = LetteraleModifica(data, QStringLiteral("05/04/"));
  ASSERT_FALSE(parziale.isOk());
  EXPECT_NE(parziale.status().message().find("gg/mm/aaaa"), std::string::npos);
  auto testo = campo("Nome", 202, jet::ColumnType::Text);
  testo.definedSize = 6;
  EXPECT_EQ(s(*LetteraleModifica(testo, QStringLiteral("l'una"))), "'l''una'");
  EXPECT_EQ(s(*LetteraleModifica(testo, QString())), "''") << "an empty text is no Null";
  auto lungo = LetteraleModifica(testo, QStringLiteral("1234567"));
  ASSERT_FALSE(lungo.isOk());
  EXPECT_NE(lungo.status().message().find("6 caratteri del campo Nome"), std::string::npos);
  // Types the typed box does not name are read as the grid reads them.
  const auto fido = campo("Fido", 6, jet::ColumnType::Currency);
  EXPECT_EQ(s(*LetteraleModifica(fido, QStringLiteral("1.234,5"))), "1234.5");
  EXPECT_EQ(s(*LetteraleModifica(sino, QStringLiteral("Falso"))), "False");
  EXPECT_FALSE(LetteraleModifica(sino, QStringLiteral("forse")).isOk());
}
