#pragma once
// Codes of the General sort order, one per UTF-16 unit (internal to sort_order).
#include <cstdint>

namespace jet::sortorder {

enum class CodeKind : uint8_t {
  Ignored,     // left out of the key
  Simple,      // only inline bytes
  Accented,    // inline bytes of the base letter plus extra bytes for the accent or form
  Unprintable, // no inline bytes; a positional code after the text
  Modifier,    // no inline bytes; added to the accent byte of the character before
  Kana,        // inline bytes, extra bytes if any, and a size flag after the text
  SmallKana,   // the same, flagged as the small form
};

struct CharCode {
  CodeKind kind = CodeKind::Ignored;
  uint8_t inlineLength = 0; // 0 to 4
  uint8_t extraLength = 0;  // 0 to 2: accent bytes, the unprintable code or the modifier
  uint8_t inlineBytes[4] = {};
  uint8_t extraBytes[2] = {};
};

CharCode charCode(char16_t unit);

} // namespace jet::sortorder
