#include "widgets/ctextbox.h"

#include "widgets/regional.h"
#include "widgets/virtualkey.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <cmath>

namespace {

const QChar kComma = u',';

// The value of the leading digits of a group of characters; no digit gives 0.
int leadingDigits(const QString &s) {
  int v = 0;
  for (QChar c : s) {
    if (c < u'0' || c > u'9')
      break;
    v = v * 10 + (c.unicode() - '0');
    if (v > 1000000)
      break;
  }
  return v;
}

// The character code a key delivers at key-press, or -1 when the key delivers none.
int characterOf(const QKeyEvent &e) {
  const int key = e.key();
  switch (key) {
  case Qt::Key_Backspace:
    return 8;
  case Qt::Key_Return:
  case Qt::Key_Enter:
    return 13;
  case Qt::Key_Escape:
    return 27;
  default:
    break;
  }
  if (key >= Qt::Key_Escape && key != Qt::Key_unknown)
    return -1; // cursor, editing, function and modifier keys
  const auto mods = e.modifiers();
  if ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier))
    return key >= Qt::Key_A && key <= Qt::Key_Z ? key - Qt::Key_A + 1 : -1;
  const QString text = e.text();
  if (text.size() == 1 && text[0].unicode() >= 32 && text[0].unicode() != 127)
    return text[0].unicode();
  return -1;
}

// Resets a flag however the scope is left.
struct FlagGuard {
  bool &flag;
  ~FlagGuard() { flag = false; }
};

} // namespace

CTextBox::CTextBox(QObject *parent) : QObject(parent) {}

CTextBox::~CTextBox() {
  detach();
}

void CTextBox::attach(QLineEdit *box) {
  detach();
  tb = box;
  if (!tb)
    return;
  tb->installEventFilter(this);
  mConnections << connect(tb, &QLineEdit::textEdited, this, &CTextBox::onTextEdited);
  mConnections << connect(tb, &QLineEdit::textChanged, this, &CTextBox::onTextChanged);
}

void CTextBox::detach() {
  for (const auto &c : mConnections)
    disconnect(c);
  mConnections.clear();
  if (tb)
    tb->removeEventFilter(this);
  tb = nullptr;
}

void CTextBox::Init(QLineEdit *TextBox, int32_t VarType) {
  attach(TextBox);
  setVarType(VarType);
  // The separator is known before the box's text is rewritten, so a first Init does not refuse
  // (and clear) a decimal comma already in the box.
  mSepDecimale = regional::decimalSeparator;
  setValue(CTVariant(tb ? tb->text() : QString()));
  mPrimaModifica = true;
}

void CTextBox::setUpperCase(bool newValue) {
  mUpperCase = newValue;
  if (newValue) {
    requireBox();
    ScriviTesto(tb->text().toUpper());
  }
}

void CTextBox::setVarType(int32_t newValue) {
  switch (newValue) {
  case 2:
  case 3:
  case 4:
  case 5:
  case 6:
  case 7:
  case 8:
  case 14:
  case 17:
    mVarType = newValue;
    return;
  default:
    throw TextBoxError(5, QStringLiteral("CTextBox"),
                       QStringLiteral("Invalid value for VarType property"));
  }
}

namespace {

bool convertsAsNumber(int32_t type) {
  return type == 2 || type == 3 || type == 4 || type == 5 || type == 6 || type == 17;
}

bool converts(int32_t type) {
  return convertsAsNumber(type) || type == 7 || type == 8 || type == 14;
}

bool below(const CTVariant &a, const CTVariant &b) {
  const auto c = compareVariants(a, b);
  return c && *c < 0;
}

bool above(const CTVariant &a, const CTVariant &b) {
  const auto c = compareVariants(a, b);
  return c && *c > 0;
}

} // namespace

bool CTextBox::isNumeric() const {
  return mVarType == 2 || mVarType == 3 || mVarType == 4 || mVarType == 5 || mVarType == 14;
}

void CTextBox::requireBox() const {
  if (!tb)
    throw TextBoxError::standard(91);
}

QString CTextBox::valore() const {
  requireBox();
  const QString text = tb->text();
  if (!convertsAsNumber(mVarType))
    return text;
  QString out;
  for (QChar c : text) {
    if (c == u',')
      out += u'.';
    else if (c != u'.')
      out += c;
  }
  return out;
}

CTVariant CTextBox::ValoreNum() const {
  requireBox();
  QString text = tb->text();
  if (!convertsAsNumber(mVarType))
    return CTVariant(text);
  text.remove(u'.');
  return CTVariant(text).convertTo(mVarType);
}

CTVariant CTextBox::Value() const {
  if (!tb || !converts(mVarType))
    return CTVariant();
  CTVariant r;
  try {
    r = CTVariant(tb->text()).convertTo(mVarType);
  } catch (const TextBoxError &e) {
    return CTVariant::error(e.number());
  }
  if (EnforceRange) {
    if (!Min.isEmpty() && below(r, Min))
      r = Min;
    else if (!Max.isEmpty() && above(r, Max))
      r = Max;
  }
  return r;
}

void CTextBox::setValue(const CTVariant &newValue) {
  CTVariant v;
  if (tb && converts(mVarType)) {
    try {
      v = newValue.convertTo(mVarType);
    } catch (const TextBoxError &) {
    }
  }
  if (EnforceRange) {
    if (!Min.isEmpty() && below(v, Min))
      v = Min;
    else if (!Max.isEmpty() && above(v, Max))
      v = Max;
  }
  QString text;
  try {
    // The box holds day/month/year only: a time of day would make every character check
    // refuse the text and leave the previous text standing.
    if (mVarType == 7 && v.is<CTDate>())
      text = regional::formatDate(std::trunc(v.as<CTDate>().days));
    else
      text = v.toText();
  } catch (const TextBoxError &) {
  }
  if (mVarType != 8) {
    const int point = int(text.indexOf(u'.'));
    if (point >= 0 && !mSepDecimale.isEmpty())
      text.replace(point, 1, mSepDecimale);
  } else if (mUpperCase) {
    text = text.toUpper();
  }
  if (!tb)
    return;
  ScriviTesto(text);
  recordState();
}

bool CTextBox::CaratteriAmmessi(const QString &text) const {
  if (mVarType == 8)
    return true;
  const QString s =
      text.startsWith(QStringLiteral("0-")) ? QStringLiteral("-0") + text.mid(2) : text;
  int minus = 0, slash = 0;
  bool separatorSeen = false;
  for (int i = 0; i < s.size(); ++i) {
    const QChar c = s[i];
    if (c >= u'0' && c <= u'9')
      continue;
    if (c == u'-') {
      if (mVarType == 17)
        return false;
      if (mVarType == 7) {
        if (++minus > 2 || slash > 0)
          return false;
        continue;
      }
      if (i != 0)
        return false;
      if (!Min.isEmpty() && above(Min, CTVariant(int32_t(0))))
        return false;
      continue;
    }
    if (c == u'.') {
      if (ValidationMask.isEmpty())
        return false;
      continue;
    }
    if (!mSepDecimale.isEmpty() && c == mSepDecimale[0]) {
      // Decimal takes its decimals like the other real types.
      if (mVarType != 4 && mVarType != 5 && mVarType != 6 && mVarType != 14)
        return false;
      if (separatorSeen)
        return false;
      separatorSeen = true;
      continue;
    }
    if (c == u'/') {
      if (mVarType != 7)
        return false;
      if (minus > 0 || ++slash > 2)
        return false;
      continue;
    }
    return false;
  }
  return true;
}

bool CTextBox::Validate() {
  requireBox();
  const QString text = tb->text();
  mErCode = 1;
  if (!CaratteriAmmessi(text))
    return false;
  mErCode = 2;
  if (!ValidationMask.isEmpty()) {
    const QString s = CTCambia(CTCambia(CTCambia(text, QStringLiteral(","), QStringLiteral(";"), 0),
                                        QStringLiteral("."), QStringLiteral(","), 0),
                               QStringLiteral(";"), QStringLiteral("."), 0);
    QString m = ValidationMask;
    m.replace(u'0', u'#');
    if (m.size() > s.size())
      m = m.right(s.size());
    if (s.startsWith(u'-') && !m.isEmpty())
      m[0] = u'-';
    if (!regional::like(s, m))
      return false;
  }
  mErCode = 3;
  const CTVariant v = Value();
  if (v.isError())
    return false;
  if (!Min.isEmpty() && below(v, Min)) {
    mErCode = 4;
    return false;
  }
  if (!Max.isEmpty() && above(v, Max)) {
    mErCode = 5;
    return false;
  }
  return true;
}

QString CTextBox::CTMaschera(const QString &Stringa, const QString &Mask) {
  QString s = Stringa;
  bool minus = false;
  if (s.contains(u'-')) {
    s = s.mid(1);
    minus = true;
  }
  QString out = s;
  if (!s.isEmpty()) {
    if (const auto d = regional::parseNumber(s)) {
      if (Mask.isEmpty())
        out = CTVariant(s).convertTo(CTVariant::Double).toText();
      else
        out = regional::formatPicture(*d, Mask);
    }
  }
  return minus ? QStringLiteral("-") + out : out;
}

QString CTextBox::CTAllineaSx(const QString &Stringa, int16_t Lunghezza,
                              const QString &Riempimento) {
  if (Stringa.size() >= Lunghezza)
    return Stringa;
  if (Riempimento.isEmpty())
    throw TextBoxError::standard(5);
  return Stringa + QString(Lunghezza - Stringa.size(), Riempimento[0]);
}

QString CTextBox::CTAllineaDx(const QString &Stringa, int16_t Lunghezza,
                              const QString &Riempimento) {
  if (Stringa.size() >= Lunghezza)
    return Stringa;
  if (Riempimento.isEmpty())
    throw TextBoxError::standard(5);
  return QString(Lunghezza - Stringa.size(), Riempimento[0]) + Stringa;
}

QString CTextBox::CTTogli(const QString &Stringa, const QString &Carattere, int16_t Posizione) {
  QString out;
  for (int i = 0; i < Stringa.size(); ++i) {
    const bool same = Carattere.size() == 1 && Stringa[i] == Carattere[0];
    if (same && (Posizione == 0 || Posizione == i + 1))
      continue;
    out += Stringa[i];
  }
  return out;
}

QString CTextBox::CTCambia(const QString &Stringa, const QString &Cambiare, const QString &Con,
                           int16_t Quale) {
  QString out;
  int count = 0;
  for (QChar c : Stringa) {
    if (Cambiare.size() == 1 && c == Cambiare[0]) {
      ++count;
      if (Quale == 0 || count == Quale) {
        out += Con;
        continue;
      }
    }
    out += c;
  }
  return out;
}

// --- caret and selection, with the Windows meaning: the start of the selection, its length ---

int CTextBox::selStart() const {
  return tb->hasSelectedText() ? tb->selectionStart() : tb->cursorPosition();
}

int CTextBox::selLength() const {
  return tb->hasSelectedText() ? tb->selectionLength() : 0;
}

void CTextBox::setSelStart(int p) {
  tb->setCursorPosition(std::clamp(p, 0, int(tb->text().size())));
}

void CTextBox::setSelLength(int n) {
  const int start = selStart();
  n = std::clamp(n, 0, int(tb->text().size()) - start);
  if (n > 0)
    tb->setSelection(start, n);
  else
    tb->setCursorPosition(start);
}

void CTextBox::recordState() {
  mTestoValido = tb->text();
  mSelStartValido = selStart();
  mSelLengthValido = selLength();
}

// --- text writes and synthesized key strokes ---

void CTextBox::ScriviTesto(const QString &text) {
  if (!tb)
    return;
  mUserEdit = false;
  if (tb->text() == text) {
    // The Windows box reports a write of the same text as a change too.
    tb->setCursorPosition(0);
    tb_Change();
  } else {
    tb->setText(text);
  }
}

void CTextBox::onTextEdited() {
  mUserEdit = true;
}

void CTextBox::onTextChanged() {
  if (!tb)
    return;
  if (!mUserEdit)
    tb->setCursorPosition(0); // a write of the text leaves the caret at the start
  mUserEdit = false;
  tb_Change();
}

void CTextBox::InviaTasti(const QString &keys) {
  // The stroke comes from a handler of a key typed in the box, so the box is the focused widget.
  if (!tb)
    return;
  int key = 0;
  QString text;
  const QString name = keys.toLower();
  if (name == QStringLiteral("{right}"))
    key = Qt::Key_Right;
  else if (name == QStringLiteral("{left}"))
    key = Qt::Key_Left;
  else if (name == QStringLiteral("{home}"))
    key = Qt::Key_Home;
  else if (name == QStringLiteral("{end}"))
    key = Qt::Key_End;
  else if (keys.size() == 1) {
    key = keys[0].toUpper().unicode();
    text = keys;
  } else
    return;
  QPointer<QLineEdit> box = tb;
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QCoreApplication::sendEvent(box, &press);
  if (!box)
    return;
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QCoreApplication::sendEvent(box, &release);
}

// --- the box's events ---

bool CTextBox::eventFilter(QObject *watched, QEvent *event) {
  if (watched != tb || event == mForwarding)
    return false;
  switch (event->type()) {
  case QEvent::KeyPress:
    return tastoPremuto(static_cast<QKeyEvent *>(event));
  case QEvent::KeyRelease: {
    auto *e = static_cast<QKeyEvent *>(event);
    if (!e->isAutoRepeat() && e->key() != Qt::Key_Tab && e->key() != Qt::Key_Backtab)
      tb_KeyUp(virtualkey::fromEvent(*e), virtualkey::shiftState(e->modifiers()));
    return false;
  }
  case QEvent::FocusIn:
  case QEvent::FocusOut: {
    // Switching windows or opening a popup moves no focus between the program's controls.
    const auto reason = static_cast<QFocusEvent *>(event)->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
      return false;
    // The box handles the event first, so its own selection rules do not undo ours.
    QEvent *outer = mForwarding;
    mForwarding = event;
    QCoreApplication::sendEvent(tb, event);
    mForwarding = outer;
    if (!tb)
      return true;
    if (event->type() == QEvent::FocusIn)
      tb_GotFocus();
    else
      tb_LostFocus();
    return true;
  }
  default:
    return false;
  }
}

bool CTextBox::tastoPremuto(QKeyEvent *e) {
  const auto mods = e->modifiers();
  if ((e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab) &&
      !(mods & (Qt::ControlModifier | Qt::AltModifier)))
    return false; // focus moves on; the box sees no key
  const QPointer<QLineEdit> box = tb;
  int16_t code = virtualkey::fromEvent(*e);
  tb_KeyDown(code, virtualkey::shiftState(mods));
  if (!tb || tb != box)
    return true;
  const int c = characterOf(*e);
  if (c < 0)
    return code == 0; // a cancelled key does not do its editing action
  int16_t k = int16_t(c);
  tb_KeyPress(k);
  if (!tb || tb != box || k == 0)
    return true;
  const char16_t typed = char16_t(k); // codes are 16 bits wide, above 0x7FFF too
  if (typed == c)
    return false; // the box types the key's own character
  if (typed == 8)
    tb->backspace();
  else if (typed >= 32)
    tb->insert(QString(QChar(typed)));
  return true;
}

void CTextBox::tb_GotFocus() {
  if (AutoHighlight) {
    setSelStart(0);
    setSelLength(int(tb->text().size()));
  }
}

void CTextBox::tb_KeyDown(int16_t &KeyCode, int16_t Shift) {
  if (isNumeric()) {
    if (KeyCode == 190 || KeyCode == 110) {
      KeyCode = 0;
      InviaTasti(QStringLiteral(","));
    } else if (tb && !ValidationMask.isEmpty() && !tb->text().isEmpty() && KeyCode != 0) {
      const QString text = tb->text();
      const int firstComma = int(text.indexOf(kComma)) + 1;
      const int p = selStart();
      // Over the comma the caret steps on, so no second comma is typed and none is deleted.
      if (p < firstComma && text[p] == kComma && (KeyCode == 188 || KeyCode == 46)) {
        KeyCode = 0;
        InviaTasti(QStringLiteral("{right}"));
      }
    }
  }
  mKeyCode = KeyCode;
  mShift = Shift;
}

void CTextBox::tb_KeyPress(int16_t &KeyAscii) {
  const QString text = tb->text();
  const int p = selStart();
  if (isNumeric() && !ValidationMask.isEmpty() && !text.isEmpty()) {
    const int firstComma = int(text.indexOf(kComma)) + 1;
    if (KeyAscii >= 48 && KeyAscii <= 57) {
      const int point = int(ValidationMask.indexOf(u'.')) + 1;
      const int decimals = int(ValidationMask.size()) - point;
      const int places = point == 0 ? int(ValidationMask.size()) : point - 1;
      int k = 0;
      for (QChar c : text) {
        if (c == u'.')
          break;
        if (c != kComma)
          ++k;
      }
      if (p > k) {
        if (p - firstComma >= decimals)
          KeyAscii = 0;
      } else if (p > places) {
        KeyAscii = 0;
      }
    }
    // Backspace steps over the comma instead of deleting it.
    if (p >= firstComma && p > 0 && text[p - 1] == kComma && KeyAscii == 8) {
      KeyAscii = 0;
      InviaTasti(QStringLiteral("{left}"));
    }
    if (tb && text.contains(u'-') && KeyAscii == 8 && regional::leadingValue(text) == 0) {
      ScriviTesto(tb->text().mid(1));
      KeyAscii = 0;
      InviaTasti(QStringLiteral("{right}"));
    }
  }
  if (isNumeric() && KeyAscii == 46)
    KeyAscii = 44;
  // Quotes and apostrophes are kept as typed: every statement makes its values safe.
  if (mUpperCase && KeyAscii != 0)
    KeyAscii = int16_t(QChar(char16_t(KeyAscii)).toUpper().unicode());
}

void CTextBox::tb_Change() {
  if (mInModifica || !tb)
    return;
  mInModifica = true;
  FlagGuard guard{mInModifica};
  if (!CaratteriAmmessi(tb->text())) {
    ScriviTesto(mTestoValido);
    setSelStart(mSelStartValido);
    setSelLength(mSelLengthValido);
    if (mKeyCode != 0)
      emit InvalidKey(mKeyCode, mShift);
  } else if (mVarType == 7) {
    ProceduraData();
  } else if (isNumeric()) {
    ProceduraNumero();
  } else if (mVarType == 8) {
    LimiteLunghezza();
  }
  mKeyCode = 0;
  mShift = 0;
}

void CTextBox::tb_KeyUp(int16_t, int16_t) {
  recordState();
}

void CTextBox::tb_LostFocus() {
  if (!Validate())
    emit ValidationError(mErCode);
}

void CTextBox::LimiteLunghezza() {
  const QString text = tb->text();
  if (mLunghezza > 0 && text.size() > mLunghezza) {
    const int p = selStart();
    ScriviTesto(text.left(mLunghezza));
    setSelStart(p < mLunghezza ? p : mLunghezza);
  }
}

void CTextBox::ProceduraData() {
  bool err = false;
  QString mess;
  int p = selStart();
  QString t = tb->text();
  if (mKeyCode != 8) {
    if (t.size() > 10)
      t = t.left(10);
    t.remove(u'/');
    QString rebuilt;
    for (int i = 0; i < t.size(); ++i) {
      rebuilt += t[i];
      if (i == 1 || i == 3) {
        rebuilt += u'/';
        ++p;
      }
    }
    t = rebuilt;
    if (t.size() == 6) {
      t += QStringLiteral("20");
      p += 2;
    }
    auto value = [&t](int from, int length) { return leadingDigits(t.mid(from - 1, length)); };
    if (t.size() > 1 && (value(1, 2) < 1 || value(1, 2) > 31)) {
      mess = QStringLiteral("Giorno errato");
      t.clear();
      err = true;
    }
    const int mo = value(4, 2);
    if (t.size() > 4) {
      if (mo < 1 || mo > 12) {
        mess = QStringLiteral("Mese errato");
        t = t.left(3);
        err = true;
      } else if (value(1, 2) > 30 && (mo == 4 || mo == 6 || mo == 9 || mo == 11)) {
        mess = QStringLiteral("Giorno o mese errati");
        t = t.left(3);
        err = true;
      }
    }
    if (t.size() == 10) {
      const int y = value(7, 4);
      if (y < 1900) {
        mess = QStringLiteral("Anno troppo basso");
        t = t.left(6);
        err = true;
      } else if (mo == 2 && value(1, 2) > 28 && y % 4 != 0) {
        mess = QStringLiteral("L'anno non è bisestile");
        t = t.left(9);
        err = true;
      } else if (!regional::parseDate(t)) {
        mess = QStringLiteral("Data errata");
        t.clear();
        err = true;
      }
    }
    ScriviTesto(t);
    if (err)
      emit ErrDigitazione(mess);
    if (!tb)
      return;
  }
  setSelStart(p);
}

void CTextBox::ProceduraNumero() {
  QString t = tb->text();
  if (t.startsWith(QStringLiteral("0-")) || t == QStringLiteral("-")) {
    t = t == QStringLiteral("-") ? QStringLiteral("-0") : QStringLiteral("-0") + t.mid(2);
    ScriviTesto(t); // the write leaves the caret at the start
  }
  int p = selStart();
  if (ValidationMask.isEmpty()) {
    setSelStart(std::min(p, int(t.size())));
    return;
  }
  const int point = int(ValidationMask.indexOf(u'.'));
  const bool hasDec = point >= 0;
  int q;
  if (!hasDec) {
    q = int(t.size());
  } else {
    if (AutoHighlight && !t.contains(kComma))
      t += kComma + ValidationMask.mid(point + 1);
    q = int(t.indexOf(kComma)) + 1;
  }
  const int dist = q - p;
  t = CTMaschera(t, ValidationMask);
  ScriviTesto(t);
  if (t.startsWith(QStringLiteral("-0")))
    p = 2;
  else if (mPrimaModifica)
    p = hasDec ? q + 1 : q;
  else
    p = (hasDec ? int(t.indexOf(kComma)) + 1 : int(t.size())) - dist;
  setSelStart(p > 0 ? p : 0);
  if (!hasDec && t.size() == ValidationMask.size()) {
    // The last place is selected so the next digit replaces it; at the start the first one is.
    setSelStart(std::max(selStart() - 1, 0));
    setSelLength(1);
  }
  mPrimaModifica = false;
}
