#include "run/sun.hpp"

#include <cmath>

#include "environment/emission_profile.hpp"

namespace box {
namespace {

bool leap_year(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

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

Astron RunSun::day_constants(int offset) const {
  Astron a = solar_.astron;
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
