#pragma once
// Text index keys in the General sort order of Jet 4 files (Access 2000-2003; later versions of
// Access call it "General legacy"). The encoder covers every character of the Windows-1252
// code page and refuses anything else: a key it cannot build exactly is an error, never a guess.
#include "jet/status.h"
#include "jet/value.h"

#include <cstdint>
#include <string_view>

namespace jet {

// Collating order code that Jet 4 columns carry for the General sort order, and its version.
constexpr uint16_t kGeneralSortOrder = 1033;
constexpr uint8_t kGeneralSortVersion = 0;

// Access indexes at most this many characters of a text or memo value.
constexpr size_t kMaxIndexedTextChars = 255;

// Appends the sort-order bytes of a non-null text (UTF-8) to out: everything that follows the
// column's flag byte in an index entry, the closing 0x00 included. Descending keys come out
// inverted as the Jet engine writes them. Trailing blanks do not take part in the key; only the
// first kMaxIndexedTextChars characters do. On error out is left as it was.
Status appendGeneralTextKey(std::string_view utf8, bool ascending, Bytes &out);

// True where the General sort order encoder has codes for the character.
bool isGeneralSortEncodable(char32_t c);

} // namespace jet
