#pragma once
// The dates Access holds: 1 January 100 to 31 December 9999, every second of both days.

namespace jet {

// Serial numbers of the first and the last of those days.
constexpr double kFirstDateDay = -657434.0;
constexpr double kLastDateDay = 2958465.0;

// True where a serial date, rounded to the second as toCivil rounds it, falls within them.
// Before 1899 the time is a positive fraction after a negative day: -657434.5 is noon of the
// first day.
bool dateInRange(double days);

} // namespace jet
