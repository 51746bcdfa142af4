#include "run/sun.hpp"

#include <cmath>

#include "common/reciprocals.hpp"
#include "environment/emission_profile.hpp"

namespace box {
namespace {

// The sun follows the local clock modulo a day.
double hour_of_day(double timloc) { return timloc < 24.0 ? timloc : std::fmod(timloc, 24.0); }

int day_offset(double timloc) { return static_cast<int>(std::floor(timloc / 24.0)); }

double mean_cosine_of(const Astron& a) { return daylight_mean_cosine(a.sinlat, a.coslat, a.sindec, a.cosdec); }

}  // namespace

RunSun::RunSun(double xlat, double xlong, double stdlng, std::int32_t year, std::int32_t day)
    : year_(year), day_(day) {
  solar_.astron = site_constants(xlat, xlong, stdlng);
  declin(solar_.astron, year, day);
  mean_cosine_ = mean_cosine_of(solar_.astron);
}

RunSun RunSun::on_calendar(double xlat, double xlong, double stdlng, const Date& start) {
  RunSun sun;
  sun.on_calendar_ = true;
  // 0 h UTC of 1 January 1977 is day_count(1977, 1) of the orbital count
  // (its whole days fall within minutes of 0 h UTC), and from there every
  // day of the calendar is a day of the count. Local noon is 12 h plus the
  // meridian's hours west in UTC (local time = UTC - stdlng / 15): holding
  // the noon sun all day errs by half a day's motion at most, 0.2 degrees of
  // declination at the equinoxes. The noon fraction is added to the whole
  // day's count last, so that a day's sun has the same bits whichever day
  // the run started on.
  sun.first_day_count_ = static_cast<double>(day_count(1977, 1) + days_between(Date{1977, 1, 1}, start));
  sun.noon_fraction_ = (12.0 + stdlng * hours_per_degree) / 24.0;
  sun.solar_.astron = site_constants(xlat, xlong, stdlng);
  declin_at(sun.solar_.astron, sun.first_day_count_ + sun.noon_fraction_);
  sun.mean_cosine_ = mean_cosine_of(sun.solar_.astron);
  return sun;
}

Astron RunSun::day_constants(int offset) const {
  Astron a = solar_.astron;
  if (on_calendar_) {
    declin_at(a, (first_day_count_ + offset) + noon_fraction_);
    return a;
  }
  int year = year_;
  int day = day_ + offset;
  while (day > (leap_year(year) ? 366 : 365)) {
    day -= leap_year(year) ? 366 : 365;
    ++year;
  }
  declin(a, year, day);
  return a;
}

void RunSun::follow(double timloc) {
  const int offset = day_offset(timloc);
  if (offset == day_offset_) return;
  day_offset_ = offset;
  solar_.astron = day_constants(offset);
  mean_cosine_ = mean_cosine_of(solar_.astron);
}

SunPosition RunSun::place(double timloc, const LineSink& warn) { return zenith(solar_, hour_of_day(timloc), warn); }

double RunSun::coszen_at(double timloc) const { return position_at(timloc).coszen; }

SunPosition RunSun::position_at(double timloc) const {
  const int offset = day_offset(timloc);
  const Astron a = offset == day_offset_ ? solar_.astron : day_constants(offset);
  return sun_position(a, hour_of_day(timloc));
}

}  // namespace box
