#include "grid/tasti.h"

namespace grid {

namespace {

struct Pair {
  int vk;
  int qt;
};

// Keys whose codes differ between the two notations; letters and digits share theirs.
const Pair kKeys[] = {
    {8, Qt::Key_Backspace},      {9, Qt::Key_Tab},           {9, Qt::Key_Backtab},
    {13, Qt::Key_Return},        {13, Qt::Key_Enter},        {16, Qt::Key_Shift},
    {17, Qt::Key_Control},       {18, Qt::Key_Alt},          {19, Qt::Key_Pause},
    {20, Qt::Key_CapsLock},      {27, Qt::Key_Escape},       {32, Qt::Key_Space},
    {33, Qt::Key_PageUp},        {34, Qt::Key_PageDown},     {35, Qt::Key_End},
    {36, Qt::Key_Home},          {37, Qt::Key_Left},         {38, Qt::Key_Up},
    {39, Qt::Key_Right},         {40, Qt::Key_Down},         {44, Qt::Key_Print},
    {45, Qt::Key_Insert},        {46, Qt::Key_Delete},       {93, Qt::Key_Menu},
    {106, Qt::Key_Asterisk},     {107, Qt::Key_Plus},        {109, Qt::Key_Minus},
    {111, Qt::Key_Slash},        {144, Qt::Key_NumLock},     {145, Qt::Key_ScrollLock},
    {186, Qt::Key_Semicolon},    {187, Qt::Key_Equal},       {188, Qt::Key_Comma},
    {189, Qt::Key_Minus},        {190, Qt::Key_Period},      {191, Qt::Key_Slash},
    {192, Qt::Key_QuoteLeft},    {219, Qt::Key_BracketLeft}, {220, Qt::Key_Backslash},
    {221, Qt::Key_BracketRight}, {222, Qt::Key_Apostrophe},
};

} // namespace

int codiceTasto(int qtKey, Qt::KeyboardModifiers mods) {
  bool keypad = mods & Qt::KeypadModifier;
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
    return qtKey;
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
    return keypad ? 96 + (qtKey - Qt::Key_0) : qtKey;
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
    return 112 + (qtKey - Qt::Key_F1);
  if (keypad) {
    switch (qtKey) {
    case Qt::Key_Asterisk:
      return 106;
    case Qt::Key_Plus:
      return 107;
    case Qt::Key_Minus:
      return 109;
    case Qt::Key_Period:
    case Qt::Key_Comma:
      return 110;
    case Qt::Key_Slash:
      return 111;
    }
  }
  // Shifted symbols of a US layout reach their unshifted key.
  switch (qtKey) {
  case Qt::Key_Plus:
    return 187;
  case Qt::Key_Underscore:
    return 189;
  case Qt::Key_Colon:
    return 186;
  case Qt::Key_Less:
    return 188;
  case Qt::Key_Greater:
    return 190;
  case Qt::Key_Question:
    return 191;
  case Qt::Key_QuoteDbl:
    return 222;
  }
  for (const Pair &p : kKeys)
    if (p.qt == qtKey)
      return p.vk;
  return 0;
}

int tastoQt(int codice, bool *keypad) {
  if (keypad)
    *keypad = false;
  if ((codice >= 'A' && codice <= 'Z') || (codice >= '0' && codice <= '9'))
    return codice;
  if (codice >= 96 && codice <= 105) {
    if (keypad)
      *keypad = true;
    return Qt::Key_0 + (codice - 96);
  }
  if (codice >= 112 && codice <= 135)
    return Qt::Key_F1 + (codice - 112);
  if (codice == 110) {
    if (keypad)
      *keypad = true;
    return Qt::Key_Period;
  }
  for (const Pair &p : kKeys)
    if (p.vk == codice)
      return p.qt;
  return 0;
}

int statoMaiuscole(Qt::KeyboardModifiers mods) {
  int s = 0;
  if (mods & Qt::ShiftModifier)
    s |= kShift;
  if (mods & Qt::ControlModifier)
    s |= kCtrl;
  if (mods & Qt::AltModifier)
    s |= kAlt;
  return s;
}

} // namespace grid
