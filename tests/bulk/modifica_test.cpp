// The bulk modify driven from the keyboard on a working copy of the suite database.
#include "banco.h"
#include "widgets/ctextbox.h"

using bulktest::Banco;

namespace {

class Modifica : public Banco {
protected:
  void SetUp() override { VASK_REQUIRE_FIXTURES(); }
  void Inizia(const std::string &tabella) { ApriModifica(tabella); }
  // The end of every confirmed modify: the statement ran, or while the engine writes nothing it
  // was refused and reported; the dialog is closed either way.
  void Chiuso() {
    if (!scrivibile_) {
      ASSERT_FALSE(box_->Mostrati().empty());
      EXPECT_EQ(box_->Mostrati().back().titolo, QStringLiteral("Errore"));
    }
    EXPECT_FALSE(cm_.c.fr->isVisible());
    EXPECT_TRUE(comandi_);
    EXPECT_TRUE(frameMain_->isEnabled());
    EXPECT_EQ(attiva_->Focale(), griglia_);
    EXPECT_EQ(ricariche_, 1);
    EXPECT_FALSE(conn_->inTransaction());
  }
  int Tipo(const std::string &campo) {
    auto rs = griglia_->RecordsetGriglia();
    return rs->fields()[size_t(rs->fieldIndex(campo))].type;
  }
};

TEST_F(Modifica, OpeningSizesCentresAndDressesTheFrame) {
  Inizia("CLIENTI");
  mod_->btnModifica_Click();
  EXPECT_FALSE(comandi_);
  const Twips f = Geometria(cm_.c.fr);
  EXPECT_DOUBLE_EQ(f.Width, 7605 + 705 + 120);
  EXPECT_DOUBLE_EQ(f.Height, 3285 + 1200 + 120);
  EXPECT_DOUBLE_EQ(f.Left, (10590 - f.Width) / 2);
  EXPECT_EQ(cm_.c.lbTitolo->text(), QStringLiteral(" Modificare il contenuto a ..."));
  EXPECT_DOUBLE_EQ(Geometria(cm_.c.ListAmbito).Left, (f.Width - 1605) / 2);
  EXPECT_EQ(Didascalia(cm_.c.txCondiz), QStringLiteral("Modificare ..."));
  EXPECT_FALSE(cm_.List5_Mod->isVisible());
  EXPECT_FALSE(cm_.lbCon1->isVisible());
  EXPECT_FALSE(cm_.txValoreMod->isVisible());
  EXPECT_FALSE(cm_.lbAChi->isVisible());
  EXPECT_TRUE(cm_.Line1->isVisible());
  EXPECT_EQ(cm_.List5_Mod->count(), 12);
  Esc();
  EXPECT_TRUE(comandi_);
}

TEST_F(Modifica, TextToEveryRow) {
  Inizia("CLIENTI");
  Destinazione(false, QStringLiteral("Citta"));
  EXPECT_EQ(cm_.txValoreMod->text(), QStringLiteral("Città di Castello"));
  EXPECT_EQ(mod_->tbValoreMod()->VarType(), 8);
  EXPECT_EQ(Didascalia(cm_.c.txCondiz), QStringLiteral("Modifica il contenuto del campo Citta"));
  Svuota();
  Scrivi(QStringLiteral("Zelbopoli"));
  box_->Rispondi(vbYes);
  Invio();
  EXPECT_EQ(mod_->strSqlmod, QStringLiteral("UPDATE [TemporaneaVask] SET [Citta] = 'Zelbopoli'"));
  EXPECT_EQ(Didascalia(cm_.c.txCondiz), QStringLiteral("Modifica il contenuto del campo Citta con "
                                                       "Zelbopoli ...\r\n... a tutti i records"));
  const RichiestaMsgBox &r = box_->Mostrati().front();
  EXPECT_EQ(r.testo, QStringLiteral("Confermi la modifica ?"));
  EXPECT_EQ(r.titolo, QStringLiteral("Attenzione"));
  EXPECT_EQ(r.stile, vbYesNo + vbCritical + vbDefaultButton2);
  Chiuso();
  if (scrivibile_) {
    EXPECT_EQ(box_->Mostrati().size(), 1u) << "no count is reported";
    EXPECT_EQ(Conta("[Citta] = 'Zelbopoli'"), 150);
  }
  EXPECT_EQ(ContaReale("[Citta] = 'Zelbopoli'"), 0);
}

TEST_F(Modifica, NoToEveryRowChangesNothing) {
  Inizia("CLIENTI");
  Destinazione(false, QStringLiteral("Citta"));
  box_->Rispondi(vbNo);
  Invio();
  EXPECT_FALSE(cm_.c.fr->isVisible());
  EXPECT_TRUE(comandi_);
  EXPECT_EQ(attiva_->Focale(), griglia_);
  EXPECT_EQ(ricariche_, 0);
  EXPECT_EQ(box_->Mostrati().size(), 1u);
}

TEST_F(Modifica, NumberTypedWithACommaUnderACondition) {
  Inizia("PRODOTTI");
  ASSERT_EQ(Tipo("Prezzo"), 5);
  Destinazione(true, QStringLiteral("Prezzo"));
  EXPECT_EQ(mod_->tbValoreMod()->VarType(), 5);
  EXPECT_EQ(mod_->tbValoreMod()->ValidationMask, QStringLiteral("#########0.000"));
  EXPECT_EQ(cm_.txValoreMod->text(), QStringLiteral("1,750"));
  cm_.txValoreMod->selectAll();
  Scrivi(QStringLiteral("1234,5"));
  EXPECT_EQ(cm_.txValoreMod->text(), QStringLiteral("1234,500"));
  Invio();
  EXPECT_EQ(mod_->strSqlmod, QStringLiteral("UPDATE [TemporaneaVask] SET [Prezzo] = 1234.5"));
  ASSERT_EQ(attiva_->Focale(), cm_.c.ListCampi);
  EXPECT_TRUE(cm_.lbAChi->isVisible());
  Campo(QStringLiteral("Codice"));
  Operatore(0);
  Svuota();
  Scrivi(QStringLiteral("8000000000002"));
  Invio();
  box_->Rispondi(vbOK);
  Invio();
  EXPECT_EQ(mod_->strSql, QStringLiteral("( [Codice] = '8000000000002')"));
  EXPECT_EQ(Didascalia(cm_.c.txCondiz),
            QStringLiteral("Modifica il contenuto del campo Prezzo con 1234,500  a chi ha "
                           "\r\nCodice  UGUALE  A  8000000000002"));
  EXPECT_EQ(box_->Mostrati().front().titolo, QStringLiteral("Modifica dei dati"));
  EXPECT_EQ(box_->Mostrati().front().stile, vbOKCancel + vbCritical + vbDefaultButton2);
  Chiuso();
  if (scrivibile_) {
    EXPECT_EQ(Conta("[Prezzo] = 1234.5"), 1);
    EXPECT_EQ(Conta("[Prezzo] = 1234.5 AND [Codice] = '8000000000002'"), 1);
  }
  EXPECT_EQ(ContaReale("[Prezzo] = 1234.5"), 0);
}

TEST_F(Modifica, DateWrittenUnambiguously) {
  Inizia("CLIENTI");
  Destinazione(true, QStringLiteral("DataInserimento"));
  EXPECT_EQ(mod_->tbValoreMod()->VarType(), 7);
  EXPECT_EQ(cm_.txValoreMod->text(), QStringLiteral("08/11/2015"));
  cm_.txValoreMod->selectAll();
  Scrivi(QStringLiteral("020324")); // the century comes by itself
  EXPECT_EQ(cm_.txValoreMod->text(), QStringLiteral("02/03/2024"));
  Invio();
  EXPECT_EQ(mod_->strSqlmod,
            QStringLiteral("UPDATE [TemporaneaVask] SET [DataInserimento] = #2024-03-02#"));
  Campo(QStringLiteral("ID"));
  Operatore(4);
  Svuota();
  Scrivi(QStringLiteral("140"));
  Invio();
  box_->Rispondi(vbOK);
  Invio();
  EXPECT_EQ(mod_->strSql, QStringLiteral("( [ID] >= 140)"));
  Chiuso();
  if (scrivibile_)
    EXPECT_EQ(Conta("[DataInserimento] = #2024-03-02#"), 11);
}

TEST_F(Modifica, YesNoFieldGetsAPlainTextBox) {
  Inizia("CLIENTI");
  ASSERT_EQ(Tipo("Attivo"), 11);
  Destinazione(false, QStringLiteral("Attivo"));
  EXPECT_EQ(mod_->tbValoreMod()->VarType(), 8);
  EXPECT_TRUE(mod_->tbValoreMod()->ValidationMask.isEmpty());
  EXPECT_EQ(cm_.txValoreMod->text(), QStringLiteral("Falso"));
  Svuota();
  Scrivi(QStringLiteral("Vero"));
  box_->Rispondi(vbYes);
  Invio();
  EXPECT_EQ(mod_->strSqlmod, QStringLiteral("UPDATE [TemporaneaVask] SET [Attivo] = True"));
  Chiuso();
  if (scrivibile_)
    EXPECT_EQ(Conta("[Attivo] = True"), 150);
  // A text that is no yes/no value is said so and the box stays for a correction.
  box_->Azzera();
  Destinazione(false, QStringLiteral("Attivo"));
  Svuota();
  Scrivi(QStringLiteral("forse"));
  Invio();
  ASSERT_EQ(box_->Mostrati().size(), 1u);
  EXPECT_EQ(box_->Mostrati()[0].titolo, QStringLiteral("Modifica dei dati"));
  EXPECT_EQ(attiva_->Focale(), cm_.txValoreMod);
  EXPECT_TRUE(cm_.txValoreMod->isEnabled());
  Esc();
  EXPECT_FALSE(cm_.c.fr->isVisible());
}

TEST_F(Modifica, RejectedStatementIsReportedAndTheFlowCarriesOn) {
  Inizia("CLIENTI");
  Destinazione(false, QStringLiteral("Cap"));
  Svuota();
  Scrivi(QStringLiteral("99999"));
  // The working copy loses the field before the statement runs: the engine refuses it.
  SostituisciCopia();
  box_->Rispondi(vbYes);
  Invio();
  ASSERT_EQ(box_->Mostrati().size(), 2u);
  const RichiestaMsgBox &e = box_->Mostrati()[1];
  EXPECT_EQ(e.titolo, QStringLiteral("Errore"));
  EXPECT_EQ(e.stile, vbOKOnly);
  EXPECT_TRUE(e.testo.startsWith(QStringLiteral("Errore "))) << e.testo.toStdString();
  EXPECT_TRUE(e.testo.contains(QStringLiteral(" generato da ")));
  EXPECT_TRUE(e.testo.contains(u'\r'));
  Chiuso();
}

// Every operator label is read whole, and a long new value leaves the condition lines in view.
TEST_F(Modifica, TheOperatorsAndALongValueAreReadWhole) {
  Inizia("CLIENTI");
  EXPECT_LE(cm_.c.ListOperatori->geometry().right(), cm_.c.txValore->geometry().left());
  EXPECT_EQ(cm_.c.txValore->geometry().right(), TwipsInPixelX(5085 + 2430) - 1);
  ValoreLungoEDueCondizioni();
  QListWidget *op = cm_.c.ListOperatori;
  QCoreApplication::processEvents(); // the shown list lays out its viewport
  for (int i = 0; i < op->count(); ++i)
    EXPECT_LE(op->fontMetrics().horizontalAdvance(op->item(i)->text()), op->viewport()->width() - 4)
        << op->item(i)->text().toStdString();
  const QString d = Didascalia(cm_.c.txCondiz);
  EXPECT_TRUE(d.endsWith(QStringLiteral("ID  MAGGIORE O UGUALE A  10   E  \r\nID  MINORE O "
                                        "UGUALE A  ")));
  QLabel *l = cm_.c.txCondiz;
  EXPECT_LE(l->heightForWidth(l->width()), l->height());
  Esc();
}

TEST_F(Modifica, EscInTheTargetListTheNewValueAndTheConditionSteps) {
  Inizia("CLIENTI");
  for (int passo = 0; passo < 4; ++passo) {
    SCOPED_TRACE(passo);
    mod_->btnModifica_Click();
    Giu();
    Invio();
    if (passo >= 1)
      Campo(QStringLiteral("Citta"));
    if (passo >= 2)
      Invio();
    if (passo >= 3)
      Campo(QStringLiteral("ID"));
    Esc();
    EXPECT_FALSE(cm_.c.fr->isVisible());
    EXPECT_TRUE(comandi_);
    EXPECT_EQ(attiva_->Focale(), griglia_);
    EXPECT_TRUE(box_->Mostrati().empty());
    EXPECT_EQ(ricariche_, 0);
  }
}

} // namespace
