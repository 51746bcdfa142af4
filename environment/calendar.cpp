#include "environment/calendar.hpp"

#include <cmath>
#include <string>

#include "common/errors.hpp"
#include "environment/input_text.hpp"

namespace box {
namespace {

[[noreturn]] void fail(std::string_view where, const std::string& what) {
  throw InputError(std::string(where) + ": " + what);
}

// Days from 1970-01-01 to a civil date and back (the era-based algorithms
// of H. Hinnant's date library notes: 400-year eras of 146097 days, years
// counted from March so that the leap day ends the year).
long days_from_civil(const Date& d) {
  const long y = d.year - (d.month <= 2 ? 1 : 0);
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yoe = y - era * 400;
  const long mp = (d.month + 9) % 12;  // March = 0
  const long doy = (153 * mp + 2) / 5 + d.day - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

Date civil_from_days(long z) {
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const long doe = z - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
  return {year, month, day};
}

bool all_digits(std::string_view s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return !s.empty();
}

int to_int(std::string_view s) {
  int v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return v;
}

}  // namespace

bool leap_year(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int days_in_month(int year, int month) {
  constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && leap_year(year) ? 29 : days[month - 1];
}

int day_of_year(const Date& d) {
  return static_cast<int>(days_from_civil(d) - days_from_civil({d.year, 1, 1})) + 1;
}

Date parse_date(std::string_view text, std::string_view where) {
  text = trim_blanks(text);
  const std::string found = "\"" + std::string(text) + "\"";
  if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !all_digits(text.substr(0, 4)) ||
      !all_digits(text.substr(5, 2)) || !all_digits(text.substr(8, 2)))
    fail(where, "expected a date YYYY-MM-DD, found " + found);
  const Date d{to_int(text.substr(0, 4)), to_int(text.substr(5, 2)), to_int(text.substr(8, 2))};
  if (d.month < 1 || d.month > 12) fail(where, found + " has no month " + std::to_string(d.month));
  if (d.day < 1 || d.day > days_in_month(d.year, d.month))
    fail(where, found + " does not exist: month " + std::to_string(d.month) + " of " +
                    std::to_string(d.year) + " has " +
                    std::to_string(days_in_month(d.year, d.month)) + " days");
  return d;
}

Date add_days(const Date& d, long days) { return civil_from_days(days_from_civil(d) + days); }

long days_between(const Date& from, const Date& to) { return days_from_civil(to) - days_from_civil(from); }

CivilTime civil_time(const Date& start, double hours) {
  const double days = std::floor(hours / 24.0);
  CivilTime t{add_days(start, static_cast<long>(days)), hours - days * 24.0};
  // hours a hair below a whole day can round to 24 after the subtraction.
  if (t.hour >= 24.0) t = {add_days(t.date, 1), 0.0};
  return t;
}

CivilTime utc_from_local(const CivilTime& local, double utc_offset_hours) {
  return civil_time(local.date, local.hour - utc_offset_hours);
}

CivilTime local_from_utc(const CivilTime& utc, double utc_offset_hours) {
  return civil_time(utc.date, utc.hour + utc_offset_hours);
}

void check_latitude(double degrees_north, std::string_view where) {
  if (!(degrees_north >= -90.0 && degrees_north <= 90.0))
    fail(where, "expected a latitude from -90 to 90 degrees north, found " + shown(degrees_north));
}

void check_longitude(double degrees_east, std::string_view where) {
  if (!(degrees_east >= -180.0 && degrees_east <= 180.0))
    fail(where, "expected a longitude from -180 to 180 degrees east, found " + shown(degrees_east));
}

void check_utc_offset(double hours, std::string_view where) {
  if (!(hours >= -12.0 && hours <= 14.0))
    fail(where, "expected a UTC offset from -12 to 14 hours, found " + shown(hours));
}

SunSite sun_site(double latitude_north, double longitude_east, double utc_offset_hours,
                 const Date& start) {
  SunSite s;
  s.xlat = latitude_north;
  s.stdlng = -15.0 * utc_offset_hours;
  s.xlong = -longitude_east;
  if (s.stdlng - s.xlong > 180.0) s.xlong += 360.0;
  if (s.stdlng - s.xlong < -180.0) s.xlong -= 360.0;
  s.iyear = start.year;
  s.jday = day_of_year(start);
  return s;
}

}  // namespace box
