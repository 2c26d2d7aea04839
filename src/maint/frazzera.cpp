#include "maint/frazzera.h"

#include "app/comune/errori.h"
#include "app/comune/forma.h"
#include "app/comune/fungen.h"
#include "app/comune/messaggi.h"
#include "app/comune/tasti.h"
#include "app/comune/twips.h"
#include "data/connection.h"
#include "maint/azzeramento.h"
#include "maint/contesto.h"
#include "widgets/regional.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString kTitolo = QStringLiteral("Azzeramento delle tabelle");
const QString kTitoloPericolo = QStringLiteral("Operazione pericolosa");
constexpr int kStilePericolo = vbYesNo + vbCritical + vbDefaultButton2; // 276

// Designed places of ckAzzera, in twips: Left, Top, Width.
struct Posto {
  double left, top, width;
};
constexpr Posto kPosti[14] = {
    {330, 1185, 1935},  {330, 1507, 1935},  {330, 1829, 1935},  {330, 2151, 2610},
    {330, 2473, 1935},  {330, 2795, 1935},  {330, 3120, 1935},  {3570, 1215, 2715},
    {3570, 1535, 2700}, {3570, 1855, 2700}, {3570, 2175, 1935}, {3570, 2495, 1935},
    {3570, 2815, 2670}, {3570, 3135, 2670},
};

QPushButton *bottone(QWidget *genitore, const char *nome, const QString &testo,
                     const QString &suggerimento) {
  auto *b = new QPushButton(testo, genitore);
  b->setObjectName(QString::fromLatin1(nome));
  b->setAutoDefault(false);
  b->setToolTip(suggerimento);
  return b;
}

} // namespace

PannelloAzzera::PannelloAzzera(QFrame *fr, Forma *sh, QLabel *lb, ContestoManutenzione &contesto)
    : QObject(fr), frAzzera(fr), shAzzera(sh), lbAzzera(lb), contesto_(contesto) {
  ImpostaGeometria(frAzzera, 0, 0, 6450, 4365);
  lbAzzera->setObjectName(QStringLiteral("lbAzzera"));
  shAzzera->setObjectName(QStringLiteral("shAzzera"));

  lbNoteAzzera = new QLabel(frAzzera);
  lbNoteAzzera->setObjectName(QStringLiteral("lbNoteAzzera"));
  lbNoteAzzera->setTextFormat(Qt::PlainText);
  lbNoteAzzera->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  ImpostaGeometria(lbNoteAzzera, 90, 300, 6255, 795);

  const auto &gruppi = GruppiAzzera();
  for (int i = 0; i < int(gruppi.size()); ++i) {
    auto *ck = new QCheckBox(gruppi[i].didascalia, frAzzera);
    ck->setObjectName(QStringLiteral("ckAzzera%1").arg(i));
    ImpostaGeometria(ck, kPosti[i].left, kPosti[i].top, kPosti[i].width, 300);
    ckAzzera << ck;
  }

  ckAnno = new QCheckBox(QStringLiteral("Modifica l'anno Fiscale"), frAzzera);
  ckAnno->setObjectName(QStringLiteral("ckAnno"));
  ImpostaGeometria(ckAnno, 1455, 3585, 1980, 270);
  txtAnno = new QLineEdit(frAzzera);
  txtAnno->setObjectName(QStringLiteral("txtAnno"));
  ImpostaGeometria(txtAnno, 3450, 3585, 615, 285);
  txtAnno->installEventFilter(this);

  btnDacapoAzzera = bottone(frAzzera, "btnDacapoAzzera", QStringLiteral("Da capo"),
                            QStringLiteral("Svuota tutte le spunte"));
  ImpostaGeometria(btnDacapoAzzera, 2685, 3975, 1125, 315);
  btnEseguiAzzera = bottone(frAzzera, "btnEseguiAzzera", QStringLiteral("Esegui"),
                            QStringLiteral("Avvia lo svuotamento delle tabelle indicate"));
  ImpostaGeometria(btnEseguiAzzera, 3825, 3975, 1260, 315);
  btnChiudiAzzera = bottone(frAzzera, "btnChiudiAzzera", QStringLiteral("Abbandona"),
                            QStringLiteral("Abbandona l'operazione"));
  ImpostaGeometria(btnChiudiAzzera, 5115, 3975, 1260, 315);

  // Clicks, and changes made by the program, run the handler, as the check box's Click does.
  connect(ckAnno, &QCheckBox::toggled, this, [this] { Protetto([this] { ckAnno_Click(); }); });
  connect(btnDacapoAzzera, &QPushButton::clicked, this,
          [this] { Protetto([this] { btnDacapoAzzera_Click(); }); });
  connect(btnEseguiAzzera, &QPushButton::clicked, this,
          [this] { Protetto([this] { btnEseguiAzzera_Click(); }); });
  connect(btnChiudiAzzera, &QPushButton::clicked, this,
          [this] { Protetto([this] { btnChiudiAzzera_Click(); }); });
  frAzzera->hide();
}

void PannelloAzzera::btnAzzera_Click() {
  StileRiquadro(frAzzera, shAzzera, lbAzzera, kTitolo);
  CentraRiquadro(frAzzera, contesto_.Frame_main(), 0, 0);
  lbNoteAzzera->setText(
      QStringLiteral("Gli archivi di base e le tabelle di servizio non vengono azzerate. \n"
                     "CLIENTI, FORNITORI, PRODOTTI, SERVIZI e\n"
                     "IVA, CATEGORIE, PAGAMENTI, REPARTI restano inalterati.\n"
                     "Inserire invece la spunta sulle tabelle che si desidera azzerare..."));
  const int anno = LeggiAnnoFiscale(*contesto_.ConnessioneDb());
  txtAnno->setText(QString::number(anno));
  AnnoFiscaleIniziale = static_cast<qint16>(anno);
  txtAnno->setEnabled(false);
  btnDacapoAzzera_Click();
  frAzzera->show();
  frAzzera->raise();
  contesto_.AbilitaManutenzione(false);
  btnChiudiAzzera->setFocus();
}

void PannelloAzzera::btnDacapoAzzera_Click() {
  for (QCheckBox *ck : ckAzzera)
    ck->setChecked(false);
  ckAnno->setChecked(false);
}

void PannelloAzzera::chiudi() {
  frAzzera->hide();
  contesto_.AbilitaManutenzione(true);
}

void PannelloAzzera::btnChiudiAzzera_Click() {
  chiudi();
}

void PannelloAzzera::btnEseguiAzzera_Click() {
  RichiestaAzzera richiesta;
  if (ckAnno->isChecked()) {
    richiesta.anno = AnnoValido(txtAnno->text());
    if (!richiesta.anno) {
      // Nothing has been asked yet: the operator corrects the year and starts again.
      MsgBox(QStringLiteral("L'anno fiscale deve essere un numero intero da 1900 a 9999."),
             vbOKOnly + vbCritical, QStringLiteral("Errore di digitazione"));
      txtAnno->setFocus();
      txtAnno->selectAll();
      return;
    }
  }
  if (MsgBox(QStringLiteral("ATTENZIONE: Questa operazione sarà irreversibile!\r\n"
                            "Proseguire ugualmente?"),
             kStilePericolo, kTitoloPericolo) != vbYes ||
      MsgBox(QStringLiteral("Le tabelle selezionate saranno Svuotate definitivamente!\r\n"
                            "Proseguire ugualmente?"),
             kStilePericolo, kTitoloPericolo) != vbYes) {
    chiudi();
    return;
  }
  for (int i = 0; i < ckAzzera.size(); ++i)
    if (ckAzzera[i]->isChecked())
      richiesta.gruppi.push_back(i);

  // Whatever happens the panel closes and the two commands come back.
  chiudi();
  EsitoAzzera esito;
  try {
    std::shared_ptr<data::Connection> conn = contesto_.ConnessioneDb();
    BancaDatiConnessione db(*conn);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    struct Cursore {
      ~Cursore() { QApplication::restoreOverrideCursor(); }
    } cursore;
    esito = EseguiAzzeramento(db, contesto_.FileDatabase(), richiesta);
  } catch (const ErroreCopia &e) {
    MsgBox(e.Descrizione() + QStringLiteral("\r\n\r\nL'azzeramento non è stato eseguito: il "
                                            "database non è stato modificato."),
           vbOKOnly + vbCritical, kTitolo);
    return;
  } catch (const ErroreAzzeramento &e) {
    SegnalaErrore(e.Numero(),
                  e.Descrizione() +
                      QStringLiteral("\r\n\r\nL'azzeramento è stato annullato: il database non "
                                     "è stato modificato.\r\nCopia del database: %1")
                          .arg(QFileInfo(e.Copia()).fileName()));
    return;
  }
  MsgBox(TestoEsito(esito), vbOKOnly + vbInformation, kTitolo);
}

void PannelloAzzera::ckAnno_Click() {
  if (ckAnno->isChecked()) {
    txtAnno->setEnabled(true);
    txtAnno->setFocus();
  } else {
    txtAnno->setEnabled(false);
  }
}

void PannelloAzzera::txtAnno_KeyDown(int &KeyCode, int Shift) {
  if (KeyCode != vbKeyReturn)
    return;
  if (regional::parseNumber(txtAnno->text())) {
    btnChiudiAzzera->setFocus();
    return;
  }
  MsgBox(QStringLiteral("Inserire un valore numerico!"), vbOKOnly + vbCritical,
         QStringLiteral("Errore di digitazione"));
  txtAnno->setText(QString::number(AnnoFiscaleIniziale));
  txtAnno->setFocus();
  KeyCode = 0;
}

bool PannelloAzzera::eventFilter(QObject *o, QEvent *e) {
  if (o == txtAnno && e->type() == QEvent::KeyPress) {
    auto *k = static_cast<QKeyEvent *>(e);
    int codice = CodiceTasto(k);
    if (codice == vbKeyReturn) {
      Protetto([&] { txtAnno_KeyDown(codice, StatoMaiuscole(k->modifiers())); });
      if (codice == 0)
        return true;
    }
  }
  return QObject::eventFilter(o, e);
}
