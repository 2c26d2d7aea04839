#pragma once
// Italian regional settings, fixed whatever locale the environment sets: decimal comma,
// grouping point, day/month/year. Numbers are read and written from their decimal digits, so
// rounding to a number of places is exact.
#include <QString>
#include <optional>
#include <string>

namespace regional {

inline const QString decimalSeparator = QStringLiteral(",");
inline const QString groupSeparator = QStringLiteral(".");

// A decimal number: digits × 10^exponent; digits has no leading zeros ("" is zero).
struct Decimal {
  bool negative = false;
  std::string digits;
  int exponent = 0;
  bool isZero() const { return digits.empty(); }
};

// Reads a number in the Italian form: blanks around it, a leading sign, digits with grouping
// points, a decimal comma, an exponent (E or D). nullopt when the text is no number.
std::optional<Decimal> parseNumber(const QString &text);

// The number rounded to places decimals: halves away from zero, or to the even digit.
Decimal roundTo(const Decimal &d, int places, bool halfEven);

// Integer digits (no sign) and fraction digits of exactly places length, after rounding.
void splitDigits(const Decimal &d, int places, std::string &integer, std::string &fraction);

// The number formatted through a picture of "#", "0", "." and ","; other characters before the
// first placeholder or after the last are copied as they stand.
QString formatPicture(const Decimal &d, const QString &picture);

// The value of the leading number of a text read with "." as decimal point; blanks are
// skipped, reading stops at the first character that cannot continue the number.
double leadingValue(const QString &text);

// Pattern match: "#" one digit, "?" one character, "*" any run, "[...]" one of a list or range
// ("[!...]" none of them); every other character matches itself.
bool like(const QString &text, const QString &pattern);

// Days since 30 December 1899 of a civil date and back (proleptic Gregorian).
long long daysFromCivil(int year, int month, int day);
void civilFromDays(long long days, int &year, int &month, int &day);
bool validCivil(int year, int month, int day);

// Reads a date (and optional time) as day/month/year; "/", "-" or "." between the parts; a year
// of one or two digits falls in 1930-2029; day/month alone takes the current year.
std::optional<double> parseDate(const QString &text);
// dd/mm/yyyy, followed by hh:mm:ss when there is a time of day; the time alone for day 0.
QString formatDate(double days);

// The text form of reals: significant digits as given, decimal comma, exponent beyond range.
QString formatReal(double v, int significant);

} // namespace regional
