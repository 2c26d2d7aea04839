#pragma once
// The year-end reset panel frAzzera: fourteen groups of tables to empty, the fiscal year, and
// "Esegui" after two confirmations. The frame, its border shape and title label are the main
// window's; the panel puts its controls in the frame.
#include <QList>
#include <QObject>

class ContestoManutenzione;
class Forma;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

class PannelloAzzera : public QObject {
  Q_OBJECT
public:
  PannelloAzzera(QFrame *frAzzera, Forma *shAzzera, QLabel *lbAzzera,
                 ContestoManutenzione &contesto);

  QFrame *frAzzera;
  Forma *shAzzera;
  QLabel *lbAzzera;
  QLabel *lbNoteAzzera;
  QList<QCheckBox *> ckAzzera; // index 0 to 13
  QCheckBox *ckAnno;
  QLineEdit *txtAnno;
  QPushButton *btnDacapoAzzera, *btnEseguiAzzera, *btnChiudiAzzera;

  // The fiscal year put into txtAnno when the panel opened.
  qint16 AnnoFiscaleIniziale = 0;

  // "Azzera": prepares and shows the panel. A failure (Voci unreadable) throws ErroreVask and
  // the panel stays hidden.
  void btnAzzera_Click();
  void btnDacapoAzzera_Click();
  void btnEseguiAzzera_Click();
  void btnChiudiAzzera_Click();
  void ckAnno_Click();
  // Enter checks the year; a KeyCode set to 0 is swallowed.
  void txtAnno_KeyDown(int &KeyCode, int Shift);

protected:
  bool eventFilter(QObject *o, QEvent *e) override;

private:
  void chiudi();

  ContestoManutenzione &contesto_;
};
