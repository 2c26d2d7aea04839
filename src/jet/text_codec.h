#pragma once
// Jet 4 text: UCS-2 little-endian, or its compressed form (marker FF FE, one byte per
// character while the high byte is zero, a zero byte switching modes). Strings are UTF-8 above.
#include "jet/bytes.h"

#include <cstdint>
#include <string>

namespace jet {

// Decodes stored text; a lone surrogate or a dangling odd byte becomes U+FFFD.
std::string decodeJetText(ByteView bytes);
// Decodes plain UCS-2 (names in a table definition are never compressed).
std::string decodeUcs2(ByteView bytes);
void appendUtf8(std::string &out, uint32_t codePoint);

} // namespace jet
