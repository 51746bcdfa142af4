#pragma once
// Position of the sun: the declination and equation of time of the run's
// day (fixed for the run) and, at each step, the solar zenith angle; plus a
// clear-sky radiation model whose ratio to the observed radiation is shown
// in the progress lines.
#include <cstdint>

#include "common/line_item.hpp"

namespace box {

// Degrees to radians as the site constants and the clear-sky model use it.
inline constexpr double pid180 = 3.14159265358979 / 180.0;

// Solar constants of the site and the day.
struct Astron {
  double eqtm = 0;    // equation of time, hours
  double decl = 0;    // solar declination, radians
  double sindec = 0;  // sin(decl)
  double cosdec = 0;  // cos(decl)
  double decmax = 0;  // sine of the largest declination (23.44 degrees)
  double sinlat = 0;  // sine of the latitude
  double coslat = 0;  // cosine of the latitude
  double tanlat = 0;  // tangent of the latitude
  double dlong = 0;   // (standard meridian - longitude) in hours
};

// The sun at the current step.
struct Deg2 {
  double hrang = 0;   // hour angle, radians, 0 at solar noon
  double timsun = 0;  // apparent solar time, hours
};

struct SolarState {
  Astron astron;
  Deg2 deg2;
};

// Site constants for latitude `xlat` (degrees north), longitude `xlong` and
// standard meridian `stdlng` (degrees, positive to the west); the
// declination terms are left for declin().
Astron site_constants(double xlat, double xlong, double stdlng);

// Days since the start of the orbital elements' epoch, counted in 365-day
// years from 1977.
std::int32_t day_count(std::int32_t iyear, std::int32_t icumdy);

// Declination and equation of time of day `icumdy` of `iyear` into `a`:
// declin_at() of that day's count.
void declin(Astron& a, std::int32_t iyear, std::int32_t icumdy);

// Declination and equation of time at day `kday` of the orbital elements'
// count into `a`. The whole days of the count fall near 0 h UTC; a fraction
// places the sun within the day.
void declin_at(Astron& a, double kday);

struct SunPosition {
  double coszen = 0;  // cosine of the zenith angle
  double zenang = 0;  // zenith angle, radians
};

// The sun at local time `timloc` (hours) of the day whose constants are
// `a`: the angles zenith() finds, bit for bit, with nothing changed and
// nothing said.
SunPosition sun_position(const Astron& a, double timloc);

// Zenith angle at local time `timloc` (hours); updates s.deg2. Warnings go
// to `warn` as free-format lines; an empty `warn` takes none (the sun is
// placed the same either way).
SunPosition zenith(SolarState& s, double timloc, const LineSink& warn);

// Ratio of the observed radiation `averad` (W m-2) to a clear-sky estimate
// of visible plus near-infrared radiation for the sun at `sun`; with the sun
// at or below 0.01 of its zenith cosine there is no estimate and `previous`
// is returned.
double clear_sky_ratio(const SunPosition& sun, double averad, double previous);

}  // namespace box
