#include "jet/names.h"

#include <cstdint>

namespace jet {

namespace {

// Next code point of UTF-8 text; a malformed byte stands for itself.
uint32_t nextCodePoint(std::string_view s, size_t &i) {
  auto b = static_cast<uint8_t>(s[i++]);
  int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
  if (extra == 0 || i + extra > s.size())
    return b;
  uint32_t cp = b & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    auto c = static_cast<uint8_t>(s[i + k]);
    if ((c & 0xC0) != 0x80)
      return b;
    cp = (cp << 6) | (c & 0x3F);
  }
  i += extra;
  return cp;
}

uint32_t fold(uint32_t cp) {
  if (cp >= 'A' && cp <= 'Z')
    return cp + 32;
  if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) // Latin-1 capitals
    return cp + 32;
  return cp;
}

} // namespace

int compareNoCase(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    uint32_t x = fold(nextCodePoint(a, i));
    uint32_t y = fold(nextCodePoint(b, j));
    if (x != y)
      return x < y ? -1 : 1;
  }
  if (i < a.size())
    return 1;
  if (j < b.size())
    return -1;
  return 0;
}

} // namespace jet
