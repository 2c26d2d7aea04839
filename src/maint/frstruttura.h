#pragma once
// The table structure view frStruttura: the fields of the table chosen in the list, one
// fixed-pitch line each, until "Chiudi".
#include <QObject>
#include <QString>

class ContestoManutenzione;
class Forma;
class QFrame;
class QLabel;
class QPushButton;
class QTextEdit;

class PannelloStruttura : public QObject {
  Q_OBJECT
public:
  PannelloStruttura(QFrame *frStruttura, Forma *shStruttura, QLabel *lbStruttura,
                    ContestoManutenzione &contesto);

  QFrame *frStruttura;
  Forma *shStruttura;
  QLabel *lbStruttura;
  QTextEdit *rtStruttura;
  QPushButton *btnChiudiStru;

  // The list as built, lines ending CR LF (the text box shows it with plain line ends).
  const QString &Testo() const { return testo_; }

  // "Struttura": builds the list and shows the panel. A table that cannot be read throws
  // ErroreVask and the panel stays hidden.
  void btnVediStruttura_Click();
  void btnChiudiStru_Click();

private:
  ContestoManutenzione &contesto_;
  QString testo_;
};
