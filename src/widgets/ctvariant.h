#pragma once
// The tagged value that CTextBox reads and writes: empty, Null, an error code, or one of the
// data types that the box converts to. Type numbers are the OLE Automation variant types.
#include <QDate>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <variant>

// A run-time error as the box raises it: number, source and description.
class TextBoxError : public std::runtime_error {
public:
  TextBoxError(int number, QString source, QString description);
  int number() const { return number_; }
  const QString &source() const { return source_; }
  const QString &description() const { return description_; }

  // The standard errors by number (5, 6, 13, 91, 94) with their Italian descriptions.
  static TextBoxError standard(int number);

private:
  int number_;
  QString source_;
  QString description_;
};

// Fixed point with four decimals.
struct CTCurrency {
  int64_t units = 0; // value times 10,000
  bool operator==(const CTCurrency &) const = default;
};

// Days since 30 December 1899; the fraction is the time of day.
struct CTDate {
  double days = 0;
  bool operator==(const CTDate &) const = default;
  static CTDate fromDate(const QDate &d);
  static CTDate fromDateTime(const QDateTime &dt);
  QDate date() const;
  QDateTime dateTime() const;
};

// Decimal: a 96-bit magnitude with sign and a scale of 0 to 28.
struct CTDecimal {
  bool negative = false;
  unsigned __int128 mantissa = 0;
  int scale = 0;
  bool operator==(const CTDecimal &) const = default;
};

class CTVariant {
public:
  enum Type {
    Empty = 0,
    Null = 1,
    Integer = 2,
    Long = 3,
    Single = 4,
    Double = 5,
    Currency = 6,
    Date = 7,
    String = 8,
    Error = 10,
    Decimal = 14,
    Byte = 17,
  };

  CTVariant() = default;
  CTVariant(int16_t v) : v_(v) {}
  CTVariant(int32_t v) : v_(v) {}
  CTVariant(uint8_t v) : v_(v) {}
  CTVariant(float v) : v_(v) {}
  CTVariant(double v) : v_(v) {}
  CTVariant(CTCurrency v) : v_(v) {}
  CTVariant(CTDate v) : v_(v) {}
  CTVariant(CTDecimal v) : v_(v) {}
  CTVariant(const QString &v) : v_(v) {}
  CTVariant(const char *v) : v_(QString::fromUtf8(v)) {}
  CTVariant(const QDate &d) : v_(CTDate::fromDate(d)) {}
  CTVariant(const QDateTime &dt) : v_(CTDate::fromDateTime(dt)) {}

  static CTVariant null();
  static CTVariant error(int code);

  Type type() const;
  bool isEmpty() const { return type() == Empty; }
  bool isNull() const { return type() == Null; }
  bool isError() const { return type() == Error; }
  int errorCode() const;  // 0 unless an error value
  bool isNumeric() const; // integer, real, currency, decimal or byte

  template <typename T> bool is() const { return std::holds_alternative<T>(v_); }
  template <typename T> const T &as() const { return std::get<T>(v_); }

  // Conversion to one of the types 2, 3, 4, 5, 6, 7, 8, 14, 17 with the Italian regional
  // settings; throws TextBoxError 13 (type mismatch), 6 (overflow) or 94 (Null).
  CTVariant convertTo(int type) const;
  // The text form (Italian regional settings); empty gives the empty text; Null and error
  // values throw.
  QString toText() const;
  // The numeric value of a number, date or empty; nullopt for anything else.
  std::optional<long double> number() const;

  bool operator==(const CTVariant &o) const { return v_ == o.v_; }

private:
  struct NullTag {
    bool operator==(const NullTag &) const = default;
  };
  struct ErrorTag {
    int code = 0;
    bool operator==(const ErrorTag &) const = default;
  };
  using Storage = std::variant<std::monostate, NullTag, ErrorTag, int16_t, int32_t, float, double,
                               CTCurrency, CTDate, QString, CTDecimal, uint8_t>;
  Storage v_;
};

// Variant comparison: negative, zero or positive; nullopt where the two do not compare (Null,
// error values). Empty compares as 0 or as the empty text; a number is below any text.
std::optional<int> compareVariants(const CTVariant &a, const CTVariant &b);
