#pragma once
// Key codes as the program handles them: Windows virtual-key codes, and the shift state as a bit
// set (1 Shift, 2 Ctrl, 4 Alt). A grid or list key-down handler turns Qt's key event into these.
#include <Qt>

class QKeyEvent;
class QWidget;

constexpr int vbKeyBack = 8;
constexpr int vbKeyTab = 9;
constexpr int vbKeyReturn = 13;
constexpr int vbKeyEscape = 27;
constexpr int vbKeySpace = 32;
constexpr int vbKeyPageUp = 33;
constexpr int vbKeyPageDown = 34;
constexpr int vbKeyEnd = 35;
constexpr int vbKeyHome = 36;
constexpr int vbKeyLeft = 37;
constexpr int vbKeyUp = 38;
constexpr int vbKeyRight = 39;
constexpr int vbKeyDown = 40;
constexpr int vbKeyInsert = 45;
constexpr int vbKeyDelete = 46;
constexpr int vbKeyF1 = 112;
constexpr int vbKeyF2 = 113;
constexpr int vbKeyF4 = 115;
constexpr int vbKeyF5 = 116;
constexpr int vbKeyF6 = 117;
constexpr int vbKeyF7 = 118;
constexpr int vbKeyF9 = 120;
constexpr int vbKeyF10 = 121;

constexpr int vbShiftMask = 1;
constexpr int vbCtrlMask = 2;
constexpr int vbAltMask = 4;

// The virtual-key code of a Qt key (0 where there is none).
int CodiceTasto(int tastoQt, Qt::KeyboardModifiers modificatori = Qt::NoModifier);
int CodiceTasto(const QKeyEvent *evento);
int StatoMaiuscole(Qt::KeyboardModifiers modificatori);

// A key stroke (press and release) to the control: delivered before returning when attesa is
// true, otherwise queued behind the pending events.
void InviaTasto(QWidget *bersaglio, int tastoQt, Qt::KeyboardModifiers modificatori, bool attesa);
