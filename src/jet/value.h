#pragma once
// The value type shared by the engine, the SQL layer and the access layer.
#include <array>
#include <compare>
#include <cstdint>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace jet {

// Jet 4 column type codes as stored in a table definition.
enum class ColumnType : uint8_t {
  Boolean = 0x01,
  Byte = 0x02,
  Integer = 0x03,  // 16-bit
  Long = 0x04,     // 32-bit
  Currency = 0x05, // 64-bit, scaled by 10,000
  Single = 0x06,
  Double = 0x07,
  DateTime = 0x08,
  Binary = 0x09,
  Text = 0x0A,
  Ole = 0x0B,
  Memo = 0x0C,
  Guid = 0x0F,
  Numeric = 0x10, // decimal
};

struct Currency {
  int64_t units = 0; // value times 10,000
  auto operator<=>(const Currency &) const = default;
};

// Days since 30 December 1899; the fraction is the time of day, as Access stores it.
struct DateTime {
  double days = 0;
  auto operator<=>(const DateTime &) const = default;
};

struct Guid {
  std::array<uint8_t, 16> bytes{};
  auto operator<=>(const Guid &) const = default;
};
// A new random GUID (version 4), as a replication ID column or GenGUID() gets one.
Guid newGuid();

// Jet decimal: a 96-bit magnitude with sign, precision and scale.
struct Decimal {
  bool negative = false;
  uint8_t precision = 18;
  uint8_t scale = 0;
  unsigned __int128 magnitude = 0; // fits 96 bits
  bool operator==(const Decimal &) const = default;
};

using Bytes = std::vector<uint8_t>;

// What a Value holds, named so that code never depends on the order of Storage's alternatives.
enum class ValueKind : uint8_t {
  Null,
  Boolean,
  Byte,
  Integer, // 16-bit
  Long,    // 32-bit
  Currency,
  Single,
  Double,
  DateTime,
  Text,
  Binary,
  Guid,
  Decimal,
};

// Null, or one value of a Jet column type. Text and memo are UTF-8; binary and OLE are bytes.
class Value {
public:
  using Storage = std::variant<std::monostate, bool, uint8_t, int16_t, int32_t, Currency, float,
                               double, DateTime, std::string, Bytes, Guid, Decimal>;

  Value() = default;
  Value(bool v) : v_(v) {}
  Value(uint8_t v) : v_(v) {}
  Value(int16_t v) : v_(v) {}
  Value(int32_t v) : v_(v) {}
  Value(Currency v) : v_(v) {}
  Value(float v) : v_(v) {}
  Value(double v) : v_(v) {}
  Value(DateTime v) : v_(v) {}
  Value(std::string v) : v_(std::move(v)) {}
  Value(const char *v) : v_(std::string(v)) {}
  Value(Bytes v) : v_(std::move(v)) {}
  Value(Guid v) : v_(v) {}
  Value(Decimal v) : v_(v) {}

  static Value null() { return {}; }

  ValueKind kind() const { return static_cast<ValueKind>(v_.index()); }
  bool isNull() const { return kind() == ValueKind::Null; }
  template <typename T> bool is() const { return std::holds_alternative<T>(v_); }
  template <typename T> const T &as() const { return std::get<T>(v_); }
  template <typename T> const T *getIf() const { return std::get_if<T>(&v_); }
  const Storage &storage() const { return v_; }

  bool operator==(const Value &o) const { return v_ == o.v_; }

private:
  Storage v_;
};

template <ValueKind K, typename T>
constexpr bool kindHolds =
    std::is_same_v<std::variant_alternative_t<static_cast<size_t>(K), Value::Storage>, T>;
static_assert(kindHolds<ValueKind::Null, std::monostate> && kindHolds<ValueKind::Boolean, bool> &&
                  kindHolds<ValueKind::Byte, uint8_t> && kindHolds<ValueKind::Integer, int16_t> &&
                  kindHolds<ValueKind::Long, int32_t> && kindHolds<ValueKind::Currency, Currency> &&
                  kindHolds<ValueKind::Single, float> && kindHolds<ValueKind::Double, double> &&
                  kindHolds<ValueKind::DateTime, DateTime> &&
                  kindHolds<ValueKind::Text, std::string> && kindHolds<ValueKind::Binary, Bytes> &&
                  kindHolds<ValueKind::Guid, Guid> && kindHolds<ValueKind::Decimal, Decimal> &&
                  std::variant_size_v<Value::Storage> == 13,
              "ValueKind must name Storage's alternatives in order");

// Calendar conversions of Access dates, exact to the second.
struct CivilDateTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
};
DateTime toDateTime(const CivilDateTime &c);
CivilDateTime toCivil(DateTime d);
// "YYYY-MM-DD HH:MM:SS"
std::string formatIso(DateTime d);

} // namespace jet
