#include "widgets/regional.h"

#include <QDate>
#include <QStringList>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace regional {

namespace {

bool isDigit(QChar c) {
  return c >= u'0' && c <= u'9';
}

void normalize(Decimal &d) {
  size_t lead = 0;
  while (lead < d.digits.size() && d.digits[lead] == '0')
    ++lead;
  d.digits.erase(0, lead);
  while (!d.digits.empty() && d.digits.back() == '0') {
    d.digits.pop_back();
    ++d.exponent;
  }
  if (d.digits.empty()) {
    d.exponent = 0;
    d.negative = false;
  }
}

std::string addOne(std::string s) {
  int i = int(s.size()) - 1;
  while (i >= 0 && s[i] == '9') {
    s[i] = '0';
    --i;
  }
  if (i < 0)
    s.insert(s.begin(), '1');
  else
    ++s[i];
  return s;
}

} // namespace

std::optional<Decimal> parseNumber(const QString &text) {
  const QString s = text.trimmed();
  const int n = int(s.size());
  int i = 0;
  Decimal d;
  if (i < n && (s[i] == u'+' || s[i] == u'-')) {
    d.negative = s[i] == u'-';
    ++i;
  }
  std::string integer, fraction;
  while (i < n) {
    if (isDigit(s[i]))
      integer += char(s[i].unicode());
    else if (s[i] == groupSeparator[0] && !integer.empty())
      ; // grouping points are accepted wherever they stand in the integer part
    else
      break;
    ++i;
  }
  if (i < n && s[i] == decimalSeparator[0]) {
    ++i;
    while (i < n && isDigit(s[i]))
      fraction += char(s[i++].unicode());
  }
  if (integer.empty() && fraction.empty())
    return std::nullopt;
  long exp = 0;
  if (i < n && (s[i] == u'E' || s[i] == u'e' || s[i] == u'D' || s[i] == u'd')) {
    ++i;
    bool expNeg = false;
    if (i < n && (s[i] == u'+' || s[i] == u'-')) {
      expNeg = s[i] == u'-';
      ++i;
    }
    if (i >= n || !isDigit(s[i]))
      return std::nullopt;
    while (i < n && isDigit(s[i])) {
      exp = std::min<long>(exp * 10 + (s[i].unicode() - '0'), 100000);
      ++i;
    }
    if (expNeg)
      exp = -exp;
  }
  if (i != n)
    return std::nullopt;
  d.digits = integer + fraction;
  d.exponent = int(exp) - int(fraction.size());
  normalize(d);
  return d;
}

Decimal roundTo(const Decimal &d, int places, bool halfEven) {
  if (d.isZero() || -d.exponent <= places)
    return d;
  const int len = int(d.digits.size());
  const int drop = -d.exponent - places;
  Decimal r;
  r.negative = d.negative;
  r.exponent = -places;
  std::string keep = drop >= len ? std::string() : d.digits.substr(0, len - drop);
  const char first = drop > len ? '0' : d.digits[len - drop];
  const bool restNonZero = drop > len ? true : drop > 1; // digits carry no trailing zeros
  bool up = false;
  if (first > '5')
    up = true;
  else if (first == '5') {
    if (restNonZero || !halfEven)
      up = true;
    else
      up = !keep.empty() && ((keep.back() - '0') % 2 == 1);
  }
  r.digits = up ? addOne(keep) : keep;
  normalize(r);
  return r;
}

void splitDigits(const Decimal &d, int places, std::string &integer, std::string &fraction) {
  const Decimal r = roundTo(d, places, false);
  std::string s = r.digits.empty() ? std::string(1, '0') : r.digits;
  // s × 10^exponent, brought to a whole number of 10^-places units.
  const int shift = r.digits.empty() ? places : r.exponent + places;
  s.append(size_t(std::max(shift, 0)), '0');
  if (int(s.size()) <= places)
    s.insert(0, size_t(places - int(s.size()) + 1), '0');
  integer = s.substr(0, s.size() - size_t(places));
  fraction = s.substr(s.size() - size_t(places));
  size_t lead = 0;
  while (lead + 1 < integer.size() && integer[lead] == '0')
    ++lead;
  integer.erase(0, lead);
  if (integer == "0")
    integer.clear();
}

QString formatPicture(const Decimal &d, const QString &picture) {
  auto isPlaceholder = [](QChar c) { return c == u'#' || c == u'0' || c == u'.' || c == u','; };
  int first = -1, last = -1;
  for (int i = 0; i < picture.size(); ++i)
    if (isPlaceholder(picture[i])) {
      if (first < 0)
        first = i;
      last = i;
    }
  if (first < 0)
    return picture;
  const QString prefix = picture.left(first);
  const QString suffix = picture.mid(last + 1);
  const QString body = picture.mid(first, last - first + 1);
  const int point = int(body.indexOf(u'.'));
  const QString intSec = point < 0 ? body : body.left(point);
  QString decSec = point < 0 ? QString() : body.mid(point + 1);
  decSec.remove(u'.');
  decSec.remove(u',');

  const bool grouping = intSec.contains(u',');
  QString intDigits = intSec;
  intDigits.remove(u',');
  const int firstZero = int(intDigits.indexOf(u'0'));
  const int minInt = firstZero < 0 ? 0 : int(intDigits.size()) - firstZero;
  const int places = int(decSec.size());
  const int mandatory = int(decSec.lastIndexOf(u'0')) + 1;

  std::string integer, fraction;
  splitDigits(d, places, integer, fraction);
  const bool zero = integer.empty() && fraction.find_first_not_of('0') == std::string::npos;
  if (int(integer.size()) < minInt)
    integer.insert(0, size_t(minInt - int(integer.size())), '0');
  QString intText = QString::fromStdString(integer);
  if (grouping)
    for (int pos = int(intText.size()) - 3; pos > 0; pos -= 3)
      intText.insert(pos, groupSeparator);
  while (int(fraction.size()) > mandatory && fraction.back() == '0')
    fraction.pop_back();

  QString out;
  if (d.negative && !zero)
    out += u'-';
  out += prefix + intText;
  if (point >= 0)
    out += decimalSeparator + QString::fromStdString(fraction);
  return out + suffix;
}

double leadingValue(const QString &text) {
  QString s;
  for (QChar c : text)
    if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r')
      s += c;
  const int n = int(s.size());
  int i = 0;
  if (n >= 2 && s[0] == u'&' && (s[1].toUpper() == u'H' || s[1].toUpper() == u'O')) {
    const int base = s[1].toUpper() == u'H' ? 16 : 8;
    long long v = 0;
    for (i = 2; i < n; ++i) {
      const int digit = s[i].isDigit() ? s[i].digitValue()
                        : (base == 16 && s[i].toUpper() >= u'A' && s[i].toUpper() <= u'F')
                            ? s[i].toUpper().unicode() - 'A' + 10
                            : -1;
      if (digit < 0 || digit >= base)
        break;
      v = v * base + digit;
    }
    return double(v);
  }
  std::string c;
  if (i < n && (s[i] == u'+' || s[i] == u'-'))
    c += char(s[i++].unicode());
  bool any = false;
  while (i < n && isDigit(s[i])) {
    c += char(s[i++].unicode());
    any = true;
  }
  if (i < n && s[i] == u'.') {
    c += '.';
    ++i;
    while (i < n && isDigit(s[i])) {
      c += char(s[i++].unicode());
      any = true;
    }
  }
  if (!any)
    return 0;
  if (i < n && (s[i] == u'E' || s[i] == u'e' || s[i] == u'D' || s[i] == u'd')) {
    int j = i + 1;
    std::string e = "e";
    if (j < n && (s[j] == u'+' || s[j] == u'-'))
      e += char(s[j++].unicode());
    if (j < n && isDigit(s[j])) {
      while (j < n && isDigit(s[j]))
        e += char(s[j++].unicode());
      c += e;
    }
  }
  double v = 0;
  std::from_chars(c.data(), c.data() + c.size(), v); // C form whatever the process locale
  return v;
}

namespace {

// One element of a pattern at pi against ch; next receives the index after the element.
bool matchElement(const QString &p, int pi, QChar ch, int &next) {
  const QChar e = p[pi];
  if (e == u'#') {
    next = pi + 1;
    return isDigit(ch);
  }
  if (e == u'?') {
    next = pi + 1;
    return true;
  }
  if (e == u'[') {
    const int close = int(p.indexOf(u']', pi + 1));
    if (close < 0) { // an unclosed bracket stands for itself
      next = pi + 1;
      return ch == e;
    }
    next = close + 1;
    int k = pi + 1;
    bool negate = false;
    if (k < close && p[k] == u'!') {
      negate = true;
      ++k;
    }
    bool found = false;
    for (; k < close; ++k) {
      if (k + 2 < close && p[k + 1] == u'-') {
        if (ch >= p[k] && ch <= p[k + 2])
          found = true;
        k += 2;
      } else if (p[k] == ch)
        found = true;
    }
    return found != negate;
  }
  next = pi + 1;
  return ch == e;
}

} // namespace

bool like(const QString &text, const QString &pattern) {
  int ti = 0, pi = 0;
  int starP = -1, starT = -1;
  while (ti < text.size()) {
    int next = 0;
    if (pi < pattern.size() && pattern[pi] == u'*') {
      starP = ++pi;
      starT = ti;
    } else if (pi < pattern.size() && matchElement(pattern, pi, text[ti], next)) {
      pi = next;
      ++ti;
    } else if (starP >= 0) {
      pi = starP;
      ti = ++starT;
    } else
      return false;
  }
  while (pi < pattern.size() && pattern[pi] == u'*')
    ++pi;
  return pi == pattern.size();
}

long long daysFromCivil(int year, int month, int day) {
  const long long y = month <= 2 ? year - 1 : year;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + 25569; // 1 January 1970 is day 25569
}

void civilFromDays(long long days, int &year, int &month, int &day) {
  const long long z = days - 25569 + 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  day = int(doy - (153 * mp + 2) / 5 + 1);
  month = int(mp < 10 ? mp + 3 : mp - 9);
  year = int(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

bool validCivil(int year, int month, int day) {
  static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1)
    return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= lengths[month - 1] + (month == 2 && leap ? 1 : 0);
}

namespace {

bool allDigits(const QString &s) {
  return !s.isEmpty() && std::all_of(s.begin(), s.end(), [](QChar c) { return isDigit(c); });
}

std::optional<double> parseTime(const QString &s) {
  const QStringList parts = s.split(u':');
  if (parts.size() < 2 || parts.size() > 3)
    return std::nullopt;
  int v[3] = {0, 0, 0};
  for (int i = 0; i < parts.size(); ++i) {
    if (!allDigits(parts[i]) || parts[i].size() > 2)
      return std::nullopt;
    v[i] = parts[i].toInt();
  }
  if (v[0] > 23 || v[1] > 59 || v[2] > 59)
    return std::nullopt;
  return (v[0] * 3600 + v[1] * 60 + v[2]) / 86400.0;
}

} // namespace

std::optional<double> parseDate(const QString &text) {
  const QStringList words = text.simplified().split(u' ', Qt::SkipEmptyParts);
  if (words.isEmpty() || words.size() > 2)
    return std::nullopt;
  QString datePart = words[0], timePart = words.size() == 2 ? words[1] : QString();
  if (words.size() == 1 && datePart.contains(u':')) {
    timePart = datePart;
    datePart.clear();
  }
  double time = 0;
  if (!timePart.isEmpty()) {
    const auto t = parseTime(timePart);
    if (!t)
      return std::nullopt;
    time = *t;
  }
  if (datePart.isEmpty())
    return time;
  QStringList fields;
  QString cur;
  for (QChar c : datePart) {
    if (c == u'/' || c == u'-' || c == u'.') {
      fields << cur;
      cur.clear();
    } else
      cur += c;
  }
  fields << cur;
  if (fields.size() < 2 || fields.size() > 3)
    return std::nullopt;
  for (const QString &f : fields)
    if (!allDigits(f) || f.size() > 4)
      return std::nullopt;
  const int day = fields[0].toInt(), month = fields[1].toInt();
  int year = QDate::currentDate().year();
  if (fields.size() == 3) {
    year = fields[2].toInt();
    if (fields[2].size() <= 2)
      year += year < 30 ? 2000 : 1900;
  }
  if (fields[0].size() > 2 || fields[1].size() > 2 || !validCivil(year, month, day))
    return std::nullopt;
  const double days = double(daysFromCivil(year, month, day));
  return days < 0 ? days - time : days + time;
}

QString formatDate(double days) {
  long long whole = (long long)std::trunc(days);
  long long secs = std::llround(std::fabs(days - double(whole)) * 86400.0);
  if (secs >= 86400) {
    secs -= 86400;
    whole += days < 0 ? -1 : 1;
  }
  const QString time = QStringLiteral("%1:%2:%3")
                           .arg(secs / 3600, 2, 10, QChar(u'0'))
                           .arg(secs / 60 % 60, 2, 10, QChar(u'0'))
                           .arg(secs % 60, 2, 10, QChar(u'0'));
  if (whole == 0 && secs != 0)
    return time;
  int y, m, d;
  civilFromDays(whole, y, m, d);
  QString out = QStringLiteral("%1/%2/%3")
                    .arg(d, 2, 10, QChar(u'0'))
                    .arg(m, 2, 10, QChar(u'0'))
                    .arg(y, 4, 10, QChar(u'0'));
  if (secs != 0)
    out += u' ' + time;
  return out;
}

QString formatReal(double v, int significant) {
  if (v == 0)
    return QStringLiteral("0");
  char buf[64];
  const auto end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, significant);
  QString s = QString::fromLatin1(buf, int(end.ptr - buf)).toUpper();
  s.replace(u'.', decimalSeparator[0]);
  return s;
}

} // namespace regional
