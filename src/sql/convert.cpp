#include "sql/convert.h"

#include "jet/column_info.h"
#include "jet/date_range.h"
#include "sql/text.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace sql {

using jet::ColumnType;
using jet::Value;
using jet::ValueKind;

namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
    s.remove_suffix(1);
  return s;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

int daysInMonth(int y, int m) {
  static const int d[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0))
    return 29;
  return d[m - 1];
}

struct Scanner {
  std::string_view s;
  size_t i = 0;
  bool atEnd() const { return i >= s.size(); }
  void skipBlanks() {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
      ++i;
  }
  // Reads up to maxDigits digits; returns the count read.
  int number(int &out, int maxDigits = 4) {
    int n = 0;
    out = 0;
    while (i < s.size() && isDigit(s[i]) && n < maxDigits) {
      out = out * 10 + (s[i] - '0');
      ++i;
      ++n;
    }
    return n;
  }
  bool accept(char c) {
    if (i < s.size() && s[i] == c) {
      ++i;
      return true;
    }
    return false;
  }
};

int expandYear(int y, int digits) {
  if (digits <= 2)
    return y < 30 ? 2000 + y : 1900 + y;
  return y;
}

// hh:mm[:ss] [AM|PM] (also "." between the parts, as Italian settings write times).
bool parseTime(Scanner &sc, int &h, int &m, int &s) {
  h = m = s = 0;
  if (sc.number(h, 2) == 0)
    return false;
  if (!sc.accept(':') && !sc.accept('.'))
    return false;
  if (sc.number(m, 2) == 0)
    return false;
  if (sc.accept(':') || sc.accept('.'))
    if (sc.number(s, 2) == 0)
      return false;
  sc.skipBlanks();
  std::string rest = toUpper(sc.s.substr(sc.i, 2));
  if (rest == "AM" || rest == "PM") {
    if (h < 1 || h > 12)
      return false;
    if (rest == "PM" && h != 12)
      h += 12;
    if (rest == "AM" && h == 12)
      h = 0;
    sc.i += 2;
  }
  return h < 24 && m < 60 && s < 60;
}

bool validDate(int y, int m, int d) {
  return y >= 100 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= daysInMonth(y, m);
}

// dayFirst: Italian order (day/month/year); otherwise month/day/year. Either order falls back
// to the other when its first reading is not a date, as the Jet engine does.
std::optional<jet::DateTime> parseDate(std::string_view text, bool dayFirst, bool withTime) {
  Scanner sc{trim(text)};
  if (sc.s.empty())
    return std::nullopt;
  jet::CivilDateTime c;
  bool haveDate = false;
  // A time alone ("10:30") is a time on day 0.
  size_t colon = sc.s.find(':');
  size_t sep = sc.s.find_first_of("/-");
  if (colon != std::string_view::npos && (sep == std::string_view::npos || colon < sep)) {
    // time only
  } else {
    int a = 0, b = 0, y = 0;
    int da = sc.number(a);
    if (da == 0)
      return std::nullopt;
    char s1 = sc.atEnd() ? 0 : sc.s[sc.i];
    if (s1 != '/' && s1 != '-' && s1 != '.')
      return std::nullopt;
    ++sc.i;
    if (sc.number(b, 2) == 0)
      return std::nullopt;
    if (!sc.accept(s1))
      return std::nullopt;
    int dy = sc.number(y);
    if (dy == 0)
      return std::nullopt;
    if (da >= 3) { // year first
      c.year = a;
      c.month = b;
      c.day = y;
      if (dy > 2)
        return std::nullopt;
    } else {
      if (da > 2)
        return std::nullopt;
      c.year = expandYear(y, dy);
      c.day = dayFirst ? a : b;
      c.month = dayFirst ? b : a;
      if (!validDate(c.year, c.month, c.day))
        std::swap(c.day, c.month);
    }
    if (!validDate(c.year, c.month, c.day))
      return std::nullopt;
    haveDate = true;
    sc.skipBlanks();
  }
  if (!sc.atEnd()) {
    int h, m, s;
    if (!parseTime(sc, h, m, s))
      return std::nullopt;
    sc.skipBlanks();
    if (!sc.atEnd())
      return std::nullopt;
    if (withTime) {
      c.hour = h;
      c.minute = m;
      c.second = s;
    }
  }
  if (!haveDate) {
    c.year = 1899;
    c.month = 12;
    c.day = 30;
  }
  return jet::toDateTime(c);
}

} // namespace

ColumnType typeOf(const Value &v) {
  switch (v.kind()) {
  case ValueKind::Boolean:
    return ColumnType::Boolean;
  case ValueKind::Byte:
    return ColumnType::Byte;
  case ValueKind::Integer:
    return ColumnType::Integer;
  case ValueKind::Long:
    return ColumnType::Long;
  case ValueKind::Currency:
    return ColumnType::Currency;
  case ValueKind::Single:
    return ColumnType::Single;
  case ValueKind::Double:
    return ColumnType::Double;
  case ValueKind::DateTime:
    return ColumnType::DateTime;
  case ValueKind::Binary:
    return ColumnType::Binary;
  case ValueKind::Guid:
    return ColumnType::Guid;
  case ValueKind::Decimal:
    return ColumnType::Numeric;
  default:
    return ColumnType::Text;
  }
}

std::string valueTypeName(const Value &v) {
  return v.isNull() ? "Null" : jet::typeName(typeOf(v));
}

bool isNumeric(const Value &v) {
  switch (v.kind()) {
  case ValueKind::Null:
  case ValueKind::Text:
  case ValueKind::Binary:
  case ValueKind::Guid:
    return false;
  default:
    return true;
  }
}

std::optional<double> toDouble(const Value &v) {
  return std::visit(
      [](const auto &x) -> std::optional<double> {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, bool>)
          return x ? -1.0 : 0.0;
        else if constexpr (std::is_same_v<T, uint8_t> || std::is_same_v<T, int16_t> ||
                           std::is_same_v<T, int32_t> || std::is_same_v<T, float> ||
                           std::is_same_v<T, double>)
          return static_cast<double>(x);
        else if constexpr (std::is_same_v<T, jet::Currency>)
          return static_cast<double>(x.units) / 10000.0;
        else if constexpr (std::is_same_v<T, jet::DateTime>)
          return x.days;
        else if constexpr (std::is_same_v<T, jet::Decimal>)
          return decimalToDouble(x);
        else
          return std::nullopt;
      },
      v.storage());
}

std::optional<double> parseNumber(std::string_view text) {
  std::string_view t = trim(text);
  if (t.empty())
    return std::nullopt;
  std::string s;
  size_t commas = 0, points = 0;
  for (char c : t) {
    if (c == ',')
      ++commas;
    else if (c == '.')
      ++points;
  }
  if (commas > 1)
    return std::nullopt;
  bool groupingPoints = commas == 1 || points > 1;
  for (char c : t) {
    if (c == '.' && groupingPoints)
      continue;
    s += c == ',' ? '.' : c;
  }
  size_t start = 0;
  if (!s.empty() && s[0] == '+')
    start = 1;
  if (start < s.size() && (s[start] == ' '))
    return std::nullopt;
  double d = 0;
  const char *b = s.data() + start, *e = s.data() + s.size();
  // Digits after an optional sign: "inf" and "nan" are not numbers here.
  const char *digits = b != e && *b == '-' ? b + 1 : b;
  if (digits == e ||
      !(isDigit(*digits) || (*digits == '.' && digits + 1 != e && isDigit(digits[1]))))
    return std::nullopt;
  auto [p, ec] = std::from_chars(b, e, d);
  if (ec != std::errc() || p != e || !std::isfinite(d))
    return std::nullopt;
  return d;
}

std::optional<jet::DateTime> parseDateLiteral(std::string_view text) {
  return parseDate(text, false, true);
}

std::optional<jet::DateTime> parseItalianDate(std::string_view text, bool withTime) {
  return parseDate(text, true, withTime);
}

std::string formatNumber(double d) {
  if (d == 0)
    return "0";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15G", d);
  std::string s = buf;
  size_t e = s.find('E');
  std::string mant = e == std::string::npos ? s : s.substr(0, e);
  std::string exp = e == std::string::npos ? "" : s.substr(e);
  if (mant.find('.') != std::string::npos) {
    while (mant.back() == '0')
      mant.pop_back();
    if (mant.back() == '.')
      mant.pop_back();
  }
  for (auto &c : mant)
    if (c == '.')
      c = ',';
  if (!exp.empty()) { // E+020 -> E+20
    std::string digits = exp.substr(2);
    while (digits.size() > 2 && digits[0] == '0')
      digits.erase(0, 1);
    exp = exp.substr(0, 2) + digits;
  }
  return mant + exp;
}

std::string formatCurrency(jet::Currency c) {
  bool neg = c.units < 0;
  unsigned long long u = neg ? 0ULL - static_cast<unsigned long long>(c.units)
                             : static_cast<unsigned long long>(c.units);
  std::string s = std::to_string(u / 10000);
  unsigned frac = static_cast<unsigned>(u % 10000);
  if (frac) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04u", frac);
    std::string f = buf;
    while (f.back() == '0')
      f.pop_back();
    s += "," + f;
  }
  return neg ? "-" + s : s;
}

std::string formatDecimal(const jet::Decimal &d) {
  unsigned __int128 m = d.magnitude;
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
    m /= 10;
  } while (m);
  while (digits.size() <= d.scale)
    digits.insert(digits.begin(), '0');
  std::string intPart = digits.substr(0, digits.size() - d.scale);
  std::string frac = digits.substr(digits.size() - d.scale);
  while (!frac.empty() && frac.back() == '0')
    frac.pop_back();
  std::string s = frac.empty() ? intPart : intPart + "," + frac;
  return d.negative && s != "0" ? "-" + s : s;
}

std::string formatDate(jet::DateTime d) {
  jet::CivilDateTime c = jet::toCivil(d);
  bool hasTime = c.hour || c.minute || c.second;
  bool dayZero = c.year == 1899 && c.month == 12 && c.day == 30;
  char buf[48];
  if (dayZero && hasTime) {
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", c.hour, c.minute, c.second);
  } else if (hasTime) {
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d %02d:%02d:%02d", c.day, c.month, c.year, c.hour,
                  c.minute, c.second);
  } else {
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", c.day, c.month, c.year);
  }
  return buf;
}

namespace {

std::optional<jet::Guid> parseGuid(std::string_view text) {
  std::string_view t = trim(text);
  if (t.size() == 38 && t.front() == '{' && t.back() == '}')
    t = t.substr(1, 36);
  if (t.size() != 36)
    return std::nullopt;
  std::string hex;
  for (size_t i = 0; i < t.size(); ++i) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (t[i] != '-')
        return std::nullopt;
      continue;
    }
    if (!std::isxdigit(static_cast<unsigned char>(t[i])))
      return std::nullopt;
    hex += t[i];
  }
  uint8_t v[16];
  for (int i = 0; i < 16; ++i)
    v[i] = static_cast<uint8_t>(std::stoi(hex.substr(i * 2, 2), nullptr, 16));
  jet::Guid g;
  const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  for (int i = 0; i < 16; ++i)
    g.bytes[order[i]] = v[i];
  return g;
}

} // namespace

std::string toText(const Value &v) {
  return std::visit(
      [](const auto &x) -> std::string {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::monostate>)
          return "";
        else if constexpr (std::is_same_v<T, bool>)
          return x ? "-1" : "0";
        else if constexpr (std::is_same_v<T, uint8_t> || std::is_same_v<T, int16_t> ||
                           std::is_same_v<T, int32_t>)
          return std::to_string(x);
        else if constexpr (std::is_same_v<T, float>) {
          char buf[32];
          std::snprintf(buf, sizeof buf, "%.7G", static_cast<double>(x));
          double back = std::strtod(buf, nullptr);
          return formatNumber(back);
        } else if constexpr (std::is_same_v<T, double>)
          return formatNumber(x);
        else if constexpr (std::is_same_v<T, jet::Currency>)
          return formatCurrency(x);
        else if constexpr (std::is_same_v<T, jet::DateTime>)
          return formatDate(x);
        else if constexpr (std::is_same_v<T, std::string>)
          return x;
        else if constexpr (std::is_same_v<T, jet::Bytes>)
          return std::string(x.begin(), x.end());
        else if constexpr (std::is_same_v<T, jet::Guid>)
          return formatGuid(x);
        else
          return formatDecimal(x);
      },
      v.storage());
}

std::string describeValue(const Value &v) {
  if (v.isNull())
    return "Null";
  if (v.is<std::string>())
    return "'" + v.as<std::string>() + "'";
  if (v.is<jet::DateTime>())
    return "#" + formatDate(v.as<jet::DateTime>()) + "#";
  if (v.is<jet::Bytes>())
    return "(dati binari, " + std::to_string(v.as<jet::Bytes>().size()) + " byte)";
  if (v.is<bool>())
    return v.as<bool>() ? "True" : "False";
  return toText(v);
}

double decimalToDouble(const jet::Decimal &d) {
  double m = static_cast<double>(d.magnitude) / std::pow(10.0, d.scale);
  return d.negative ? -m : m;
}

jet::Decimal decimalFromDouble(double x, uint8_t precision, uint8_t scale, bool *overflow) {
  jet::Decimal d;
  d.precision = precision;
  d.scale = scale;
  d.negative = x < 0;
  double scaled = std::nearbyint(std::fabs(x) * std::pow(10.0, scale));
  *overflow = !(scaled < std::pow(10.0, precision));
  if (!*overflow)
    d.magnitude = static_cast<unsigned __int128>(scaled);
  if (d.magnitude == 0)
    d.negative = false;
  return d;
}

namespace {

jet::Status mismatch(const Value &v, const ColumnDef &col) {
  return {jet::ErrorCode::TypeMismatch, "Tipo di dati non corrispondente: il valore " +
                                            describeValue(v) + " non è valido per il campo '" +
                                            col.name + "' (" + jet::typeName(col.type) + ")."};
}

jet::Status overflow(const Value &v, const ColumnDef &col) {
  return {jet::ErrorCode::OutOfRange, "Overflow del campo numerico: il valore " + describeValue(v) +
                                          " è fuori dall'intervallo del campo '" + col.name +
                                          "' (" + jet::typeName(col.type) + ")."};
}

// A decimal's magnitude rescaled exactly to another scale, halves to even.
unsigned __int128 rescaled(const jet::Decimal &d, int to) {
  unsigned __int128 m = d.magnitude;
  int scale = d.scale;
  for (; scale < to; ++scale)
    m *= 10;
  if (scale > to) {
    unsigned __int128 p = 1;
    for (int i = to; i < scale; ++i)
      p *= 10;
    unsigned __int128 q = m / p, twice = (m % p) * 2;
    if (twice > p || (twice == p && (q & 1)))
      ++q;
    m = q;
  }
  return m;
}

// A decimal as Currency units; nullopt outside Currency's range.
std::optional<int64_t> currencyUnits(const jet::Decimal &d) {
  if (d.scale < 4 && d.magnitude > (static_cast<unsigned __int128>(1) << 100))
    return std::nullopt;
  unsigned __int128 m = rescaled(d, 4);
  const unsigned __int128 limit = static_cast<unsigned __int128>(INT64_MAX) + (d.negative ? 1 : 0);
  if (m > limit)
    return std::nullopt;
  if (d.negative)
    return static_cast<int64_t>(0 - static_cast<uint64_t>(m));
  return static_cast<int64_t>(m);
}

// The number a value gives for a numeric column: texts are read as numbers.
std::optional<double> numberFor(const Value &v) {
  if (auto d = toDouble(v))
    return d;
  if (v.is<std::string>())
    return parseNumber(v.as<std::string>());
  return std::nullopt;
}

std::optional<bool> booleanFrom(const Value &v) {
  if (v.is<bool>())
    return v.as<bool>();
  if (auto d = numberFor(v))
    return *d != 0;
  if (v.is<std::string>()) {
    std::string t = toLower(trim(v.as<std::string>()));
    if (t == "true" || t == "vero" || t == "sì" || t == "si" || t == "yes" || t == "on")
      return true;
    if (t == "false" || t == "falso" || t == "no" || t == "off")
      return false;
  }
  return std::nullopt;
}

} // namespace

jet::Result<Value> convertForColumn(const Value &v, const ColumnDef &col) {
  if (v.isNull())
    return Value{};
  switch (col.type) {
  case ColumnType::Boolean: {
    auto b = booleanFrom(v);
    if (!b)
      return mismatch(v, col);
    return Value{*b};
  }
  case ColumnType::Byte:
  case ColumnType::Integer:
  case ColumnType::Long: {
    if (v.is<jet::Bytes>() || v.is<jet::Guid>())
      return mismatch(v, col);
    auto d = numberFor(v);
    if (!d)
      return mismatch(v, col);
    double r = std::nearbyint(*d);
    double lo = col.type == ColumnType::Byte      ? 0
                : col.type == ColumnType::Integer ? -32768
                                                  : -2147483648.0;
    double hi = col.type == ColumnType::Byte      ? 255
                : col.type == ColumnType::Integer ? 32767
                                                  : 2147483647.0;
    if (!(r >= lo && r <= hi))
      return overflow(v, col);
    if (col.type == ColumnType::Byte)
      return Value{static_cast<uint8_t>(r)};
    if (col.type == ColumnType::Integer)
      return Value{static_cast<int16_t>(r)};
    return Value{static_cast<int32_t>(r)};
  }
  case ColumnType::Currency: {
    if (v.is<jet::Currency>())
      return v;
    if (v.is<jet::Decimal>()) {
      auto units = currencyUnits(v.as<jet::Decimal>());
      if (!units)
        return overflow(v, col);
      return Value{jet::Currency{*units}};
    }
    auto d = numberFor(v);
    if (!d)
      return mismatch(v, col);
    double units = std::nearbyint(*d * 10000.0);
    if (!(units >= -9.223372036854775807e18 && units < 9.223372036854775807e18))
      return overflow(v, col);
    if (v.is<int32_t>() || v.is<int16_t>() || v.is<uint8_t>())
      return Value{jet::Currency{static_cast<int64_t>(*d) * 10000}};
    return Value{jet::Currency{static_cast<int64_t>(units)}};
  }
  case ColumnType::Single: {
    auto d = numberFor(v);
    if (!d)
      return mismatch(v, col);
    if (std::isfinite(*d) && std::fabs(*d) > FLT_MAX)
      return overflow(v, col);
    return Value{static_cast<float>(*d)};
  }
  case ColumnType::Double: {
    auto d = numberFor(v);
    if (!d)
      return mismatch(v, col);
    return Value{*d};
  }
  case ColumnType::Numeric: {
    if (v.is<jet::Decimal>() || v.is<jet::Currency>() || v.is<int32_t>() || v.is<int16_t>() ||
        v.is<uint8_t>()) {
      // Exact where the value is exact.
      jet::Decimal src;
      if (v.is<jet::Decimal>()) {
        src = v.as<jet::Decimal>();
      } else if (v.is<jet::Currency>()) {
        int64_t u = v.as<jet::Currency>().units;
        src.negative = u < 0;
        src.scale = 4;
        src.magnitude = u < 0 ? 0 - static_cast<unsigned __int128>(static_cast<__int128>(u))
                              : static_cast<unsigned __int128>(u);
      } else {
        int64_t i = static_cast<int64_t>(*toDouble(v));
        src.negative = i < 0;
        src.magnitude = static_cast<unsigned __int128>(i < 0 ? -i : i);
      }
      unsigned __int128 limit = 1;
      for (int i = 0; i < col.precision; ++i)
        limit *= 10;
      if (src.scale < col.scale && src.magnitude > (static_cast<unsigned __int128>(1) << 96))
        return overflow(v, col);
      jet::Decimal out;
      out.precision = col.precision;
      out.scale = col.scale;
      out.magnitude = rescaled(src, col.scale);
      out.negative = src.negative && out.magnitude != 0;
      if (out.magnitude >= limit)
        return overflow(v, col);
      return Value{out};
    }
    auto d = numberFor(v);
    if (!d)
      return mismatch(v, col);
    bool of = false;
    jet::Decimal dec = decimalFromDouble(*d, col.precision, col.scale, &of);
    if (of)
      return overflow(v, col);
    return Value{dec};
  }
  case ColumnType::DateTime: {
    if (v.is<jet::DateTime>())
      return v;
    if (v.is<std::string>()) {
      auto d = parseItalianDate(v.as<std::string>(), true);
      if (!d)
        return mismatch(v, col);
      return Value{*d};
    }
    auto d = toDouble(v);
    if (!d)
      return mismatch(v, col);
    if (!jet::dateInRange(*d))
      return overflow(v, col);
    return Value{jet::DateTime{*d}};
  }
  case ColumnType::Text:
  case ColumnType::Memo: {
    if (v.is<jet::Bytes>())
      return mismatch(v, col);
    std::string t = toText(v);
    if (col.type == ColumnType::Text && col.size > 0) {
      size_t n = textLength(t);
      if (n > static_cast<size_t>(col.size))
        return jet::Status{jet::ErrorCode::TextTooLong,
                           "Il campo '" + col.name +
                               "' è troppo piccolo per la quantità di dati che si è tentato di "
                               "aggiungere: " +
                               std::to_string(n) + " caratteri, al massimo " +
                               std::to_string(col.size) + "."};
    }
    return Value{std::move(t)};
  }
  case ColumnType::Binary:
  case ColumnType::Ole: {
    if (!v.is<jet::Bytes>())
      return mismatch(v, col);
    if (col.type == ColumnType::Binary && col.size > 0 &&
        v.as<jet::Bytes>().size() > static_cast<size_t>(col.size))
      return jet::Status{jet::ErrorCode::TextTooLong,
                         "Il campo '" + col.name +
                             "' è troppo piccolo per la quantità di dati che si è tentato di "
                             "aggiungere."};
    return v;
  }
  case ColumnType::Guid: {
    if (v.is<jet::Guid>())
      return v;
    if (v.is<std::string>())
      if (auto g = parseGuid(v.as<std::string>()))
        return Value{*g};
    return mismatch(v, col);
  }
  }
  return mismatch(v, col);
}

} // namespace sql
