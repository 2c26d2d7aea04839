#pragma once
// Text index keys in the General sort order of Jet 4 files (Access 2000-2003; later versions of
// Access call it "General legacy"). Every UTF-16 unit has a code, as the Jet engine has one:
// characters it does not know take no bytes. Only text that is not UTF-8 is refused.
#include "jet/status.h"
#include "jet/value.h"

#include <cstdint>
#include <string_view>

namespace jet {

// Collating order code that Jet 4 columns carry for the General sort order, and its version.
constexpr uint16_t kGeneralSortOrder = 1033;
constexpr uint8_t kGeneralSortVersion = 0;

// Access indexes at most this many UTF-16 units of a text or memo value.
constexpr size_t kMaxIndexedTextChars = 255;

// Appends the sort-order bytes of a non-null text (UTF-8) to out: everything that follows the
// column's flag byte in an index entry, the closing 0x00 included. Descending keys come out
// inverted as the Jet engine writes them. Trailing blanks do not take part in the key; only the
// first kMaxIndexedTextChars units do. On error out is left as it was.
Status appendGeneralTextKey(std::string_view utf8, bool ascending, Bytes &out);

} // namespace jet
