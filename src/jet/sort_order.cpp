#include "jet/sort_order.h"

#include "jet/sort_order_table.h"

#include <cstdio>
#include <vector>

namespace jet {

namespace {

using sortorder::CharCode;
using sortorder::CodeKind;

constexpr uint8_t kEndText = 0x01;
constexpr uint8_t kEndKey = 0x00;
constexpr uint8_t kAccentPlaceholder = 0x02;
constexpr uint8_t kUnprintableMidfix = 0x06;

Status notEncodable(char32_t c) {
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
  return {ErrorCode::KeyNotEncodable,
          std::string("Impossibile creare la chiave dell'indice: il carattere ") + code +
              " non è previsto dall'ordinamento Generale."};
}

Status badText() {
  return {ErrorCode::KeyNotEncodable,
          "Impossibile creare la chiave dell'indice: il testo non è una sequenza UTF-8 valida."};
}

// Strict UTF-8 decoding (no overlong forms, no surrogates, nothing above U+10FFFF).
bool decodeUtf8(std::string_view s, std::vector<char32_t> &out) {
  size_t i = 0;
  while (i < s.size()) {
    const auto b0 = static_cast<uint8_t>(s[i]);
    char32_t c;
    size_t len;
    if (b0 < 0x80) {
      c = b0;
      len = 1;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
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
    out.push_back(c);
    i += len;
  }
  return true;
}

} // namespace

bool isGeneralSortEncodable(char32_t c) {
  return sortorder::charCode(c).kind != CodeKind::None;
}

Status appendGeneralTextKey(std::string_view utf8, bool ascending, Bytes &out) {
  std::vector<char32_t> text;
  text.reserve(utf8.size());
  if (!decodeUtf8(utf8, text))
    return badText();
  // Only the indexed length counts, and trailing blanks never do. Every encodable character is
  // a single UTF-16 unit, so counting code points here counts what Access counts.
  if (text.size() > kMaxIndexedTextChars)
    text.resize(kMaxIndexedTextChars);
  while (!text.empty() && text.back() == U' ')
    text.pop_back();

  Bytes key;
  key.reserve(text.size() + 8);
  // Accent bytes: a placeholder for each plain character before an accented one, then its accent.
  Bytes accents;
  size_t accentChars = 0;
  // Positional codes of characters without inline bytes.
  Bytes unprintables;
  size_t position = 0; // characters with inline bytes so far
  for (char32_t c : text) {
    const CharCode &code = sortorder::charCode(c);
    switch (code.kind) {
    case CodeKind::None:
      return notEncodable(c);
    case CodeKind::Simple:
      key.insert(key.end(), code.inlineBytes, code.inlineBytes + code.inlineLength);
      ++position;
      break;
    case CodeKind::Accented:
      key.insert(key.end(), code.inlineBytes, code.inlineBytes + code.inlineLength);
      accents.insert(accents.end(), position - accentChars, kAccentPlaceholder);
      accents.push_back(code.extra);
      accentChars = position + 1;
      ++position;
      break;
    case CodeKind::Unprintable: {
      // The position counts the accent bytes written so far plus the characters since.
      const size_t at = accents.size() + (position - accentChars);
      const unsigned offset = (7 + 4 * static_cast<unsigned>(at)) | 0x8000;
      unprintables.push_back(static_cast<uint8_t>(offset >> 8));
      unprintables.push_back(static_cast<uint8_t>(offset & 0xFF));
      unprintables.push_back(kUnprintableMidfix);
      unprintables.push_back(code.extra);
      break;
    }
    }
  }
  key.push_back(kEndText);
  key.insert(key.end(), accents.begin(), accents.end());
  if (!unprintables.empty()) {
    key.insert(key.end(), {kEndText, kEndText, kEndText});
    key.insert(key.end(), unprintables.begin(), unprintables.end());
  }
  if (!ascending) {
    key.push_back(kEndKey);
    for (auto &b : key)
      b = static_cast<uint8_t>(~b);
  }
  key.push_back(kEndKey);
  out.insert(out.end(), key.begin(), key.end());
  return Status::ok();
}

} // namespace jet
