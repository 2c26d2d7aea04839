#pragma once
// Windows virtual-key codes and shift state of Qt key events, as the box's handlers expect them.
// Printable keys are mapped by the character they produce on a US layout; the Italian layout's
// own letters get the codes of the keys that carry them there.
#include <QKeyEvent>
#include <cstdint>

namespace virtualkey {

// The virtual-key code of the key of a Qt key (keypad keys distinguished); 0 when there is none.
int16_t fromQt(int key, Qt::KeyboardModifiers modifiers);
inline int16_t fromEvent(const QKeyEvent &e) {
  return fromQt(e.key(), e.modifiers());
}

// 1 Shift, 2 Ctrl, 4 Alt.
int16_t shiftState(Qt::KeyboardModifiers modifiers);

} // namespace virtualkey
