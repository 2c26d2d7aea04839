#include "sql/text.h"

namespace sql {

namespace {

// Base letter of each character from U+0100 to U+017F; '*' keeps the character itself.
constexpr std::string_view kLatinExtABase =
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi**JjKkkLlLlLlLlLlNnNnNnnNnOoOoOo**RrRrRr"
    "SsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";

// Base letter of each character from U+00C0 to U+00FF.
constexpr std::string_view kLatin1Base =
    "AAAAAA*CEEEEIIII*NOOOOO*OUUUUY**aaaaaa*ceeeeiiii*nooooo*ouuuuy*y";

char32_t baseLetter(char32_t c) {
  if (c >= 0xC0 && c <= 0xFF) {
    char b = kLatin1Base[c - 0xC0];
    return b == '*' ? c : static_cast<char32_t>(b);
  }
  if (c >= 0x100 && c <= 0x17F) {
    char b = kLatinExtABase[c - 0x100];
    return b == '*' ? c : static_cast<char32_t>(b);
  }
  return c;
}

bool isAscii(std::string_view s) {
  for (unsigned char ch : s)
    if (ch >= 0x80)
      return false;
  return true;
}

char asciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// Decodes the code point at i and moves i past it; a stray byte stands for itself.
char32_t nextCodePoint(std::string_view s, size_t &i) {
  unsigned char b = static_cast<unsigned char>(s[i++]);
  if (b < 0xC0)
    return b;
  int extra = b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
  char32_t c = extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
  for (int k = 0; k < extra && i < s.size(); ++k)
    c = (c << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
  return c;
}

} // namespace

void appendUtf8(std::string &out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::u32string decodeUtf8(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    int extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
    char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
    if (b >= 0x80 && b < 0xC0) { // stray continuation byte: keep it as its own character
      out += b;
      ++i;
      continue;
    }
    size_t j = i + 1;
    for (int k = 0; k < extra && j < s.size(); ++k, ++j)
      c = (c << 6) | (static_cast<unsigned char>(s[j]) & 0x3F);
    out += c;
    i = j;
  }
  return out;
}

std::string encodeUtf8(std::u32string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char32_t c : s)
    appendUtf8(out, c);
  return out;
}

char32_t foldCase(char32_t c) {
  if (c < 0x80)
    return c >= 'A' && c <= 'Z' ? c + 32 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
    return c + 32;
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x130)
      return 'i';
    if (c == 0x178)
      return 0xFF;
    bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    bool evenUpper = (c <= 0x137 && c != 0x131) || (c >= 0x14A && c <= 0x177);
    if (oddUpper && (c & 1))
      return c + 1;
    if (evenUpper && !oddUpper && !(c & 1))
      return c + 1;
    return c;
  }
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2)
    return c + 32;
  if (c >= 0x410 && c <= 0x42F)
    return c + 32;
  if (c >= 0x400 && c <= 0x40F)
    return c + 80;
  return c;
}

char32_t upperCase(char32_t c) {
  if (c < 0x80)
    return c >= 'a' && c <= 'z' ? c - 32 : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
    return c - 32;
  if (c == 0xFF)
    return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x131)
      return 'I';
    return foldCase(c - 1) == c ? c - 1 : c;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2)
    return c - 32;
  if (c >= 0x430 && c <= 0x44F)
    return c - 32;
  if (c >= 0x450 && c <= 0x45F)
    return c - 80;
  return c;
}

std::string toUpper(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  if (isAscii(s)) {
    for (char c : s)
      out += c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    return out;
  }
  for (char32_t c : decodeUtf8(s))
    appendUtf8(out, upperCase(c));
  return out;
}

std::string toLower(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  if (isAscii(s)) {
    for (char c : s)
      out += asciiLower(c);
    return out;
  }
  for (char32_t c : decodeUtf8(s))
    appendUtf8(out, foldCase(c));
  return out;
}

size_t textLength(std::string_view s) {
  size_t n = 0;
  for (unsigned char b : s)
    if ((b & 0xC0) != 0x80)
      ++n;
  return n;
}

int compareText(std::string_view a, std::string_view b) {
  if (isAscii(a) && isAscii(b)) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
      char x = asciiLower(a[i]), y = asciiLower(b[i]);
      if (x != y)
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
  }
  // Two passes without allocating: base letters first, then the accents.
  for (int pass = 0; pass < 2; ++pass) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
      char32_t x = foldCase(nextCodePoint(a, i));
      char32_t y = foldCase(nextCodePoint(b, j));
      if (pass == 0) {
        x = baseLetter(x);
        y = baseLetter(y);
      }
      if (x != y)
        return x < y ? -1 : 1;
    }
    if (i < a.size() || j < b.size())
      return i < a.size() ? 1 : -1;
  }
  return 0;
}

bool LikePattern::compile(std::string_view pattern) {
  elements_.clear();
  std::u32string p = decodeUtf8(pattern);
  for (size_t i = 0; i < p.size(); ++i) {
    char32_t c = p[i];
    Element e;
    e.kind = Kind::Char;
    if (c == '*') {
      if (!elements_.empty() && elements_.back().kind == Kind::Many)
        continue;
      e.kind = Kind::Many;
    } else if (c == '?') {
      e.kind = Kind::One;
    } else if (c == '#') {
      e.kind = Kind::Digit;
    } else if (c == '[') {
      size_t j = i + 1;
      e.kind = Kind::Set;
      if (j < p.size() && p[j] == '!' && j + 1 < p.size() && p[j + 1] != ']') {
        e.negate = true;
        ++j;
      }
      bool closed = false;
      for (; j < p.size(); ++j) {
        if (p[j] == ']') {
          closed = true;
          break;
        }
        char32_t lo = foldCase(p[j]);
        if (j + 2 < p.size() && p[j + 1] == '-' && p[j + 2] != ']') {
          char32_t hi = foldCase(p[j + 2]);
          e.ranges.emplace_back(lo, hi);
          j += 2;
        } else {
          e.ranges.emplace_back(lo, lo);
        }
      }
      if (!closed)
        return false;
      i = j;
      if (e.ranges.empty() && !e.negate) // "[]" matches the empty text: drop it
        continue;
    } else {
      e.c = foldCase(c);
    }
    elements_.push_back(std::move(e));
  }
  return true;
}

bool LikePattern::elementMatches(const Element &e, char32_t c) const {
  switch (e.kind) {
  case Kind::Char:
    return e.c == c;
  case Kind::One:
    return true;
  case Kind::Digit:
    return c >= '0' && c <= '9';
  case Kind::Set: {
    bool in = false;
    for (auto [lo, hi] : e.ranges)
      if (c >= lo && c <= hi)
        in = true;
    return in != e.negate;
  }
  case Kind::Many:
    return true;
  }
  return false;
}

bool LikePattern::matches(std::string_view text) const {
  std::u32string t = decodeUtf8(text);
  for (auto &c : t)
    c = foldCase(c);
  size_t ti = 0, pi = 0;
  size_t starP = std::string::npos, starT = 0;
  while (ti < t.size()) {
    if (pi < elements_.size() && elements_[pi].kind == Kind::Many) {
      starP = pi++;
      starT = ti;
    } else if (pi < elements_.size() && elementMatches(elements_[pi], t[ti])) {
      ++pi;
      ++ti;
    } else if (starP != std::string::npos) {
      pi = starP + 1;
      ti = ++starT;
    } else {
      return false;
    }
  }
  while (pi < elements_.size() && elements_[pi].kind == Kind::Many)
    ++pi;
  return pi == elements_.size();
}

} // namespace sql
