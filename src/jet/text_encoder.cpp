#include "jet/text_encoder.h"

#include <vector>

namespace jet {

namespace {

std::vector<uint16_t> units(std::string_view s) {
  std::vector<uint16_t> out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    uint8_t c = static_cast<uint8_t>(s[i]);
    uint32_t cp = 0xFFFD;
    size_t n = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0) {
      n = 2;
    } else if ((c & 0xF0) == 0xE0) {
      n = 3;
    } else if ((c & 0xF8) == 0xF0) {
      n = 4;
    }
    if (n > 1) {
      if (i + n > s.size()) {
        n = 1;
      } else {
        cp = n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
        for (size_t k = 1; k < n; ++k) {
          uint8_t d = static_cast<uint8_t>(s[i + k]);
          if ((d & 0xC0) != 0x80) {
            cp = 0xFFFD;
            n = k;
            break;
          }
          cp = (cp << 6) | (d & 0x3F);
        }
      }
    }
    if (cp >= 0x10000 && cp <= 0x10FFFF) {
      cp -= 0x10000;
      out.push_back(static_cast<uint16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<uint16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(cp > 0xFFFF ? 0xFFFD : static_cast<uint16_t>(cp));
    }
    i += n;
  }
  return out;
}

} // namespace

Bytes toUcs2(std::string_view utf8) {
  Bytes out;
  for (uint16_t u : units(utf8)) {
    out.push_back(static_cast<uint8_t>(u & 0xFF));
    out.push_back(static_cast<uint8_t>(u >> 8));
  }
  return out;
}

size_t ucs2Length(std::string_view utf8) {
  return units(utf8).size();
}

Bytes toJetText(std::string_view utf8, bool compress) {
  std::vector<uint16_t> u = units(utf8);
  if (compress) {
    Bytes c{0xFF, 0xFE};
    bool narrow = true;
    bool ok = true;
    for (uint16_t x : u) {
      if ((x & 0xFF) == 0) { // a zero low byte would read as a mode switch
        ok = false;
        break;
      }
      bool fits = (x >> 8) == 0;
      if (fits != narrow) {
        c.push_back(0x00);
        narrow = fits;
      }
      if (narrow) {
        c.push_back(static_cast<uint8_t>(x));
      } else {
        c.push_back(static_cast<uint8_t>(x & 0xFF));
        c.push_back(static_cast<uint8_t>(x >> 8));
      }
    }
    if (ok && c.size() < u.size() * 2)
      return c;
  }
  Bytes out;
  out.reserve(u.size() * 2);
  for (uint16_t x : u) {
    out.push_back(static_cast<uint8_t>(x & 0xFF));
    out.push_back(static_cast<uint8_t>(x >> 8));
  }
  return out;
}

} // namespace jet
