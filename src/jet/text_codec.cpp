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
      if (b[i] < 0x80 && sink.idle())
        out += static_cast<char>(b[i]);
      else
        sink.put(b[i]);
      ++i;
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
