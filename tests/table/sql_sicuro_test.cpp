// Filter conditions and counters: values written so the database reads them back as they are.
#include "data/ado_types.h"
#include "table/sql_sicuro.h"

#include <gtest/gtest.h>

using namespace tabelle;

namespace {

data::Field campo(const char *nome, int tipo, jet::ColumnType jt) {
  return {nome, tipo, 0, jt};
}

std::string cond(const data::Field &f, const jet::Value &v) {
  auto r = CondizioneUguale(f, v);
  EXPECT_TRUE(r.isOk()) << r.status().message();
  return r ? *r : std::string();
}

} // namespace

TEST(FiltroSicuro, ValuesOfEveryKindBecomeValidLiterals) {
  using CT = jet::ColumnType;
  EXPECT_EQ(cond(campo("Citta", data::ado::VarWChar, CT::Text), jet::Value("Roma")),
            "[Citta] = 'Roma'");
  EXPECT_EQ(cond(campo("Nome", data::ado::VarWChar, CT::Text), jet::Value("Dell'Orto")),
            "[Nome] = 'Dell''Orto'");
  EXPECT_EQ(cond(campo("Ragione sociale", data::ado::LongVarWChar, CT::Memo), jet::Value("''")),
            "[Ragione sociale] = ''''''");
  EXPECT_EQ(cond(campo("Anno", data::ado::Integer, CT::Long), jet::Value(int32_t(2003))),
            "[Anno] = 2003");
  EXPECT_EQ(cond(campo("Prezzo", data::ado::Double, CT::Double), jet::Value(1.25)),
            "[Prezzo] = 1.25");
  EXPECT_EQ(cond(campo("P", data::ado::Single, CT::Single), jet::Value(0.1f)),
            "[P] = 0.10000000149011612");
  EXPECT_EQ(cond(campo("Grande", data::ado::Double, CT::Double), jet::Value(1e300)).substr(0, 11),
            "[Grande] = ");
  EXPECT_EQ(
      cond(campo("Importo", data::ado::Currency, CT::Currency), jet::Value(jet::Currency{-12345})),
      "[Importo] = -1.2345");
  EXPECT_EQ(cond(campo("Si", data::ado::Boolean, CT::Boolean), jet::Value(true)), "[Si] = True");
  jet::Decimal d;
  d.scale = 3;
  d.magnitude = 5;
  d.negative = true;
  EXPECT_EQ(cond(campo("Dec", data::ado::Numeric, CT::Numeric), jet::Value(d)), "[Dec] = -0.005");
  // A date: year-month-day whatever the regional settings; the time only when there is one.
  jet::DateTime natale = jet::toDateTime({2003, 12, 25, 0, 0, 0});
  EXPECT_EQ(cond(campo("Data", data::ado::Date, CT::DateTime), jet::Value(natale)),
            "[Data] = #2003-12-25#");
  jet::DateTime ora = jet::toDateTime({2003, 12, 25, 8, 5, 9});
  EXPECT_EQ(cond(campo("Data", data::ado::Date, CT::DateTime), jet::Value(ora)),
            "[Data] = #2003-12-25 08:05:09#");
  // A Null matches with IS NULL, for every type.
  EXPECT_EQ(cond(campo("Data", data::ado::Date, CT::DateTime), jet::Value()), "[Data] IS NULL");
  EXPECT_EQ(cond(campo("Citta", data::ado::VarWChar, CT::Text), jet::Value()), "[Citta] IS NULL");
}

TEST(FiltroSicuro, ValuesWithoutLiteralAndBadNamesAreRefused) {
  auto r = CondizioneUguale({"Foto", data::ado::LongVarBinary, 0, jet::ColumnType::Ole},
                            jet::Value(jet::Bytes{1, 2}));
  ASSERT_FALSE(r.isOk());
  EXPECT_NE(r.status().message().find("Foto"), std::string::npos);
  EXPECT_FALSE(NomeSql("a]b").isOk());
  EXPECT_EQ(*NomeSql("Listino Prezzi"), "[Listino Prezzi]");
}

TEST(FiltroSicuro, ConditionsChainWithAndFromAnEmptyFilter) {
  std::string f = "Where ";
  AggiungiCondizione(f, "[Citta] = 'Roma'");
  EXPECT_EQ(f, "Where [Citta] = 'Roma'");
  AggiungiCondizione(f, "[Anno] = 2003");
  EXPECT_EQ(f, "Where [Citta] = 'Roma' AND [Anno] = 2003");
  std::string g = "WHERE ";
  AggiungiCondizione(g, "[X] IS NULL");
  EXPECT_EQ(g, "WHERE [X] IS NULL");

  EXPECT_TRUE(SenzaCondizioni("Where "));
  EXPECT_TRUE(SenzaCondizioni(" WHERE"));
  EXPECT_TRUE(SenzaCondizioni(""));
  EXPECT_FALSE(SenzaCondizioni("Where [X] = 1"));
}

TEST(FiltroSicuro, CountsGroupThousandsWithAPoint) {
  EXPECT_EQ(FormatoConteggio(0), "0");
  EXPECT_EQ(FormatoConteggio(999), "999");
  EXPECT_EQ(FormatoConteggio(1234), "1.234");
  EXPECT_EQ(FormatoConteggio(1234567), "1.234.567");
  EXPECT_EQ(TestoContatore(1, 1234, false), "Record 1 di 1.234");
  EXPECT_EQ(TestoContatore(1000, 1234, true), "Record 1.000 di 1.234 (filtrati)");
}

// Every value of the table of all types, turned into its condition, finds its own row again.
#include "data/man_db.h"
#include "test_support.h"

TEST(FiltroSicuro, EveryConditionFindsItsOwnRowInTheDatabase) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto db = vasktest::copyFixture("suite/zelbo.mdb", dir);
  data::ManDB m([] { return std::string(); });
  for (const char *tabella : {"TipiDati", "CLIENTI", "Listino Prezzi"}) {
    auto rs =
        m.get_Rs("select * from [" + std::string(tabella) + "]", db.string(), 1, 1, 1, nullptr);
    ASSERT_TRUE(rs.isOk()) << rs.status().message();
    int provate = 0;
    for (long r = 0; r < std::min<long>((*rs)->RecordCount(), 6); ++r) {
      const jet::Value id = (*rs)->valueAt(r, 0);
      for (int f = 0; f < (*rs)->fieldCount(); ++f) {
        auto cond = CondizioneUguale((*rs)->fields()[f], (*rs)->valueAt(r, f));
        if (!cond)
          continue; // binary, OLE, GUID: refused with a message
        const std::string sql = "select * from [" + std::string(tabella) + "] Where " + *cond;
        auto trovate = m.get_Rs(sql, db.string(), 1, 1, 1, nullptr);
        ASSERT_TRUE(trovate.isOk()) << sql << ": " << trovate.status().message();
        bool presente = false;
        for (long k = 0; k < (*trovate)->RecordCount(); ++k)
          presente = presente || (*trovate)->valueAt(k, 0) == id;
        EXPECT_TRUE(presente) << sql;
        ++provate;
      }
    }
    EXPECT_GT(provate, 10) << tabella;
  }
}
