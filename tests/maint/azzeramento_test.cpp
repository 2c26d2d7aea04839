// The reset's order of work, its one transaction, the safety copy and the closing message,
// over a database whose statements are recorded and can be made to fail.
#include "data/man_db.h"
#include "maint/azzeramento.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <map>

namespace {

class BancaDatiRegistrata : public BancaDatiAzzera {
public:
  std::map<QString, int64_t> tabelle;
  QStringList registro; // every call, in order
  QString fallisceSu;   // the statement that fails

  bool HaTabella(const QString &t) override { return tabelle.count(t) > 0; }
  jet::Result<int64_t> Righe(const QString &t) override {
    registro << QStringLiteral("conta ") + t;
    return tabelle.at(t);
  }
  int64_t righeVoci = 1; // the rows an Update of Voci touches
  jet::Status Esegui(const QString &sql, int64_t *righe) override {
    registro << sql;
    if (righe)
      *righe = sql.startsWith(QStringLiteral("Update Voci")) ? righeVoci : 0;
    if (sql == fallisceSu)
      return {jet::ErrorCode::RelationshipChildren, "Impossibile eliminare: record correlati."};
    return {};
  }
  jet::Status BeginTrans() override {
    registro << QStringLiteral("begin");
    return {};
  }
  jet::Status CommitTrans() override {
    registro << QStringLiteral("commit");
    return {};
  }
  jet::Status RollbackTrans() override {
    registro << QStringLiteral("rollback");
    return {};
  }
};

class Azzeramento : public ::testing::Test {
protected:
  void SetUp() override {
    file = QString::fromStdString(dir.file("zelbo.mdb").string());
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("contenuto del database");
    for (const auto &g : GruppiAzzera())
      for (const QString &t : g.tabelle)
        db.tabelle[t] = 10;
  }
  QStringList copie() const {
    QStringList r;
    for (const auto &e : std::filesystem::directory_iterator(dir.path()))
      if (e.path().filename() != "zelbo.mdb")
        r << QString::fromStdString(e.path().filename().string());
    return r;
  }
  vasktest::TempDir dir;
  QString file;
  BancaDatiRegistrata db;
  const QDateTime quando{QDate(2026, 12, 31), QTime(18, 30, 0)};
};

TEST_F(Azzeramento, GruppiQuattordici) {
  const auto &g = GruppiAzzera();
  ASSERT_EQ(g.size(), 14u);
  EXPECT_EQ(g[3].didascalia, QStringLiteral("Ricevute fiscali /Fat. Immediate"));
  EXPECT_EQ(g[12].didascalia, QStringLiteral("Registro di Scarico carburanti"));
  EXPECT_EQ(g[9].tabelle, (QStringList{"INCPAG", "REGMENSILE"}));
}

TEST_F(Azzeramento, NienteSpuntatoNonFaNulla) {
  EsitoAzzera e = EseguiAzzeramento(db, file, {}, quando);
  EXPECT_TRUE(db.registro.isEmpty());
  EXPECT_TRUE(e.copia.isEmpty());
  EXPECT_TRUE(copie().isEmpty());
  EXPECT_TRUE(TestoEsito(e).contains(QStringLiteral("non è stato modificato")));
}

TEST_F(Azzeramento, SoloAnno) {
  EsitoAzzera e = EseguiAzzeramento(db, file, {{}, 2005}, quando);
  EXPECT_EQ(db.registro, (QStringList{"begin", "Update Voci Set AnnoFis =2005", "commit"}));
  EXPECT_EQ(e.anno, 2005);
  EXPECT_EQ(QFileInfo(e.copia).fileName(), QStringLiteral("zelbo-20261231-183000.mdb"));
  EXPECT_TRUE(TestoEsito(e).contains(QStringLiteral("Anno fiscale impostato: 2005")));

  // Voci without rows: nothing holds the year, and the message says so.
  db.righeVoci = 0;
  EsitoAzzera senza = EseguiAzzeramento(db, file, {{}, 2030}, quando);
  EXPECT_FALSE(senza.anno);
  const QString testo = TestoEsito(senza);
  EXPECT_FALSE(testo.contains(QStringLiteral("impostato: 2030"))) << testo.toStdString();
  EXPECT_TRUE(testo.contains(QStringLiteral("Anno fiscale non impostato: la tabella Voci non ha "
                                            "righe.")));
}

TEST_F(Azzeramento, GruppiZeroETredici) {
  db.tabelle["BUONI"] = 1234;
  // Ticks in any order; the groups run by index, each table counted before its group runs.
  EsitoAzzera e = EseguiAzzeramento(db, file, {{13, 0}, std::nullopt}, quando);
  EXPECT_EQ(db.registro,
            (QStringList{"begin", "conta BUONI", "conta BUONISTO", "Delete * from BUONI",
                         "Delete * from BUONISTO", "conta CARICHI", "conta RICONCILIAZIONI",
                         "conta CISTERNERICONC", "conta POMPERICONC", "Delete * from CARICHI",
                         "Delete * from RICONCILIAZIONI", "Delete * from CISTERNERICONC",
                         "Delete * from POMPERICONC", "commit"}));
  ASSERT_EQ(e.svuotate.size(), 6u);
  EXPECT_EQ(e.svuotate[0].tabella, QStringLiteral("BUONI"));
  EXPECT_EQ(e.svuotate[0].righe, 1234);
  const QString testo = TestoEsito(e);
  EXPECT_TRUE(testo.contains(QStringLiteral("BUONI: 1.234 records"))) << testo.toStdString();
  EXPECT_TRUE(testo.contains(QStringLiteral("Anno fiscale invariato.")));
  EXPECT_TRUE(testo.contains(QStringLiteral("zelbo-20261231-183000.mdb")));
}

TEST_F(Azzeramento, TabellaAssenteSaltataENominata) {
  db.tabelle.erase("CISTERNERICONC");
  db.tabelle.erase("FATTUREACQ");
  EsitoAzzera e = EseguiAzzeramento(db, file, {{2, 13}, 2027}, quando);
  EXPECT_FALSE(db.registro.contains(QStringLiteral("Delete * from CISTERNERICONC")));
  EXPECT_FALSE(db.registro.contains(QStringLiteral("Delete * from FATTUREACQ")));
  EXPECT_TRUE(db.registro.contains(QStringLiteral("Delete * from POMPERICONC")));
  EXPECT_EQ(e.saltate, (QStringList{"FATTUREACQ", "CISTERNERICONC"}));
  const QString testo = TestoEsito(e);
  EXPECT_TRUE(testo.contains(QStringLiteral("saltate: FATTUREACQ, CISTERNERICONC")))
      << testo.toStdString();
  EXPECT_TRUE(testo.contains(QStringLiteral("Anno fiscale impostato: 2027")));

  // A group all of whose tables are missing, and no year: nothing to change, no copy.
  db.registro.clear();
  EsitoAzzera vuoto = EseguiAzzeramento(db, file, {{2}, std::nullopt}, quando);
  EXPECT_TRUE(db.registro.isEmpty());
  EXPECT_TRUE(vuoto.copia.isEmpty());
  EXPECT_EQ(vuoto.saltate, QStringList{"FATTUREACQ"});
}

TEST_F(Azzeramento, FallimentoInMezzoAnnullaTutto) {
  db.fallisceSu = QStringLiteral("Delete * from SCARICHI");
  try {
    EseguiAzzeramento(db, file, {{0, 12, 13}, 2030}, quando);
    FAIL() << "nessun errore";
  } catch (const ErroreAzzeramento &e) {
    EXPECT_EQ(e.Numero(), int(jet::ErrorCode::RelationshipChildren));
    EXPECT_EQ(QFileInfo(e.Copia()).fileName(), QStringLiteral("zelbo-20261231-183000.mdb"));
  }
  EXPECT_EQ(db.registro.last(), QStringLiteral("rollback"));
  EXPECT_FALSE(db.registro.contains(QStringLiteral("commit")));
  EXPECT_FALSE(db.registro.contains(QStringLiteral("Delete * from CARICHI")));
  // The copy stays, whole.
  EXPECT_EQ(copie(), QStringList{"zelbo-20261231-183000.mdb"});
  EXPECT_EQ(vasktest::readFile(dir.file("zelbo-20261231-183000.mdb")), "contenuto del database");
}

TEST_F(Azzeramento, CopiaConNomeLibero) {
  EXPECT_EQ(NomeCopia(file, quando), QFileInfo(file).dir().filePath("zelbo-20261231-183000.mdb"));
  const QString prima = SalvaCopia(file, quando);
  const QString seconda = SalvaCopia(file, quando);
  EXPECT_EQ(QFileInfo(prima).fileName(), QStringLiteral("zelbo-20261231-183000.mdb"));
  EXPECT_EQ(QFileInfo(seconda).fileName(), QStringLiteral("zelbo-20261231-183000-2.mdb"));
  EXPECT_EQ(vasktest::readFile(seconda.toStdString()), "contenuto del database");
}

TEST_F(Azzeramento, CopiaImpossibileNienteCambia) {
  // Root writes anywhere, but not in a folder marked immutable.
  const std::string cartella = dir.path().string();
  if (vasktest::runCommand("chattr +i '" + cartella + "' 2>/dev/null") != 0)
    GTEST_SKIP() << "chattr non disponibile su questo file system";
  struct Sblocca {
    std::string c;
    ~Sblocca() { vasktest::runCommand("chattr -i '" + c + "'"); }
  } sblocca{cartella};
  try {
    EseguiAzzeramento(db, file, {{0}, 2030}, quando);
    FAIL() << "nessun errore";
  } catch (const ErroreCopia &e) {
    EXPECT_TRUE(e.Descrizione().contains(QStringLiteral("zelbo-20261231-183000.mdb")))
        << e.Descrizione().toStdString();
    EXPECT_TRUE(e.Descrizione().contains(QStringLiteral("accesso negato")))
        << e.Descrizione().toStdString();
  }
  EXPECT_TRUE(db.registro.isEmpty());
}

TEST(AnnoValido, InteroDa1900A9999) {
  EXPECT_EQ(AnnoValido(QStringLiteral("2005")), 2005);
  EXPECT_EQ(AnnoValido(QStringLiteral(" 1900 ")), 1900);
  EXPECT_EQ(AnnoValido(QStringLiteral("9999")), 9999);
  for (const char *no : {"", "1899", "10000", "2005,5", "2.005", "-2005", "+2005", "20a5",
                         "2005; DROP TABLE Voci", "0x7D5"})
    EXPECT_FALSE(AnnoValido(QString::fromLatin1(no))) << no;
}

} // namespace

// --- On real files ------------------------------------------------------------------------

namespace {

std::shared_ptr<data::Connection> connessione(const std::string &file) {
  data::ManDB gestore([file] { return file; });
  auto c = gestore.get_Conn(file);
  EXPECT_TRUE(c.isOk()) << (c.isOk() ? "" : c.status().message());
  return c ? *c : nullptr;
}

TEST(AzzeramentoSuFile, TabelleERigheDelDatabase) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  auto c = connessione(vasktest::copyFixture("suite/zelbo.mdb", dir).string());
  ASSERT_TRUE(c);
  BancaDatiConnessione db(*c);
  EXPECT_TRUE(db.HaTabella(QStringLiteral("BUONI")));
  EXPECT_TRUE(db.HaTabella(QStringLiteral("cisternericonc")));
  EXPECT_FALSE(db.HaTabella(QStringLiteral("NonCe")));
  EXPECT_FALSE(db.HaTabella(QStringLiteral("MSysObjects")));
  EXPECT_EQ(*db.Righe(QStringLiteral("BUONI")), 1234);
  EXPECT_EQ(*db.Righe(QStringLiteral("Vuota")), 0);
  EXPECT_EQ(LeggiAnnoFiscale(*c), 2024);
}

TEST(AzzeramentoSuFile, DatabaseSenzaLeTabelleDellaSuite) {
  VASK_REQUIRE_FIXTURES();
  vasktest::TempDir dir;
  const auto file = vasktest::copyFixture("access/testV2000.mdb", dir);
  const std::string prima = vasktest::readFile(file);
  auto c = connessione(file.string());
  ASSERT_TRUE(c);
  // No Voci: the panel cannot read the year, and says why.
  try {
    LeggiAnnoFiscale(*c);
    FAIL() << "nessun errore";
  } catch (const ErroreVask &e) {
    EXPECT_EQ(e.Numero(), int(jet::ErrorCode::NoSuchTable));
    EXPECT_TRUE(e.Descrizione().contains(QStringLiteral("Voci"))) << e.Descrizione().toStdString();
  }
  // Every table of the ticked groups missing and no year: all named, nothing touched.
  BancaDatiConnessione db(*c);
  EsitoAzzera e = EseguiAzzeramento(db, QString::fromStdString(file.string()), {{0, 13}, {}});
  EXPECT_EQ(e.saltate, (QStringList{"BUONI", "BUONISTO", "CARICHI", "RICONCILIAZIONI",
                                    "CISTERNERICONC", "POMPERICONC"}));
  EXPECT_TRUE(e.copia.isEmpty());
  EXPECT_TRUE(e.istruzioni.isEmpty());
  c->Close();
  EXPECT_EQ(vasktest::readFile(file), prima);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

} // namespace
