// The General sort order codes of every UTF-16 unit, as the Jet engine writes them in Jet 4 text
// index keys: upper and lower case share their codes, accented letters are the base letter plus
// an accent byte, combining marks change the accent byte before them, characters the engine
// does not know are left out, and a few (control characters, apostrophe, hyphens) sort only by
// a positional code after the text. The codes are kept as runs of units whose codes are equal
// or count up (sort_order_codes.inc, generated from the public code tables).
#include "jet/sort_order_table.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace jet::sortorder {

namespace {

enum class Step : uint8_t {
  Same,         // every unit of the run has the run's code
  Next,         // the code counts up by one a unit: the inline bytes, else the extra bytes
  NextSkipping, // two inline bytes counting up, their low byte from 02 to FF only
};

struct CodeRun {
  uint16_t first;
  CodeKind kind;
  Step step;
  uint8_t inlineLength;
  uint8_t extraLength;
  uint16_t extraCode;  // the first unit's extra bytes, big-endian
  uint32_t inlineCode; // and its inline bytes
};

using K = CodeKind;
using S = Step;

constexpr CodeRun kRuns[] = {
#include "jet/sort_order_codes.inc"
};

constexpr void putBigEndian(uint32_t value, uint8_t length, uint8_t *out) {
  for (uint8_t i = 0; i < length; ++i)
    out[i] = static_cast<uint8_t>(value >> (8 * (length - 1 - i)));
}

constexpr CharCode expand(const CodeRun &run, char16_t unit) {
  const uint32_t k = unit - run.first;
  uint32_t inlineCode = run.inlineCode;
  uint32_t extraCode = run.extraCode;
  switch (run.step) {
  case Step::Same:
    break;
  case Step::Next:
    (run.inlineLength > 0 ? inlineCode : extraCode) += k;
    break;
  case Step::NextSkipping: {
    const uint32_t ordinal = (inlineCode >> 8) * 254 + (inlineCode & 0xFF) - 2 + k;
    inlineCode = (ordinal / 254) << 8 | (ordinal % 254 + 2);
    break;
  }
  }
  CharCode code;
  code.kind = run.kind;
  code.inlineLength = run.inlineLength;
  code.extraLength = run.extraLength;
  putBigEndian(inlineCode, run.inlineLength, code.inlineBytes);
  putBigEndian(extraCode, run.extraLength, code.extraBytes);
  return code;
}

constexpr CharCode lookUp(char16_t unit) {
  const CodeRun *run = std::upper_bound(std::begin(kRuns), std::end(kRuns), unit,
                                        [](char16_t u, const CodeRun &r) { return u < r.first; });
  return expand(run[-1], unit);
}

// Most text stays within the first 256 units: those are expanded once, at compile time.
constexpr auto kLatin1 = [] {
  std::array<CharCode, 256> table{};
  for (char16_t u = 0; u < table.size(); ++u)
    table[u] = lookUp(u);
  return table;
}();

static_assert(kRuns[0].first == 0);
static_assert(std::is_sorted(std::begin(kRuns), std::end(kRuns),
                             [](const CodeRun &a, const CodeRun &b) { return a.first < b.first; }));

} // namespace

CharCode charCode(char16_t unit) {
  return unit < kLatin1.size() ? kLatin1[unit] : lookUp(unit);
}

} // namespace jet::sortorder
