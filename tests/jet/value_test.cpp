#include "jet/date_range.h"
#include "jet/value.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace jet;

TEST(DateTimeConversion, RoundTripsAcrossTheEpochAndCenturies) {
  const CivilDateTime cases[] = {
      {1899, 12, 30, 0, 0, 0},  {1899, 12, 29, 6, 0, 0},    {1900, 1, 1, 0, 0, 0},
      {1900, 3, 1, 23, 59, 59}, {2000, 2, 29, 12, 30, 15},  {2026, 12, 31, 18, 30, 0},
      {100, 1, 1, 0, 0, 0},     {9999, 12, 31, 23, 59, 59}, {1753, 1, 1, 0, 0, 1},
  };
  for (const auto &c : cases) {
    CivilDateTime back = toCivil(toDateTime(c));
    EXPECT_EQ(back.year, c.year);
    EXPECT_EQ(back.month, c.month);
    EXPECT_EQ(back.day, c.day);
    EXPECT_EQ(back.hour, c.hour);
    EXPECT_EQ(back.minute, c.minute);
    EXPECT_EQ(back.second, c.second);
  }
}

TEST(DateTimeConversion, MatchesAccessSerialNumbers) {
  EXPECT_DOUBLE_EQ(toDateTime({1900, 1, 1}).days, 2.0);
  EXPECT_DOUBLE_EQ(toDateTime({2000, 1, 1}).days, 36526.0);
  // Before the epoch the time is a positive fraction after a negative day.
  EXPECT_DOUBLE_EQ(toDateTime({1899, 12, 29, 6, 0, 0}).days, -1.25);
  EXPECT_EQ(formatIso(DateTime{36526.5}), "2000-01-01 12:00:00");
  // A time a hair before midnight rounds into the next day, not to 24:00:00.
  EXPECT_EQ(formatIso(DateTime{36526.999999999}), "2000-01-02 00:00:00");
}

TEST(DateTimeConversion, TheRangeTakesTheFirstAndLastDaysWhole) {
  // Noon and the last second of 1 January 100 lie below its serial number.
  for (double d :
       {-657434.0, -657434.5, -657434.99998, -657434.9999999, 0.0, -0.5, 2958465.0, 2958465.99998})
    EXPECT_TRUE(dateInRange(d)) << d;
  EXPECT_EQ(formatIso(DateTime{-657434.5}), "0100-01-01 12:00:00");
  EXPECT_EQ(formatIso(DateTime{-657434.99998}), "0100-01-01 23:59:58");
  // 31 December 99; a hair before midnight of 31 December 9999 rounds into the year 10000.
  for (double d : {-657435.0, -657435.5, 2958466.0, 2958465.999999, 1e300, -1e300, double(NAN),
                   double(INFINITY)})
    EXPECT_FALSE(dateInRange(d)) << d;
}
