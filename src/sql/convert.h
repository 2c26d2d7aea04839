#pragma once
// Conversions between values as the Jet expression service makes them, under Italian regional
// settings (decimal comma, day/month/year).
#include "jet/status.h"
#include "jet/value.h"
#include "jet/value_text.h"
#include "sql/storage.h"

#include <optional>
#include <string>
#include <string_view>

namespace sql {

// Italian name of the type a value holds ("Null" for Null).
std::string valueTypeName(const jet::Value &v);
// The column type a value holds (Text for Null).
jet::ColumnType typeOf(const jet::Value &v);

bool isNumeric(const jet::Value &v); // bool, integers, currency, single, double, decimal, date
// The number a value stands for: true is -1, a date its serial number; nullopt for others.
std::optional<double> toDouble(const jet::Value &v);

// A number written with a decimal comma and grouping points ("1.234,5"), or with a decimal
// point and no grouping ("1234.5"); blanks around it and a sign are allowed.
std::optional<double> parseNumber(std::string_view text);

// A date between "#" signs, read as the Jet engine reads it: month/day/year (day/month/year when
// the month cannot be one) or year-month-day, with an optional time.
std::optional<jet::DateTime> parseDateLiteral(std::string_view text);
// A date written day/month/year (or year-month-day), with an optional time when withTime.
std::optional<jet::DateTime> parseItalianDate(std::string_view text, bool withTime);

std::string formatNumber(double d);
std::string formatCurrency(jet::Currency c);
std::string formatDecimal(const jet::Decimal &d);
std::string formatDate(jet::DateTime d);
using jet::formatGuid;
// The text form of a value, as "&" and the text functions see it; empty for Null.
std::string toText(const jet::Value &v);
// A value as shown inside an error message: texts quoted, Null named.
std::string describeValue(const jet::Value &v);

jet::Decimal decimalFromDouble(double d, uint8_t precision, uint8_t scale, bool *overflow);
double decimalToDouble(const jet::Decimal &d);

// Converts a value for storing into a column, or fails naming the column and the value.
jet::Result<jet::Value> convertForColumn(const jet::Value &v, const ColumnDef &col);

} // namespace sql
