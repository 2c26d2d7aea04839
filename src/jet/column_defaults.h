#pragma once
// Column default values: the "DefaultValue" design property (LvProp) that the Jet engine puts
// into a column an INSERT does not give.
//
// The engine evaluates the forms Access writes for plain defaults itself: numbers ("0", "-1.5"),
// texts in double or single quotes (the quote doubled inside), True/False, Yes/No,
// On/Off, Null, dates between "#" (month/day/year or year-month-day, optional time), Date(),
// Now() and Time() (a leading "=" allowed), GenGUID(). Any other expression is not applied: the
// column stays Null, as where it has no default.
#include "jet/properties.h"
#include "jet/table_def.h"
#include "jet/value.h"

#include <string_view>
#include <vector>

namespace jet {

struct ColumnDefault {
  enum class Kind { None, Constant, Today, Now, Time, NewGuid };
  Kind kind = Kind::None;
  Value value; // Constant: as the column stores it once the row is coerced
  bool applies() const { return kind != Kind::None; }
};

// The default an expression gives a column of this type.
ColumnDefault parseColumnDefault(std::string_view expression, const ColumnDef &column);

// One per column, in table order, from the table's design properties; empty where no column has
// a default the engine applies.
std::vector<ColumnDefault> columnDefaults(const TableDef &def, const PropertyMap &props);

// The local time of the system as an Access date.
DateTime localNow();

// Puts each column's default where supplied[i] is false, and marks it given. `now` is the
// local time (Date() takes its day).

void applyColumnDefaults(const std::vector<ColumnDefault> &defaults, std::vector<Value> &values,
                         std::vector<bool> &supplied, DateTime now);

} // namespace jet
