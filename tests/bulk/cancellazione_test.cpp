// The bulk delete driven from the keyboard on a working copy of the suite database.
#include "banco.h"
#include "bulk/condizioni.h"

using bulktest::Banco;

namespace {

class Cancellazione : public Banco {
protected:
  void SetUp() override {
    VASK_REQUIRE_FIXTURES();
    Apri("CLIENTI");
    attiva_ = canc_.get();
  }
  // Opens the dialog and chooses "SELEZIONE".
  void Selezione() {
    canc_->ProceduraCancella();
    Giu();
    Invio();
    ASSERT_EQ(attiva_->Focale(), cc_.ListCampi);
  }
  // The end of every confirmed deletion: the rows gone and the count reported, or, while the
  // engine writes nothing, the refusal reported; in both cases the dialog is closed.
  void Chiuso(long prima, long attesi) {
    const auto &b = box_->Mostrati();
    ASSERT_FALSE(b.empty());
    if (scrivibile_) {
      EXPECT_EQ(b.back().testo, QStringLiteral("Sono stati cancellati %1 record.").arg(attesi));
      EXPECT_EQ(b.back().titolo, QStringLiteral("Cancellazione"));
      EXPECT_EQ(b.back().stile, vbOKOnly + vbInformation);
      EXPECT_EQ(Conta(), prima - attesi);
      EXPECT_EQ(griglia_->RecordsetGriglia()->RecordCount(), prima - attesi);
      EXPECT_EQ(tabellaVuota_, prima == attesi);
      EXPECT_EQ(grigliaVuota_, prima == attesi);
    } else {
      EXPECT_TRUE(b.back().testo.startsWith(QStringLiteral("Errore ")))
          << b.back().testo.toStdString();
      EXPECT_EQ(b.back().titolo, QStringLiteral("Errore"));
      EXPECT_EQ(Conta(), prima);
      // The condition still has to select exactly those rows.
      if (!canc_->strSql.isEmpty())
        EXPECT_EQ(ContaReale(canc_->strSql.toStdString()), attesi);
    }
    EXPECT_EQ(ContaReale(), 150) << "the real table changes only when the copy is saved";
    EXPECT_FALSE(cc_.fr->isVisible());
    EXPECT_TRUE(comandi_);
    EXPECT_TRUE(frameMain_->isEnabled());
    EXPECT_EQ(attiva_->Focale(), griglia_);
    EXPECT_EQ(ricariche_, 1);
    EXPECT_FALSE(conn_->inTransaction());
  }
};

TEST_F(Cancellazione, OpeningSizesCentresAndDressesTheFrame) {
  canc_->ProceduraCancella();
  EXPECT_FALSE(comandi_);
  EXPECT_TRUE(cc_.fr->isVisible());
  const Twips f = Geometria(cc_.fr);
  EXPECT_DOUBLE_EQ(f.Width, 7620 + 615 + 120);
  EXPECT_DOUBLE_EQ(f.Height, 2085 + 1575 + 120);
  EXPECT_DOUBLE_EQ(f.Left, (10590 - f.Width) / 2);
  EXPECT_DOUBLE_EQ(f.Top, (6300 - f.Height) / 2);
  EXPECT_EQ(cc_.lbTitolo->text(), QStringLiteral(" Cancellazione dei records"));
  const Twips s = Geometria(cc_.ListAmbito);
  EXPECT_DOUBLE_EQ(s.Left, (f.Width - 1575) / 2);
  EXPECT_DOUBLE_EQ(Geometria(cc_.lbMess).Left, s.Left + 1575 + 120);
  EXPECT_DOUBLE_EQ(Geometria(cc_.lbMess).Top, 240);
  EXPECT_DOUBLE_EQ(Geometria(cc_.txCondiz).Left, 120);
  EXPECT_DOUBLE_EQ(Geometria(cc_.txCondiz).Width, f.Width - 240);
  EXPECT_EQ(Didascalia(cc_.txCondiz), QStringLiteral("Cancellare chi ha:"));
  EXPECT_EQ(cc_.lbMess->text(), QStringLiteral("Frecce = scelta Invio = conferma Esc = rinuncia"));
  EXPECT_EQ(attiva_->Focale(), cc_.ListAmbito);
  EXPECT_EQ(cc_.ListAmbito->currentItem()->text(), QStringLiteral("TUTTI"));
  EXPECT_FALSE(cc_.ListCampi->isVisible());
  EXPECT_FALSE(cc_.ListOperatori->isVisible());
  EXPECT_FALSE(cc_.txValore->isVisible());
  EXPECT_FALSE(cc_.ListConcatena->isVisible());
  EXPECT_EQ(cc_.ListCampi->count(), 12);
  QStringList op;
  for (int i = 0; i < cc_.ListOperatori->count(); ++i)
    op << cc_.ListOperatori->item(i)->text();
  EXPECT_EQ(op.join(u'|'), QStringLiteral("UGUALE  A|DIVERSO DA|MAGGIORE DI|MINORE DI|MAGGIORE O "
                                          "UGUALE A|MINORE O UGUALE A|PIENO|VUOTO"));
}

TEST_F(Cancellazione, OneTextConditionTypedOverThePrefilledValue) {
  Selezione();
  Campo(QStringLiteral("Codice"));
  // The value box starts with the current row's value.
  EXPECT_EQ(cc_.txValore->text(), QStringLiteral("C00001"));
  Operatore(0);
  ASSERT_EQ(attiva_->Focale(), cc_.txValore);
  Svuota();
  Scrivi(QStringLiteral("C00005"));
  Invio();
  ASSERT_EQ(attiva_->Focale(), cc_.ListConcatena);
  EXPECT_EQ(cc_.ListConcatena->count(), 3);
  box_->Rispondi(vbOK);
  Invio();
  EXPECT_EQ(canc_->strSql, QStringLiteral("( [Codice] = 'C00005')"));
  EXPECT_EQ(Didascalia(cc_.txCondiz),
            QStringLiteral("Cancellare chi ha:\r\nCodice  UGUALE  A  C00005"));
  const auto &b = box_->Mostrati();
  ASSERT_GE(b.size(), 2u);
  EXPECT_EQ(b[0].testo, QStringLiteral("Confermi la cancellazione ?"));
  EXPECT_EQ(b[0].titolo, QStringLiteral("Cancellazione Dati"));
  EXPECT_EQ(b[0].stile, vbOKCancel + vbCritical + vbDefaultButton2);
  Chiuso(150, 1);
  if (scrivibile_)
    EXPECT_EQ(Conta("[Codice] = 'C00005'"), 0);
}

TEST_F(Cancellazione, FiveConditionsWithEAndO) {
  Selezione();
  // ( ID > 10) AND ( ID < 100) AND ( Fido > 1500,5) OR ( ID = 3) AND ( NOT ISEMPTY(Note))
  auto condizione = [&](const QString &campo, int op, const QString &valore, int concatena) {
    Campo(campo);
    Operatore(op);
    if (op < 6) {
      Svuota();
      Scrivi(valore);
      Invio();
    }
    ASSERT_EQ(attiva_->Focale(), cc_.ListConcatena);
    Giu(concatena);
    if (concatena == 0)
      box_->Rispondi(vbOK);
    Invio();
  };
  condizione(QStringLiteral("ID"), 2, QStringLiteral("10"), 1);
  condizione(QStringLiteral("ID"), 3, QStringLiteral("100"), 1);
  condizione(QStringLiteral("Fido"), 2, QStringLiteral("1500,5"), 2);
  condizione(QStringLiteral("ID"), 0, QStringLiteral("3"), 1);
  // The fifth condition can only be closed.
  Campo(QStringLiteral("Note"));
  Operatore(6);
  ASSERT_EQ(attiva_->Focale(), cc_.ListConcatena);
  ASSERT_EQ(cc_.ListConcatena->count(), 1);
  EXPECT_EQ(cc_.ListConcatena->item(0)->text(), QStringLiteral("- OK -"));
  // Each condition joins everything before it, as the summary reads from the top.
  const std::string atteso = "((( [ID] > 10) AND ( [ID] < 100) AND ( [Fido] > 1500.5)) OR ( [ID] "
                             "= 3)) AND ( NOT ISEMPTY([Note]))";
  // Counted before the last Enter, which deletes them.
  const long attesi = Conta(atteso);
  box_->Rispondi(vbOK);
  Invio();
  EXPECT_EQ(canc_->strSql.toStdString(), atteso);
  EXPECT_EQ(canc_->numerocondizioni, 5);
  EXPECT_EQ(
      Didascalia(cc_.txCondiz),
      QStringLiteral("Cancellare chi ha:\r\n((ID  MAGGIORE DI  10   E  \r\nID  MINORE DI  100   "
                     "E  \r\nFido  MAGGIORE DI  1500,5)   O  \r\nID  UGUALE  A  3)   E  "
                     "\r\nNote  PIENO  "));
  EXPECT_GT(attesi, 10);
  Chiuso(150, attesi);
  // A new dialog offers the three chaining items again.
  box_->Azzera();
  Selezione();
  Campo(QStringLiteral("ID"));
  Operatore(7);
  EXPECT_EQ(cc_.ListConcatena->count(), 3);
  EXPECT_EQ(canc_->numerocondizioni, 0);
  EXPECT_TRUE(canc_->strSql.isEmpty());
}

TEST_F(Cancellazione, EmptyAndFullOnNullsAndEmptyTexts) {
  if (scrivibile_) {
    ASSERT_TRUE(conn_->Execute("UPDATE TemporaneaVask SET [Note] = '' WHERE ID <= 5").isOk());
    ASSERT_TRUE(
        conn_->Execute("UPDATE TemporaneaVask SET [Note] = Null WHERE ID > 5 AND ID <= 8").isOk());
  }
  const long vuoti = Conta("[Note] IS NULL OR [Note] = ''");
  Selezione();
  Campo(QStringLiteral("Note"));
  Operatore(7);
  box_->Rispondi(vbOK);
  Invio();
  EXPECT_EQ(canc_->strSql, QStringLiteral("( ISEMPTY([Note]))"));
  Chiuso(150, vuoti);
  if (scrivibile_) {
    EXPECT_EQ(Conta("[Note] IS NULL OR [Note] = ''"), 0);
    EXPECT_EQ(Conta("ISEMPTY([Note])"), 0);
    EXPECT_EQ(Conta("NOT ISEMPTY([Note])"), 150 - vuoti);
  }
}

TEST_F(Cancellazione, DateConditionFromTheCurrentRowAndTextWithApostrophe) {
  Selezione();
  Campo(QStringLiteral("DataInserimento"));
  EXPECT_EQ(cc_.txValore->text(), QStringLiteral("08/11/2015"));
  EXPECT_DOUBLE_EQ(Geometria(cc_.txValore).Width, 1200);
  Operatore(0);
  Invio();
  Giu(1);
  Invio(); // "  E  "
  Campo(QStringLiteral("Indirizzo"));
  EXPECT_DOUBLE_EQ(Geometria(cc_.txValore).Width, 2745);
  EXPECT_EQ(cc_.txValore->text(), QStringLiteral("Via Dell'Orto, 124"));
  Operatore(0);
  Invio();
  box_->Rispondi(vbOK);
  Invio();
  EXPECT_EQ(canc_->strSql, QStringLiteral("( [DataInserimento] =  datevalue('08/11/2015') ) AND ( "
                                          "[Indirizzo] = 'Via Dell''Orto, 124')"));
  Chiuso(150, 1);
  if (scrivibile_)
    EXPECT_EQ(Conta("[ID] = 1"), 0);
}

TEST_F(Cancellazione, EscAtEveryStepExecutesNothing) {
  for (int passo = 0; passo < 6; ++passo) {
    SCOPED_TRACE(passo);
    canc_->ProceduraCancella();
    if (passo >= 1) {
      Giu();
      Invio();
    }
    if (passo >= 2)
      Campo(QStringLiteral("ID"));
    if (passo >= 3) {
      Operatore(0);
      Svuota();
      Scrivi(QStringLiteral("7"));
    }
    if (passo >= 4)
      Invio();
    if (passo >= 5) {
      Giu();
      Invio(); // next condition's field step
    }
    Esc();
    EXPECT_FALSE(cc_.fr->isVisible());
    EXPECT_TRUE(comandi_);
    EXPECT_TRUE(frameMain_->isEnabled());
    EXPECT_EQ(attiva_->Focale(), griglia_);
    EXPECT_TRUE(box_->Mostrati().empty());
    EXPECT_EQ(ricariche_, 0);
    EXPECT_EQ(Conta(), 150);
  }
}

TEST_F(Cancellazione, AllRowsAsksNamingTheTable) {
  canc_->ProceduraCancella();
  box_->Rispondi(vbNo);
  Invio();
  ASSERT_EQ(box_->Mostrati().size(), 1u);
  const RichiestaMsgBox &r = box_->Mostrati()[0];
  EXPECT_EQ(r.testo,
            QStringLiteral("Attenzione ! \r\nCon questa operazione tutti i record della "
                           "tabella  CLIENTI  saranno cancellati.\r\nProseguire ugualmente ?"));
  EXPECT_EQ(r.titolo, QStringLiteral("Azzeramento tabella"));
  EXPECT_EQ(r.stile, vbYesNo + vbExclamation + vbDefaultButton2);
  EXPECT_EQ(Conta(), 150);
  EXPECT_TRUE(comandi_);
  EXPECT_FALSE(cc_.fr->isVisible());
  EXPECT_EQ(attiva_->Focale(), griglia_);

  box_->Azzera();
  canc_->ProceduraCancella();
  box_->Rispondi(vbYes);
  Invio();
  Chiuso(150, 150);
}

TEST_F(Cancellazione, RejectedStatementIsRolledBackAndReported) {
  Selezione();
  Campo(QStringLiteral("DataInserimento"));
  Operatore(0);
  Svuota();
  Scrivi(QStringLiteral("120")); // a partly filled date is said at once; the box stays
  Invio();
  ASSERT_EQ(box_->Mostrati().size(), 1u);
  EXPECT_EQ(box_->Mostrati()[0].titolo, QStringLiteral("Cancellazione Dati"));
  EXPECT_EQ(box_->Mostrati()[0].stile, vbOKOnly + vbExclamation);
  EXPECT_TRUE(box_->Mostrati()[0].testo.contains(QStringLiteral("gg/mm/aaaa")));
  ASSERT_EQ(attiva_->Focale(), cc_.txValore);
  EXPECT_TRUE(cc_.txValore->isEnabled());
  EXPECT_TRUE(cc_.txValore->hasSelectedText());
  Svuota();
  Scrivi(QStringLiteral("08112015"));
  Invio();
  ASSERT_EQ(attiva_->Focale(), cc_.ListConcatena);
  // The working copy loses the field before the statement runs: the engine refuses it.
  SostituisciCopia();
  box_->Rispondi(vbOK);
  Invio();
  EXPECT_EQ(canc_->strSql, QStringLiteral("( [DataInserimento] =  datevalue('08/11/2015') )"));
  const auto &b = box_->Mostrati();
  ASSERT_EQ(b.size(), 3u);
  EXPECT_TRUE(b[2].testo.startsWith(QStringLiteral("Errore "))) << b[2].testo.toStdString();
  EXPECT_TRUE(b[2].testo.contains(QStringLiteral(" generato da ")));
  EXPECT_TRUE(b[2].testo.contains(u'\r'));
  EXPECT_EQ(b[2].stile, vbOKOnly);
  EXPECT_EQ(Conta(), 150);
  EXPECT_FALSE(conn_->inTransaction());
  EXPECT_FALSE(cc_.fr->isVisible());
  EXPECT_TRUE(comandi_);
  EXPECT_EQ(attiva_->Focale(), griglia_);
  // And the program carries on: the next dialog works.
  box_->Azzera();
  canc_->ProceduraCancella();
  EXPECT_TRUE(cc_.fr->isVisible());
  Esc();
}

TEST_F(Cancellazione, NumberKeysOnlyInTheValueOfANumberField) {
  Selezione();
  Campo(QStringLiteral("Fido"));
  Operatore(2);
  Svuota();
  Scrivi(QStringLiteral("12a,5x"));
  EXPECT_EQ(cc_.txValore->text(), QStringLiteral("12,5"));
  Esc();
  Selezione();
  Campo(QStringLiteral("Citta"));
  Operatore(0);
  Svuota();
  Scrivi(QStringLiteral("Ab 1,x"));
  EXPECT_EQ(cc_.txValore->text(), QStringLiteral("Ab 1,x"));
  Esc();
}

} // namespace
