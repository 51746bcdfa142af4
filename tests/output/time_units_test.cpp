// The reference time of the CF time coordinate, worked out by hand from the
// calendar: 2023 is a common year (day 243 = 31 August), 2024 a leap year
// (day 60 = 29 February), 1900 is not one and 2000 is.
#include "output/time_units.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace box {
namespace {

TEST(SecondsSinceUnits, DayOfYearAndStartHour) {
  EXPECT_EQ(seconds_since_units(2023, 243, 5.0), "seconds since 2023-08-31 05:00:00");
  EXPECT_EQ(seconds_since_units(2023, 1, 0.0), "seconds since 2023-01-01 00:00:00");
  EXPECT_EQ(seconds_since_units(2023, 365, 23.75), "seconds since 2023-12-31 23:45:00");
  EXPECT_EQ(seconds_since_units(2023, 60, 12.5), "seconds since 2023-03-01 12:30:00");
}

TEST(SecondsSinceUnits, LeapYears) {
  EXPECT_EQ(seconds_since_units(2024, 60, 1.0), "seconds since 2024-02-29 01:00:00");
  EXPECT_EQ(seconds_since_units(2024, 366, 0.0), "seconds since 2024-12-31 00:00:00");
  EXPECT_EQ(seconds_since_units(2000, 60, 0.0), "seconds since 2000-02-29 00:00:00");
  EXPECT_EQ(seconds_since_units(1900, 60, 0.0), "seconds since 1900-03-01 00:00:00");
  EXPECT_THROW(seconds_since_units(2023, 366, 0.0), std::invalid_argument);
  EXPECT_THROW(seconds_since_units(2023, 0, 0.0), std::invalid_argument);
}

TEST(SecondsSinceUnits, HoursPastMidnightRollOver) {
  EXPECT_EQ(seconds_since_units(2023, 243, 24.0), "seconds since 2023-09-01 00:00:00");
  EXPECT_EQ(seconds_since_units(2023, 365, 25.5), "seconds since 2024-01-01 01:30:00");
  EXPECT_EQ(seconds_since_units(2024, 366, 48.0), "seconds since 2025-01-02 00:00:00");
  EXPECT_THROW(seconds_since_units(2023, 243, -1.0), std::invalid_argument);
}

TEST(SecondsSinceUnits, FractionsOfASecond) {
  // 5.123456 h = 18444.4416 s = 05:07:24.4416.
  EXPECT_EQ(seconds_since_units(2023, 243, 5.123456), "seconds since 2023-08-31 05:07:24.4416");
  EXPECT_EQ(seconds_since_units(2023, 243, 1.0 / 3.0), "seconds since 2023-08-31 00:20:00");
}

}  // namespace
}  // namespace box
