#pragma once
// The site's calendar and its angles for the sun.
//
// Dates are proleptic Gregorian. The run's clock counts local hours from
// midnight of its start day (local time = UTC + offset); the sun's
// formulas want the site's longitude and the standard meridian of its
// clock, both in degrees positive to the WEST (the parameter file's
// convention), while scenario keys give longitudes positive to the east.
#include <string_view>

namespace box {

struct Date {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..days_in_month

  friend bool operator==(const Date&, const Date&) = default;
};

bool leap_year(int year);
int days_in_month(int year, int month);
int day_of_year(const Date& d);  // 1 on 1 January

// "YYYY-MM-DD" (four-digit year, two-digit month and day, nothing else
// but surrounding blanks). A malformed text or a date that does not exist
// (2023-02-29, 2024-04-31) throws InputError "<where>: ...".
Date parse_date(std::string_view text, std::string_view where);

// The date `days` days after `d` (before, for negative days).
Date add_days(const Date& d, long days);
// Days from `from` to `to` (negative when `to` is earlier).
long days_between(const Date& from, const Date& to);

// A date and an hour of it in [0, 24).
struct CivilTime {
  Date date;
  double hour = 0;
};

// The civil time `hours` hours after midnight starting `start` (any real
// number of hours, negative ones too): how the run's clock and a time
// series' time_h become dates.
CivilTime civil_time(const Date& start, double hours);

// Local time = UTC + offset, both ways, carrying the date across midnight
// (and across the date line for offsets beyond ±12 h).
CivilTime utc_from_local(const CivilTime& local, double utc_offset_hours);
CivilTime local_from_utc(const CivilTime& utc, double utc_offset_hours);

// Range checks of the site's keys, each throwing InputError "<where>: ...":
// latitude in [−90, 90] degrees north, longitude in [−180, 180] degrees
// east, UTC offset in [−12, 14] hours (the clocks in use).
void check_latitude(double degrees_north, std::string_view where);
void check_longitude(double degrees_east, std::string_view where);
void check_utc_offset(double hours, std::string_view where);

// What the sun's formulas take: the parameter file's quantities.
struct SunSite {
  double xlat = 0;    // latitude, degrees north
  double xlong = 0;   // longitude, degrees WEST
  double stdlng = 0;  // standard meridian of the local clock, degrees WEST
  int iyear = 0;      // year of the start day
  int jday = 0;       // its day of the year
};

// The site for the sun: the standard meridian is the offset × 15 degrees
// east (an hour per 15 degrees), the longitude is turned west-positive and
// taken within 180 degrees of that meridian, so that a site just across
// the date line from its clock's meridian (Samoa at 172° W on UTC+13, whose
// meridian is 195° E) is 7 degrees from it, not 367.
SunSite sun_site(double latitude_north, double longitude_east, double utc_offset_hours,
                 const Date& start);

}  // namespace box
