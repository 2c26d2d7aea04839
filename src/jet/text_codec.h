#pragma once
// Jet 4 text: UCS-2 little-endian, or its compressed form (marker FF FE, one byte per
// character while the high byte is zero, a zero byte switching modes). Strings are UTF-8 above.
#include "jet/bytes.h"
#include "jet/value.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

// Decodes stored text; a lone surrogate or a dangling odd byte becomes U+FFFD.
std::string decodeJetText(ByteView bytes);
// The same into a buffer of decodedTextBound(bytes.size()) bytes; returns the end.
char *decodeJetText(ByteView bytes, char *out);
size_t decodedTextBound(size_t storedBytes);
// Decodes plain UCS-2 (names in a table definition are never compressed).
std::string decodeUcs2(ByteView bytes);
void appendUtf8(std::string &out, uint32_t codePoint);

// UTF-8 to UTF-16 code units; false where the text is not valid UTF-8.
bool toUtf16(std::string_view utf8, std::u16string &out);
// The stored form of a text: compressed (FF FE, one byte per character from U+0001 to U+00FF,
// a zero byte switching modes) where `compress` and that is shorter, else plain UCS-2.
Bytes encodeJetText(std::u16string_view text, bool compress);

} // namespace jet
