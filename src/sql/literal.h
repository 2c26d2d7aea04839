#pragma once
// Writing values and names into SQL text so that the text reads back as the same value: the
// filter, the condition builder, bulk modify and the fiscal-year update build their statements
// with these.
#include "jet/status.h"
#include "jet/value.h"

#include <optional>
#include <string>
#include <string_view>

namespace sql {

// [name]; nullopt for a name the Jet engine cannot bracket (it holds "]", or is empty).
std::optional<std::string> quoteName(std::string_view name);
// 'text' with every apostrophe doubled.
std::string quoteText(std::string_view text);
// A number with a full stop as decimal point and no grouping, exact for a Double.
std::string numberLiteral(double d);
// #yyyy-mm-dd#, or #yyyy-mm-dd hh:mm:ss# when the value has a time of day.
std::string dateLiteral(jet::DateTime d);
// Any value as a literal; Null as "Null". A Single is written as the Double it widens to, so
// that it matches itself whichever precision the comparison takes.
std::string literal(const jet::Value &v);
// The same as quoteName and literal, with an Italian refusal for what has no safe form: a name
// the engine cannot bracket, a binary or OLE value.
jet::Result<std::string> checkedName(std::string_view name);
jet::Result<std::string> checkedLiteral(const jet::Value &v);
// "[name] = literal", or "[name] IS NULL" for a Null value; nullopt for a binary value or a
// name that cannot be bracketed.
std::optional<std::string> equalsCondition(std::string_view name, const jet::Value &v);

} // namespace sql
