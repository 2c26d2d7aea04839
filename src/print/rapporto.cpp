#include "print/rapporto.h"

#include "jet/value_text.h"
#include "print/cp1252.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>

namespace print {

const char *const kRiga = "==================================================";

namespace {

std::filesystem::path &overridePath() {
  static std::filesystem::path p;
  return p;
}

// Never cuts: a text at least as long as n comes back as it is.
std::string riempiADestra(std::string s, size_t n) {
  if (s.size() < n)
    s.append(n - s.size(), ' ');
  return s;
}

std::string riempiASinistra(const std::string &s, size_t n) {
  if (s.size() >= n)
    return s;
  return std::string(n - s.size(), ' ') + s;
}

// A digit string rounded half away from zero to `decimals` places after the point.
// digits/pointPos describe the magnitude: value = 0.digits * 10^pointPos.
std::string roundDecimal(std::string digits, int pointPos, int decimals, bool negative,
                         char separator) {
  // Bring the digits to cover every place up to the last decimal wanted.
  if (pointPos < 0) {
    digits.insert(0, static_cast<size_t>(-pointPos), '0');
    pointPos = 0;
  }
  const size_t keep = static_cast<size_t>(pointPos + decimals);
  if (digits.size() < keep + 1)
    digits.append(keep + 1 - digits.size(), '0');
  bool up = digits[keep] >= '5';
  digits.resize(keep);
  if (up) {
    size_t i = keep;
    while (i > 0) {
      --i;
      if (digits[i] == '9') {
        digits[i] = '0';
      } else {
        ++digits[i];
        up = false;
        break;
      }
    }
    if (up) {
      digits.insert(0, 1, '1');
      ++pointPos;
    }
  }
  std::string whole = digits.substr(0, static_cast<size_t>(pointPos));
  std::string frac = digits.substr(static_cast<size_t>(pointPos));
  size_t nz = whole.find_first_not_of('0');
  whole = nz == std::string::npos ? "0" : whole.substr(nz);
  bool zero = whole == "0" && frac.find_first_not_of('0') == std::string::npos;
  std::string out = (negative && !zero) ? "-" : "";
  out += whole;
  if (decimals > 0) {
    out += separator;
    out += frac;
  }
  return out;
}

// The first `sig` significant digits of |v| (rounded), and in `exp` the power of ten of the first.
std::string significantDigits(double v, int sig, int &exp) {
  char buf[64];
  auto res =
      std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, sig - 1);
  std::string s(buf, res.ptr);
  size_t e = s.find('e');
  exp = std::atoi(s.c_str() + e + 1);
  std::string digits;
  for (size_t i = 0; i < e; ++i)
    if (s[i] != '.')
      digits += s[i];
  return digits;
}

// A binary floating value as the platform's formatting sees it: first to `sig` significant
// digits (15 for double, 7 for single), then rounded to `decimals` places.
std::string formatFixed(double v, int sig, int decimals) {
  if (std::isnan(v))
    return "-1,#IND";
  if (std::isinf(v))
    return v < 0 ? "-1,#INF" : "1,#INF";
  if (v == 0)
    return roundDecimal("0", 1, decimals, false, ',');
  int exp = 0;
  std::string digits = significantDigits(v, sig, exp);
  return roundDecimal(digits, exp + 1, decimals, v < 0, ',');
}

// The general text form of a binary floating value: up to `sig` significant digits, trailing
// zeros dropped, an exponent only for very large or very small magnitudes.
std::string formatGeneral(double v, int sig) {
  if (std::isnan(v) || std::isinf(v))
    return formatFixed(v, sig, 0);
  if (v == 0)
    return "0";
  int exp = 0;
  std::string digits = significantDigits(v, sig, exp);
  while (digits.size() > 1 && digits.back() == '0')
    digits.pop_back();
  std::string out = v < 0 ? "-" : "";
  if (exp >= sig || exp < -(sig)) {
    out += digits.substr(0, 1);
    if (digits.size() > 1)
      out += "," + digits.substr(1);
    char eb[16];
    std::snprintf(eb, sizeof eb, "E%c%02d", exp < 0 ? '-' : '+', std::abs(exp));
    return out + eb;
  }
  if (exp < 0)
    return out + "0," + std::string(static_cast<size_t>(-exp - 1), '0') + digits;
  if (digits.size() <= static_cast<size_t>(exp + 1))
    return out + digits + std::string(static_cast<size_t>(exp + 1) - digits.size(), '0');
  return out + digits.substr(0, static_cast<size_t>(exp + 1)) + "," +
         digits.substr(static_cast<size_t>(exp + 1));
}

// A scaled integer (currency, decimal) with its trailing fractional zeros dropped.
std::string formatScaled(unsigned __int128 magnitude, int scale, bool negative) {
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
    magnitude /= 10;
  } while (magnitude != 0);
  if (digits.size() <= static_cast<size_t>(scale))
    digits.insert(0, static_cast<size_t>(scale) + 1 - digits.size(), '0');
  std::string whole = digits.substr(0, digits.size() - static_cast<size_t>(scale));
  std::string frac = digits.substr(digits.size() - static_cast<size_t>(scale));
  while (!frac.empty() && frac.back() == '0')
    frac.pop_back();
  bool zero = whole.find_first_not_of('0') == std::string::npos && frac.empty();
  std::string out = (negative && !zero) ? "-" : "";
  out += whole;
  if (!frac.empty())
    out += "," + frac;
  return out;
}

std::string two(int n) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", n);
  return b;
}

std::string formatData(jet::DateTime d) {
  jet::CivilDateTime c = jet::toCivil(d);
  char b[16];
  std::snprintf(b, sizeof b, "%04d", c.year);
  return two(c.day) + "/" + two(c.month) + "/" + b;
}

// The date and the time as the Italian settings write a date value: the time only where there
// is one, the date only where it is not the zero day.
std::string formatDataOra(jet::DateTime d) {
  jet::CivilDateTime c = jet::toCivil(d);
  bool hasTime = c.hour != 0 || c.minute != 0 || c.second != 0;
  bool zeroDay = c.year == 1899 && c.month == 12 && c.day == 30;
  std::string time = two(c.hour) + ":" + two(c.minute) + ":" + two(c.second);
  if (zeroDay && hasTime)
    return time;
  return hasTime ? formatData(d) + " " + time : formatData(d);
}

bool toDouble(const jet::Value &v, double &out) {
  const auto &s = v.storage();
  if (auto p = std::get_if<uint8_t>(&s))
    out = *p;
  else if (auto p = std::get_if<int16_t>(&s))
    out = *p;
  else if (auto p = std::get_if<int32_t>(&s))
    out = *p;
  else if (auto p = std::get_if<float>(&s))
    out = *p;
  else if (auto p = std::get_if<double>(&s))
    out = *p;
  else if (auto p = std::get_if<jet::Currency>(&s))
    out = static_cast<double>(p->units) / 10000.0;
  else if (auto p = std::get_if<jet::Decimal>(&s)) {
    out = static_cast<double>(p->magnitude) / std::pow(10.0, p->scale);
    if (p->negative)
      out = -out;
  } else if (auto p = std::get_if<bool>(&s))
    out = *p ? -1 : 0;
  else
    return false;
  return true;
}

// Spaces instead of line breaks and other controls: one row stays one line of the report.
std::string senzaControlli(std::string s) {
  for (char &c : s)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      c = ' ';
  return s;
}

std::string testoIntero(const jet::Value &v) {
  const auto &s = v.storage();
  if (auto p = std::get_if<int32_t>(&s))
    return std::to_string(*p);
  if (auto p = std::get_if<int16_t>(&s))
    return std::to_string(*p);
  if (auto p = std::get_if<uint8_t>(&s))
    return std::to_string(*p);
  double d;
  if (v.is<float>() && toDouble(v, d))
    return formatFixed(d, 7, 0);
  if (toDouble(v, d))
    return formatFixed(d, 15, 0);
  return utf8ToCp1252(TestoValore(v));
}

std::string testoVirgola(const jet::Value &v) {
  double d;
  if (v.is<float>() && toDouble(v, d))
    return formatFixed(d, 7, 3);
  if (toDouble(v, d))
    return formatFixed(d, 15, 3);
  return utf8ToCp1252(TestoValore(v));
}

} // namespace

std::filesystem::path percorsoRapporto() {
  if (!overridePath().empty())
    return overridePath();
#ifdef _WIN32
  return std::filesystem::path("C:\\STAMPA.PRN");
#else
  const char *home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : ".") / "STAMPA.PRN";
#endif
}

void impostaPercorsoRapporto(const std::filesystem::path &path) {
  overridePath() = path;
}

Colonna LarghezzaColonna(const ReportField &field) {
  const auto l = static_cast<int64_t>(utf8ToCp1252(field.name).size());
  const int64_t d = field.definedSize;
  if (l >= d)
    return {static_cast<int>(l + 1), false};
  if (d <= 19)
    return {static_cast<int>(d + 1), false};
  return {20, true};
}

std::string TestoValore(const jet::Value &value) {
  const auto &s = value.storage();
  if (value.isNull())
    return {};
  if (auto p = std::get_if<bool>(&s))
    return *p ? "Vero" : "Falso";
  if (auto p = std::get_if<uint8_t>(&s))
    return std::to_string(*p);
  if (auto p = std::get_if<int16_t>(&s))
    return std::to_string(*p);
  if (auto p = std::get_if<int32_t>(&s))
    return std::to_string(*p);
  if (auto p = std::get_if<jet::Currency>(&s)) {
    bool neg = p->units < 0;
    auto mag = static_cast<unsigned __int128>(neg ? -static_cast<__int128>(p->units)
                                                  : static_cast<__int128>(p->units));
    return formatScaled(mag, 4, neg);
  }
  if (auto p = std::get_if<float>(&s))
    return formatGeneral(*p, 7);
  if (auto p = std::get_if<double>(&s))
    return formatGeneral(*p, 15);
  if (auto p = std::get_if<jet::DateTime>(&s))
    return formatDataOra(*p);
  if (auto p = std::get_if<std::string>(&s))
    return *p;
  if (auto p = std::get_if<jet::Bytes>(&s)) {
    if (p->empty())
      return {};
    static const char hex[] = "0123456789abcdef";
    std::string out = "0x";
    out.reserve(2 + p->size() * 2);
    for (uint8_t b : *p) {
      out += hex[b >> 4];
      out += hex[b & 15];
    }
    return out;
  }
  if (auto p = std::get_if<jet::Guid>(&s))
    return jet::formatGuid(*p);
  if (auto p = std::get_if<jet::Decimal>(&s))
    return formatScaled(p->magnitude, p->scale, p->negative);
  return {};
}

std::string CellaDati(const ReportField &field, const Colonna &col, const jet::Value &value) {
  const auto w = static_cast<size_t>(col.larghezza);
  switch (field.adoType) {
  case 3:
  case 20:
    return riempiASinistra(value.isNull() ? "0" : senzaControlli(testoIntero(value)), w - 1) + " ";
  case 4:
  case 5:
    return riempiASinistra(value.isNull() ? "0.000" : senzaControlli(testoVirgola(value)), w - 1) +
           " ";
  case 7: {
    std::string t = "__/__/____";
    if (auto d = value.getIf<jet::DateTime>())
      t = formatData(*d);
    else if (!value.isNull())
      t = senzaControlli(utf8ToCp1252(TestoValore(value)));
    return riempiASinistra(t, w - 1) + " ";
  }
  default: {
    std::string t;
    // Very long values (memo, OLE) are cut before conversion: only 19 characters can show.
    if (col.limitata && value.is<std::string>() && value.as<std::string>().size() > 19 * 4)
      t = utf8ToCp1252(std::string_view(value.as<std::string>()).substr(0, 19 * 4));
    else if (col.limitata && value.is<jet::Bytes>() && value.as<jet::Bytes>().size() > 16) {
      jet::Bytes head(value.as<jet::Bytes>().begin(), value.as<jet::Bytes>().begin() + 16);
      t = TestoValore(jet::Value(std::move(head)));
    } else
      t = utf8ToCp1252(TestoValore(value));
    if (t.empty())
      t = "_";
    if (col.limitata && t.size() > 19)
      t.resize(19);
    return riempiADestra(senzaControlli(std::move(t)), w);
  }
  }
}

jet::Result<std::string> ComponiRapporto(ReportSource &source, const std::string &tabella) {
  const int n = source.fieldCount();
  std::vector<ReportField> fields;
  std::vector<Colonna> cols;
  fields.reserve(n);
  cols.reserve(n);
  for (int i = 0; i < n; ++i) {
    fields.push_back(source.field(i));
    cols.push_back(LarghezzaColonna(fields.back()));
  }
  std::string out;
  out += "Tabella: " + senzaControlli(utf8ToCp1252(tabella)) + "\r\n";
  out += kRiga;
  out += "\r\n";
  for (int i = 0; i < n; ++i)
    out += riempiADestra(senzaControlli(utf8ToCp1252(fields[i].name)),
                         static_cast<size_t>(cols[i].larghezza));
  out += "\r\n";
  out += kRiga;
  out += "\r\n";

  const ReportSource::Position saved = source.position();
  jet::Status st = source.moveFirst();
  while (st.isOk() && !source.atEnd()) {
    for (int i = 0; i < n && st.isOk(); ++i) {
      auto v = source.value(i);
      if (!v.isOk())
        st = v.status();
      else
        out += CellaDati(fields[i], cols[i], *v);
    }
    if (!st.isOk())
      break;
    out += "\r\n";
    st = source.moveNext();
  }
  jet::Status back = source.setPosition(saved);
  if (!st.isOk())
    return st;
  if (!back.isOk())
    return back;
  return out;
}

jet::Status ScriviRapporto(ReportSource &source, const std::string &tabella,
                           const std::filesystem::path &path) {
  auto text = ComponiRapporto(source, tabella);
  if (!text.isOk())
    return text.status();
  const std::string nome = path.string();
  auto failed = [&nome]() {
    return jet::Status(jet::ErrorCode::IoError,
                       "Impossibile scrivere il file del rapporto " + nome + ".");
  };
  std::filesystem::path tmp = path;
  tmp += ".tmp";
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    if (!f)
      return failed();
    f.write(text->data(), static_cast<std::streamsize>(text->size()));
    f.close();
    if (!f) {
      std::error_code ec;
      std::filesystem::remove(tmp, ec);
      return failed();
    }
  }
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  if (ec) {
    std::filesystem::remove(tmp, ec);
    return failed();
  }
  return jet::Status::ok();
}

} // namespace print
