#pragma once
// Character codes of the General sort order, one entry per character (internal to sort_order).
#include <cstdint>

namespace jet::sortorder {

enum class CodeKind : uint8_t {
  None,        // no code: the encoder refuses the character
  Simple,      // only inline bytes
  Accented,    // inline bytes of the base letter plus one extra byte for the accent or form
  Unprintable, // no inline bytes; a positional code after the text
};

struct CharCode {
  CodeKind kind;
  uint8_t inlineLength; // 0 to 2
  uint8_t inlineBytes[2];
  uint8_t extra; // accent byte (Accented) or code byte (Unprintable)
};

// The code of a character, or a CodeKind::None entry.
const CharCode &charCode(char32_t c);

} // namespace jet::sortorder
