// The reset panel on copies of the suite-shaped database: its controls, the year box, the
// confirmations, and the reset itself checked with mdbtools and vaskdb.
#include "app/comune/fungen.h"
#include "app/comune/messaggi.h"
#include "app/comune/twips.h"
#include "app/frmmain.h"
#include "app/manutenzione.h"
#include "data/man_db.h"
#include "jet/database.h"
#include "maint/frazzera.h"
#include "test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>

namespace fs = std::filesystem;

namespace {

const QString kPrimaConferma =
    QStringLiteral("ATTENZIONE: Questa operazione sarà irreversibile!\r\nProseguire ugualmente?");
const QString kSecondaConferma = QStringLiteral(
    "Le tabelle selezionate saranno Svuotate definitivamente!\r\nProseguire ugualmente?");

std::shared_ptr<data::Connection> apri(const std::string &file) {
  data::ManDB gestore([file] { return file; });
  auto c = gestore.get_Conn(file);
  return c ? *c : nullptr;
}

std::string sh(const std::string &s) {
  return "'" + s + "'";
}

int righeMdb(const std::string &file, const std::string &tabella) {
  std::string csv = vasktest::mdbExport(file, tabella);
  return int(std::count(csv.begin(), csv.end(), '\n')) - 1;
}

class PannelloAzzeraZelbo : public ::testing::Test {
protected:
  void SetUp() override {
    VASK_REQUIRE_FIXTURES();
    file = vasktest::copyFixture("suite/zelbo.mdb", dir).string();
    originale = vasktest::readFile(file);
    PercorsoDb = QString::fromStdString(dir.path().string()) + u'/';
    NomeDb = QStringLiteral("zelbo.mdb");
    f = std::make_unique<frmMain>();
    f->Stato.TabellaCorrente = QStringLiteral("BUONI");
    f->AbilitaManutenzione(true);
    p = PannelloAzzeraDi(*f);
    ASSERT_NE(p, nullptr);
  }
  void TearDown() override { f.reset(); }

  void apriPannello() {
    f->btnAzzera->click();
    ASSERT_TRUE(p->frAzzera->isVisibleTo(f.get()));
  }
  void invio() {
    QKeyEvent giu(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(p->txtAnno, &giu);
  }
  std::vector<fs::path> copie() const {
    std::vector<fs::path> r;
    for (const auto &e : fs::directory_iterator(dir.path()))
      if (e.path().filename().string().rfind("zelbo-", 0) == 0)
        r.push_back(e.path());
    return r;
  }
  // Esegui answered Yes twice; the boxes shown.
  std::vector<RichiestaMsgBox> esegui() {
    box.Azzera();
    box.Rispondi(vbYes);
    box.Rispondi(vbYes);
    p->btnEseguiAzzera->click();
    return box.Mostrati();
  }
  void verificaIntegrita() { vasktest::expectCheckClean(file); }

  MsgBoxSimulato box;
  vasktest::TempDir dir;
  std::string file, originale;
  std::unique_ptr<frmMain> f;
  PannelloAzzera *p = nullptr;
};

TEST_F(PannelloAzzeraZelbo, ComeDisegnato) {
  apriPannello();
  EXPECT_TRUE(box.Mostrati().empty());
  EXPECT_EQ(p->lbAzzera->text(), QStringLiteral(" Azzeramento delle tabelle"));
  EXPECT_EQ(p->lbNoteAzzera->text(),
            QStringLiteral("Gli archivi di base e le tabelle di servizio non vengono azzerate. \n"
                           "CLIENTI, FORNITORI, PRODOTTI, SERVIZI e\n"
                           "IVA, CATEGORIE, PAGAMENTI, REPARTI restano inalterati.\n"
                           "Inserire invece la spunta sulle tabelle che si desidera azzerare..."));
  const char *didascalie[14] = {"Buoni",
                                "Fatture di vendita",
                                "Fatture Fornitori",
                                "Ricevute fiscali /Fat. Immediate",
                                "Scontrini",
                                "D.D.T.",
                                "Spese e ricavi",
                                "Movimenti di magazzino",
                                "Movimenti bancari",
                                "Movimenti finanziari",
                                "Elenco delle pompe",
                                "Elenco delle cisterne",
                                "Registro di Scarico carburanti",
                                "Registro di Carico carburanti"};
  ASSERT_EQ(p->ckAzzera.size(), 14);
  for (int i = 0; i < 14; ++i) {
    EXPECT_EQ(p->ckAzzera[i]->text().toStdString(), didascalie[i]);
    EXPECT_FALSE(p->ckAzzera[i]->isChecked());
  }
  auto posto = [](QWidget *w) {
    Twips t = Geometria(w);
    return std::vector<double>{t.Left, t.Top, t.Width, t.Height};
  };
  EXPECT_EQ(posto(p->ckAzzera[3]), (std::vector<double>{330, 2151, 2610, 300}));
  EXPECT_EQ(posto(p->ckAzzera[6]), (std::vector<double>{330, 3120, 1935, 300}));
  EXPECT_EQ(posto(p->ckAzzera[7]), (std::vector<double>{3570, 1215, 2715, 300}));
  EXPECT_EQ(posto(p->ckAzzera[13]), (std::vector<double>{3570, 3135, 2670, 300}));
  EXPECT_EQ(posto(p->ckAnno), (std::vector<double>{1455, 3585, 1980, 270}));
  EXPECT_EQ(posto(p->txtAnno), (std::vector<double>{3450, 3585, 615, 285}));
  EXPECT_EQ(posto(p->btnEseguiAzzera), (std::vector<double>{3825, 3975, 1260, 315}));
  EXPECT_EQ(posto(p->lbNoteAzzera), (std::vector<double>{90, 300, 6255, 795}));
  const Twips fr = Geometria(p->frAzzera), fm = Geometria(f->Frame_main);
  EXPECT_EQ(fr.Width, 6450);
  EXPECT_EQ(fr.Height, 4365);
  EXPECT_DOUBLE_EQ(fr.Left, (fm.Width - 6450) / 2);
  EXPECT_DOUBLE_EQ(fr.Top, (fm.Height - 4365) / 2);
  EXPECT_EQ(p->ckAnno->text(), QStringLiteral("Modifica l'anno Fiscale"));
  EXPECT_EQ(p->btnDacapoAzzera->text(), QStringLiteral("Da capo"));
  EXPECT_EQ(p->btnDacapoAzzera->toolTip(), QStringLiteral("Svuota tutte le spunte"));
  EXPECT_EQ(p->btnEseguiAzzera->toolTip(),
            QStringLiteral("Avvia lo svuotamento delle tabelle indicate"));
  EXPECT_EQ(p->btnChiudiAzzera->text(), QStringLiteral("Abbandona"));
  EXPECT_EQ(p->btnChiudiAzzera->toolTip(), QStringLiteral("Abbandona l'operazione"));

  // The year of Voci, locked until ckAnno is ticked.
  EXPECT_EQ(p->txtAnno->text(), QStringLiteral("2024"));
  EXPECT_EQ(p->AnnoFiscaleIniziale, 2024);
  EXPECT_FALSE(p->txtAnno->isEnabled());
  EXPECT_FALSE(f->btnVediStruttura->isEnabled());
  EXPECT_FALSE(f->btnAzzera->isEnabled());
  EXPECT_EQ(f->focusWidget(), p->btnChiudiAzzera);
  p->ckAnno->click();
  EXPECT_TRUE(p->txtAnno->isEnabled());
  EXPECT_EQ(f->focusWidget(), p->txtAnno);
  p->txtAnno->setText(QStringLiteral("1999"));
  p->ckAnno->click();
  EXPECT_FALSE(p->txtAnno->isEnabled());
  EXPECT_EQ(p->txtAnno->text(), QStringLiteral("1999"));
}

TEST_F(PannelloAzzeraZelbo, RiapertoSenzaSpunte) {
  apriPannello();
  p->ckAzzera[0]->click();
  p->ckAzzera[13]->click();
  p->ckAnno->click();
  p->btnChiudiAzzera->click();
  EXPECT_FALSE(p->frAzzera->isVisibleTo(f.get()));
  EXPECT_TRUE(f->btnVediStruttura->isEnabled());
  EXPECT_TRUE(f->btnAzzera->isEnabled());
  apriPannello();
  for (QCheckBox *ck : p->ckAzzera)
    EXPECT_FALSE(ck->isChecked());
  EXPECT_FALSE(p->ckAnno->isChecked());
  EXPECT_FALSE(p->txtAnno->isEnabled());
  // "Da capo" clears what was ticked since.
  p->ckAzzera[5]->click();
  p->ckAnno->click();
  p->btnDacapoAzzera->click();
  EXPECT_FALSE(p->ckAzzera[5]->isChecked());
  EXPECT_FALSE(p->ckAnno->isChecked());
  EXPECT_FALSE(p->txtAnno->isEnabled());
  EXPECT_TRUE(box.Mostrati().empty());
}

TEST_F(PannelloAzzeraZelbo, InvioNellAnno) {
  apriPannello();
  p->ckAnno->click();
  p->txtAnno->setText(QStringLiteral(" 2004 "));
  invio();
  EXPECT_TRUE(box.Mostrati().empty());
  EXPECT_EQ(f->focusWidget(), p->btnChiudiAzzera);

  p->txtAnno->setFocus();
  p->txtAnno->setText(QStringLiteral("20a4"));
  invio();
  ASSERT_EQ(box.Mostrati().size(), 1u);
  EXPECT_EQ(box.Mostrati()[0].testo, QStringLiteral("Inserire un valore numerico!"));
  EXPECT_EQ(box.Mostrati()[0].titolo, QStringLiteral("Errore di digitazione"));
  EXPECT_EQ(box.Mostrati()[0].stile, 16);
  EXPECT_EQ(p->txtAnno->text(), QStringLiteral("2024"));
  EXPECT_EQ(f->focusWidget(), p->txtAnno);

  // Handler level: the key is swallowed only on a wrong entry; other keys pass untouched.
  int tasto = 13;
  p->txtAnno->setText(QStringLiteral("2004,5"));
  p->txtAnno_KeyDown(tasto, 0);
  EXPECT_EQ(tasto, 13);
  p->txtAnno->setText(QStringLiteral("x"));
  p->txtAnno_KeyDown(tasto, 0);
  EXPECT_EQ(tasto, 0);
  tasto = 'A';
  p->txtAnno_KeyDown(tasto, 0);
  EXPECT_EQ(tasto, 'A');
}

TEST_F(PannelloAzzeraZelbo, ConfermeENienteSpuntato) {
  apriPannello();
  box.Rispondi(vbNo);
  p->btnEseguiAzzera->click();
  ASSERT_EQ(box.Mostrati().size(), 1u);
  EXPECT_EQ(box.Mostrati()[0].testo, kPrimaConferma);
  EXPECT_EQ(box.Mostrati()[0].titolo, QStringLiteral("Operazione pericolosa"));
  EXPECT_EQ(box.Mostrati()[0].stile, 276);
  EXPECT_FALSE(p->frAzzera->isVisibleTo(f.get()));
  EXPECT_TRUE(f->btnAzzera->isEnabled());

  apriPannello();
  p->ckAzzera[0]->click();
  box.Azzera();
  box.Rispondi(vbYes);
  box.Rispondi(vbNo);
  p->btnEseguiAzzera->click();
  ASSERT_EQ(box.Mostrati().size(), 2u);
  EXPECT_EQ(box.Mostrati()[1].testo, kSecondaConferma);
  EXPECT_EQ(box.Mostrati()[1].titolo, QStringLiteral("Operazione pericolosa"));
  EXPECT_EQ(box.Mostrati()[1].stile, 276);
  EXPECT_FALSE(p->frAzzera->isVisibleTo(f.get()));

  // Nothing ticked, both answered Yes: nothing runs, nothing is copied.
  apriPannello();
  auto mostrati = esegui();
  ASSERT_EQ(mostrati.size(), 3u);
  EXPECT_EQ(mostrati[2].stile, vbInformation);
  EXPECT_TRUE(mostrati[2].testo.contains(QStringLiteral("non è stato modificato")));
  EXPECT_FALSE(p->frAzzera->isVisibleTo(f.get()));
  EXPECT_TRUE(copie().empty());
  EXPECT_EQ(vasktest::readFile(file), originale);
}

TEST_F(PannelloAzzeraZelbo, AnnoNonValidoNonChiedeNulla) {
  apriPannello();
  p->ckAzzera[0]->click();
  p->ckAnno->click();
  for (const char *anno : {"1899", "2024,5", "20a4", ""}) {
    box.Azzera();
    p->txtAnno->setText(QString::fromLatin1(anno));
    p->btnEseguiAzzera->click();
    ASSERT_EQ(box.Mostrati().size(), 1u) << anno;
    EXPECT_TRUE(box.Mostrati()[0].testo.contains(QStringLiteral("1900 a 9999")));
    EXPECT_TRUE(p->frAzzera->isVisibleTo(f.get()));
  }
  EXPECT_TRUE(copie().empty());
  EXPECT_EQ(vasktest::readFile(file), originale);
}

TEST_F(PannelloAzzeraZelbo, CopiaImpossibile) {
  apriPannello();
  p->ckAzzera[0]->click();
  if (vasktest::runCommand("chattr +i " + sh(dir.path().string()) + " 2>/dev/null") != 0)
    GTEST_SKIP() << "chattr non disponibile su questo file system";
  struct Sblocca {
    std::string c;
    ~Sblocca() { vasktest::runCommand("chattr -i " + sh(c)); }
  } sblocca{dir.path().string()};
  auto mostrati = esegui();
  ASSERT_EQ(mostrati.size(), 3u);
  EXPECT_EQ(mostrati[2].stile, vbCritical);
  EXPECT_TRUE(mostrati[2].testo.contains(QStringLiteral("Impossibile creare il file")))
      << mostrati[2].testo.toStdString();
  EXPECT_TRUE(mostrati[2].testo.contains(QStringLiteral("non è stato eseguito")));
  EXPECT_EQ(vasktest::readFile(file), originale);
  EXPECT_EQ(righeMdb(file, "BUONI"), 1234);
}

// --- With the engine's write path ---------------------------------------------------------

TEST_F(PannelloAzzeraZelbo, GruppiZeroETrediciSvuotati) {
  std::map<std::string, std::string> prima;
  for (const char *t : {"Voci", "CLIENTI", "FATTURE", "SCARICHI", "CISTERNE", "POMPE", "MOVIMENTI"})
    prima[t] = vasktest::mdbExport(file, t);
  apriPannello();
  p->ckAzzera[13]->click();
  p->ckAzzera[0]->click();
  auto mostrati = esegui();
  ASSERT_EQ(mostrati.size(), 3u);
  EXPECT_EQ(mostrati[2].stile, vbInformation) << mostrati[2].testo.toStdString();
  const QString testo = mostrati[2].testo;
  EXPECT_TRUE(testo.contains(QStringLiteral("BUONI: 1.234 records"))) << testo.toStdString();
  EXPECT_TRUE(testo.contains(QStringLiteral("BUONISTO: 200 records")));
  EXPECT_TRUE(testo.contains(QStringLiteral("POMPERICONC: 96 records")));
  EXPECT_TRUE(testo.indexOf(QStringLiteral("BUONISTO")) < testo.indexOf(QStringLiteral("CARICHI")));
  f.reset();

  for (const char *t :
       {"BUONI", "BUONISTO", "CARICHI", "RICONCILIAZIONI", "CISTERNERICONC", "POMPERICONC"})
    EXPECT_EQ(righeMdb(file, t), 0) << t;
  for (const auto &[t, csv] : prima)
    EXPECT_EQ(vasktest::mdbExport(file, t), csv) << t;
  verificaIntegrita();
  // The copy holds the database as it was.
  auto c = copie();
  ASSERT_EQ(c.size(), 1u);
  EXPECT_TRUE(testo.contains(QString::fromStdString(c[0].filename().string())));
  EXPECT_EQ(vasktest::readFile(c[0]), originale);
}

TEST_F(PannelloAzzeraZelbo, SoloAnno) {
  apriPannello();
  p->ckAnno->click();
  p->txtAnno->setText(QStringLiteral("2005"));
  auto mostrati = esegui();
  ASSERT_EQ(mostrati.size(), 3u);
  EXPECT_TRUE(mostrati[2].testo.contains(QStringLiteral("Anno fiscale impostato: 2005")))
      << mostrati[2].testo.toStdString();
  f.reset();
  EXPECT_EQ(vasktest::mdbExport(file, "Voci"),
            "ID,Annofis,RagioneSociale,PartitaIva,UltimoNumeroFattura\n"
            "1,2005,\"Stazione di Servizio Dell'Orto S.n.c.\",\"01234567890\",412\n");
  EXPECT_EQ(righeMdb(file, "BUONI"), 1234);
  verificaIntegrita();
}

TEST_F(PannelloAzzeraZelbo, VociSenzaRighe) {
  {
    auto c = apri(file);
    ASSERT_TRUE(c->Execute("Delete * from Voci").isOk());
  }
  apriPannello();
  const int anno = QDate::currentDate().year();
  EXPECT_EQ(p->txtAnno->text(), QString::number(anno));
  EXPECT_EQ(p->AnnoFiscaleIniziale, anno);
}

TEST_F(PannelloAzzeraZelbo, TabellaAssenteSaltata) {
  {
    auto c = apri(file);
    jet::Status s = c->Execute("DROP TABLE CISTERNERICONC");
    ASSERT_TRUE(s.isOk()) << s.message();
  }
  apriPannello();
  p->ckAzzera[13]->click();
  auto mostrati = esegui();
  ASSERT_EQ(mostrati.size(), 3u);
  EXPECT_TRUE(mostrati[2].testo.contains(QStringLiteral("saltate: CISTERNERICONC")))
      << mostrati[2].testo.toStdString();
  f.reset();
  EXPECT_EQ(righeMdb(file, "CARICHI"), 0);
  EXPECT_EQ(righeMdb(file, "POMPERICONC"), 0);
  verificaIntegrita();
}

TEST_F(PannelloAzzeraZelbo, FallimentoInMezzoNienteCambia) {
  // SCARICHI's definition page is overwritten: BUONI is emptied first, then SCARICHI fails.
  uint32_t pagina = 0;
  {
    auto db = jet::Database::open(file);
    ASSERT_TRUE(db.isOk());
    const jet::CatalogEntry *e = (*db)->catalog().findTable("SCARICHI");
    ASSERT_NE(e, nullptr);
    pagina = e->tableDefPage();
  }
  {
    std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
    out.seekp(std::streamoff(pagina) * 4096);
    const std::string zeri(4096, '\0');
    out.write(zeri.data(), zeri.size());
  }
  const std::string danneggiato = vasktest::readFile(file);
  const std::string buoni = vasktest::mdbExport(file, "BUONI");
  apriPannello();
  p->ckAzzera[0]->click();
  p->ckAzzera[12]->click();
  p->ckAnno->click();
  p->txtAnno->setText(QStringLiteral("2030"));
  auto mostrati = esegui();
  ASSERT_EQ(mostrati.size(), 3u);
  EXPECT_EQ(mostrati[2].icona(), vbCritical);
  EXPECT_TRUE(mostrati[2].testo.contains(QStringLiteral("non è stato modificato")))
      << mostrati[2].testo.toStdString();
  EXPECT_FALSE(p->frAzzera->isVisibleTo(f.get()));
  EXPECT_TRUE(f->btnAzzera->isEnabled());
  f.reset();
  EXPECT_EQ(vasktest::mdbExport(file, "BUONI"), buoni);
  EXPECT_EQ(vasktest::readFile(file), danneggiato);
  auto c = copie();
  ASSERT_EQ(c.size(), 1u);
  EXPECT_TRUE(mostrati[2].testo.contains(QString::fromStdString(c[0].filename().string())));
  EXPECT_EQ(vasktest::readFile(c[0]), danneggiato);
}

} // namespace
