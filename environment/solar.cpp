#include "environment/solar.hpp"

#include <algorithm>
#include <cmath>

#include "common/reciprocals.hpp"

namespace box {

Astron site_constants(double xlat, double xlong, double stdlng) {
  Astron a;
  a.decmax = std::sin(23.44 * pid180);
  a.sinlat = std::sin(pid180 * xlat);
  a.coslat = std::cos(pid180 * xlat);
  a.tanlat = a.sinlat / a.coslat;
  // 15 degrees of longitude make one hour of solar time.
  a.dlong = (stdlng - xlong) * hours_per_degree;
  return a;
}

std::int32_t day_count(std::int32_t iyear, std::int32_t icumdy) {
  return (iyear - 1977) * 365 + icumdy + 28123;
}

void declin(Astron& a, std::int32_t iyear, std::int32_t icumdy) { declin_at(a, day_count(iyear, icumdy)); }

void declin_at(Astron& a, double kday) {
  // The orbital formulas carry their own, shorter value of pi.
  constexpr double pid180_orbit = 3.1415926537 / 180.0;
  // Mean anomaly of the earth, and the eccentricity correction to its true
  // anomaly (first two terms of the equation of the centre, e = 0.01674).
  const double xm = (0.9856 * kday - 1.0) * pid180_orbit;
  const double delnu = 0.03348 * std::sin(xm) + 0.0003502845000000001 * std::sin(2.0 * xm);
  // Ecliptic longitude of the sun, and from it the declination.
  const double slong = (0.9856479 * kday - 79.828) * pid180_orbit + delnu;
  a.decl = std::asin(a.decmax * std::sin(slong));
  a.sindec = std::sin(a.decl);
  a.cosdec = std::cos(a.decl);
  // Equation of time: obliquity term minus eccentricity term, in minutes,
  // then hours.
  a.eqtm = (9.4564 * std::sin(2.0 * slong) / a.cosdec - 4.0 * delnu / pid180_orbit) *
           hours_per_minute;
}

namespace {

constexpr double pid2 = 1.57079632685;

// Apparent solar time (hours) at local time `timloc`.
double solar_time(const Astron& a, double timloc) { return a.eqtm + timloc + a.dlong; }
// Hour angle (radians, 0 at solar noon) at apparent solar time `timsun`:
// pi/2 for every 6 hours from noon.
double hour_angle(double timsun) { return (timsun - 12.0) * pid2 * one_sixth; }

}  // namespace

SunPosition sun_position(const Astron& a, double timloc) {
  // Spherical cosine rule. Rounding can carry the argument a few units past
  // +-1 with the sun straight overhead or underfoot; acos would then give
  // not-a-number, so it is held to the valid range.
  const double cos_zenith = std::cos(hour_angle(solar_time(a, timloc))) * (a.cosdec * a.coslat) + a.sindec * a.sinlat;
  SunPosition sun;
  sun.zenang = std::acos(std::clamp(cos_zenith, -1.0, 1.0));
  sun.coszen = std::cos(sun.zenang);
  return sun;
}

SunPosition zenith(SolarState& s, double timloc, const LineSink& warn) {
  const Astron& a = s.astron;
  s.deg2.timsun = solar_time(a, timloc);
  s.deg2.hrang = hour_angle(s.deg2.timsun);
  const SunPosition sun = sun_position(a, timloc);
  // An empty sink means nobody listens (the output sampler, a quiet run):
  // calling it would throw.
  if (warn && a.sindec > a.sinlat) {
    const LineItem line[] = {std::string_view("something wrong with radiation! qvx")};
    warn(line);
  }
  if (warn && timloc == 4.5) {
    const LineItem line[] = {std::string_view("check coszen"), sun.coszen};
    warn(line);
  }
  return sun;
}

double clear_sky_ratio(const SunPosition& sun, double averad, double previous) {
  const double coszen = sun.coszen;
  if (coszen <= 0.01) return previous;
  // Relative optical air mass with a refraction correction near the horizon.
  double airmas = (std::sqrt(coszen * coszen + 0.0025) - coszen) * 800.0;
  const double elevation_term = 90.0 - sun.zenang / pid180;
  airmas = airmas - 2.8 / (elevation_term * elevation_term);
  // Visible: direct beam attenuated along the path, 40 % of the rest as
  // diffuse light.
  const double potbm1 = 600.0 * std::exp(-0.16 * airmas);
  const double potvis = (potbm1 + (600.0 - potbm1) * 0.4) * coszen;
  // Near infrared: water vapour absorbs part of the beam first.
  const double axlog = std::log10(1.0 / coszen);
  const double a = std::pow(10.0, -1.195 + 0.4459 * axlog - 0.0345 * axlog * axlog);
  const double watabs = 1320.0 * a;
  const double potbm2 = std::max(720.0 * std::exp(-0.05 * airmas) - watabs, 0.0);
  const double eval = (720.0 - potbm2 - watabs) * 0.54 * coszen;
  const double potnir = potbm2 * coszen + eval;
  return std::max(averad / (potvis + potnir), 1e-05);
}

}  // namespace box
