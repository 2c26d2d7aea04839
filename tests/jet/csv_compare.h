#pragma once
// Reads canonical CSV back into fields and compares exports value for value.
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace csvtest {

struct Field {
  bool quoted = false;
  std::string text;
  bool operator==(const Field &) const = default;
};
using Row = std::vector<Field>;

inline std::vector<Row> parse(const std::string &s) {
  std::vector<Row> rows;
  Row row;
  Field f;
  size_t i = 0;
  bool fieldStarted = false;
  while (i < s.size()) {
    char c = s[i];
    if (c == '"' && !fieldStarted) {
      f.quoted = true;
      fieldStarted = true;
      ++i;
      while (i < s.size()) {
        if (s[i] == '"') {
          if (i + 1 < s.size() && s[i + 1] == '"') {
            f.text += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        f.text += s[i++];
      }
    } else if (c == ',') {
      row.push_back(f);
      f = {};
      fieldStarted = false;
      ++i;
    } else if (c == '\n') {
      row.push_back(f);
      rows.push_back(row);
      row.clear();
      f = {};
      fieldStarted = false;
      ++i;
    } else {
      f.text += c;
      fieldStarted = true;
      ++i;
    }
  }
  if (fieldStarted || !row.empty()) {
    row.push_back(f);
    rows.push_back(row);
  }
  return rows;
}

inline bool asNumber(const std::string &s, double &out) {
  if (s.empty())
    return false;
  if (s == "NaN" || s == "Infinity" || s == "-Infinity") {
    out = s == "NaN" ? NAN : (s[0] == '-' ? -INFINITY : INFINITY);
    return true;
  }
  char *end = nullptr;
  out = std::strtod(s.c_str(), &end);
  return end == s.c_str() + s.size();
}

// Text exactly; unquoted fields as written or, failing that, as the same number.
inline bool sameValue(const Field &a, const Field &b) {
  if (a.quoted != b.quoted)
    return false;
  if (a.text == b.text)
    return true;
  if (a.quoted)
    return false;
  double x, y;
  if (!asNumber(a.text, x) || !asNumber(b.text, y))
    return false;
  if (std::isnan(x) || std::isnan(y))
    return std::isnan(x) && std::isnan(y);
  return x == y && std::signbit(x) == std::signbit(y);
}

} // namespace csvtest
