#include "maint/frstruttura.h"

#include "app/comune/errori.h"
#include "app/comune/forma.h"
#include "app/comune/fungen.h"
#include "app/comune/twips.h"
#include "maint/contesto.h"
#include "maint/struttura.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTextDocument>
#include <QTextEdit>

PannelloStruttura::PannelloStruttura(QFrame *fr, Forma *sh, QLabel *lb,
                                     ContestoManutenzione &contesto)
    : QObject(fr), frStruttura(fr), shStruttura(sh), lbStruttura(lb), contesto_(contesto) {
  ImpostaGeometria(frStruttura, 0, 0, 5640, 2430);
  lbStruttura->setObjectName(QStringLiteral("lbStruttura"));
  shStruttura->setObjectName(QStringLiteral("shStruttura"));

  rtStruttura = new QTextEdit(frStruttura);
  rtStruttura->setObjectName(QStringLiteral("rtStruttura"));
  rtStruttura->setAcceptRichText(false);
  rtStruttura->setReadOnly(true);
  // Lines are not wrapped, so the columns stay aligned however narrow the box.
  rtStruttura->setLineWrapMode(QTextEdit::NoWrap);
  rtStruttura->document()->setDocumentMargin(2);
  QFont f(QStringLiteral("Courier New"));
  f.setStyleHint(QFont::TypeWriter);
  f.setPointSizeF(8.25);
  f.setWeight(QFont::Normal);
  rtStruttura->setFont(f);
  ImpostaGeometria(rtStruttura, 30, 300, 5535, 1710);

  btnChiudiStru = new QPushButton(QStringLiteral("Chiudi"), frStruttura);
  btnChiudiStru->setObjectName(QStringLiteral("btnChiudiStru"));
  btnChiudiStru->setAutoDefault(false);
  ImpostaGeometria(btnChiudiStru, 2130, 2070, 1245, 300);
  connect(btnChiudiStru, &QPushButton::clicked, this,
          [this] { Protetto([this] { btnChiudiStru_Click(); }); });
  frStruttura->hide();
}

void PannelloStruttura::btnVediStruttura_Click() {
  const QString tabella = contesto_.TabellaCorrente();
  StileRiquadro(frStruttura, shStruttura, lbStruttura, QStringLiteral("Struttura di ") + tabella);
  CentraRiquadro(frStruttura, contesto_.Frame_main(), 0, 0);
  testo_ = LeggiStruttura(contesto_.FileDatabase(), tabella);
  QString mostrato = testo_;
  mostrato.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  rtStruttura->setPlainText(mostrato);
  frStruttura->show();
  frStruttura->raise();
  contesto_.AbilitaManutenzione(false);
}

void PannelloStruttura::btnChiudiStru_Click() {
  frStruttura->hide();
  contesto_.AbilitaManutenzione(true);
}
