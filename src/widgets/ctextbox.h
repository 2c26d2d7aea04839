#pragma once
// CTextBox: attached to a line edit by Init, it makes the box a typed input field. It holds a
// data type code, limits the characters the text may hold, reformats the text while the user
// types (numbers through a format mask, dates as day/month/year), converts between the text
// and a typed value and checks the whole text when the box loses the focus.
//
// The box's events reach the handlers in the order a typed key gives on Windows: key-down
// (virtual-key code and shift state; a code set to 0 cancels the key's own editing action),
// key-press (character code; 0 cancels it, another value replaces it), change, key-up; and
// got-focus, lost-focus. A write of the text puts the caret at the start and runs the change
// handler before it returns, as the Windows text box does.
#include "widgets/ctvariant.h"

#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <cstdint>

class QKeyEvent;

class CTextBox : public QObject {
  Q_OBJECT

public:
  explicit CTextBox(QObject *parent = nullptr);
  ~CTextBox() override;

  // Public fields, read and written by the owner at any time.
  CTVariant Min;              // lower bound; empty means none
  CTVariant Max;              // upper bound; empty means none
  bool EnforceRange = false;  // Value (get and set) clamps to Min / Max
  QString ValidationMask;     // number format mask, or the picture Validate matches
  bool AutoHighlight = false; // select all on focus; masked numbers get their decimals

  // Attaches the box (the class receives its events from now on) and sets the type; a refused
  // type throws after the box was attached.
  void Init(QLineEdit *TextBox, int32_t VarType);

  bool UpperCase() const { return mUpperCase; }
  void setUpperCase(bool newValue);
  int32_t VarType() const { return mVarType; }
  // 2, 3, 4, 5, 6, 7, 8, 14 or 17; anything else throws error 5 and keeps the stored code.
  void setVarType(int32_t newValue);
  int16_t Lunghezza() const { return mLunghezza; }
  void setLunghezza(int16_t newValue) { mLunghezza = newValue; }

  // The text in the form an SQL statement needs: for numbers "," written as "." and grouping
  // points dropped. Throws before Init.
  QString valore() const;
  // The text converted to the numeric type, or the text itself for other types. Throws before
  // Init and when the text does not convert (13 type mismatch, 6 overflow).
  CTVariant ValoreNum() const;
  // The full check; the failed step's code (1 to 5) is left for ErCode(). Throws before Init.
  bool Validate();
  int32_t ErCode() const { return mErCode; }

  // The text converted to the type; an error value (13, 6) when it does not convert.
  CTVariant Value() const;
  // Rewrites the text in the type's form; a value that does not convert clears the box.
  void setValue(const CTVariant &newValue);

  static QString CTMaschera(const QString &Stringa, const QString &Mask);
  static QString CTAllineaSx(const QString &Stringa, int16_t Lunghezza, const QString &Riempimento);
  static QString CTAllineaDx(const QString &Stringa, int16_t Lunghezza, const QString &Riempimento);
  static QString CTTogli(const QString &Stringa, const QString &Carattere, int16_t Posizione);
  static QString CTCambia(const QString &Stringa, const QString &Cambiare, const QString &Con,
                          int16_t Quale);

  QLineEdit *box() const { return tb; }

signals:
  // A change was undone because of a refused character, and a key-down preceded it.
  void InvalidKey(int16_t KeyCode, int16_t Shift);
  // The box lost the focus and Validate returned false.
  void ValidationError(int32_t ercode);
  // A date being typed was found wrong.
  void ErrDigitazione(const QString &Mess);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void tb_GotFocus();
  void tb_Change();
  void tb_KeyDown(int16_t &KeyCode, int16_t Shift);
  void tb_KeyPress(int16_t &KeyAscii);
  void tb_KeyUp(int16_t KeyCode, int16_t Shift);
  void tb_LostFocus();
  bool CaratteriAmmessi(const QString &text) const;

  void ProceduraData();
  void ProceduraNumero();
  void LimiteLunghezza();

  bool tastoPremuto(QKeyEvent *e);
  void attach(QLineEdit *box);
  void detach();
  void onTextEdited();
  void onTextChanged();
  // Writes the text as the Windows box does: caret at the start, change handler run at once.
  void ScriviTesto(const QString &text);
  // Sends a key stroke ("," "{right}" "{left}") to the box and returns once it is processed.
  void InviaTasti(const QString &keys);
  void requireBox() const;
  bool isNumeric() const;
  int selStart() const;
  int selLength() const;
  void setSelStart(int p);
  void setSelLength(int n);
  void recordState();

  int32_t mVarType = 0;
  bool mUpperCase = false;
  int16_t mLunghezza = 0;
  QString mTestoValido;
  int32_t mSelStartValido = 0;
  int32_t mSelLengthValido = 0;
  int16_t mKeyCode = 0;
  int16_t mShift = 0;
  int32_t mErCode = 0;
  bool mPrimaModifica = false;
  QString mSepDecimale;
  QPointer<QLineEdit> tb;
  bool mInModifica = false;

  bool mUserEdit = false; // the pending change comes from editing in the box itself
  QEvent *mForwarding = nullptr;
  QList<QMetaObject::Connection> mConnections;
};
