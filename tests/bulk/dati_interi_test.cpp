// The new value of a bulk modify reaches the real table as the operator gave it: a memo whole,
// quotes as typed, a text no longer than its field, and never an empty number or date as Null.
// Each case ends with the save and the independent reader.
#include "banco.h"
#include "widgets/ctextbox.h"

using bulktest::Banco;

namespace {

class DatiInteri : public Banco {
protected:
  void SetUp() override { VASK_REQUIRE_FIXTURES(); }
  // "ID" "UGUALE  A" id, then "- OK -" answered OK.
  void SoloId(const QString &id) {
    ASSERT_EQ(attiva_->Focale(), cm_.c.ListCampi);
    Campo(QStringLiteral("ID"));
    Operatore(0);
    Svuota();
    Scrivi(id);
    Invio();
    box_->Rispondi(vbOK);
    Invio();
  }
  // The field of the exported row whose first field is id.
  static std::string Valore(const std::vector<std::vector<std::string>> &righe,
                            const std::string &campo, const std::string &id) {
    const auto &h = righe.at(0);
    const size_t k = size_t(std::find(h.begin(), h.end(), campo) - h.begin());
    for (const auto &r : righe)
      if (!r.empty() && r[0] == id && k < r.size())
        return r[k];
    ADD_FAILURE() << "no row " << id;
    return {};
  }
};

TEST_F(DatiInteri, AMemoGoesThroughWholeLineBreaksIncluded) {
  ApriModifica("TipiDati");
  const std::string prima = Valore(vasktest::mdbExportRows(file_, "TipiDati"), "Memo", "1");
  ASSERT_EQ(QString::fromStdString(prima).size(), 70000);
  Destinazione(true, QStringLiteral("Memo"));
  EXPECT_EQ(cm_.txValoreMod->text().size(), 70000);
  Invio(); // the value as it stands
  // The summary shows the value on one short line, so the condition stays in view.
  EXPECT_LT(Didascalia(cm_.c.txCondiz).size(), 200);
  SoloId(QStringLiteral("1"));
  ASSERT_EQ(box_->Mostrati().size(), 1u) << box_->Mostrati().back().testo.toStdString();
  EXPECT_EQ(Conta("[ID] = 1 AND LEN([Memo]) = 70000"), 1);

  // A memo with line breaks, typed over the current row's value.
  Destinazione(true, QStringLiteral("Memo"));
  cm_.txValoreMod->selectAll();
  Scrivi(QStringLiteral("riga"));
  cm_.txValoreMod->insert(QStringLiteral("\r\nseconda\nterza"));
  Invio();
  box_->Azzera();
  SoloId(QStringLiteral("4"));
  const auto righe = SalvaEdEsporta();
  EXPECT_EQ(Valore(righe, "Memo", "1"), prima);
  EXPECT_EQ(Valore(righe, "Memo", "4"), "riga\r\nseconda\nterza");
}

TEST_F(DatiInteri, QuotesAndApostrophesAreKeptAsTyped) {
  ApriModifica("CLIENTI");
  Destinazione(true, QStringLiteral("RagioneSociale"));
  Svuota();
  Scrivi(QStringLiteral("L'acqua \"viva\""));
  EXPECT_EQ(cm_.txValoreMod->text(), QStringLiteral("L'acqua \"viva\""));
  Invio();
  SoloId(QStringLiteral("3"));
  EXPECT_EQ(Conta("[RagioneSociale] = 'L''acqua \"viva\"'"), 1);
  EXPECT_EQ(Valore(SalvaEdEsporta(), "RagioneSociale", "3"), "L'acqua \"viva\"");
}

TEST_F(DatiInteri, ATextStopsAtItsFieldsSize) {
  ApriModifica("CLIENTI");
  Destinazione(false, QStringLiteral("Cap"));
  EXPECT_EQ(mod_->tbValoreMod()->Lunghezza(), 5);
  Svuota();
  Scrivi(QStringLiteral("1234567"));
  EXPECT_EQ(cm_.txValoreMod->text(), QStringLiteral("12345"));
  box_->Rispondi(vbYes);
  Invio();
  EXPECT_EQ(Conta("[Cap] = '12345'"), 150);
  const auto righe = SalvaEdEsporta();
  EXPECT_EQ(Valore(righe, "Cap", "1"), "12345");
  EXPECT_EQ(Valore(righe, "Cap", "150"), "12345");
}

// An emptied number or date is said in Italian and nothing runs; the key keeps every row.
TEST_F(DatiInteri, AnEmptyNumberOrDateIsRefused) {
  ApriModifica("BUONI");
  const long buoni = ContaReale();
  for (const char *campo : {"ID", "Numero", "Data"}) {
    SCOPED_TRACE(campo);
    box_->Azzera();
    Destinazione(true, QString::fromLatin1(campo));
    Svuota();
    Invio();
    ASSERT_EQ(box_->Mostrati().size(), 1u);
    EXPECT_EQ(box_->Mostrati()[0].titolo, QStringLiteral("Modifica dei dati"));
    EXPECT_TRUE(box_->Mostrati()[0].testo.contains(QStringLiteral("non può restare vuota")))
        << box_->Mostrati()[0].testo.toStdString();
    EXPECT_EQ(attiva_->Focale(), cm_.txValoreMod);
    EXPECT_TRUE(cm_.txValoreMod->isEnabled());
    EXPECT_TRUE(mod_->strSqlmod.isEmpty());
    Esc();
  }
  EXPECT_EQ(ricariche_, 0);
  EXPECT_EQ(Conta("[ID] IS NULL OR [Numero] IS NULL OR [Data] IS NULL"), 0);
  const auto righe = SalvaEdEsporta();
  EXPECT_EQ(long(righe.size()) - 1, buoni);
  EXPECT_EQ(Valore(righe, "ID", "1"), "1");
}

// An empty copy, or a Null in the current row, starts the box empty, never "0" or "30/12/".
TEST_F(DatiInteri, TheBoxStartsEmptyWithoutAValue) {
  ApriModifica("TipiDati");
  ASSERT_TRUE(
      conn_->Execute("UPDATE TemporaneaVask SET Intero = Null, Doppia = Null, DataOra = Null")
          .isOk());
  RicaricaGriglia();
  for (const char *campo : {"Intero", "Doppia", "DataOra"}) {
    SCOPED_TRACE(campo);
    Destinazione(false, QString::fromLatin1(campo));
    EXPECT_EQ(cm_.txValoreMod->text(), QString());
    Esc();
  }
  ASSERT_TRUE(conn_->Execute("DELETE FROM TemporaneaVask").isOk());
  RicaricaGriglia();
  Destinazione(false, QStringLiteral("Lungo"));
  EXPECT_EQ(cm_.txValoreMod->text(), QString());
  // The first digit is the value.
  Scrivi(QStringLiteral("7"));
  EXPECT_EQ(cm_.txValoreMod->text(), QStringLiteral("7"));
  Esc();
}

// A date typed wrong in the new-value box is said, not only cut back.
TEST_F(DatiInteri, ADateTypedWrongIsSaid) {
  ApriModifica("CLIENTI");
  Destinazione(false, QStringLiteral("DataInserimento"));
  cm_.txValoreMod->selectAll();
  Scrivi(QStringLiteral("32"));
  QCoreApplication::processEvents();
  ASSERT_EQ(box_->Mostrati().size(), 1u);
  EXPECT_EQ(box_->Mostrati()[0].testo, QStringLiteral("Giorno errato"));
  EXPECT_EQ(box_->Mostrati()[0].stile, vbOKOnly + vbExclamation);
  EXPECT_EQ(cm_.txValoreMod->text(), QString());
  Scrivi(QStringLiteral("300220")); // 30/02/2020
  QCoreApplication::processEvents();
  EXPECT_EQ(box_->Mostrati().back().testo, QStringLiteral("Data errata"));
  Esc();
  EXPECT_EQ(ricariche_, 0);
}

} // namespace
