#include "widgets/ctvariant.h"

#include "widgets/regional.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>

TextBoxError::TextBoxError(int number, QString source, QString description)
    : std::runtime_error(
          QStringLiteral("%1 %2: %3").arg(number).arg(source, description).toStdString()),
      number_(number), source_(std::move(source)), description_(std::move(description)) {}

TextBoxError TextBoxError::standard(int number) {
  QString text;
  switch (number) {
  case 5:
    text = QStringLiteral("Chiamata di routine o argomento non validi");
    break;
  case 6:
    text = QStringLiteral("Overflow");
    break;
  case 13:
    text = QStringLiteral("Tipo non corrispondente");
    break;
  case 91:
    text = QStringLiteral("Variabile oggetto o variabile del blocco With non impostata");
    break;
  case 94:
    text = QStringLiteral("Uso non valido di Null");
    break;
  default:
    text = QStringLiteral("Errore definito dall'applicazione o dall'oggetto");
  }
  return TextBoxError(number, QStringLiteral("CTextBox"), text);
}

CTDate CTDate::fromDate(const QDate &d) {
  return CTDate{double(regional::daysFromCivil(d.year(), d.month(), d.day()))};
}

CTDate CTDate::fromDateTime(const QDateTime &dt) {
  const double days = fromDate(dt.date()).days;
  const double time = dt.time().msecsSinceStartOfDay() / 86400000.0;
  return CTDate{days < 0 ? days - time : days + time};
}

QDate CTDate::date() const {
  int y, m, d;
  regional::civilFromDays((long long)std::trunc(days), y, m, d);
  return QDate(y, m, d);
}

QDateTime CTDate::dateTime() const {
  const double frac = std::fabs(days - std::trunc(days));
  return QDateTime(
      date(), QTime::fromMSecsSinceStartOfDay(int(std::llround(frac * 86400.0)) * 1000 % 86400000));
}

CTVariant CTVariant::null() {
  CTVariant v;
  v.v_ = NullTag{};
  return v;
}

CTVariant CTVariant::error(int code) {
  CTVariant v;
  v.v_ = ErrorTag{code};
  return v;
}

CTVariant::Type CTVariant::type() const {
  static const Type types[] = {Empty,  Null,     Error, Integer, Long,    Single,
                               Double, Currency, Date,  String,  Decimal, Byte};
  return types[v_.index()];
}

int CTVariant::errorCode() const {
  const auto *e = std::get_if<ErrorTag>(&v_);
  return e ? e->code : 0;
}

bool CTVariant::isNumeric() const {
  switch (type()) {
  case Integer:
  case Long:
  case Single:
  case Double:
  case Currency:
  case Decimal:
  case Byte:
    return true;
  default:
    return false;
  }
}

namespace {

std::string toDigits(unsigned __int128 v) {
  std::string s;
  while (v > 0) {
    s.insert(s.begin(), char('0' + int(v % 10)));
    v /= 10;
  }
  return s;
}

regional::Decimal fromInteger(long long v) {
  regional::Decimal d;
  d.negative = v < 0;
  const unsigned long long mag = v < 0 ? 0ULL - (unsigned long long)v : (unsigned long long)v;
  d.digits = toDigits(mag);
  while (!d.digits.empty() && d.digits.back() == '0') {
    d.digits.pop_back();
    ++d.exponent;
  }
  if (d.digits.empty())
    d = regional::Decimal{};
  return d;
}

regional::Decimal fromReal(double v, int significant) {
  char buf[64];
  const auto end =
      std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, significant - 1);
  // d.ddde±x in the C form, brought to the Italian form for the common reader
  QString s = QString::fromLatin1(buf, int(end.ptr - buf));
  s.replace(u'.', u',');
  return *regional::parseNumber(s);
}

regional::Decimal fromScaled(bool negative, unsigned __int128 mantissa, int scale) {
  regional::Decimal d;
  d.negative = negative;
  d.digits = toDigits(mantissa);
  d.exponent = -scale;
  while (!d.digits.empty() && d.digits.back() == '0') {
    d.digits.pop_back();
    ++d.exponent;
  }
  if (d.digits.empty())
    d = regional::Decimal{};
  return d;
}

// The digits of d at a fixed number of places, as one whole number; false when it exceeds limit.
bool scaled(const regional::Decimal &d, int places, unsigned __int128 limit,
            unsigned __int128 &out) {
  std::string integer, fraction;
  regional::splitDigits(d, places, integer, fraction);
  const std::string all = integer + fraction;
  if (all.size() > 38)
    return false;
  unsigned __int128 v = 0;
  for (char c : all) {
    v = v * 10 + unsigned(c - '0');
    if (v > limit)
      return false;
  }
  out = v;
  return true;
}

long double toLongDouble(const regional::Decimal &d) {
  if (d.isZero())
    return 0;
  const std::string s = (d.negative ? "-" : "") + d.digits + "e" + std::to_string(d.exponent);
  return std::strtold(s.c_str(), nullptr);
}

const unsigned __int128 kDecimalLimit = (unsigned __int128)1 << 96;

} // namespace

std::optional<long double> CTVariant::number() const {
  switch (type()) {
  case Empty:
    return 0;
  case Integer:
    return as<int16_t>();
  case Long:
    return as<int32_t>();
  case Byte:
    return as<uint8_t>();
  case Single:
    return as<float>();
  case Double:
    return as<double>();
  case Currency:
    return (long double)as<CTCurrency>().units / 10000;
  case Date:
    return as<CTDate>().days;
  case Decimal: {
    const CTDecimal &d = as<CTDecimal>();
    return toLongDouble(fromScaled(d.negative, d.mantissa, d.scale));
  }
  default:
    return std::nullopt;
  }
}

QString CTVariant::toText() const {
  switch (type()) {
  case Empty:
    return QString();
  case Null:
    throw TextBoxError::standard(94);
  case Error:
    throw TextBoxError::standard(13);
  case Integer:
    return QString::number(as<int16_t>());
  case Long:
    return QString::number(as<int32_t>());
  case Byte:
    return QString::number(as<uint8_t>());
  case Single:
    return regional::formatReal(as<float>(), 7);
  case Double:
    return regional::formatReal(as<double>(), 15);
  case Currency: {
    const int64_t u = as<CTCurrency>().units;
    QString out = regional::formatPicture(
        fromScaled(u < 0, u < 0 ? 0ULL - (uint64_t)u : (uint64_t)u, 4), QStringLiteral("0.####"));
    if (out.endsWith(regional::decimalSeparator))
      out.chop(1);
    return out;
  }
  case Date:
    return regional::formatDate(as<CTDate>().days);
  case String:
    return as<QString>();
  case Decimal: {
    const CTDecimal &d = as<CTDecimal>();
    const regional::Decimal r = fromScaled(d.negative, d.mantissa, d.scale);
    QString out = regional::formatPicture(r, QStringLiteral("0.") + QString(d.scale, u'#'));
    if (out.endsWith(regional::decimalSeparator))
      out.chop(1);
    return out;
  }
  }
  return QString();
}

CTVariant CTVariant::convertTo(int target) const {
  const Type from = type();
  if (from == Null)
    throw TextBoxError::standard(94);
  if (from == Error)
    throw TextBoxError::standard(13);
  if (target == String)
    return CTVariant(toText());

  if (target == Date) {
    if (from == Date)
      return *this;
    if (from == String) {
      const auto d = regional::parseDate(as<QString>());
      if (!d)
        throw TextBoxError::standard(13);
      return CTVariant(CTDate{*d});
    }
    const long double n = *number();
    // 1 January 100 to 31 December 9999, both days whole: before 1899 a time is a positive
    // fraction after a negative day, so noon of the first day is -657434.5.
    if (n <= -657435.0L || n >= 2958466.0L)
      throw TextBoxError::standard(6);
    return CTVariant(CTDate{double(n)});
  }

  // Numeric targets work from the exact decimal digits of the source.
  regional::Decimal d;
  switch (from) {
  case Empty:
    break;
  case Integer:
    d = fromInteger(as<int16_t>());
    break;
  case Long:
    d = fromInteger(as<int32_t>());
    break;
  case Byte:
    d = fromInteger(as<uint8_t>());
    break;
  case Single:
    d = fromReal(as<float>(), 7);
    break;
  case Double:
    d = fromReal(as<double>(), 15);
    break;
  case Date:
    d = fromReal(as<CTDate>().days, 15);
    break;
  case Currency: {
    const int64_t u = as<CTCurrency>().units;
    d = fromScaled(u < 0, u < 0 ? 0ULL - (uint64_t)u : (uint64_t)u, 4);
    break;
  }
  case Decimal: {
    const CTDecimal &x = as<CTDecimal>();
    d = fromScaled(x.negative, x.mantissa, x.scale);
    break;
  }
  case String: {
    const auto p = regional::parseNumber(as<QString>());
    if (!p)
      throw TextBoxError::standard(13);
    d = *p;
    break;
  }
  default:
    throw TextBoxError::standard(13);
  }

  switch (target) {
  case Integer:
  case Long:
  case Byte: {
    const regional::Decimal r = regional::roundTo(d, 0, true);
    const unsigned __int128 limit = target == Integer ? 32768 : target == Long ? 2147483648u : 255;
    unsigned __int128 mag = 0;
    if (!scaled(r, 0, limit, mag))
      throw TextBoxError::standard(6);
    if (target == Byte) {
      if (r.negative && mag != 0)
        throw TextBoxError::standard(6);
      return CTVariant(uint8_t(mag));
    }
    if (!r.negative && mag == limit)
      throw TextBoxError::standard(6);
    const long long v = r.negative ? -(long long)mag : (long long)mag;
    return target == Integer ? CTVariant(int16_t(v)) : CTVariant(int32_t(v));
  }
  case Single:
  case Double: {
    const long double v = toLongDouble(d);
    if (target == Single) {
      if (std::fabs(v) > FLT_MAX)
        throw TextBoxError::standard(6);
      return CTVariant(float(v));
    }
    if (std::fabs(v) > DBL_MAX)
      throw TextBoxError::standard(6);
    return CTVariant(double(v));
  }
  case Currency: {
    const regional::Decimal r = regional::roundTo(d, 4, true);
    unsigned __int128 mag = 0;
    const unsigned __int128 limit = (unsigned __int128)INT64_MAX + 1;
    if (!scaled(r, 4, limit, mag) || (!r.negative && mag == limit))
      throw TextBoxError::standard(6);
    return CTVariant(CTCurrency{r.negative ? -(int64_t)(mag - 1) - 1 : (int64_t)mag});
  }
  case Decimal: {
    int scale = std::max(0, -d.exponent);
    regional::Decimal r = regional::roundTo(d, std::min(scale, 28), true);
    scale = std::min(scale, 28);
    unsigned __int128 mag = 0;
    while (!scaled(r, scale, kDecimalLimit - 1, mag)) {
      if (scale == 0)
        throw TextBoxError::standard(6);
      --scale;
      r = regional::roundTo(r, scale, true);
    }
    return CTVariant(CTDecimal{r.negative && mag != 0, mag, scale});
  }
  default:
    throw TextBoxError::standard(13);
  }
}

std::optional<int> compareVariants(const CTVariant &a, const CTVariant &b) {
  if (a.isNull() || b.isNull() || a.isError() || b.isError())
    return std::nullopt;
  const bool aText = a.is<QString>(), bText = b.is<QString>();
  if (aText || bText) {
    if (aText && bText)
      return QString::compare(a.as<QString>(), b.as<QString>(), Qt::CaseSensitive);
    if (a.isEmpty())
      return b.as<QString>().isEmpty() ? 0 : -1;
    if (b.isEmpty())
      return a.as<QString>().isEmpty() ? 0 : 1;
    return aText ? 1 : -1; // a number is below any text
  }
  const auto x = a.number(), y = b.number();
  if (!x || !y)
    return std::nullopt;
  return *x < *y ? -1 : *x > *y ? 1 : 0;
}
