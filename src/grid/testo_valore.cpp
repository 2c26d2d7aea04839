#include "grid/testo_valore.h"

#include "data/ado_types.h"
#include "jet/value_text.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace grid {

namespace {

// std::to_chars and from_chars ignore the C locale, which Qt sets from the environment.
std::string formatGeneral(double d, int digits) {
  if (d == 0)
    return "0"; // also -0
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, digits);
  std::string s(buf, r.ptr);
  std::string out;
  for (char c : s)
    out += c == '.' ? ',' : c == 'e' ? 'E' : c;
  return out;
}

std::string zeroPadded(int n, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", width, n);
  return buf;
}

// Digits of an unsigned 128-bit number.
std::string digitsOf(unsigned __int128 n) {
  if (n == 0)
    return "0";
  std::string s;
  while (n > 0) {
    s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(n % 10)));
    n /= 10;
  }
  return s;
}

// Integer digits and a scale as Italian text, trailing decimal zeros dropped.
std::string scaledText(bool negative, unsigned __int128 magnitude, int scale) {
  std::string d = digitsOf(magnitude);
  if (scale > 0) {
    if (static_cast<int>(d.size()) <= scale)
      d.insert(0, scale - d.size() + 1, '0');
    std::string frac = d.substr(d.size() - scale);
    d.resize(d.size() - scale);
    while (!frac.empty() && frac.back() == '0')
      frac.pop_back();
    if (!frac.empty())
      d += "," + frac;
  }
  if (negative && magnitude != 0)
    d.insert(0, "-");
  return d;
}

std::string trim(const std::string &s) {
  size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a])))
    ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1])))
    --b;
  return s.substr(a, b - a);
}

std::string lower(std::string s) {
  for (char &c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool allDigits(const std::string &s) {
  if (s.empty())
    return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c)))
      return false;
  return true;
}

jet::Status invalid(const data::Field &campo, const std::string &testo, const char *atteso) {
  return {jet::ErrorCode::TypeMismatch,
          "Valore non valido per il campo " + campo.name + ": \"" + testo + "\" (" + atteso + ")."};
}

jet::Status outOfRange(const data::Field &campo) {
  return {jet::ErrorCode::OutOfRange,
          "Valore fuori dell'intervallo consentito per il campo " + campo.name + "."};
}

std::vector<std::string> splitOn(const std::string &s, const std::string &seps) {
  std::vector<std::string> parts(1);
  for (char c : s) {
    if (seps.find(c) != std::string::npos)
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

// An Italian number split into its parts: sign, integer digits, decimal digits, exponent.
struct Number {
  bool negative = false;
  std::string whole, frac;
  int exponent = 0;
};

bool parseNumber(const std::string &s, Number &n) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-'))
    n.negative = s[i++] == '-';
  size_t start = i;
  while (i < s.size() && (std::isdigit(static_cast<unsigned char>(s[i])) || s[i] == '.'))
    ++i;
  std::string whole = s.substr(start, i - start);
  // Grouping points must group thousands: 1.234.567, never 3.5.
  if (whole.find('.') != std::string::npos) {
    auto groups = splitOn(whole, ".");
    if (groups[0].empty() || groups[0].size() > 3)
      return false;
    std::string digits = groups[0];
    for (size_t g = 1; g < groups.size(); ++g) {
      if (groups[g].size() != 3)
        return false;
      digits += groups[g];
    }
    whole = digits;
  }
  n.whole = whole;
  if (i < s.size() && s[i] == ',') {
    ++i;
    size_t f = i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
      ++i;
    n.frac = s.substr(f, i - f);
  }
  if (n.whole.empty() && n.frac.empty())
    return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
      neg = s[i++] == '-';
    std::string e = s.substr(i);
    if (!allDigits(e) || e.size() > 4)
      return false;
    n.exponent = std::stoi(e) * (neg ? -1 : 1);
    i = s.size();
  }
  return i == s.size();
}

// The number with the exponent applied, as integer digits and decimal digits.
void normalise(Number &n) {
  while (n.exponent > 0) {
    n.whole += n.frac.empty() ? '0' : n.frac[0];
    if (!n.frac.empty())
      n.frac.erase(0, 1);
    --n.exponent;
  }
  while (n.exponent < 0) {
    n.frac.insert(n.frac.begin(), n.whole.empty() ? '0' : n.whole.back());
    if (!n.whole.empty())
      n.whole.pop_back();
    ++n.exponent;
  }
  size_t z = n.whole.find_first_not_of('0');
  n.whole = z == std::string::npos ? "" : n.whole.substr(z);
  while (!n.frac.empty() && n.frac.back() == '0')
    n.frac.pop_back();
}

// Integer digits and decimal digits scaled to a fixed number of decimals, rounded half to even
// as the platform rounds currency; false when the result does not fit 128 bits.
bool scaled(const Number &n, int scale, unsigned __int128 &out) {
  std::string digits = n.whole + n.frac.substr(0, std::min<size_t>(n.frac.size(), scale));
  digits.append(scale - std::min<size_t>(n.frac.size(), scale), '0');
  if (digits.size() > 36)
    return false;
  unsigned __int128 v = 0;
  for (char c : digits)
    v = v * 10 + static_cast<unsigned>(c - '0');
  if (static_cast<int>(n.frac.size()) > scale) {
    std::string rest = n.frac.substr(scale);
    bool more = rest.find_first_not_of('0', 1) != std::string::npos;
    if (rest[0] > '5' || (rest[0] == '5' && (more || (v % 2) == 1)))
      ++v;
  }
  out = v;
  return true;
}

jet::Result<jet::Value> parseInteger(const std::string &t, const data::Field &campo, int64_t lo,
                                     int64_t hi) {
  Number n;
  if (!parseNumber(t, n))
    return invalid(campo, t, "atteso un numero intero");
  normalise(n);
  if (!n.frac.empty())
    return invalid(campo, t, "atteso un numero intero");
  if (n.whole.size() > 18)
    return outOfRange(campo);
  int64_t v = n.whole.empty() ? 0 : std::stoll(n.whole);
  if (n.negative)
    v = -v;
  if (v < lo || v > hi)
    return outOfRange(campo);
  switch (campo.type) {
  case data::ado::UnsignedTinyInt:
    return jet::Value(static_cast<uint8_t>(v));
  case data::ado::SmallInt:
    return jet::Value(static_cast<int16_t>(v));
  default:
    return jet::Value(static_cast<int32_t>(v));
  }
}

jet::Result<jet::Value> parseFloating(const std::string &t, const data::Field &campo, bool single) {
  Number n;
  if (!parseNumber(t, n))
    return invalid(campo, t, "atteso un numero, con la virgola per i decimali");
  std::string c = (n.negative ? "-" : "") + (n.whole.empty() ? "0" : n.whole) + "." +
                  (n.frac.empty() ? "0" : n.frac) + "e" + std::to_string(n.exponent);
  double d = 0;
  auto r = std::from_chars(c.data(), c.data() + c.size(), d);
  if (r.ec != std::errc() || !std::isfinite(d))
    return outOfRange(campo);
  if (single) {
    if (std::fabs(d) > std::numeric_limits<float>::max())
      return outOfRange(campo);
    return jet::Value(static_cast<float>(d));
  }
  return jet::Value(d);
}

bool leapYear(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysIn(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && leapYear(y) ? 29 : days[m - 1];
}

bool parseTime(const std::string &s, jet::CivilDateTime &c) {
  auto p = splitOn(s, ":.");
  if (p.size() < 2 || p.size() > 3)
    return false;
  for (auto &x : p)
    if (!allDigits(x) || x.size() > 2)
      return false;
  c.hour = std::stoi(p[0]);
  c.minute = std::stoi(p[1]);
  c.second = p.size() == 3 ? std::stoi(p[2]) : 0;
  return c.hour < 24 && c.minute < 60 && c.second < 60;
}

bool parseDate(const std::string &s, jet::CivilDateTime &c) {
  auto p = splitOn(s, "/-.");
  if (p.size() != 3)
    return false;
  for (auto &x : p)
    if (!allDigits(x) || x.size() > 4)
      return false;
  if (p[0].size() > 2 || p[1].size() > 2 || p[2].size() == 3)
    return false;
  c.day = std::stoi(p[0]);
  c.month = std::stoi(p[1]);
  c.year = std::stoi(p[2]);
  if (p[2].size() <= 2) // two-digit years as the platform windows them
    c.year += c.year < 30 ? 2000 : 1900;
  return c.year >= 100 && c.year <= 9999 && c.month >= 1 && c.month <= 12 && c.day >= 1 &&
         c.day <= daysIn(c.year, c.month);
}

jet::Result<jet::Value> parseDateTime(const std::string &t, const data::Field &campo) {
  std::vector<std::string> words;
  for (auto &w : splitOn(t, " \t"))
    if (!w.empty())
      words.push_back(w);
  jet::CivilDateTime c;
  bool ok = false;
  if (words.size() == 1) {
    bool isDate =
        words[0].find_first_of("/-") != std::string::npos || splitOn(words[0], ".").size() == 3;
    ok = isDate ? parseDate(words[0], c) : parseTime(words[0], c);
  } else if (words.size() == 2) {
    ok = parseDate(words[0], c) && parseTime(words[1], c);
  }
  if (!ok)
    return invalid(campo, t, "attesa una data gg/mm/aaaa, con l'ora se serve");
  return jet::Value(jet::toDateTime(c));
}

jet::Result<jet::Value> parseGuid(const std::string &t, const data::Field &campo) {
  std::string hex;
  for (char c : t)
    if (c != '{' && c != '}' && c != '-')
      hex += c;
  if (hex.size() != 32)
    return invalid(campo, t, "atteso un identificatore {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}");
  static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  jet::Guid g;
  for (int i = 0; i < 16; ++i) {
    unsigned b = 0;
    auto r = std::from_chars(hex.data() + 2 * i, hex.data() + 2 * i + 2, b, 16);
    if (r.ec != std::errc() || r.ptr != hex.data() + 2 * i + 2)
      return invalid(campo, t, "atteso un identificatore {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}");
    g.bytes[order[i]] = static_cast<uint8_t>(b);
  }
  return jet::Value(g);
}

// Characters as the table counts them: UTF-16 code units.
size_t utf16Length(const std::string &s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if ((c & 0xC0) != 0x80)
      n += (c >= 0xF0) ? 2 : 1;
  }
  return n;
}

} // namespace

std::string testoValore(const jet::Value &v) {
  const auto &s = v.storage();
  switch (v.kind()) {
  case jet::ValueKind::Null:
    return {};
  case jet::ValueKind::Boolean:
    return std::get<bool>(s) ? "Vero" : "Falso";
  case jet::ValueKind::Byte:
    return std::to_string(std::get<uint8_t>(s));
  case jet::ValueKind::Integer:
    return std::to_string(std::get<int16_t>(s));
  case jet::ValueKind::Long:
    return std::to_string(std::get<int32_t>(s));
  case jet::ValueKind::Currency: {
    int64_t u = std::get<jet::Currency>(s).units;
    unsigned __int128 m =
        u < 0 ? static_cast<unsigned __int128>(-(u + 1)) + 1 : static_cast<unsigned __int128>(u);
    return scaledText(u < 0, m, 4);
  }
  case jet::ValueKind::Single:
    return formatGeneral(std::get<float>(s), 7);
  case jet::ValueKind::Double:
    return formatGeneral(std::get<double>(s), 15);
  case jet::ValueKind::DateTime: {
    jet::DateTime d = std::get<jet::DateTime>(s);
    jet::CivilDateTime c = jet::toCivil(d);
    std::string time =
        zeroPadded(c.hour, 2) + ":" + zeroPadded(c.minute, 2) + ":" + zeroPadded(c.second, 2);
    if (std::trunc(d.days) == 0)
      return time; // a time of day with no date
    // The short date form: four digits of year, 0100 included.
    std::string date =
        zeroPadded(c.day, 2) + "/" + zeroPadded(c.month, 2) + "/" + zeroPadded(c.year, 4);
    if (c.hour == 0 && c.minute == 0 && c.second == 0)
      return date;
    return date + " " + time;
  }
  case jet::ValueKind::Text:
    return std::get<std::string>(s);
  case jet::ValueKind::Binary:
    return "(binario, " + std::to_string(std::get<jet::Bytes>(s).size()) + " byte)";
  case jet::ValueKind::Guid:
    return jet::formatGuid(std::get<jet::Guid>(s));
  case jet::ValueKind::Decimal: {
    const auto &d = std::get<jet::Decimal>(s);
    return scaledText(d.negative, d.magnitude, d.scale);
  }
  }
  return {};
}

bool modificabile(const data::Field &campo) {
  using namespace data::ado;
  return campo.type != Binary && campo.type != VarBinary && campo.type != LongVarBinary;
}

jet::Result<jet::Value> leggiValore(const std::string &testo, const data::Field &campo) {
  using namespace data::ado;
  if (!modificabile(campo))
    return jet::Status{jet::ErrorCode::Unsupported,
                       "Il campo " + campo.name + " contiene dati binari: non si modifica qui."};
  if (data::isTextAdoType(campo.type) || campo.type == 129 || campo.type == 200) {
    if (testo.empty())
      return jet::Value();
    if (campo.type != LongVarWChar && campo.definedSize > 0 &&
        utf16Length(testo) > static_cast<size_t>(campo.definedSize))
      return jet::Status{jet::ErrorCode::TextTooLong,
                         "Il testo è più lungo dei " + std::to_string(campo.definedSize) +
                             " caratteri del campo " + campo.name + "."};
    return jet::Value(testo);
  }
  std::string t = trim(testo);
  if (t.empty())
    return jet::Value();
  switch (campo.type) {
  case Boolean: {
    std::string l = lower(t);
    if (l == "vero" || l == "sì" || l == "si" || l == "true" || l == "-1" || l == "1")
      return jet::Value(true);
    if (l == "falso" || l == "no" || l == "false" || l == "0")
      return jet::Value(false);
    return invalid(campo, t, "atteso Vero o Falso");
  }
  case UnsignedTinyInt:
    return parseInteger(t, campo, 0, 255);
  case SmallInt:
    return parseInteger(t, campo, -32768, 32767);
  case Integer:
    return parseInteger(t, campo, std::numeric_limits<int32_t>::min(),
                        std::numeric_limits<int32_t>::max());
  case Single:
    return parseFloating(t, campo, true);
  case Double:
    return parseFloating(t, campo, false);
  case Currency: {
    Number n;
    if (!parseNumber(t, n))
      return invalid(campo, t, "atteso un importo, con la virgola per i decimali");
    normalise(n);
    unsigned __int128 m = 0;
    const unsigned __int128 limit = static_cast<unsigned __int128>(INT64_MAX);
    if (!scaled(n, 4, m) || m > limit + (n.negative ? 1 : 0))
      return outOfRange(campo);
    int64_t units = m == limit + 1 ? INT64_MIN : static_cast<int64_t>(m);
    return jet::Value(jet::Currency{n.negative && m != limit + 1 ? -units : units});
  }
  case Numeric: {
    Number n;
    if (!parseNumber(t, n))
      return invalid(campo, t, "atteso un numero, con la virgola per i decimali");
    normalise(n);
    int scale = std::max(0, campo.scale);
    int precision = campo.precision > 0 ? campo.precision : 18;
    unsigned __int128 m = 0;
    if (!scaled(n, scale, m) || static_cast<int>(digitsOf(m).size()) > precision)
      return outOfRange(campo);
    jet::Decimal d;
    d.negative = n.negative && m != 0;
    d.precision = static_cast<uint8_t>(precision);
    d.scale = static_cast<uint8_t>(scale);
    d.magnitude = m;
    return jet::Value(d);
  }
  case Date:
    return parseDateTime(t, campo);
  case Guid:
    return parseGuid(t, campo);
  }
  return jet::Value(testo);
}

QString testoPerEditor(const QString &memorizzato) {
  QString t = memorizzato;
  t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  return t;
}

QString testoDaEditor(const QString &editato, const QString &memorizzato) {
  // A text editor holds no CR: what comes back equal to what was shown is the stored text.
  QString t = editato;
  t.replace(QChar(0x2029), QLatin1Char('\n')); // paragraph ends of a rich editor
  if (t == testoPerEditor(memorizzato))
    return memorizzato;
  t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  t.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
  return t;
}

} // namespace grid
