#include "jet/text_codec.h"

namespace jet {

namespace {

// Writes a code point as UTF-8 at p and returns the end (at most 4 bytes).
char *putUtf8(char *p, uint32_t cp) {
  if (cp < 0x80) {
    *p++ = static_cast<char>(cp);
  } else if (cp < 0x800) {
    *p++ = static_cast<char>(0xC0 | (cp >> 6));
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *p++ = static_cast<char>(0xE0 | (cp >> 12));
    *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *p++ = static_cast<char>(0xF0 | (cp >> 18));
    *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return p;
}

constexpr uint32_t kReplacement = 0xFFFD;

// Joins surrogate pairs as UTF-16 units arrive, writing UTF-8 through a cursor into a buffer
// the caller has sized: at most 3 bytes for each unit (a pair takes 4 for two), 3 more for what
// finish() flushes.
class Utf16Sink {
public:
  explicit Utf16Sink(char *p) : p_(p) {}
  void put(uint32_t u) {
    if (high_ != 0) {
      if (u >= 0xDC00 && u <= 0xDFFF) {
        p_ = putUtf8(p_, 0x10000 + ((high_ - 0xD800) << 10) + (u - 0xDC00));
        high_ = 0;
        return;
      }
      p_ = putUtf8(p_, kReplacement);
      high_ = 0;
    }
    if (u >= 0xD800 && u <= 0xDBFF)
      high_ = u;
    else if (u >= 0xDC00 && u <= 0xDFFF)
      p_ = putUtf8(p_, kReplacement);
    else
      p_ = putUtf8(p_, u);
  }
  // ASCII, once no surrogate waits for its pair.
  bool idle() const { return high_ == 0; }
  void putAscii(const uint8_t *from, size_t n) {
    for (size_t i = 0; i < n; ++i)
      p_[i] = static_cast<char>(from[i]);
    p_ += n;
  }
  // The run of UCS-2 ASCII units (high byte zero) from b[i]; returns where it stops.
  size_t asciiUnits(ByteView b, size_t i) {
    char *p = p_;
    for (; i + 1 < b.size() && b[i + 1] == 0 && b[i] < 0x80; i += 2)
      *p++ = static_cast<char>(b[i]);
    p_ = p;
    return i;
  }
  void finish() {
    if (high_ != 0)
      p_ = putUtf8(p_, kReplacement);
    high_ = 0;
  }
  char *end() const { return p_; }

private:
  char *p_;
  uint32_t high_ = 0;
};

// Runs `write` over a buffer of `bound` bytes and returns what it wrote: short texts, the most
// of them, go through the stack and reach the string in one copy.
template <typename Write> std::string writeBounded(size_t bound, Write &&write) {
  char local[512];
  if (bound <= sizeof local)
    return std::string(local, write(local));
  std::string out(bound, '\0');
  out.resize(static_cast<size_t>(write(out.data()) - out.data()));
  return out;
}

} // namespace

void appendUtf8(std::string &out, uint32_t cp) {
  char buf[4];
  out.append(buf, putUtf8(buf, cp));
}

namespace {

char *decodeUcs2(ByteView b, char *p) {
  Utf16Sink sink(p);
  size_t i = 0;
  while (i + 1 < b.size()) {
    const size_t end = sink.idle() ? sink.asciiUnits(b, i) : i;
    if (end > i) {
      i = end;
    } else {
      sink.put(le16(b.data() + i));
      i += 2;
    }
  }
  sink.finish();
  return i < b.size() ? putUtf8(sink.end(), kReplacement) : sink.end();
}

} // namespace

std::string decodeUcs2(ByteView b) {
  return writeBounded(b.size() / 2 * 3 + 3, [b](char *p) { return decodeUcs2(b, p); });
}

size_t decodedTextBound(size_t storedBytes) {
  // A compressed byte takes at most 2 bytes of UTF-8 (it is below U+0100), a UCS-2 unit 3.
  return 2 * storedBytes + 3;
}

char *decodeJetText(ByteView b, char *p) {
  if (b.size() < 2 || b[0] != 0xFF || b[1] != 0xFE)
    return decodeUcs2(b, p);
  Utf16Sink sink(p);
  bool compressed = true;
  size_t i = 2;
  while (i < b.size()) {
    if (b[i] == 0) {
      compressed = !compressed;
      ++i;
    } else if (compressed) {
      if (b[i] < 0x80 && sink.idle()) {
        // A run of ASCII is copied whole.
        size_t end = i + 1;
        while (end < b.size() && b[end] != 0 && b[end] < 0x80)
          ++end;
        sink.putAscii(b.data() + i, end - i);
        i = end;
      } else {
        sink.put(b[i]);
        ++i;
      }
    } else if (i + 1 < b.size()) {
      sink.put(le16(b.data() + i));
      i += 2;
    } else {
      sink.put(kReplacement); // a dangling byte
      ++i;
    }
  }
  sink.finish();
  return sink.end();
}

std::string decodeJetText(ByteView b) {
  return writeBounded(decodedTextBound(b.size()), [b](char *p) { return decodeJetText(b, p); });
}

} // namespace jet

namespace jet {

bool toUtf16(std::string_view s, std::u16string &out) {
  out.clear();
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    uint8_t c = static_cast<uint8_t>(s[i]);
    uint32_t cp;
    size_t extra;
    if (c < 0x80) {
      cp = c;
      extra = 0;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      extra = 2;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07;
      extra = 3;
    } else {
      return false;
    }
    if (extra > 0 && i + extra >= s.size())
      return false;
    for (size_t k = 1; k <= extra; ++k) {
      uint8_t cc = static_cast<uint8_t>(s[i + k]);
      if ((cc & 0xC0) != 0x80)
        return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    i += extra + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return true;
}

Bytes encodeJetText(std::u16string_view text, bool compress) {
  Bytes plain;
  plain.reserve(text.size() * 2);
  for (char16_t u : text) {
    plain.push_back(static_cast<uint8_t>(u & 0xFF));
    plain.push_back(static_cast<uint8_t>(u >> 8));
  }
  if (!compress || text.empty())
    return plain;
  Bytes packed{0xFF, 0xFE};
  bool narrow = true;
  for (char16_t u : text) {
    if (u >= 0x01 && u <= 0xFF) {
      if (!narrow) {
        packed.push_back(0);
        narrow = true;
      }
      packed.push_back(static_cast<uint8_t>(u));
      continue;
    }
    // A wide character whose low byte is zero would read as a mode switch.
    if ((u & 0xFF) == 0)
      return plain;
    if (narrow) {
      packed.push_back(0);
      narrow = false;
    }
    packed.push_back(static_cast<uint8_t>(u & 0xFF));
    packed.push_back(static_cast<uint8_t>(u >> 8));
    if (packed.size() >= plain.size())
      return plain;
  }
  return packed.size() < plain.size() ? packed : plain;
}

} // namespace jet
