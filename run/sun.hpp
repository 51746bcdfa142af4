#pragma once
// The sun over a run's site: the constants of the site and of the day,
// followed across the midnights the run crosses, and its place at a local
// time. Nothing here knows a mechanism; any run places its sun this way.
#include <cstdint>

#include "common/line_item.hpp"
#include "environment/solar.hpp"

namespace box {

class RunSun {
 public:
  RunSun() = default;
  // The site at latitude `xlat`, longitude `xlong` and standard meridian
  // `stdlng` (degrees; longitudes positive to the west) on day `day` of
  // `year`, the day of local time 0.
  RunSun(double xlat, double xlong, double stdlng, std::int32_t year, std::int32_t day);

  // At each midnight crossed the day of the year advances, and with it the
  // declination and the equation of time: the sun of the day of local time
  // `timloc` (hours since the first day's midnight).
  void follow(double timloc);
  // The sun at `timloc` on the day followed, its warnings to `warn` (an
  // empty sink takes none); sets the state's hour angle.
  SunPosition place(double timloc, const LineSink& warn);
  // The zenith cosine at `timloc` on its own day, placed without a word and
  // without changing this sun.
  double coszen_at(double timloc) const;
  // The sun's place at `timloc` on its own day, as coszen_at finds it.
  SunPosition position_at(double timloc) const;

  const SolarState& state() const { return solar_; }
  // The day's mean of max(cos zenith, 0), for daylight emissions.
  double mean_cosine() const { return mean_cosine_; }

 private:
  // The constants of the day `offset` days after the first.
  Astron day_constants(int offset) const;

  std::int32_t year_ = 0;
  std::int32_t day_ = 0;
  SolarState solar_;
  int day_offset_ = 0;  // midnights crossed since the start
  double mean_cosine_ = 0;
};

}  // namespace box
