#include "jet/value_text.h"

namespace jet {

std::string formatGuid(const Guid &g) {
  static const char hex[] = "0123456789ABCDEF";
  static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  std::string s = "{";
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10)
      s += '-';
    uint8_t b = g.bytes[order[i]];
    s += hex[b >> 4];
    s += hex[b & 15];
  }
  s += '}';
  return s;
}

} // namespace jet
