// Dates, local and universal time, and the site's angles for the sun.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "common/errors.hpp"
#include "environment/calendar.hpp"

namespace box {
namespace {

std::string date_error(const std::string& text) {
  try {
    parse_date(text, "s.toml: line 3: date");
  } catch (const InputError& e) {
    return e.what();
  }
  return "no error";
}

TEST(Calendar, DatesThatExistAndDatesThatDoNot) {
  EXPECT_EQ(parse_date(" 2024-02-29 ", "x"), (Date{2024, 2, 29}));
  EXPECT_EQ(day_of_year(parse_date("2024-02-29", "x")), 60);
  EXPECT_EQ(day_of_year(parse_date("2000-02-29", "x")), 60);  // 400-year leap year
  EXPECT_EQ(day_of_year({2024, 7, 15}), 197);
  EXPECT_EQ(day_of_year({2024, 12, 31}), 366);
  EXPECT_EQ(day_of_year({2023, 12, 31}), 365);
  EXPECT_EQ(date_error("2023-02-29"),
            "s.toml: line 3: date: \"2023-02-29\" does not exist: month 2 of 2023 has 28 days");
  EXPECT_NE(date_error("1900-02-29").find("does not exist"), std::string::npos);  // century
  EXPECT_NE(date_error("2024-04-31").find("has 30 days"), std::string::npos);
  EXPECT_NE(date_error("2024-00-10").find("no month 0"), std::string::npos);
  for (const char* bad : {"2024-7-15", "15.07.2024", "2024-07-15T10", "", "2024/07/15"})
    EXPECT_EQ(date_error(bad), "s.toml: line 3: date: expected a date YYYY-MM-DD, found \"" +
                                   std::string(bad) + "\"");
}

TEST(Calendar, LocalAndUniversalTimeAcrossMidnightAndTheDateLine) {
  struct Case {
    Date local_date;
    double local_hour, offset;
    Date utc_date;
    double utc_hour;
  };
  const Case cases[] = {
      {{2024, 7, 15}, 0.5, 1.0, {2024, 7, 14}, 23.5},    // just past local midnight
      {{2024, 1, 1}, 3.0, 5.5, {2023, 12, 31}, 21.5},    // into the old year
      {{2024, 2, 28}, 22.0, -5.0, {2024, 2, 29}, 3.0},   // onto the leap day
      {{2024, 3, 1}, 8.0, 14.0, {2024, 2, 29}, 18.0},    // west of the date line, UTC+14
      {{2024, 12, 31}, 13.0, -12.0, {2025, 1, 1}, 1.0},  // east of it, UTC-12
  };
  for (const Case& c : cases) {
    const CivilTime utc = utc_from_local({c.local_date, c.local_hour}, c.offset);
    EXPECT_EQ(utc.date, c.utc_date) << c.offset;
    EXPECT_EQ(utc.hour, c.utc_hour) << c.offset;
    const CivilTime back = local_from_utc(utc, c.offset);
    EXPECT_EQ(back.date, c.local_date);
    EXPECT_EQ(back.hour, c.local_hour);
  }
  // The run's clock counts hours from its start day's midnight, either way.
  const CivilTime later = civil_time({2023, 12, 30}, 49.5);
  EXPECT_EQ(later.date, (Date{2024, 1, 1}));
  EXPECT_EQ(later.hour, 1.5);
  const CivilTime before = civil_time({2024, 3, 1}, -1.0);
  EXPECT_EQ(before.date, (Date{2024, 2, 29}));
  EXPECT_EQ(before.hour, 23.0);
  EXPECT_EQ(add_days({2024, 1, 1}, 366), (Date{2025, 1, 1}));
}

TEST(Calendar, SunSiteIsWestPositiveWithTheClocksMeridian) {
  const SunSite b = sun_site(52.4, -1.9, 1.0, {2024, 7, 15});
  EXPECT_EQ(b.xlat, 52.4);
  EXPECT_EQ(b.xlong, 1.9);    // 1.9 degrees west
  EXPECT_EQ(b.stdlng, -15.0);  // UTC+1: the meridian 15 degrees east
  EXPECT_EQ(b.iyear, 2024);
  EXPECT_EQ(b.jday, 197);
  // Solar time runs (stdlng - xlong) / 15 hours from the clock; it must be
  // the longitude's hours east of Greenwich less the offset, modulo a day,
  // and within half a day, also across the date line.
  const double sites[][2] = {{-1.9, 1.0}, {-172.0, 13.0}, {172.0, -12.0}, {-157.8, -10.0},
                             {139.7, 9.0}, {85.3, 5.75}, {179.9, 14.0}};
  for (const auto& [lon, offset] : sites) {
    const SunSite s = sun_site(0.0, lon, offset, {2024, 1, 1});
    const double hours = (s.stdlng - s.xlong) / 15.0;
    EXPECT_LE(std::abs(hours), 12.0) << lon;
    EXPECT_NEAR(std::remainder(hours - (lon / 15.0 - offset), 24.0), 0.0, 1e-12) << lon;
  }
  EXPECT_NEAR(sun_site(0.0, -172.0, 13.0, {2024, 1, 1}).stdlng -
                  sun_site(0.0, -172.0, 13.0, {2024, 1, 1}).xlong, -7.0, 1e-12);
}

TEST(Calendar, SiteKeysOutOfRange) {
  const auto message = [](auto check, double v) -> std::string {
    try {
      check(v, "s.toml: line 2: key");
    } catch (const InputError& e) {
      return e.what();
    }
    return "no error";
  };
  EXPECT_EQ(message(check_latitude, 90.0), "no error");
  EXPECT_EQ(message(check_latitude, -90.5),
            "s.toml: line 2: key: expected a latitude from -90 to 90 degrees north, found -90.5");
  EXPECT_EQ(message(check_longitude, 181.0),
            "s.toml: line 2: key: expected a longitude from -180 to 180 degrees east, found 181");
  EXPECT_EQ(message(check_utc_offset, 14.0), "no error");
  EXPECT_EQ(message(check_utc_offset, -12.5),
            "s.toml: line 2: key: expected a UTC offset from -12 to 14 hours, found -12.5");
  EXPECT_NE(message(check_latitude, std::nan("")), "no error");
}

}  // namespace
}  // namespace box
