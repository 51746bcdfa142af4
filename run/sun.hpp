#pragma once
// The sun over a run's site: the constants of the site and of the day,
// followed across the midnights the run crosses, and its place at a local
// time. Nothing here knows a mechanism; any run places its sun this way.
#include <cstdint>

#include "common/line_item.hpp"
#include "environment/calendar.hpp"
#include "environment/solar.hpp"

namespace box {

class RunSun {
 public:
  RunSun() = default;
  // The site at latitude `xlat`, longitude `xlong` and standard meridian
  // `stdlng` (degrees; longitudes positive to the west) on day `day` of
  // `year`, the day of local time 0.
  // The days are counted as the orbital formulas count them, in 365-day
  // years from 1977 (day_count): the parameter file's day, whose sun runs
  // a day late for every leap day since 1977 and early before it.
  RunSun(double xlat, double xlong, double stdlng, std::int32_t year, std::int32_t day);
  // The same site from local date `start` on, counting the calendar's true
  // days, leap days included; each day's constants are those of the sun at
  // its local noon. For a site given by keys.
  static RunSun on_calendar(double xlat, double xlong, double stdlng, const Date& start);

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
  // The true calendar: the orbital count of the first day (whole days, 0 h
  // UTC) and the day's fraction at local noon.
  bool on_calendar_ = false;
  double first_day_count_ = 0;
  double noon_fraction_ = 0;
  SolarState solar_;
  int day_offset_ = 0;  // midnights crossed since the start
  double mean_cosine_ = 0;
};

}  // namespace box
