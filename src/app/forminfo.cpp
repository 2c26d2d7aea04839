#include "app/forminfo.h"

#include "app/comune/twips.h"
#include "app/comune/versione.h"

#include <QLabel>
#include <QPushButton>

Form_info::Form_info(QWidget *genitore) : QDialog(genitore) {
  setObjectName(QStringLiteral("Form_info"));
  setWindowTitle(QStringLiteral("Informazioni sul programma"));
  setModal(true);

  Label2 =
      new QLabel(QStringLiteral("VASK di manutenzione del DataBase di Zelbo per Windows"), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  QFont grassetto = Label2->font();
  grassetto.setBold(true);
  Label2->setFont(grassetto);
  Label2->setAlignment(Qt::AlignCenter);
  Label_versione = new QLabel(QStringLiteral("Ver. 1.1.5"), this);
  Label_versione->setObjectName(QStringLiteral("Label_versione"));
  Label_versione->setAlignment(Qt::AlignCenter);
  Label1 = new QLabel(QStringLiteral("© 2026 Laboratorio Software Vask"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setAlignment(Qt::AlignCenter);
  btnChiudi = new QPushButton(QStringLiteral("&Chiudi"), this);
  btnChiudi->setObjectName(QStringLiteral("btnChiudi"));
  btnChiudi->setDefault(true);
  connect(btnChiudi, &QPushButton::clicked, this, &QDialog::accept);

  ImpostaGeometria(Label2, 120, 240, 5400, 285);
  ImpostaGeometria(Label_versione, 120, 645, 5400, 255);
  ImpostaGeometria(Label1, 120, 1020, 5400, 255);
  ImpostaGeometria(btnChiudi, 2205, 1500, 1230, 375);
  setFixedSize(TwipsInPixelX(5640), TwipsInPixelY(2100));

  Form_Load();
}

void Form_info::Form_Load() {
  Label_versione->setText(QStringLiteral("Ver. %1").arg(VersioneProgramma()));
}
