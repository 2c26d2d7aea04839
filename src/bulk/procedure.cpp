#include "bulk/procedure.h"

#include "app/comune/errori.h"
#include "app/comune/forma.h"
#include "app/comune/fungen.h"
#include "app/comune/messaggi.h"
#include "app/comune/tasti.h"
#include "app/comune/twips.h"
#include "bulk/condizioni.h"
#include "data/row_count.h"
#include "grid/griglia_dati.h"
#include "grid/testo_valore.h"
#include "widgets/ctextbox.h"

#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>

namespace bulk {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kOrigine = QStringLiteral("Motore database Jet");
const QString kMascheraData = QStringLiteral("##/##/####");

// The caption exactly as built (CR LF included); the label shows it with plain line ends.
QString didascalia(const QLabel *l) {
  QVariant v = l->property("Didascalia");
  return v.isValid() ? v.toString() : l->text();
}
void impostaDidascalia(QLabel *l, const QString &testo) {
  l->setProperty("Didascalia", testo);
  QString t = testo;
  t.replace(kCrLf, QStringLiteral("\n"));
  l->setText(t);
}
void aggiungiDidascalia(QLabel *l, const QString &testo) {
  impostaDidascalia(l, didascalia(l) + testo);
}

// A value as the summary shows it: on one line and, when long, cut with an ellipsis, so that the
// condition lines below it stay in view.
QString valoreRiepilogo(const QLabel *l, QString valore) {
  valore.replace(kCrLf, QStringLiteral(" "));
  valore.replace(u'\n', u' ');
  valore.replace(u'\r', u' ');
  return l->fontMetrics().elidedText(valore, Qt::ElideRight, l->width() / 2);
}

void mostra(QWidget *w, bool abilitato = true) {
  w->setEnabled(abilitato);
  w->show();
}
void nascondi(QWidget *w) {
  w->hide();
}

// The virtual-key code, with the comma, full-stop and keypad decimal keys the value step needs.
int codice(const QKeyEvent *k) {
  if (k->key() == Qt::Key_Comma)
    return 188;
  if (k->key() == Qt::Key_Period)
    return (k->modifiers() & Qt::KeypadModifier) ? 110 : 190;
  if (k->key() == Qt::Key_Minus)
    return 189;
  return CodiceTasto(k);
}

QString testoAttuale(const std::shared_ptr<data::Recordset> &rs, int campo) {
  if (!rs || campo < 0 || rs->isBOF() || rs->isEOF())
    return QString();
  auto v = rs->value(campo);
  if (!v || v->isNull())
    return QString();
  return QString::fromStdString(grid::testoValore(*v));
}

// No row, or a Null, gives Null: the typed box then starts empty (an empty value would read as
// 0 or as the day zero of dates).
CTVariant valoreAttuale(const std::shared_ptr<data::Recordset> &rs, int campo, int tipoBox) {
  if (!rs || campo < 0 || rs->isBOF() || rs->isEOF())
    return CTVariant::null();
  auto r = rs->value(campo);
  if (!r || r->isNull())
    return CTVariant::null();
  const jet::Value &v = *r;
  if (tipoBox == 7) {
    if (auto d = v.getIf<jet::DateTime>())
      return CTVariant(CTDate{d->days});
  }
  if (tipoBox == 3 || tipoBox == 5) {
    if (auto x = v.getIf<int16_t>())
      return CTVariant(int32_t(*x));
    if (auto x = v.getIf<int32_t>())
      return CTVariant(*x);
    if (auto x = v.getIf<float>())
      return CTVariant(double(*x));
    if (auto x = v.getIf<double>())
      return CTVariant(*x);
  }
  return CTVariant(QString::fromStdString(grid::testoValore(v)));
}

} // namespace

// --- The condition builder ----------------------------------------------------------------------

ProceduraCondizione::ProceduraCondizione(ControlliCondizione c, AmbienteBulk a)
    : c_(c), a_(std::move(a)) {
  larghezzaValore_ = Geometria(c_.txValore).Width;
  for (QListWidget *l : {c_.ListAmbito, c_.ListCampi, c_.ListOperatori, c_.ListConcatena}) {
    l->installEventFilter(this);
    QObject::connect(l, &QListWidget::itemDoubleClicked, this, [this, l](QListWidgetItem *voce) {
      Protetto([&] {
        // The item under the pointer is the one confirmed.
        l->setCurrentItem(voce);
        if (l == c_.ListAmbito) {
          // The Enter path runs once the double click has ended. The focus is given without the
          // list's reaction to receiving it, which would choose its first item again.
          focale_ = l;
          l->setFocus();
          InviaTasto(l, Qt::Key_Return, Qt::NoModifier, false);
        } else if (l == c_.ListCampi) {
          CampoInvio();
        } else if (l == c_.ListOperatori) {
          OperatoreInvio();
        } else if (l == c_.ListConcatena) {
          ConcatenaInvio();
        }
      });
    });
  }
  c_.txValore->installEventFilter(this);
}

ProceduraCondizione::~ProceduraCondizione() = default;

bool ProceduraCondizione::Aperto() const {
  return c_.fr && c_.fr->isVisibleTo(c_.fr->parentWidget());
}

bool ProceduraCondizione::eventFilter(QObject *o, QEvent *e) {
  if (e->type() != QEvent::KeyPress)
    return QObject::eventFilter(o, e);
  auto *k = static_cast<QKeyEvent *>(e);
  const int cod = codice(k);
  if (o == c_.ListAmbito)
    numerocondizioni = 0;
  if (o == c_.txValore && FiltroValore(k))
    return true;
  bool gestito = false;
  Protetto([&] {
    if (TastoProprio(o, cod)) {
      gestito = true;
      return;
    }
    if (cod == vbKeyEscape) {
      gestito = true;
      Abbandona();
      return;
    }
    if (cod != vbKeyReturn)
      return;
    gestito = true;
    if (o == c_.ListAmbito) {
      AmbitoInvio();
    } else if (o == c_.ListCampi) {
      c_.ListCampi->setEnabled(false);
      CampoInvio();
    } else if (o == c_.ListOperatori) {
      c_.ListOperatori->setEnabled(false);
      OperatoreInvio();
    } else if (o == c_.txValore) {
      ValoreInvio();
    } else if (o == c_.ListConcatena) {
      ConcatenaInvio();
    } else {
      gestito = false;
    }
  });
  return gestito || QObject::eventFilter(o, e);
}

bool ProceduraCondizione::FiltroValore(QKeyEvent *k) {
  // Yes/no is given in words, as the grid shows it.
  if (tipoScelto_ == 203 || tipoScelto_ == 202 || tipoScelto_ == 130 || tipoScelto_ == 11)
    return false;
  const int cod = codice(k);
  if ((cod >= 48 && cod <= 57) || (cod >= 96 && cod <= 105) || cod == 110 || cod == 188 ||
      cod == 190 || cod == vbKeyReturn || cod == vbKeyEscape)
    return false;
  // A signed number takes a minus.
  if ((cod == 189 || cod == 109) && tipoScelto_ != 17 && tipoScelto_ != 7)
    return false;
  // Select all, copy, cut, paste, undo.
  if (k->modifiers() & Qt::ControlModifier)
    return false;
  // The editing and caret keys stay usable, so that a prefilled value can be corrected.
  switch (cod) {
  case vbKeyBack:
  case vbKeyDelete:
  case vbKeyHome:
  case vbKeyEnd:
  case vbKeyLeft:
  case vbKeyRight:
  case 16: // Shift, for selecting with the caret keys
    return false;
  }
  return true;
}

void ProceduraCondizione::PrimoCampoDidascalia(const QString &campo) {
  if (didascalia(c_.txCondiz).trimmed() == DidascaliaIniziale())
    aggiungiDidascalia(c_.txCondiz, kCrLf + campo + QStringLiteral("  "));
  else
    aggiungiDidascalia(c_.txCondiz, campo + QStringLiteral("  "));
}

void ProceduraCondizione::PreparaRiquadro(const QString &titolo) {
  const Twips concatena = Geometria(c_.ListConcatena);
  const Twips riepilogo = Geometria(c_.txCondiz);
  Twips r = Geometria(c_.fr);
  r.Width = concatena.Left + concatena.Width + 120;
  r.Height = riepilogo.Top + riepilogo.Height + 120;
  ImpostaGeometria(c_.fr, r);
  if (a_.Frame_main)
    CentraRiquadro(c_.fr, a_.Frame_main, 0, 0);
  StileRiquadro(c_.fr, c_.sh, c_.lbTitolo, titolo);
  r = Geometria(c_.fr);
  Twips ambito = Geometria(c_.ListAmbito);
  ambito.Left = (r.Width - ambito.Width) / 2;
  ImpostaGeometria(c_.ListAmbito, ambito);
  Twips mess = Geometria(c_.lbMess);
  mess.Top = ambito.Top;
  mess.Left = ambito.Left + ambito.Width + 120;
  ImpostaGeometria(c_.lbMess, mess);
  for (QWidget *w : {static_cast<QWidget *>(c_.ListCampi), static_cast<QWidget *>(c_.ListOperatori),
                     static_cast<QWidget *>(c_.ListConcatena), static_cast<QWidget *>(c_.txValore)})
    nascondi(w);
  numerocondizioni = 0;
  strSql.clear();
  congiunzione_ = QStringLiteral(" AND ");
  tipoScelto_ = 0;
  impostaDidascalia(c_.txCondiz, DidascaliaIniziale());
}

void ProceduraCondizione::Focalizza(QWidget *w) {
  focale_ = w;
  w->setFocus();
  // What each control does on receiving the focus.
  if (w == c_.ListAmbito) {
    if (c_.ListAmbito->count())
      c_.ListAmbito->setCurrentRow(0); // {UP 2}
  } else if (w == c_.ListCampi) {
    if (c_.ListCampi->count())
      c_.ListCampi->setCurrentRow(std::max(0, c_.ListCampi->currentRow() - 1)); // {UP}
  } else if (w == c_.txValore) {
    c_.txValore->selectAll();
  }
}

void ProceduraCondizione::FocusGriglia() {
  grid::GrigliaDati *g = a_.Griglia ? a_.Griglia() : nullptr;
  if (g) {
    g->setFocus();
    focale_ = g;
  } else {
    focale_ = nullptr;
  }
}

void ProceduraCondizione::Abbandona() {
  if (a_.Frame_main)
    a_.Frame_main->setEnabled(true);
  c_.fr->hide();
  if (a_.AbilitaComandi)
    a_.AbilitaComandi(true);
  FocusGriglia();
}

void ProceduraCondizione::RidaiFuoco() {
  if (a_.Frame_main)
    a_.Frame_main->setEnabled(true);
  FocusGriglia();
}

std::shared_ptr<data::Recordset> ProceduraCondizione::Recordset() const {
  grid::GrigliaDati *g = a_.Griglia ? a_.Griglia() : nullptr;
  return g ? g->RecordsetGriglia() : nullptr;
}

void ProceduraCondizione::RiempiCampi(QListWidget *lista) {
  lista->clear();
  if (auto rs = Recordset())
    for (const data::Field &f : rs->fields())
      lista->addItem(QString::fromStdString(f.name));
}

void ProceduraCondizione::CampoInvio() {
  auto rs = Recordset();
  const int i = c_.ListCampi->currentRow();
  if (!rs || i < 0 || i >= rs->fieldCount()) {
    c_.ListCampi->setEnabled(true);
    return;
  }
  const data::Field &f = rs->fields()[size_t(i)];
  c_.txValore->setInputMask(QString());
  Twips t = Geometria(c_.txValore);
  t.Width = larghezzaValore_;
  campoScelto_ = i;
  campoCondizione_ = f;
  tipoScelto_ = f.type;
  tipocampo = FieldType(int16_t(f.type));
  QString testo = testoAttuale(rs, i);
  if (f.type == 7) {
    t.Width = 1200;
    c_.txValore->setInputMask(QStringLiteral("99/99/9999;_"));
    // A date with a time of day does not fit the mask: the box starts empty.
    static const QRegularExpression forma(QStringLiteral("^\\d\\d/\\d\\d/\\d\\d\\d\\d$"));
    if (!forma.match(testo).hasMatch())
      testo.clear();
  }
  ImpostaGeometria(c_.txValore, t);
  c_.txValore->setText(testo);
  const QString nome = QString::fromStdString(f.name);
  PrimoCampoDidascalia(nome);
  if (numerocondizioni == 0)
    inizioCondizioni_ = int(didascalia(c_.txCondiz).size() - nome.size() - 2);
  mostra(c_.ListOperatori);
  Focalizza(c_.ListOperatori);
  c_.ListOperatori->setCurrentRow(0); // {HOME}
}

void ProceduraCondizione::OperatoreInvio() {
  QListWidgetItem *voce = c_.ListOperatori->currentItem();
  if (!voce) {
    c_.ListOperatori->setEnabled(true);
    return;
  }
  aggiungiDidascalia(c_.txCondiz, voce->text() + QStringLiteral("  "));
  c_.ListOperatori->setEnabled(false);
  valoreSql_.clear();
  if (c_.ListOperatori->currentRow() < 6) {
    // The box keeps its value selected, so that typing replaces it.
    mostra(c_.txValore);
    Focalizza(c_.txValore);
  } else {
    PreparaConcatena();
    mostra(c_.ListConcatena);
    Focalizza(c_.ListConcatena);
    c_.ListConcatena->setCurrentRow(0);
  }
  operatore = OperatoreSql(voce->text());
}

void ProceduraCondizione::ValoreInvio() {
  auto valore = ValoreCondizione(campoCondizione_, c_.txValore->text());
  if (!valore) {
    // Bad input: said in Italian, and the box stays for a correction.
    MsgBox(QString::fromStdString(valore.status().message()), vbOKOnly + vbExclamation,
           TitoloAvvisi());
    Focalizza(c_.txValore);
    return;
  }
  valoreSql_ = *valore;
  c_.txValore->setEnabled(false);
  aggiungiDidascalia(c_.txCondiz, valoreRiepilogo(c_.txCondiz, c_.txValore->text()));
  PreparaConcatena();
  mostra(c_.ListConcatena);
  Focalizza(c_.ListConcatena);
  c_.ListConcatena->setCurrentRow(0);
}

void ProceduraCondizione::PreparaConcatena() {
  c_.ListConcatena->clear();
  if (numerocondizioni > 3)
    c_.ListConcatena->addItem(kOk);
  else
    c_.ListConcatena->addItems({kOk, kE, kO});
}

void ProceduraCondizione::ConcatenaInvio() {
  QListWidgetItem *voce = c_.ListConcatena->currentItem();
  if (!voce)
    return;
  numerocondizioni++;
  const QString congiunzione = numerocondizioni > 1 ? congiunzione_ : QString();
  const QString campo =
      c_.ListCampi->item(campoScelto_) ? c_.ListCampi->item(campoScelto_)->text() : QString();
  strSql += TestoCondizione(congiunzione, campo, operatore, valoreSql_);
  if (c_.ListConcatena->currentRow() != 0) {
    const QString nuova = voce->text() == kO ? QStringLiteral(" OR ") : QStringLiteral(" AND ");
    // Each new condition joins everything before it: where the join changes, what came before
    // is closed in parentheses, in the statement and in the summary alike.
    if (numerocondizioni > 1 && nuova != congiunzione_) {
      strSql = u'(' + strSql + u')';
      QString d = didascalia(c_.txCondiz);
      d.insert(inizioCondizioni_, u'(');
      impostaDidascalia(c_.txCondiz, d + u')');
    }
    aggiungiDidascalia(c_.txCondiz, u' ' + voce->text() + kCrLf);
    congiunzione_ = nuova;
    nascondi(c_.ListConcatena);
    nascondi(c_.txValore);
    nascondi(c_.ListOperatori);
    mostra(c_.ListCampi);
    Focalizza(c_.ListCampi);
    c_.ListCampi->setCurrentRow(0); // {HOME}
  } else {
    nascondi(c_.ListCampi);
    nascondi(c_.ListOperatori);
    nascondi(c_.ListConcatena);
    nascondi(c_.txValore);
    Conferma();
  }
}

jet::Status ProceduraCondizione::EseguiInTransazione(const QString &sql,
                                                     const std::function<jet::Status()> &dopo) {
  std::shared_ptr<data::Connection> conn = a_.Connessione ? a_.Connessione() : nullptr;
  if (!conn || !conn->isOpen())
    return {jet::ErrorCode::Closed, "Nessun database aperto: operazione non eseguita."};
  JET_TRY(conn->BeginTrans());
  jet::Status st = conn->Execute(sql.toStdString(), nullptr, -1);
  if (st.isOk() && dopo)
    st = dopo();
  if (st.isOk())
    st = conn->CommitTrans();
  if (!st.isOk() && conn->inTransaction())
    conn->RollbackTrans();
  return st;
}

void ProceduraCondizione::MostraErrore(const jet::Status &st) {
  if (st.number() == 0)
    return;
  MsgBox(QStringLiteral("Errore ") + QString::number(st.number()) +
             QStringLiteral(" generato da ") + kOrigine + u'\r' +
             QString::fromStdString(st.message()),
         vbOKOnly, QStringLiteral("Errore"));
}

void ProceduraCondizione::Ricarica() {
  if (!a_.CaricaGriglia)
    return;
  try {
    a_.CaricaGriglia(Tabella(), QString());
  } catch (const ErroreVask &e) {
    MostraErrore({jet::ErrorCode(e.Numero()), e.Descrizione().toStdString()});
  }
}

// --- Bulk delete --------------------------------------------------------------------------------

void ProceduraCancellazione::ProceduraCancella() {
  if (a_.AbilitaComandi)
    a_.AbilitaComandi(false);
  RiempiCampi(c_.ListCampi);
  PreparaRiquadro(QStringLiteral("Cancellazione dei records"));
  Twips r = Geometria(c_.txCondiz);
  r.Left = Geometria(c_.ListCampi).Left;
  r.Width = Geometria(c_.fr).Width - 240;
  ImpostaGeometria(c_.txCondiz, r);
  c_.ListCampi->setEnabled(false);
  c_.txValore->clear();
  c_.fr->raise();
  c_.fr->show();
  mostra(c_.ListAmbito);
  Focalizza(c_.ListAmbito);
}

void ProceduraCancellazione::AmbitoInvio() {
  c_.ListAmbito->setEnabled(false);
  QListWidgetItem *voce = c_.ListAmbito->currentItem();
  const QString scelta = voce ? voce->text().trimmed() : QString();
  if (scelta == kTutti) {
    const QString testo = QStringLiteral("Attenzione ! ") + kCrLf +
                          QStringLiteral("Con questa operazione tutti i record della tabella  ") +
                          Tabella().toUpper() + QStringLiteral("  saranno cancellati.") + kCrLf +
                          QStringLiteral("Proseguire ugualmente ?");
    if (MsgBox(testo, vbYesNo + vbExclamation + vbDefaultButton2,
               QStringLiteral("Azzeramento tabella")) == vbYes) {
      EseguiCancellazione(QString());
      RidaiFuoco();
    } else {
      Abbandona();
    }
  } else if (scelta == kSelezione) {
    mostra(c_.ListCampi);
    Focalizza(c_.ListCampi);
  } else {
    c_.ListAmbito->setEnabled(true);
  }
}

void ProceduraCancellazione::Conferma() {
  if (MsgBox(QStringLiteral("Confermi la cancellazione ?"),
             vbOKCancel + vbCritical + vbDefaultButton2,
             QStringLiteral("Cancellazione Dati")) == vbOK) {
    EseguiCancellazione(strSql);
    RidaiFuoco();
  } else {
    Abbandona();
  }
}

long ProceduraCancellazione::ContaRighe() {
  std::shared_ptr<data::Connection> conn = a_.Connessione ? a_.Connessione() : nullptr;
  if (!conn || !conn->isOpen())
    return -1;
  // Counted without reading the rows' values, as "select * from TemporaneaVask" would count them.
  auto n = data::ContaRighe(*conn, "TemporaneaVask");
  return n ? *n : -1;
}

void ProceduraCancellazione::EseguiCancellazione(const QString &condizione) {
  NumeroRecordPrima = qint32(ContaRighe());
  grid::GrigliaDati *g = a_.Griglia ? a_.Griglia() : nullptr;
  if (g && g->EditInCorso())
    g->setEditInCorso(false);
  const QString sql = condizione.isEmpty()
                          ? QStringLiteral("Delete * from TemporaneaVask")
                          : QStringLiteral("Delete * from TemporaneaVask where ") + condizione;
  long dopo = -1;
  jet::Status st = EseguiInTransazione(sql, [&]() -> jet::Status {
    dopo = ContaRighe();
    if (a_.Stato)
      a_.Stato->TabellaVuota = dopo < 1;
    return {};
  });
  // A rejected statement changed nothing: it is reported and the dialog closes as after a
  // deletion.
  if (!st.isOk()) {
    MostraErrore(st);
    dopo = ContaRighe();
    if (a_.Stato)
      a_.Stato->TabellaVuota = dopo < 1;
  }
  c_.fr->hide();
  Ricarica();
  if (a_.Stato) {
    auto rs = Recordset();
    a_.Stato->GrigliaVuota = !rs || rs->RecordCount() < 1;
  }
  if (a_.AbilitaComandi)
    a_.AbilitaComandi(true);
  if (st.isOk())
    MsgBox(QStringLiteral("Sono stati cancellati ") + QString::number(NumeroRecordPrima - dopo) +
               QStringLiteral(" record."),
           vbOKOnly + vbInformation, QStringLiteral("Cancellazione"));
}

// --- Bulk modify --------------------------------------------------------------------------------

ProceduraModifica::ProceduraModifica(ControlliModifica m, AmbienteBulk a)
    : ProceduraCondizione(m.c, std::move(a)), m_(m) {
  m_.List5_Mod->installEventFilter(this);
  m_.txValoreMod->installEventFilter(this);
  QObject::connect(m_.List5_Mod, &QListWidget::itemDoubleClicked, this,
                   [this](QListWidgetItem *voce) {
                     Protetto([&] {
                       m_.List5_Mod->setCurrentItem(voce);
                       DestinazioneInvio();
                     });
                   });
}

ProceduraModifica::~ProceduraModifica() = default;

void ProceduraModifica::btnModifica_Click() {
  RiempiCampi(m_.List5_Mod);
  numerocondizioni = 0;
  if (a_.AbilitaComandi)
    a_.AbilitaComandi(false);
  PreparaRiquadro(QStringLiteral("Modificare il contenuto a ..."));
  for (QWidget *w :
       {static_cast<QWidget *>(c_.ListCampi), static_cast<QWidget *>(c_.ListOperatori),
        static_cast<QWidget *>(c_.ListConcatena), static_cast<QWidget *>(m_.List5_Mod)}) {
    w->setEnabled(false);
    w->hide();
  }
  for (QWidget *w : {static_cast<QWidget *>(m_.lbAChi), static_cast<QWidget *>(m_.lbCon1),
                     static_cast<QWidget *>(m_.lbcon2), static_cast<QWidget *>(m_.txValoreMod),
                     static_cast<QWidget *>(c_.txValore)})
    w->hide();
  impostaDidascalia(c_.txCondiz, DidascaliaIniziale());
  strSql.clear();
  strSqlmod.clear();
  destinazione_ = -1;
  c_.fr->raise();
  c_.fr->show();
  mostra(c_.ListAmbito);
  Focalizza(c_.ListAmbito);
}

void ProceduraModifica::AmbitoInvio() {
  QListWidgetItem *voce = c_.ListAmbito->currentItem();
  ModificaSelezione = !(voce && voce->text() == kTutti);
  c_.ListAmbito->setEnabled(false);
  m_.lbCon1->show();
  mostra(m_.List5_Mod);
  focale_ = m_.List5_Mod;
  m_.List5_Mod->setFocus();
  if (m_.List5_Mod->count())
    m_.List5_Mod->setCurrentRow(0); // {UP 2}
}

bool ProceduraModifica::TastoProprio(QObject *o, int cod) {
  if (o != m_.List5_Mod && o != m_.txValoreMod)
    return false;
  if (cod == vbKeyEscape) {
    Abbandona();
    return true;
  }
  if (cod != vbKeyReturn)
    return false;
  if (o == m_.List5_Mod)
    DestinazioneInvio();
  else
    NuovoValoreInvio();
  return true;
}

bool ProceduraModifica::DoppioClicProprio(QObject *o) {
  return false;
}

void ProceduraModifica::DestinazioneInvio() {
  auto rs = Recordset();
  const int i = m_.List5_Mod->currentRow();
  if (!rs || i < 0 || i >= rs->fieldCount())
    return;
  destinazione_ = i;
  const data::Field &f = rs->fields()[size_t(i)];
  m_.lbcon2->show();
  impostaDidascalia(c_.txCondiz, QStringLiteral("Modifica il contenuto del campo ") +
                                     QString::fromStdString(f.name));
  if (!tb_) {
    tb_ = std::make_unique<CTextBox>();
    // A date typed wrong is cut back by the box; the operator is told why once the key that
    // caused it has been handled in full.
    QObject::connect(
        tb_.get(), &CTextBox::ErrDigitazione, this,
        [this](const QString &mess) {
          Protetto([&] { MsgBox(mess, vbOKOnly + vbExclamation, TitoloAvvisi()); });
        },
        Qt::QueuedConnection);
  }
  // A type the table of types does not name gets a plain text box.
  int tipo = 8;
  QString maschera;
  switch (f.type) {
  case 7:
    tipo = 7;
    maschera = kMascheraData;
    break;
  case 3:
  case 2:
    tipo = 3;
    maschera = QStringLiteral("############0");
    break;
  case 5:
  case 4:
    tipo = 5;
    maschera = QStringLiteral("#########0.000");
    break;
  }
  tb_->AutoHighlight = false;
  tb_->ValidationMask.clear();
  m_.txValoreMod->clear();
  tb_->Init(m_.txValoreMod, tipo);
  tb_->ValidationMask = maschera;
  // A text no longer than its field; a memo whole.
  tb_->setLunghezza(f.type == 202 || f.type == 130
                        ? int16_t(std::min<int64_t>(f.definedSize, 32767))
                        : int16_t(0));
  tb_->setValue(valoreAttuale(rs, i, tipo));
  tb_->AutoHighlight = true;
  mostra(m_.txValoreMod);
  focale_ = m_.txValoreMod;
  m_.txValoreMod->setFocus();
  m_.txValoreMod->selectAll();
}

void ProceduraModifica::NuovoValoreInvio() {
  auto rs = Recordset();
  if (!rs || destinazione_ < 0 || destinazione_ >= rs->fieldCount() || !tb_)
    return;
  const data::Field &f = rs->fields()[size_t(destinazione_)];
  m_.txValoreMod->setEnabled(false);
  const QString mostrato = m_.txValoreMod->text();
  auto letterale = LetteraleModifica(f, mostrato);
  if (!letterale) {
    // Bad input: said in Italian, and the box stays open for a correction.
    MsgBox(QString::fromStdString(letterale.status().message()), vbOKOnly + vbExclamation,
           TitoloAvvisi());
    m_.txValoreMod->setEnabled(true);
    focale_ = m_.txValoreMod;
    m_.txValoreMod->setFocus();
    return;
  }
  strSqlmod = QStringLiteral("UPDATE [TemporaneaVask] SET ") +
              NomeSql(QString::fromStdString(f.name)) + QStringLiteral(" = ") + *letterale;
  if (ModificaSelezione) {
    m_.List5_Mod->setEnabled(false);
    aggiungiDidascalia(c_.txCondiz, QStringLiteral(" con ") +
                                        valoreRiepilogo(c_.txCondiz, mostrato) +
                                        QStringLiteral(" ..."));
    RiempiCampi(c_.ListCampi);
    mostra(c_.ListCampi);
    m_.lbAChi->show();
    Focalizza(c_.ListCampi);
    return;
  }
  aggiungiDidascalia(c_.txCondiz, QStringLiteral(" con ") + valoreRiepilogo(c_.txCondiz, mostrato) +
                                      QStringLiteral(" ...") + kCrLf +
                                      QStringLiteral("... a tutti i records"));
  if (MsgBox(QStringLiteral("Confermi la modifica ?"), vbYesNo + vbCritical + vbDefaultButton2,
             QStringLiteral("Attenzione")) == vbYes) {
    EseguiModifica(strSqlmod, strSql);
  } else {
    Abbandona();
  }
}

void ProceduraModifica::PrimoCampoDidascalia(const QString &campo) {
  const QString d = didascalia(c_.txCondiz);
  if (d.endsWith(QStringLiteral("...")))
    impostaDidascalia(c_.txCondiz, d.left(d.size() - 3) + QStringLiteral(" a chi ha ") + kCrLf +
                                       campo + QStringLiteral("  "));
  else
    impostaDidascalia(c_.txCondiz, d + campo + QStringLiteral("  "));
}

void ProceduraModifica::Conferma() {
  if (MsgBox(QStringLiteral("Confermi la modifica ?"), vbOKCancel + vbCritical + vbDefaultButton2,
             QStringLiteral("Modifica dei dati")) == vbOK) {
    EseguiModifica(strSqlmod, strSql);
    RidaiFuoco();
  } else {
    Abbandona();
  }
}

void ProceduraModifica::EseguiModifica(const QString &istruzione, const QString &condizione) {
  grid::GrigliaDati *g = a_.Griglia ? a_.Griglia() : nullptr;
  if (g && g->EditInCorso())
    g->setEditInCorso(false);
  const QString sql =
      condizione.isEmpty() ? istruzione : istruzione + QStringLiteral(" where ") + condizione;
  jet::Status st = EseguiInTransazione(sql, nullptr);
  if (!st.isOk())
    MostraErrore(st);
  c_.fr->hide();
  Ricarica();
  if (a_.AbilitaComandi)
    a_.AbilitaComandi(true);
  FocusGriglia();
}

} // namespace bulk
