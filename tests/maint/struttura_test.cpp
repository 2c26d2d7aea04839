// The structure list, line by line, from the suite-shaped database and through the panel.
#include "app/comune/errori.h"
#include "app/comune/fungen.h"
#include "app/comune/messaggi.h"
#include "app/frmmain.h"
#include "app/manutenzione.h"
#include "data/recordset.h"
#include "maint/frstruttura.h"
#include "maint/struttura.h"
#include "test_support.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace {

data::Field campo(const char *nome, int tipo, int64_t dimensione = 0) {
  data::Field f;
  f.name = nome;
  f.type = tipo;
  f.definedSize = dimensione;
  return f;
}

QStringList righe(const QString &testo) {
  EXPECT_TRUE(testo.endsWith(QStringLiteral("\r\n")));
  QStringList r = testo.split(QStringLiteral("\r\n"));
  r.removeLast();
  return r;
}

void confronta(const QString &testo, const std::vector<const char *> &attese) {
  const QStringList r = righe(testo);
  ASSERT_EQ(r.size(), int(attese.size())) << testo.toStdString();
  for (int i = 0; i < r.size(); ++i)
    EXPECT_EQ(r[i].toStdString(), attese[i]) << "riga " << i;
}

TEST(RigaStruttura, ColonneComeNegliEsempi) {
  EXPECT_EQ(RigaStruttura(1, campo("Descrizione", 202, 50)),
            QStringLiteral("  1 Descrizione         Testo(202)          50\r\n"));
  EXPECT_EQ(RigaStruttura(0, campo("ID", 3, 4)),
            QStringLiteral("  0 ID                  Intero lungo(3)     \r\n"));
  // A value longer than its column is written whole and pushes the rest along.
  EXPECT_EQ(RigaStruttura(123, campo("UnNomeDiCampoMoltoLungo", 130, 7)),
            QStringLiteral("123 UnNomeDiCampoMoltoLungoTesto(130)          7\r\n"));
  EXPECT_EQ(RigaStruttura(1000, campo("X", 4)),
            QStringLiteral("1000 X                   Precisione singola(4)\r\n"));
}

TEST(RigaStruttura, NomiDeiTipi) {
  const std::pair<int, const char *> attesi[] = {
      {3, "Intero lungo"},
      {20, "Intero lungo"},
      {4, "Precisione singola"},
      {5, "Doppia precisione"},
      {7, "Data"},
      {11, "Booleano"},
      {130, "Testo"},
      {202, "Testo"},
      {203, "Testo"},
      {2, "???"},
      {6, "???"},
      {17, "???"},
      {72, "???"},
      {131, "???"},
      {135, "???"},
      {205, "???"},
      {200, "???"},
      {129, "???"},
  };
  for (const auto &[tipo, nome] : attesi)
    EXPECT_EQ(NomeTipo(tipo).toStdString(), nome) << tipo;
  // The size only for the three text types.
  EXPECT_EQ(RigaStruttura(0, campo("A", 200, 9)),
            QStringLiteral("  0 A                   ??\?(200)            \r\n"));
  EXPECT_TRUE(
      RigaStruttura(0, campo("A", 203, 536870910)).endsWith(QStringLiteral("536870910\r\n")));
}

TEST(QueryStruttura, NomeTraParentesiQuadre) {
  EXPECT_EQ(QueryStruttura(QStringLiteral("Listino Prezzi")),
            QStringLiteral("select * from [Listino Prezzi];"));
  EXPECT_THROW(QueryStruttura(QStringLiteral("a]b")), ErroreVask);
}

class StrutturaZelbo : public ::testing::Test {
protected:
  void SetUp() override {
    VASK_REQUIRE_FIXTURES();
    file = QString::fromStdString(vasktest::copyFixture("suite/zelbo.mdb", dir).string());
  }
  vasktest::TempDir dir;
  QString file;
};

TEST_F(StrutturaZelbo, DodiciCampiNumeratiDaZero) {
  confronta(LeggiStruttura(file, QStringLiteral("CLIENTI")),
            {
                "  0 ID                  Intero lungo(3)     ",
                "  1 Codice              Testo(202)          10",
                "  2 RagioneSociale      Testo(202)          50",
                "  3 Indirizzo           Testo(202)          60",
                "  4 Citta               Testo(202)          30",
                "  5 Cap                 Testo(202)          5",
                "  6 Provincia           Testo(202)          2",
                "  7 PartitaIva          Testo(202)          11",
                "  8 Fido                ??\?(6)              ",
                "  9 Attivo              Booleano(11)        ",
                " 10 DataInserimento     Data(7)             ",
                " 11 Note                Testo(203)          536870910",
            });
}

TEST_F(StrutturaZelbo, OgniTipoDiCampo) {
  confronta(LeggiStruttura(file, QStringLiteral("TipiDati")),
            {
                "  0 ID                  Intero lungo(3)     ",
                "  1 Byte                ??\?(17)             ",
                "  2 Intero              ??\?(2)              ",
                "  3 Lungo               Intero lungo(3)     ",
                "  4 Singola             Precisione singola(4)",
                "  5 Doppia              Doppia precisione(5)",
                "  6 Valuta              ??\?(6)              ",
                "  7 DataOra             Data(7)             ",
                "  8 Testo               Testo(202)          255",
                "  9 Memo                Testo(203)          536870910",
                " 10 SiNo                Booleano(11)        ",
                " 11 Guid                ??\?(72)             ",
                " 12 Decimale            ??\?(131)            ",
                " 13 Binario             ??\?(204)            ",
                " 14 Oggetto             ??\?(205)            ",
                " 15 UnNomeDiCampoMoltoLungoTesto(202)          20",
            });
}

TEST_F(StrutturaZelbo, NomeConUnoSpazio) {
  confronta(LeggiStruttura(file, QStringLiteral("Listino Prezzi")),
            {
                "  0 Codice              Testo(202)          13",
                "  1 Prezzo              Doppia precisione(5)",
                "  2 Validita            Data(7)             ",
            });
}

TEST_F(StrutturaZelbo, PannelloApertoEChiuso) {
  MsgBoxSimulato box;
  frmMain f;
  PercorsoDb = QFileInfo(file).absolutePath() + u'/';
  NomeDb = QFileInfo(file).fileName();
  f.Stato.TabellaCorrente = QStringLiteral("Voci");
  f.AbilitaManutenzione(true);
  PannelloStruttura *p = PannelloStrutturaDi(f);
  ASSERT_NE(p, nullptr);
  EXPECT_FALSE(p->frStruttura->isVisibleTo(&f));

  f.btnVediStruttura->click();
  EXPECT_TRUE(box.Mostrati().empty());
  EXPECT_TRUE(p->frStruttura->isVisibleTo(&f));
  EXPECT_EQ(p->lbStruttura->text(), QStringLiteral(" Struttura di Voci"));
  EXPECT_FALSE(f.btnVediStruttura->isEnabled());
  EXPECT_FALSE(f.btnAzzera->isEnabled());
  const QString atteso = QStringLiteral("  0 ID                  Intero lungo(3)     \r\n"
                                        "  1 Annofis             ??\?(2)              \r\n"
                                        "  2 RagioneSociale      Testo(202)          50\r\n"
                                        "  3 PartitaIva          Testo(202)          11\r\n"
                                        "  4 UltimoNumeroFattura Intero lungo(3)     \r\n");
  EXPECT_EQ(p->Testo(), atteso);
  EXPECT_EQ(p->rtStruttura->toPlainText(),
            QString(atteso).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  EXPECT_EQ(p->rtStruttura->font().family(), QStringLiteral("Courier New"));
  EXPECT_DOUBLE_EQ(p->rtStruttura->font().pointSizeF(), 8.25);

  p->btnChiudiStru->click();
  EXPECT_FALSE(p->frStruttura->isVisibleTo(&f));
  EXPECT_TRUE(f.btnVediStruttura->isEnabled());
  EXPECT_TRUE(f.btnAzzera->isEnabled());
}

TEST_F(StrutturaZelbo, TabellaAssenteSegnalataPannelloChiuso) {
  MsgBoxSimulato box;
  frmMain f;
  PercorsoDb = QFileInfo(file).absolutePath() + u'/';
  NomeDb = QFileInfo(file).fileName();
  f.Stato.TabellaCorrente = QStringLiteral("NonCe");
  f.AbilitaManutenzione(true);
  f.btnVediStruttura->click();
  ASSERT_EQ(box.Mostrati().size(), 1u);
  EXPECT_TRUE(box.Mostrati()[0].testo.contains(QStringLiteral("NonCe")))
      << box.Mostrati()[0].testo.toStdString();
  EXPECT_FALSE(PannelloStrutturaDi(f)->frStruttura->isVisibleTo(&f));
  EXPECT_TRUE(f.btnVediStruttura->isEnabled());
}

} // namespace
