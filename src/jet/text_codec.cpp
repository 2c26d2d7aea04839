#include "jet/text_codec.h"

namespace jet {

void appendUtf8(std::string &out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

// Joins surrogate pairs as UTF-16 units arrive.
class Utf16Sink {
public:
  explicit Utf16Sink(std::string &out) : out_(out) {}
  void put(uint16_t u) {
    if (high_ != 0) {
      if (u >= 0xDC00 && u <= 0xDFFF) {
        appendUtf8(out_, 0x10000 + ((high_ - 0xD800) << 10) + (u - 0xDC00));
        high_ = 0;
        return;
      }
      appendUtf8(out_, kReplacement);
      high_ = 0;
    }
    if (u >= 0xD800 && u <= 0xDBFF)
      high_ = u;
    else if (u >= 0xDC00 && u <= 0xDFFF)
      appendUtf8(out_, kReplacement);
    else
      appendUtf8(out_, u);
  }
  bool idle() const { return high_ == 0; }
  void finish() {
    if (high_ != 0)
      appendUtf8(out_, kReplacement);
    high_ = 0;
  }

private:
  std::string &out_;
  uint32_t high_ = 0;
};

} // namespace

std::string decodeUcs2(ByteView b) {
  // Most stored text is ASCII: copy it straight.
  size_t i = 0;
  while (i + 1 < b.size() && b[i] < 0x80 && b[i + 1] == 0)
    i += 2;
  std::string out(i / 2, '\0');
  for (size_t k = 0; k < i / 2; ++k)
    out[k] = static_cast<char>(b[2 * k]);
  if (i == b.size())
    return out;
  Utf16Sink sink(out);
  for (; i + 1 < b.size(); i += 2)
    sink.put(le16(b.data() + i));
  sink.finish();
  if (i < b.size())
    appendUtf8(out, kReplacement);
  return out;
}

std::string decodeJetText(ByteView b) {
  if (b.size() < 2 || b[0] != 0xFF || b[1] != 0xFE)
    return decodeUcs2(b);
  std::string out;
  if (b.size() > 32)
    out.reserve(b.size());
  Utf16Sink sink(out);
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
        out.append(reinterpret_cast<const char *>(b.data() + i), end - i);
        i = end;
      } else {
        sink.put(b[i]);
        ++i;
      }
    } else if (i + 1 < b.size()) {
      sink.put(le16(b.data() + i));
      i += 2;
    } else {
      sink.finish();
      appendUtf8(out, kReplacement);
      ++i;
    }
  }
  sink.finish();
  return out;
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
