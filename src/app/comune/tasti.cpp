#include "app/comune/tasti.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

int CodiceTasto(int k, Qt::KeyboardModifiers modificatori) {
  if (k >= Qt::Key_F1 && k <= Qt::Key_F24)
    return vbKeyF1 + (k - Qt::Key_F1);
  if (k >= Qt::Key_A && k <= Qt::Key_Z)
    return k; // 65..90 in both
  if (k >= Qt::Key_0 && k <= Qt::Key_9)
    return (modificatori & Qt::KeypadModifier) ? 96 + (k - Qt::Key_0) : k;
  switch (k) {
  case Qt::Key_Backspace:
    return vbKeyBack;
  case Qt::Key_Tab:
  case Qt::Key_Backtab:
    return vbKeyTab;
  case Qt::Key_Return:
  case Qt::Key_Enter:
    return vbKeyReturn;
  case Qt::Key_Escape:
    return vbKeyEscape;
  case Qt::Key_Space:
    return vbKeySpace;
  case Qt::Key_PageUp:
    return vbKeyPageUp;
  case Qt::Key_PageDown:
    return vbKeyPageDown;
  case Qt::Key_End:
    return vbKeyEnd;
  case Qt::Key_Home:
    return vbKeyHome;
  case Qt::Key_Left:
    return vbKeyLeft;
  case Qt::Key_Up:
    return vbKeyUp;
  case Qt::Key_Right:
    return vbKeyRight;
  case Qt::Key_Down:
    return vbKeyDown;
  case Qt::Key_Insert:
    return vbKeyInsert;
  case Qt::Key_Delete:
    return vbKeyDelete;
  case Qt::Key_Shift:
    return 16;
  case Qt::Key_Control:
    return 17;
  case Qt::Key_Alt:
    return 18;
  }
  return 0;
}

int CodiceTasto(const QKeyEvent *e) {
  return CodiceTasto(e->key(), e->modifiers());
}

int StatoMaiuscole(Qt::KeyboardModifiers m) {
  return ((m & Qt::ShiftModifier) ? vbShiftMask : 0) |
         ((m & Qt::ControlModifier) ? vbCtrlMask : 0) | ((m & Qt::AltModifier) ? vbAltMask : 0);
}

void InviaTasto(QWidget *bersaglio, int tastoQt, Qt::KeyboardModifiers modificatori, bool attesa) {
  if (!bersaglio)
    return;
  QString testo = tastoQt == Qt::Key_Space ? QStringLiteral(" ") : QString();
  auto *giu = new QKeyEvent(QEvent::KeyPress, tastoQt, modificatori, testo);
  auto *su = new QKeyEvent(QEvent::KeyRelease, tastoQt, modificatori, testo);
  if (attesa) {
    QCoreApplication::sendEvent(bersaglio, giu);
    QCoreApplication::sendEvent(bersaglio, su);
    delete giu;
    delete su;
  } else {
    QCoreApplication::postEvent(bersaglio, giu);
    QCoreApplication::postEvent(bersaglio, su);
  }
}
