#include "sql/literal.h"

#include "sql/convert.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace sql {

std::optional<std::string> quoteName(std::string_view name) {
  if (name.empty() || name.find(']') != std::string_view::npos)
    return std::nullopt;
  return "[" + std::string(name) + "]";
}

std::string quoteText(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'')
      out += '\'';
  }
  return out + "'";
}

std::string numberLiteral(double d) {
  if (!std::isfinite(d))
    return "Null";
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, d); // shortest form that reads back exactly
  std::string s(buf, r.ptr);
  return s;
}

std::string dateLiteral(jet::DateTime d) {
  jet::CivilDateTime c = jet::toCivil(d);
  char buf[48];
  if (c.hour || c.minute || c.second)
    std::snprintf(buf, sizeof buf, "#%04d-%02d-%02d %02d:%02d:%02d#", c.year, c.month, c.day,
                  c.hour, c.minute, c.second);
  else
    std::snprintf(buf, sizeof buf, "#%04d-%02d-%02d#", c.year, c.month, c.day);
  return buf;
}

std::string literal(const jet::Value &v) {
  if (v.isNull())
    return "Null";
  if (v.is<std::string>())
    return quoteText(v.as<std::string>());
  if (v.is<bool>())
    return v.as<bool>() ? "True" : "False";
  if (v.is<jet::DateTime>())
    return dateLiteral(v.as<jet::DateTime>());
  if (v.is<uint8_t>() || v.is<int16_t>() || v.is<int32_t>())
    return toText(v);
  if (v.is<jet::Currency>() || v.is<jet::Decimal>()) {
    std::string s = toText(v); // exact digits, with a decimal comma
    for (char &c : s)
      if (c == ',')
        c = '.';
    return s;
  }
  if (v.is<float>())
    return numberLiteral(static_cast<double>(v.as<float>()));
  if (v.is<double>())
    return numberLiteral(v.as<double>());
  if (v.is<jet::Guid>())
    return quoteText(formatGuid(v.as<jet::Guid>()));
  return "Null"; // binary values have no literal form
}

jet::Result<std::string> checkedName(std::string_view name) {
  if (auto n = quoteName(name))
    return *n;
  if (name.empty())
    return jet::Status{jet::ErrorCode::InvalidName, "Il nome è vuoto."};
  return jet::Status{jet::ErrorCode::InvalidName,
                     "Il nome \"" + std::string(name) + "\" contiene una parentesi quadra chiusa."};
}

jet::Result<std::string> checkedLiteral(const jet::Value &v) {
  if (v.is<jet::Bytes>())
    return jet::Status{jet::ErrorCode::TypeMismatch,
                       "Un valore binario o un oggetto OLE non può essere scritto in una "
                       "condizione."};
  if (const double *d = v.getIf<double>(); d && !std::isfinite(*d))
    return jet::Status{jet::ErrorCode::InvalidArgument,
                       "Il valore numerico non è un numero finito."};
  if (const float *f = v.getIf<float>(); f && !std::isfinite(*f))
    return jet::Status{jet::ErrorCode::InvalidArgument,
                       "Il valore numerico non è un numero finito."};
  return literal(v);
}

std::optional<std::string> equalsCondition(std::string_view name, const jet::Value &v) {
  auto n = quoteName(name);
  if (!n || v.is<jet::Bytes>()) // binary values have no literal form
    return std::nullopt;
  if (v.isNull())
    return *n + " IS NULL";
  return *n + " = " + literal(v);
}

} // namespace sql
