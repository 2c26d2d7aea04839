#include "jet/sort_order.h"

#include "jet/sort_order_table.h"

#include <iterator>
#include <utility>

namespace jet {

namespace {

using sortorder::CharCode;
using sortorder::CodeKind;

constexpr uint8_t kEndText = 0x01;
constexpr uint8_t kEndKey = 0x00;
constexpr uint8_t kAccentPlaceholder = 0x02;
constexpr uint8_t kUnprintableMidfix = 0x06;
// Kana size flags go three to a byte after this prefix; trailing normal-size flags are dropped.
constexpr uint8_t kSmallKana = 0x02;
constexpr uint8_t kNormalKana = 0x03;
constexpr uint8_t kKanaFlagsPrefix = 0x80;
constexpr uint8_t kKanaFlagsEnd[] = {0xFF, 0x02, 0x80, 0xFF, 0x80};
constexpr uint8_t kKanaBeforeUnprintables = 0xFF;

Status badText() {
  return {ErrorCode::KeyNotEncodable,
          "Impossibile creare la chiave dell'indice: il testo non è una sequenza UTF-8 valida."};
}

// Strict UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF) to the UTF-16 units a
// key is built from: the first kMaxIndexedTextChars are kept, the rest only checked.
bool indexedUnits(std::string_view s, char16_t *units, size_t &count) {
  count = 0;
  auto keep = [&](char32_t u) {
    if (count < kMaxIndexedTextChars)
      units[count++] = static_cast<char16_t>(u);
  };
  size_t i = 0;
  while (i < s.size()) {
    const auto b0 = static_cast<uint8_t>(s[i]);
    if (b0 < 0x80) {
      keep(b0);
      ++i;
      continue;
    }
    char32_t c;
    size_t len;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      c = b0 & 0x1F;
      len = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      c = b0 & 0x0F;
      len = 3;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      c = b0 & 0x07;
      len = 4;
    } else {
      return false;
    }
    if (s.size() - i < len)
      return false;
    for (size_t k = 1; k < len; ++k) {
      const auto b = static_cast<uint8_t>(s[i + k]);
      if ((b & 0xC0) != 0x80)
        return false;
      c = (c << 6) | (b & 0x3F);
    }
    if ((len == 3 && c < 0x800) || (len == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
        (c >= 0xD800 && c <= 0xDFFF))
      return false;
    if (c < 0x10000) {
      keep(c);
    } else {
      keep(0xD800 + ((c - 0x10000) >> 10));
      keep(0xDC00 + (c & 0x3FF));
    }
    i += len;
  }
  return true;
}

// The accent part of a key: the extra bytes of each character up to the last one that has
// any, a placeholder for each character without.
struct Accents {
  Bytes bytes;
  size_t chars = 0;  // characters the bytes stand for
  size_t prefix = 0; // a modifier before any character, left out of the unprintables' count

  void fillTo(size_t position) {
    if (chars < position) {
      bytes.insert(bytes.end(), position - chars, kAccentPlaceholder);
      chars = position;
    }
  }
  void add(size_t position, const CharCode &code) {
    fillTo(position);
    bytes.insert(bytes.end(), code.extraBytes, code.extraBytes + code.extraLength);
    ++chars;
  }
  void modify(size_t position, uint8_t modifier) {
    fillTo(position);
    if (bytes.empty()) {
      bytes.push_back(modifier);
      prefix = 1;
    } else {
      bytes.back() = static_cast<uint8_t>(bytes.back() + modifier);
    }
  }
  // An unprintable character's place: the accent bytes so far plus the characters since.
  size_t unprintableAt(size_t position) const { return bytes.size() + (position - chars) - prefix; }
};

void appendKanaFlags(Bytes flags, Bytes &out) {
  while (!flags.empty() && flags.back() == kNormalKana)
    flags.pop_back();
  for (size_t i = 0; i < flags.size(); i += 3) {
    uint8_t packed = kKanaFlagsPrefix;
    for (size_t k = 0; k < 3 && i + k < flags.size(); ++k)
      packed |= static_cast<uint8_t>(flags[i + k] << (2 * (2 - k)));
    out.push_back(packed);
  }
  out.insert(out.end(), std::begin(kKanaFlagsEnd), std::end(kKanaFlagsEnd));
}

} // namespace

Status appendGeneralTextKey(std::string_view utf8, bool ascending, Bytes &out) {
  char16_t text[kMaxIndexedTextChars];
  size_t length = 0;
  if (!indexedUnits(utf8, text, length))
    return badText();
  while (length > 0 && text[length - 1] == u' ')
    --length;

  const size_t start = out.size();
  Accents accents;
  Bytes unprintables;
  Bytes kanaFlags;
  size_t position = 0; // characters with inline bytes so far
  for (size_t i = 0; i < length; ++i) {
    const CharCode code = sortorder::charCode(text[i]);
    switch (code.kind) {
    case CodeKind::Ignored:
      break;
    case CodeKind::Simple:
      out.insert(out.end(), code.inlineBytes, code.inlineBytes + code.inlineLength);
      ++position;
      break;
    case CodeKind::Accented:
    case CodeKind::Kana:
    case CodeKind::SmallKana:
      out.insert(out.end(), code.inlineBytes, code.inlineBytes + code.inlineLength);
      if (code.extraLength > 0)
        accents.add(position, code);
      if (code.kind != CodeKind::Accented)
        kanaFlags.push_back(code.kind == CodeKind::SmallKana ? kSmallKana : kNormalKana);
      ++position;
      break;
    case CodeKind::Modifier:
      accents.modify(position, code.extraBytes[0]);
      break;
    case CodeKind::Unprintable: {
      const unsigned at = static_cast<unsigned>(accents.unprintableAt(position));
      const unsigned offset = (7 + 4 * at) | 0x8000;
      unprintables.push_back(static_cast<uint8_t>(offset >> 8));
      unprintables.push_back(static_cast<uint8_t>(offset & 0xFF));
      unprintables.push_back(kUnprintableMidfix);
      unprintables.insert(unprintables.end(), code.extraBytes, code.extraBytes + code.extraLength);
      break;
    }
    }
  }
  out.push_back(kEndText);
  // Placeholders at the end say nothing.
  while (!accents.bytes.empty() && accents.bytes.back() <= kAccentPlaceholder)
    accents.bytes.pop_back();
  out.insert(out.end(), accents.bytes.begin(), accents.bytes.end());
  if (!kanaFlags.empty() || !unprintables.empty()) {
    out.insert(out.end(), {kEndText, kEndText});
    if (!kanaFlags.empty()) {
      appendKanaFlags(std::move(kanaFlags), out);
      if (!unprintables.empty())
        out.push_back(kKanaBeforeUnprintables);
    }
    if (!unprintables.empty()) {
      out.push_back(kEndText);
      out.insert(out.end(), unprintables.begin(), unprintables.end());
    }
  }
  if (!ascending) {
    out.push_back(kEndKey);
    for (size_t i = start; i < out.size(); ++i)
      out[i] = static_cast<uint8_t>(~out[i]);
  }
  out.push_back(kEndKey);
  return Status::ok();
}

} // namespace jet
