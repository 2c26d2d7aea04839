// The controls of the two bulk frames at their designed places (twips).
#include "app/comune/twips.h"
#include "bulk/condizioni.h"
#include "bulk/procedure.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStyle>
#include <algorithm>
#include <limits>

namespace bulk {

namespace {

QListWidget *lista(QFrame *fr, const char *nome, double l, double t, double w, double h) {
  auto *x = new QListWidget(fr);
  x->setObjectName(QString::fromLatin1(nome));
  // As designed, the lists scroll only up and down (a horizontal bar would hide a row of the
  // short lists) and a text wider than the list is cut, not shortened with an ellipsis.
  x->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  x->setTextElideMode(Qt::ElideNone);
  ImpostaGeometria(x, l, t, w, h);
  return x;
}

QLabel *etichetta(QFrame *fr, const char *nome, const QString &testo, double l, double t, double w,
                  double h) {
  auto *x = new QLabel(testo, fr);
  x->setObjectName(QString::fromLatin1(nome));
  x->setTextFormat(Qt::PlainText);
  ImpostaGeometria(x, l, t, w, h);
  return x;
}

QLineEdit *casella(QFrame *fr, const char *nome, double l, double t, double w, double h) {
  auto *x = new QLineEdit(fr);
  x->setObjectName(QString::fromLatin1(nome));
  // A value is held whole, a memo too; the dialogs limit what a field cannot hold.
  x->setMaxLength(std::numeric_limits<int>::max());
  ImpostaGeometria(x, l, t, w, h);
  return x;
}

const QString kSuggerimento = QStringLiteral("Frecce = scelta Invio = conferma Esc = rinuncia");

// The frames were designed in the platform's 8-point dialog font.
void carattere(QFrame *fr) {
  QFont f(QStringLiteral("MS Sans Serif"));
  f.setPointSize(8);
  fr->setFont(f);
}

void suggerimento(QLabel *l) {
  l->setWordWrap(true);
  l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

// Every operator is read whole: the list widens as far as its longest label needs, and the value
// box beside it gives up that room.
void operatoriInteri(QListWidget *op, QLineEdit *valore) {
  int testo = 0;
  for (const QString &e : EtichetteOperatori())
    testo = std::max(testo, op->fontMetrics().horizontalAdvance(e));
  const int serve =
      testo + 2 * op->frameWidth() + 12 + op->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  const int manca = serve - op->width();
  if (manca <= 0)
    return;
  op->resize(serve, op->height());
  QRect v = valore->geometry();
  v.setLeft(v.left() + manca);
  valore->setGeometry(v);
}

void riepilogo(QLabel *l) {
  l->setWordWrap(true);
  l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

} // namespace

ControlliCondizione CreaControlliCancella(QFrame *fr, Forma *sh, QLabel *titolo) {
  ControlliCondizione c;
  carattere(fr);
  c.fr = fr;
  c.sh = sh;
  c.lbTitolo = titolo;
  c.ListAmbito = lista(fr, "List1_cancella", 2985, 240, 1575, 450);
  c.lbMess = etichetta(fr, "lbMess", kSuggerimento, 4815, 180, 1380, 630);
  suggerimento(c.lbMess);
  c.ListCampi = lista(fr, "List2_cancella", 120, 915, 2220, 840);
  c.ListOperatori = lista(fr, "List3_cancella", 2370, 915, 2415, 1035);
  c.txValore = casella(fr, "tx_valoredacancellare", 4830, 915, 2745, 255);
  operatoriInteri(c.ListOperatori, c.txValore);
  c.ListConcatena = lista(fr, "list4_cancella", 7620, 900, 615, 645);
  c.txCondiz = etichetta(fr, "tx_condizcancella", QStringLiteral("Cancellare chi ha:"), 120, 2085,
                         7935, 1575);
  riepilogo(c.txCondiz);
  return c;
}

ControlliModifica CreaControlliModifica(QFrame *fr, Forma *sh, QLabel *titolo) {
  ControlliModifica m;
  ControlliCondizione &c = m.c;
  carattere(fr);
  c.fr = fr;
  c.sh = sh;
  c.lbTitolo = titolo;
  c.ListAmbito = lista(fr, "List1_Mod", 3150, 315, 1605, 450);
  c.lbMess = etichetta(fr, "lbMessMod", kSuggerimento, 4980, 300, 1380, 630);
  suggerimento(c.lbMess);
  m.lbCon1 = etichetta(fr, "lbCon1", QStringLiteral("MODIFICA"), 135, 1020, 855, 240);
  m.List5_Mod = lista(fr, "List5_Mod", 1010, 1020, 2115, 840);
  m.lbcon2 = etichetta(fr, "lbcon2", QStringLiteral("CON"), 3135, 1020, 435, 240);
  m.txValoreMod = casella(fr, "txValoreMod", 3555, 990, 3165, 315);
  m.Line1 = new QFrame(fr);
  m.Line1->setObjectName(QStringLiteral("Line1"));
  m.Line1->setFrameShape(QFrame::HLine);
  m.Line1->setFrameShadow(QFrame::Plain);
  ImpostaGeometria(m.Line1, 135, 2115 - 7, 8325 - 135, 15);
  m.lbAChi = etichetta(fr, "lbAChi", QStringLiteral("A CHI HA"), 120, 2190, 795, 240);
  c.ListCampi = lista(fr, "List2_Mod", 870, 2205, 2010, 840);
  c.ListOperatori = lista(fr, "List3_Mod", 2895, 2205, 2160, 1035);
  c.txValore = casella(fr, "tx_valoredaMod", 5085, 2205, 2430, 255);
  operatoriInteri(c.ListOperatori, c.txValore);
  c.ListConcatena = lista(fr, "List4_Mod", 7605, 2205, 705, 645);
  c.txCondiz =
      etichetta(fr, "tx_condizMod", QStringLiteral("Modificare ..."), 90, 3285, 8250, 1200);
  riepilogo(c.txCondiz);
  return m;
}

void RiempiListeFisse(const ControlliCondizione &c) {
  c.ListAmbito->clear();
  c.ListAmbito->addItems({kTutti, kSelezione});
  c.ListOperatori->clear();
  c.ListOperatori->addItems(EtichetteOperatori());
  c.ListConcatena->clear();
  c.ListConcatena->addItems({kOk, kE, kO});
}

} // namespace bulk
