// Solar geometry against almanac facts: declination at the solstices and
// equinoxes, the equation of time at its extremes, the noon zenith angle.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "common/format.hpp"
#include "environment/solar.hpp"

namespace box {
namespace {

constexpr double degree = 3.14159265358979 / 180.0;

// Collects free-format warning lines.
struct Lines {
  std::vector<std::string> lines;
  LineSink sink() {
    return [this](std::span<const LineItem> items) { lines.push_back(free_lines(items)); };
  }
};

SolarState sun_for(double xlat, double xlong, double stdlng, int iyear, int jday) {
  SolarState s;
  s.astron = site_constants(xlat, xlong, stdlng);
  declin(s.astron, iyear, jday);
  return s;
}

TEST(Declination, DayCountStartsAt28124) {
  EXPECT_EQ(day_count(1977, 1), 28124);
  // Years of 365 days, leap years or not.
  EXPECT_EQ(day_count(1981, 1), 28124 + 4 * 365);
}

TEST(Declination, SolsticesAndEquinoxesOf1977) {
  struct Case {
    int jday;
    double declination_degrees;
  };
  // 21 June, 21 December, 21 March, 23 September.
  for (const Case c : {Case{172, 23.44}, Case{355, -23.44}, Case{80, 0.0}, Case{266, 0.0}}) {
    const Astron a = sun_for(45.0, 0.0, 0.0, 1977, c.jday).astron;
    EXPECT_NEAR(a.decl / degree, c.declination_degrees, 0.3) << "day " << c.jday;
    EXPECT_DOUBLE_EQ(a.sindec, std::sin(a.decl));
    EXPECT_DOUBLE_EQ(a.cosdec, std::cos(a.decl));
  }
}

TEST(Declination, EquationOfTimeAtItsExtremes) {
  // The sun runs about 16.4 min fast in early November and 14.2 min slow in
  // mid-February.
  EXPECT_NEAR(sun_for(45.0, 0.0, 0.0, 1977, 307).astron.eqtm * 60.0, 16.4, 0.5);
  EXPECT_NEAR(sun_for(45.0, 0.0, 0.0, 1977, 42).astron.eqtm * 60.0, -14.2, 0.5);
}

// Worked numbers, evaluated by hand from the orbital formulas (mean anomaly
// 0.9856 kday - 1 degrees, equation of the centre 0.03348 sin M + 1.25 e^2
// sin 2M, ecliptic longitude 0.9856479 kday - 79.828 degrees, obliquity
// 23.44 degrees) for the example site (40.05 N, 88.37 W, standard meridian
// 90 W). The almanac tests above allow a few tenths of a degree; these pin
// every constant of the formulas.
TEST(Declination, WorkedValues) {
  struct Case {
    int iyear, jday;
    double decl, eqtm;  // radians, hours
  };
  for (const Case c : {Case{2025, 243, 0.2225830321347288, -0.061313582664300537},
                       Case{1990, 20, -0.36359900126812067, -0.16534677274728252}}) {
    const Astron a = sun_for(40.05, 88.37, 90.0, c.iyear, c.jday).astron;
    EXPECT_NEAR(a.decl, c.decl, 1e-13) << c.iyear << " " << c.jday;
    EXPECT_NEAR(a.eqtm, c.eqtm, 1e-13) << c.iyear << " " << c.jday;
  }
}

TEST(Zenith, WorkedValuesAwayFromNoon) {
  struct Case {
    double timloc, timsun, hrang, zenang;
  };
  Lines warnings;
  SolarState s = sun_for(40.05, 88.37, 90.0, 2025, 243);
  for (const Case c : {Case{9.0, 9.0473530840023653, -0.77300115502234423, 0.827834818633714},
                       Case{17.5, 17.547353084002367, 1.4522936413484895, 1.3384003565510953}}) {
    const SunPosition sun = zenith(s, c.timloc, warnings.sink());
    EXPECT_NEAR(s.deg2.timsun, c.timsun, 1e-13) << c.timloc;
    EXPECT_NEAR(s.deg2.hrang, c.hrang, 1e-13) << c.timloc;
    EXPECT_NEAR(sun.zenang, c.zenang, 1e-13) << c.timloc;
    EXPECT_NEAR(sun.coszen, std::cos(c.zenang), 1e-13) << c.timloc;
  }
  EXPECT_TRUE(warnings.lines.empty());
}

TEST(Zenith, NoonZenithAngleIsLatitudeMinusDeclination) {
  Lines warnings;
  for (double xlat : {40.05, 60.0, -33.9}) {
    SolarState s = sun_for(xlat, 88.37, 90.0, 2025, 243);
    // Local time of solar noon.
    const double noon = 12.0 - s.astron.eqtm - s.astron.dlong;
    const SunPosition sun = zenith(s, noon, warnings.sink());
    EXPECT_NEAR(s.deg2.timsun, 12.0, 1e-14);
    EXPECT_NEAR(s.deg2.hrang, 0.0, 1e-14);
    EXPECT_NEAR(sun.zenang, std::fabs(xlat * degree - s.astron.decl), 1e-12) << xlat;
    EXPECT_DOUBLE_EQ(sun.coszen, std::cos(sun.zenang));
  }
}

TEST(Zenith, WarningWhenDeclinationSineExceedsLatitudeSine) {
  // Day 120 of 1977: declination about +14.7 degrees.
  Lines north, tropics, south;
  SolarState s40 = sun_for(40.0, 0.0, 0.0, 1977, 120);
  SolarState s5 = sun_for(5.0, 0.0, 0.0, 1977, 120);
  SolarState s_30 = sun_for(-30.0, 0.0, 0.0, 1977, 120);
  for (double t : {5.0, 12.0, 20.0}) {
    zenith(s40, t, north.sink());
    zenith(s5, t, tropics.sink());
    zenith(s_30, t, south.sink());
  }
  EXPECT_TRUE(north.lines.empty());
  ASSERT_EQ(tropics.lines.size(), 3u);
  // Without a listener the sun is placed the same and nothing is called.
  SolarState quiet = sun_for(-30.0, 0.0, 0.0, 1977, 120);
  Lines listened;
  EXPECT_EQ(zenith(quiet, 4.5, LineSink{}).coszen, zenith(s_30, 4.5, listened.sink()).coszen);
  EXPECT_EQ(tropics.lines[0], " something wrong with radiation! qvx\n");
  // The comparison is of signed sines, so a southern site always warns.
  EXPECT_EQ(south.lines.size(), 3u);
}

TEST(Zenith, CheckLineOnlyAtHalfPastFour) {
  Lines lines;
  SolarState s = sun_for(40.0, 0.0, 0.0, 1977, 120);
  const SunPosition sun = zenith(s, 4.5, lines.sink());
  ASSERT_EQ(lines.lines.size(), 1u);
  EXPECT_EQ(lines.lines[0], " check coszen " + free_double(sun.coszen) + "\n");
  zenith(s, 4.5000000000000009, lines.sink());
  EXPECT_EQ(lines.lines.size(), 1u);
}

TEST(Zenith, CosineRuleRoundingPastOneIsClamped) {
  // Sun and site both at the pole of the sphere: the rule gives
  // 1 + 2.25e-16, which rounds to the double above 1.
  SolarState s;
  s.astron.sindec = s.astron.sinlat = 1.0;
  s.astron.cosdec = s.astron.coslat = 1.5e-8;
  ASSERT_GT(1.5e-8 * 1.5e-8 + 1.0, 1.0);
  Lines lines;
  const SunPosition sun = zenith(s, 12.0, lines.sink());
  EXPECT_EQ(sun.zenang, 0.0);
  EXPECT_EQ(sun.coszen, 1.0);
}

TEST(ClearSky, NoEstimateWithTheSunLow) {
  EXPECT_EQ(clear_sky_ratio({0.01, std::acos(0.01)}, 50.0, 0.37), 0.37);
  EXPECT_EQ(clear_sky_ratio({-0.3, std::acos(-0.3)}, 50.0, 0.0), 0.0);
  EXPECT_GT(clear_sky_ratio({0.0101, std::acos(0.0101)}, 50.0, 0.37), 0.37);
}

// The clear-sky ratio worked by hand at three sun heights: 60 degrees from
// the zenith (visible 250.876, near infrared 287.332 W m-2), overhead, and
// low enough (cosine 0.02) that water vapour takes all of the infrared beam.
TEST(ClearSky, WorkedRatios) {
  struct Case {
    double coszen, averad, ratio;
  };
  for (const Case c : {Case{0.5, 400.0, 0.7432075936684196}, Case{1.0, 1000.0, 0.85731599270053216},
                       Case{0.02, 5.0, 0.58349177807741437}})
    EXPECT_NEAR(clear_sky_ratio({c.coszen, std::acos(c.coszen)}, c.averad, 0.0), c.ratio,
                1e-13 * c.ratio)
        << c.coszen;
}

TEST(ClearSky, DarkObservationIsClampedToTheFloor) {
  EXPECT_EQ(clear_sky_ratio({0.8, std::acos(0.8)}, 0.0, 0.5), 1e-05);
}

TEST(ClearSky, OverheadSunGivesAboutAKilowatt) {
  // 1000 W m-2 observed under an overhead sun is close to clear sky.
  const double ratio = clear_sky_ratio({1.0, 0.0}, 1000.0, 0.0);
  EXPECT_GT(ratio, 0.85);
  EXPECT_LT(ratio, 1.05);
  // The clear-sky estimate falls as the sun sinks.
  double previous = 0;
  for (double coszen : {1.0, 0.8, 0.5, 0.2, 0.05}) {
    const double r = clear_sky_ratio({coszen, std::acos(coszen)}, 100.0, 0.0);
    EXPECT_GT(r, previous) << coszen;
    previous = r;
  }
}

}  // namespace
}  // namespace box
