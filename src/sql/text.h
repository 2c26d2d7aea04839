#pragma once
// Text rules of the dialect: UTF-8 in, case-insensitive comparison as the Jet engine compares
// text, and LIKE patterns with Jet's wildcards.
#include <string>
#include <string_view>
#include <vector>

namespace sql {

std::u32string decodeUtf8(std::string_view s);
std::string encodeUtf8(std::u32string_view s);
void appendUtf8(std::string &out, char32_t c);

char32_t foldCase(char32_t c);
char32_t upperCase(char32_t c);

std::string toUpper(std::string_view s);
std::string toLower(std::string_view s);

// Number of characters (code points).
size_t textLength(std::string_view s);

// Orders texts without regard to case: accents count only between otherwise equal texts. Returns
// 0 only where the texts are equal apart from case.
int compareText(std::string_view a, std::string_view b);
inline bool textEquals(std::string_view a, std::string_view b) {
  return compareText(a, b) == 0;
}

// A compiled LIKE pattern: * any run, ? any character, # a digit, [abc], [a-z], [!abc];
// a wildcard between brackets stands for itself. Matching ignores case.
class LikePattern {
public:
  // Returns false for a pattern with an unclosed "[".
  bool compile(std::string_view pattern);
  bool matches(std::string_view text) const;

private:
  enum class Kind { Char, One, Many, Digit, Set };
  struct Element {
    Kind kind = Kind::Char;
    char32_t c = 0;
    bool negate = false;
    std::vector<std::pair<char32_t, char32_t>> ranges;
  };
  bool elementMatches(const Element &e, char32_t c) const;
  std::vector<Element> elements_;
};

} // namespace sql
