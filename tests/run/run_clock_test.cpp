// A run across midnight follows the calendar: from the first step after
// midnight the sun stands at the next day's declination and equation of
// time, and the day after the 31st of December is the 1st of January of
// the next year (after the 366th day in a leap year).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "run/run.hpp"
#include "environment/solar.hpp"
#include "run/sun.hpp"
#include "tests/support/almanac_sun.hpp"
#include "tests/support/program_run.hpp"

namespace box {
namespace {

using testing::ProgramDir;

// The sun's day-dependent constants at every step.
class SunLog : public StepObserver {
 public:
  struct Entry {
    int step;
    double decl, eqtm;
  };
  void before_chemistry(const StepView& run) override {
    entries.push_back({run.steps_done, run.solar.astron.decl, run.solar.astron.eqtm});
  }
  std::vector<Entry> entries;
};

// Runs 30 hours from 20:00 on day `jday` of `year` with 300 s steps.
std::vector<SunLog::Entry> evening_to_morning(const std::string& day_line) {
  ProgramDir p;
  p.replace_line("inputn", 1, day_line);
  // The example's records twice over: 34 hours.
  const std::vector<std::string> once = p.lines(testing::example_site_name);
  std::vector<std::string> lines = once;
  lines.insert(lines.end(), once.begin() + 6, once.end());
  p.write("records.txt", testing::join_lines(lines));

  Scenario s = default_scenario();
  s.site.parameters = p / "inputn";
  s.site.records = p / "records.txt";
  s.time.start_hour = 20.0;
  s.time.hours = 30.0;
  s.output.formats.clear();
  s.output.progress_lines = false;
  TextOutput out = TextOutput::create(p / "stdout.txt", "stdout.txt");
  Run run(s, out);
  SunLog log;
  run.add_observer(log);
  run.run_day();
  EXPECT_EQ(log.entries.size(), 360u);
  return log.entries;
}

// Steps 0..47 run on the first day, 48..335 on the second, 336..359 on the
// third (12 steps an hour from 20:00).
void expect_days(const std::vector<SunLog::Entry>& entries, const std::vector<std::pair<int, int>>& days) {
  Astron a = site_constants(40.05, 88.37, 90.0);
  // The days differ enough for the sun to tell them apart.
  ASSERT_NE(entries.front().decl, entries.back().decl);
  for (const SunLog::Entry& e : entries) {
    const std::size_t d = e.step < 48 ? 0 : e.step < 336 ? 1 : 2;
    declin(a, days[d].first, days[d].second);
    ASSERT_EQ(e.decl, a.decl) << "step " << e.step << ", expected day " << days[d].second << " of " << days[d].first;
    ASSERT_EQ(e.eqtm, a.eqtm) << "step " << e.step;
  }
}

TEST(RunClock, MidnightBringsTheNextDay) {
  expect_days(evening_to_morning("243 2025"), {{2025, 243}, {2025, 244}, {2025, 245}});
}

TEST(RunClock, NewYear) {
  expect_days(evening_to_morning("365 2025"), {{2025, 365}, {2026, 1}, {2026, 2}});
  expect_days(evening_to_morning("365 2024"), {{2024, 365}, {2024, 366}, {2025, 1}});
}

// The sun of a moment read without moving the run's sun (the last sample's
// zenith cosine): the same bits as a sun that followed the day and was
// placed there, at any later hour, across midnights and the year's end;
// and the run's own sun is left where it was.
TEST(RunSun, ZenithCosineOfAnyMomentLeavesTheSunAlone) {
  const RunSun start(40.05, 88.37, 90.0, 2024, 365);
  RunSun at_dusk = start;
  at_dusk.follow(20.5);
  at_dusk.place(20.5, {});
  for (const double t : {20.5, 23.99, 24.0, 30.25, 47.5, 50.0, 75.75}) {
    RunSun moved = at_dusk;
    moved.follow(t);
    const double expected = moved.place(t, {}).coszen;
    EXPECT_EQ(at_dusk.coszen_at(t), expected) << t;
  }
  // Unmoved: still the first day's constants and hour angle.
  EXPECT_EQ(at_dusk.state().astron.decl, start.state().astron.decl);
  EXPECT_EQ(at_dusk.state().astron.eqtm, start.state().astron.eqtm);
  RunSun again = start;
  again.place(20.5, {});
  EXPECT_EQ(at_dusk.state().deg2.hrang, again.state().deg2.hrang);
  // Noon of the next day (the 366th of 2024) is daylight, the night before not.
  EXPECT_GT(at_dusk.coszen_at(36.0), 0.3);
  EXPECT_LT(at_dusk.coszen_at(24.0), 0.0);
}

// A site by keys counts the true days: at the equinoxes and solstices of
// years from 1950 to 2100 its zenith angle is the almanac's to 0.4 degrees
// at sites north and south, east and west (Samoa across the date line from
// its clock's meridian), from 00:30 to 23:30 (each day's sun is its local
// noon's: a sun held from 0 h UTC errs by 0.49 degrees); and a sun started
// 100 days before (across a year's end, and a 29 February in leap years)
// has, that day, the same bits. The 365-day years of the parameter file's
// count drift a day per leap day: 12 days by March 2024, its sun 4.6
// degrees too low there.
TEST(RunSun, OnTheCalendarTheSunIsTheAlmanacs) {
  struct Site {
    double latitude, longitude_east, utc_offset;
  };
  const Site sites[] = {{52.4, -1.9, 0.0},  {40.05, -88.37, -6.0}, {-33.9, 151.2, 10.0},
                        {0.0, 0.0, 0.0},    {-13.8, -172.0, 13.0}, {69.6, 18.9, 1.0}};
  const int days[][2] = {{3, 20}, {6, 21}, {9, 22}, {12, 21}};
  for (int year : {1950, 1963, 1977, 1999, 2000, 2024, 2051, 2076, 2100})
    for (const auto& md : days)
      for (const Site& s : sites) {
        const Date date{year, md[0], md[1]};
        const SunSite k = sun_site(s.latitude, s.longitude_east, s.utc_offset, date);
        const RunSun on_the_day = RunSun::on_calendar(k.xlat, k.xlong, k.stdlng, date);
        RunSun followed = RunSun::on_calendar(k.xlat, k.xlong, k.stdlng, add_days(date, -100));
        for (double h : {0.5, 6.0, 9.0, 12.0, 15.0, 18.0, 23.5}) {
          const double expected = testing::almanac_zenith_degrees(
              s.latitude, s.longitude_east, testing::julian_date(year, md[0], md[1], h - s.utc_offset));
          const double on_day = on_the_day.position_at(h).zenang / pid180;
          followed.follow(100 * 24.0 + h);
          const double after = followed.place(100 * 24.0 + h, {}).zenang / pid180;
          EXPECT_NEAR(on_day, expected, 0.4) << year << "-" << md[0] << "-" << md[1] << " " << h << " h at "
                                             << s.latitude << " N " << s.longitude_east << " E";
          EXPECT_EQ(after, on_day) << year << "-" << md[0] << "-" << md[1] << " " << h << " h";
        }
      }
  // The parameter file's count at the same March noon of 2024 at 52.4 N.
  const double drifted = RunSun(52.4, 1.9, 0.0, 2024, 80).position_at(12.0).zenang / pid180;
  EXPECT_NEAR(drifted - testing::almanac_zenith_degrees(52.4, -1.9, testing::julian_date(2024, 3, 20, 12.0)), 4.6,
              0.5);
}

}  // namespace
}  // namespace box

namespace box {
namespace {

using testing::ProgramDir;

// What a step hands the chemistry, worked out by hand from the record of
// its hour: the air density of an ideal gas of dry air, the water vapour's
// mass mixing ratio from its mole fraction (18 g/mol over 28.8 g/mol), the
// photolysis scaled by the scenario's factor; and the hour's record taken
// at the first step of each hour, whatever the step length.
class StepLog : public StepObserver {
 public:
  struct Entry {
    int step;
    double timin, rho, moist, tt, pp, ph1, coszen;
  };
  void after_chemistry(const StepView& run) override {
    entries.push_back({run.steps_done, run.timin, run.air_density, run.moisture,
                       run.temperature, run.pressure, run.photolysis[0], run.coszen});
  }
  std::vector<Entry> entries;
};

std::vector<StepLog::Entry> logged_run(int step_seconds, double photolysis_factor, double h2o_ppb) {
  ProgramDir p;
  Scenario s = default_scenario();
  s.site.parameters = p / "inputn";
  s.site.records = p / testing::example_site_name;
  s.time.step_seconds = step_seconds;
  s.time.hours = 9;
  s.chemistry.photolysis_factor = photolysis_factor;
  s.initial.push_back({ind_h2o, h2o_ppb, "H2O", {}});
  s.output.formats.clear();
  s.output.progress_lines = false;
  TextOutput out = TextOutput::create(p / "stdout.txt", "stdout.txt");
  Run run(s, out);
  StepLog log;
  run.add_observer(log);
  run.run_day();
  return log.entries;
}

TEST(RunSteps, AirStateAndRecordsFollowTheHourWhateverTheStep) {
  for (const int step : {1800, 300, 45}) {
    const auto log = logged_run(step, 1.0, 2.0e7);
    const std::size_t per_hour = static_cast<std::size_t>(3600 / step);
    ASSERT_EQ(log.size(), 9 * per_hour) << step;
    for (std::size_t k = 0; k < log.size(); ++k) {
      const auto& e = log[k];
      // Hour h (from 0) runs on record h + 1: time stamps 11, 12, ... UTC.
      EXPECT_EQ(e.timin, 11.0 + static_cast<double>(k / per_hour)) << step << " step " << k;
      EXPECT_EQ(e.rho, e.pp / (e.tt * 287.058)) << k;
    }
    // 2e7 ppb of water is a mole fraction of 0.02: 0.02 * 18 / 28.8.
    EXPECT_NEAR(log.front().moist, 0.0125, 1e-15);
  }
}

TEST(RunSteps, PhotolysisFactorScalesEveryFrequency) {
  const auto one = logged_run(1800, 1.0, 2.0e7);
  const auto more = logged_run(1800, 2.5, 2.0e7);
  const auto none = logged_run(1800, 0.0, 2.0e7);
  ASSERT_EQ(one.size(), more.size());
  bool daylight = false;
  for (std::size_t k = 0; k < one.size(); ++k) {
    EXPECT_NEAR(more[k].ph1, 2.5 * one[k].ph1, 1e-15 * one[k].ph1 + 1e-300) << k;
    EXPECT_EQ(none[k].ph1, 0.0) << k;
    daylight = daylight || one[k].ph1 > 0.0;
  }
  EXPECT_TRUE(daylight);
}

}  // namespace
}  // namespace box
