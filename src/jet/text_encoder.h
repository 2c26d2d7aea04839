#pragma once
// UTF-8 to the text Jet 4 stores: plain UCS-2 little-endian, or its compressed form.
#include "jet/bytes.h"
#include "jet/value.h"

#include <string_view>

namespace jet {

// Characters beyond the Basic Multilingual Plane become surrogate pairs; a malformed
// sequence becomes U+FFFD.
Bytes toUcs2(std::string_view utf8);
// UTF-16 code units of a UTF-8 text: what text sizes count.
size_t ucs2Length(std::string_view utf8);
// The stored form of a text or memo value: compressed (FF FE, one byte per character whose high
// byte is zero, a zero byte switching modes) where `compress` allows it and it is shorter and
// no character has a zero low byte, else plain UCS-2.
Bytes toJetText(std::string_view utf8, bool compress);

} // namespace jet
