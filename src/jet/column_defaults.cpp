#include "jet/column_defaults.h"

#include "jet/names.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <optional>
#include <random>
#include <string>

namespace jet {

namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
    s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
    s.remove_suffix(1);
  return s;
}

std::optional<double> number(std::string_view s) {
  if (s.empty())
    return std::nullopt;
  bool negative = false;
  if (s.front() == '-' || s.front() == '+') {
    negative = s.front() == '-';
    s = trim(s.substr(1));
  }
  double d = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
  if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(d))
    return std::nullopt;
  return negative ? -d : d;
}

std::optional<std::string> quoted(std::string_view s) {
  if (s.size() < 2 || (s.front() != '"' && s.front() != '\'') || s.back() != s.front())
    return std::nullopt;
  char q = s.front();
  std::string out;
  for (size_t i = 1; i + 1 < s.size(); ++i) {
    if (s[i] == q) {
      if (i + 2 < s.size() && s[i + 1] == q) {
        out += q;
        ++i;
        continue;
      }
      return std::nullopt; // two texts, or a text and more: an expression
    }
    out += s[i];
  }
  return out;
}

// `count` whole numbers separated by `sep`, and nothing else.
bool fields(std::string_view s, char sep, int *out, size_t count) {
  for (size_t k = 0; k < count; ++k) {
    size_t n = 0;
    int v = 0;
    while (n < s.size() && n < 5 && std::isdigit(static_cast<unsigned char>(s[n])))
      v = v * 10 + (s[n++] - '0');
    if (n == 0)
      return false;
    out[k] = v;
    s.remove_prefix(n);
    if (k + 1 < count) {
      if (s.empty() || s.front() != sep)
        return false;
      s.remove_prefix(1);
    }
  }
  return s.empty();
}

bool validDay(int y, int m, int d) {
  static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > days[m - 1])
    return false;
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m != 2 || d <= 28 || leap;
}

// #…# as the Jet engine reads it: month/day/year (day/month/year where the month cannot be
// one) or year-month-day, then an optional hh:mm[:ss].
std::optional<DateTime> dateLiteral(std::string_view s) {
  s = trim(s);
  std::string_view datePart = s, timePart;
  if (size_t sp = s.find(' '); sp != std::string_view::npos) {
    datePart = s.substr(0, sp);
    timePart = trim(s.substr(sp + 1));
  }
  CivilDateTime c;
  int f[3] = {0, 0, 0};
  if (datePart.find('-') != std::string_view::npos) {
    if (!fields(datePart, '-', f, 3))
      return std::nullopt;
    c.year = f[0], c.month = f[1], c.day = f[2];
  } else if (fields(datePart, '/', f, 3)) {
    c.month = f[0], c.day = f[1], c.year = f[2];
    if (c.month > 12)
      std::swap(c.month, c.day);
    if (c.year < 100)
      c.year += c.year < 30 ? 2000 : 1900;
  } else {
    return std::nullopt;
  }
  if (!validDay(c.year, c.month, c.day))
    return std::nullopt;
  if (!timePart.empty()) {
    int t[3] = {0, 0, 0};
    size_t colons = static_cast<size_t>(std::count(timePart.begin(), timePart.end(), ':'));
    if (colons < 1 || colons > 2 || !fields(timePart, ':', t, colons + 1) || t[0] > 23 ||
        t[1] > 59 || t[2] > 59)
      return std::nullopt;
    c.hour = t[0], c.minute = t[1], c.second = t[2];
  }
  return toDateTime(c);
}

bool isCall(std::string_view s, std::string_view name) {
  if (s.size() < name.size() || !equalsNoCase(s.substr(0, name.size()), name))
    return false;
  s = trim(s.substr(name.size()));
  return s.size() >= 2 && s.front() == '(' && s.back() == ')' &&
         trim(s.substr(1, s.size() - 2)).empty();
}

ColumnDefault constant(Value v) {
  return {ColumnDefault::Kind::Constant, std::move(v)};
}

} // namespace

ColumnDefault parseColumnDefault(std::string_view expression, const ColumnDef &column) {
  std::string_view s = trim(expression);
  if (!s.empty() && s.front() == '=')
    s = trim(s.substr(1));
  if (s.empty() || equalsNoCase(s, "Null"))
    return {};
  bool text = column.isText();
  if (isCall(s, "Date"))
    return {text ? ColumnDefault::Kind::None : ColumnDefault::Kind::Today, {}};
  if (isCall(s, "Now"))
    return {text ? ColumnDefault::Kind::None : ColumnDefault::Kind::Now, {}};
  if (isCall(s, "Time"))
    return {text ? ColumnDefault::Kind::None : ColumnDefault::Kind::Time, {}};
  if (isCall(s, "GenGUID"))
    return {column.type == ColumnType::Guid ? ColumnDefault::Kind::NewGuid
                                            : ColumnDefault::Kind::None,
            {}};
  if (auto q = quoted(s)) {
    if (text)
      return constant(Value(*q));
    if (auto n = number(trim(*q)))
      return constant(Value(*n));
    return {};
  }
  if (auto n = number(s))
    return text ? constant(Value(std::string(s))) : constant(Value(*n));
  for (const char *yes : {"True", "Yes", "On"})
    if (equalsNoCase(s, yes))
      return text ? ColumnDefault{} : constant(Value(true));
  for (const char *no : {"False", "No", "Off"})
    if (equalsNoCase(s, no))
      return text ? ColumnDefault{} : constant(Value(false));
  if (s.size() >= 2 && s.front() == '#' && s.back() == '#')
    if (auto d = dateLiteral(s.substr(1, s.size() - 2)); d && !text)
      return column.type == ColumnType::DateTime ? constant(Value(*d)) : constant(Value(d->days));
  return {};
}

std::vector<ColumnDefault> columnDefaults(const TableDef &def, const PropertyMap &props) {
  std::vector<ColumnDefault> out(def.columns.size());
  bool any = false;
  for (const auto &[object, values] : props) {
    if (object.empty())
      continue;
    auto it = values.find("DefaultValue");
    if (it == values.end())
      continue;
    for (size_t i = 0; i < def.columns.size(); ++i)
      if (equalsNoCase(def.columns[i].name, object)) {
        out[i] = parseColumnDefault(propertyText(it->second), def.columns[i]);
        any = any || out[i].applies();
      }
  }
  if (!any)
    out.clear();
  return out;
}

DateTime localNow() {
  std::time_t t = std::time(nullptr);
  std::tm l{};
  localtime_r(&t, &l);
  return toDateTime({l.tm_year + 1900, l.tm_mon + 1, l.tm_mday, l.tm_hour, l.tm_min, l.tm_sec});
}

void applyColumnDefaults(const std::vector<ColumnDefault> &defaults, std::vector<Value> &values,
                         std::vector<bool> &supplied, DateTime now) {
  for (size_t i = 0; i < defaults.size() && i < values.size() && i < supplied.size(); ++i) {
    if (supplied[i] || !defaults[i].applies())
      continue;
    const ColumnDefault &d = defaults[i];
    switch (d.kind) {
    case ColumnDefault::Kind::Constant:
      values[i] = d.value;
      break;
    case ColumnDefault::Kind::Today:
      values[i] = Value(DateTime{std::floor(now.days)});
      break;
    case ColumnDefault::Kind::Now:
      values[i] = Value(now);
      break;
    case ColumnDefault::Kind::Time:
      values[i] = Value(DateTime{now.days - std::floor(now.days)});
      break;
    case ColumnDefault::Kind::NewGuid:
      values[i] = Value(newGuid());
      break;
    case ColumnDefault::Kind::None:
      continue;
    }
    supplied[i] = true;
  }
}

} // namespace jet
