#include "jet/value.h"

#include "jet/date_range.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

namespace jet {

Guid newGuid() {
  static std::mt19937_64 rng{std::random_device{}()};
  Guid g;
  for (size_t i = 0; i < 16; i += 8) {
    uint64_t r = rng();
    std::memcpy(g.bytes.data() + i, &r, 8);
  }
  g.bytes[7] = static_cast<uint8_t>((g.bytes[7] & 0x0F) | 0x40); // version 4, little-endian group
  g.bytes[8] = static_cast<uint8_t>((g.bytes[8] & 0x3F) | 0x80);
  return g;
}

namespace {

// Days from 1970-01-01 to a proleptic Gregorian date (Howard Hinnant's algorithm).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int &y, int &m, int &d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

const int64_t kEpochOffset = daysFromCivil(1899, 12, 30);

// The day and the second of the day of a serial date, rounded to the second.
struct DayAndSecond {
  int64_t day;
  int64_t second;
};

DayAndSecond roundToSecond(double days) {
  const double whole = std::trunc(days);
  DayAndSecond r{static_cast<int64_t>(whole), std::llround(std::fabs(days - whole) * 86400.0)};
  if (r.second >= 86400) { // rounding carried into the next day
    r.second -= 86400;
    r.day += 1;
  }
  return r;
}

} // namespace

DateTime toDateTime(const CivilDateTime &c) {
  int64_t days = daysFromCivil(c.year, c.month, c.day) - kEpochOffset;
  double frac = (c.hour * 3600.0 + c.minute * 60.0 + c.second) / 86400.0;
  // Before the epoch Access keeps the time as a positive fraction after a negative day.
  return DateTime{days >= 0 ? days + frac : days - frac};
}

CivilDateTime toCivil(DateTime d) {
  const auto [day, secs] = roundToSecond(d.days);
  CivilDateTime c;
  civilFromDays(day + kEpochOffset, c.year, c.month, c.day);
  c.hour = static_cast<int>(secs / 3600);
  c.minute = static_cast<int>(secs / 60 % 60);
  c.second = static_cast<int>(secs % 60);
  return c;
}

bool dateInRange(double days) {
  // Beyond the last day by less than a second rounds into the year 10000.
  return days > kFirstDateDay - 1 && days < kLastDateDay + 1 &&
         roundToSecond(days).day <= static_cast<int64_t>(kLastDateDay);
}

std::string formatIso(DateTime d) {
  CivilDateTime c = toCivil(d);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour,
                c.minute, c.second);
  return buf;
}

} // namespace jet
