#pragma once
// Key codes as the program's key handlers know them: Windows virtual-key codes, and the shift
// state as a bit set (1 Shift, 2 Ctrl, 4 Alt).
#include <Qt>

namespace grid {

constexpr int kShift = 1;
constexpr int kCtrl = 2;
constexpr int kAlt = 4;

// The virtual-key code of a Qt key; 0 where there is none.
int codiceTasto(int qtKey, Qt::KeyboardModifiers mods);
// The Qt key of a virtual-key code (keypad codes also set Qt::KeypadModifier in *keypad).
int tastoQt(int codice, bool *keypad = nullptr);
int statoMaiuscole(Qt::KeyboardModifiers mods);

} // namespace grid
