// What the operator chooses is what runs: the item under a double click, conditions grouped as
// the summary reads them, yes/no in words, signed numbers and the editing keys in the value box.
#include "banco.h"
#include "bulk/condizioni.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>

using bulktest::Banco;

namespace {

class Scelte : public Banco {
protected:
  void SetUp() override {
    VASK_REQUIRE_FIXTURES();
    Apri("CLIENTI");
  }
  // One condition typed over the prefilled value, closed with the chaining item.
  void Condizione(const QString &campo, int op, const QString &valore, int concatena) {
    Campo(campo);
    Operatore(op);
    Svuota();
    Scrivi(valore);
    Invio();
    ASSERT_EQ(attiva_->Focale(), cc_.ListConcatena);
    Giu(concatena);
    Invio();
  }
};

TEST_F(Scelte, ADoubleClickConfirmsTheItemUnderThePointer) {
  // Delete: every list by the mouse.
  attiva_ = canc_.get();
  canc_->ProceduraCancella();
  DoppioClic(cc_.ListAmbito, bulk::kSelezione);
  ASSERT_TRUE(box_->Mostrati().empty()) << "SELEZIONE is not TUTTI";
  ASSERT_EQ(attiva_->Focale(), cc_.ListCampi);
  DoppioClic(cc_.ListCampi, QStringLiteral("ID"));
  DoppioClic(cc_.ListOperatori, QStringLiteral("MAGGIORE DI"));
  ASSERT_EQ(attiva_->Focale(), cc_.txValore);
  Svuota();
  Scrivi(QStringLiteral("140"));
  Invio();
  box_->Rispondi(vbOK);
  DoppioClic(cc_.ListConcatena, QStringLiteral("- OK -"));
  EXPECT_EQ(canc_->strSql, QStringLiteral("( [ID] > 140)"));
  ASSERT_EQ(box_->Mostrati().size(), 2u);
  EXPECT_EQ(box_->Mostrati()[1].testo, QStringLiteral("Sono stati cancellati 10 record."));
  EXPECT_EQ(Conta(), 140);

  // Modify: the scope, the target field and the chaining item "  E  " by the mouse.
  box_->Azzera();
  attiva_ = mod_.get();
  mod_->btnModifica_Click();
  DoppioClic(cm_.c.ListAmbito, bulk::kSelezione);
  EXPECT_TRUE(mod_->ModificaSelezione);
  ASSERT_EQ(attiva_->Focale(), cm_.List5_Mod);
  DoppioClic(cm_.List5_Mod, QStringLiteral("Citta"));
  ASSERT_EQ(attiva_->Focale(), cm_.txValoreMod);
  Svuota();
  Scrivi(QStringLiteral("Zelbopoli"));
  Invio();
  ASSERT_TRUE(box_->Mostrati().empty()) << "no question for every row";
  DoppioClic(cm_.c.ListCampi, QStringLiteral("ID"));
  DoppioClic(cm_.c.ListOperatori, QStringLiteral("MINORE DI"));
  Svuota();
  Scrivi(QStringLiteral("10"));
  Invio();
  DoppioClic(cm_.c.ListConcatena, QStringLiteral("  E  "));
  DoppioClic(cm_.c.ListCampi, QStringLiteral("ID"));
  DoppioClic(cm_.c.ListOperatori, QStringLiteral("MAGGIORE DI"));
  Svuota();
  Scrivi(QStringLiteral("7"));
  Invio();
  box_->Rispondi(vbOK);
  DoppioClic(cm_.c.ListConcatena, QStringLiteral("- OK -"));
  EXPECT_EQ(mod_->strSql, QStringLiteral("( [ID] < 10) AND ( [ID] > 7)"));
  EXPECT_EQ(Conta("[Citta] = 'Zelbopoli'"), 2);
}

// ID>0 E ID>0 O ID>0 E ID>0 E ID>100000: read from the top, no row meets it.
TEST_F(Scelte, EachConditionJoinsEverythingBeforeIt) {
  attiva_ = canc_.get();
  canc_->ProceduraCancella();
  Giu();
  Invio();
  Condizione(QStringLiteral("ID"), 2, QStringLiteral("0"), 1);
  Condizione(QStringLiteral("ID"), 2, QStringLiteral("0"), 2);
  Condizione(QStringLiteral("ID"), 2, QStringLiteral("0"), 1);
  Condizione(QStringLiteral("ID"), 2, QStringLiteral("0"), 1);
  box_->Rispondi(vbOK);
  Condizione(QStringLiteral("ID"), 2, QStringLiteral("100000"), 0);
  EXPECT_EQ(canc_->strSql, QStringLiteral("((( [ID] > 0) AND ( [ID] > 0)) OR ( [ID] > 0)) AND "
                                          "( [ID] > 0) AND ( [ID] > 100000)"));
  EXPECT_EQ(
      Didascalia(cc_.txCondiz),
      QStringLiteral("Cancellare chi ha:\r\n((ID  MAGGIORE DI  0   E  \r\nID  MAGGIORE DI  0) "
                     "  O  \r\nID  MAGGIORE DI  0)   E  \r\nID  MAGGIORE DI  0   E  \r\nID  "
                     "MAGGIORE DI  100000"));
  ASSERT_EQ(box_->Mostrati().size(), 2u);
  EXPECT_EQ(box_->Mostrati()[1].testo, QStringLiteral("Sono stati cancellati 0 record."));
  EXPECT_EQ(Conta(), 150);
}

// Yes/no in the words the grid shows (or -1 and 0), written as the engine's true and false.
TEST_F(Scelte, YesNoConditionsInWords) {
  attiva_ = canc_.get();
  const long veri = Conta("[Attivo] = True");
  ASSERT_GT(veri, 0);
  ASSERT_LT(veri, 150);
  canc_->ProceduraCancella();
  Giu();
  Invio();
  Campo(QStringLiteral("Attivo"));
  EXPECT_EQ(cc_.txValore->text(), QStringLiteral("Falso"));
  Operatore(0);
  Svuota();
  Scrivi(QStringLiteral("forse"));
  Invio();
  ASSERT_EQ(box_->Mostrati().size(), 1u);
  EXPECT_TRUE(box_->Mostrati()[0].testo.contains(QStringLiteral("Vero o Falso")));
  ASSERT_EQ(attiva_->Focale(), cc_.txValore);
  Svuota();
  Scrivi(QStringLiteral("-1"));
  Invio();
  box_->Rispondi(vbOK);
  Invio();
  EXPECT_EQ(canc_->strSql, QStringLiteral("( [Attivo] = True)"));
  EXPECT_EQ(Conta(), 150 - veri);
  EXPECT_EQ(Conta("[Attivo] = True"), 0);
}

// A signed number takes a minus; Ctrl+A, Ctrl+V work; the value is selected on entry.
TEST_F(Scelte, TheValueBoxTakesAMinusAndTheEditingKeys) {
  attiva_ = canc_.get();
  ASSERT_TRUE(conn_->Execute("UPDATE TemporaneaVask SET [Fido] = -250.5 WHERE [ID] <= 4").isOk());
  canc_->ProceduraCancella();
  Giu();
  Invio();
  Campo(QStringLiteral("Fido"));
  Operatore(3);
  ASSERT_EQ(attiva_->Focale(), cc_.txValore);
  EXPECT_FALSE(cc_.txValore->text().isEmpty());
  EXPECT_EQ(cc_.txValore->selectedText(), cc_.txValore->text());
  Scrivi(QStringLiteral("-100"));
  EXPECT_EQ(cc_.txValore->text(), QStringLiteral("-100"));
  QApplication::clipboard()->setText(QStringLiteral("-250,5"));
  Premi(Qt::Key_A, QStringLiteral("\x01"), Qt::ControlModifier);
  EXPECT_EQ(cc_.txValore->selectedText(), QStringLiteral("-100"));
  Premi(Qt::Key_V, QStringLiteral("\x16"), Qt::ControlModifier);
  EXPECT_EQ(cc_.txValore->text(), QStringLiteral("-250,5"));
  Premi(Qt::Key_Backspace, QStringLiteral("\b"));
  Scrivi(QStringLiteral("4"));
  Invio();
  box_->Rispondi(vbOK);
  Invio();
  EXPECT_EQ(canc_->strSql, QStringLiteral("( [Fido] < -250.4)"));
  EXPECT_EQ(Conta(), 146);
}

} // namespace
