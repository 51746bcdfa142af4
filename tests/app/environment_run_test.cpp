// Whole runs of the built-in mechanism at a site given by keys, in air
// given by [environment], with the photolysis methods other than the
// specified table: checked against hand-worked numbers (the humidity, the
// MCM formula), against the inputs they must reproduce (a frequency file,
// a measured J4) and against each other (cloud correction, convergence).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "environment/calendar.hpp"
#include "environment/humidity.hpp"
#include "environment/solar.hpp"
#include "run/sun.hpp"
#include "tests/support/almanac_sun.hpp"
#include "tests/support/netcdf_text.hpp"
#include "tests/support/program_run.hpp"

#ifdef BOXMODEL_HAVE_NETCDF
#include <netcdf.h>
#endif

namespace {

using box::testing::CsvTable;
using box::testing::ProgramDir;
using box::testing::read_csv;

constexpr const char* site_keys = R"(
[site]
latitude = 40.6
longitude = 0.0
date = "2024-03-20"
utc_offset_hours = 0.0
)";

// A day's run at the site by keys: hourly CSV of a few species and every
// frequency, from 04:00 for `hours` hours.
std::string scenario(const std::string& more, double hours = 16.0) {
  return std::string(site_keys) + "[time]\nstart_hour = 4.0\nhours = " + std::to_string(hours) +
         "\n[environment]\ntemperature_K = 298.15\npressure_Pa = 101325\nrelative_humidity = 50\n" + more +
         "\n[output]\nformats = [\"csv\"]\nphotolysis = true\nprogress_lines = false\n"
         "species = [\"O3\", \"NO\", \"NO2\", \"HO\", \"H2O\"]\n";
}

// The sun's zenith cosine at the site of site_keys at local hour h, its
// days counted as a site by keys counts them (the true calendar's).
double site_cos_zenith(double h) {
  const box::Date day{2024, 3, 20};
  const box::SunSite s = box::sun_site(40.6, 0.0, 0.0, day);
  return box::RunSun::on_calendar(s.xlat, s.xlong, s.stdlng, day).coszen_at(h);
}

// MCM v3.3.1 J4 (NO2 -> NO + O): l, m, n by hand.
double mcm_j4(double c) { return c > 0 ? 1.165e-2 * std::pow(c, 0.244) * std::exp(-0.267 / c) : 0.0; }

TEST(EnvironmentRun, SiteByKeysAndEnvironmentConstantsRunTheBuiltinMechanism) {
  ProgramDir p;
  // No parameter file and no site records: the run must not need them.
  std::filesystem::remove(p / "inputn");
  std::filesystem::remove(p / box::testing::example_site_name);
  std::string keys = scenario("[photolysis]\nmethod = \"mcm\"\nfactor = 1.0\n[chemistry]\nphotolysis_factor = 1.0\n");
  keys.replace(keys.find("progress_lines = false"), 22, "progress_lines = true");
  p.write("s.toml", keys);
  const auto r = p.run("run s.toml");
  ASSERT_EQ(r.status, 0) << r.err;
  // The scenario's notes (a key given twice) reach standard error.
  EXPECT_NE(r.err.find("note: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("photolysis_factor"), std::string::npos) << r.err;

  const CsvTable species = read_csv(p / "species.csv");
  ASSERT_EQ(species.rows.size(), 17u);
  // RH 50 % at 298.15 K and 101325 Pa: x = 0.0156424 (docs/environment.md's worked case).
  for (double h2o : species.values("H2O")) EXPECT_NEAR(h2o, 1.56424e7, 1.0e2);
  // Daylight makes HO.
  EXPECT_GT(species.values("HO").at(8), 1e-5);

  const CsvTable j = read_csv(p / "photolysis.csv");
  ASSERT_EQ(j.header.size(), 21u);  // time_h and the 20 MCM channels
  EXPECT_EQ(j.header[4], "J4");
  // Equinox noon, the sun the almanac's (40.6 degrees from the zenith; the
  // 365-day years of a parameter file's count would put it 4.6 degrees
  // lower): J4 is the formula at the sun's angle.
  const std::size_t noon = 8;
  ASSERT_EQ(j.rows[noon][0], 12.0);
  const double c = site_cos_zenith(12.0);
  EXPECT_NEAR(std::acos(c) * 180.0 / M_PI,
              box::testing::almanac_zenith_degrees(40.6, 0.0, box::testing::julian_date(2024, 3, 20, 12.0)), 0.4);
  EXPECT_NEAR(j.values("J4")[noon], mcm_j4(c), 1e-15);
  EXPECT_NEAR(mcm_j4(std::cos(M_PI / 4)), 7.3386e-3, 1e-7);  // docs/photolysis.md
  // The progress lines show the NO2 frequency in use: 0.008 s-1, not the
  // specified table's 0.007 at this sun.
  EXPECT_NE(r.out.find("working on timloc before=  12.000 "), std::string::npos);
  for (const std::string& line : box::testing::text_lines(r.out)) {
    if (line.rfind("working on timloc before=  12.000 ", 0) != 0) continue;
    EXPECT_NE(line.find("photoj   0.008 coszen   0.76"), std::string::npos) << line;
  }
  // Before sunrise, nothing.
  EXPECT_EQ(j.values("J4")[0], 0.0);

  // Without records there is no observed radiation to correct by: refused
  // before anything is written, naming the key.
  p.write("cloud.toml", scenario("[photolysis]\nmethod = \"mcm\"\ncloud_correction = true\n"));
  std::filesystem::remove(p / "species.csv");
  const auto refused = p.run("run cloud.toml");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("cloud.toml: line 16: photolysis.cloud_correction: needs the site records"),
            std::string::npos)
      << refused.err;
  EXPECT_FALSE(std::filesystem::exists(p / "species.csv"));
}

TEST(EnvironmentRun, NoneIsDarkAndFileValuesAreReproducedAtTheirTimes) {
  ProgramDir p;
  std::string dark_keys = scenario("[photolysis]\nmethod = \"none\"\n", 6.0);
  dark_keys.replace(dark_keys.find("progress_lines = false"), 22, "progress_lines = true");
  p.write("dark.toml", dark_keys);
  const auto dark = p.run("run dark.toml");
  ASSERT_EQ(dark.status, 0) << dark.err;
  // Under a risen sun the progress lines show the NO2 frequency in use: 0.
  int sunlit = 0;
  for (const std::string& line : box::testing::text_lines(dark.out)) {
    const auto coszen = line.find("coszen");
    if (line.rfind("working on", 0) != 0 || coszen == std::string::npos) continue;
    if (std::strtod(line.c_str() + coszen + 6, nullptr) < 0.3) continue;
    EXPECT_NE(line.find("photoj   0.000 "), std::string::npos) << line;
    ++sunlit;
  }
  EXPECT_GT(sunlit, 10);
  const CsvTable jd = read_csv(p / "photolysis.csv");
  for (const auto& row : jd.rows)
    for (std::size_t k = 1; k < row.size(); ++k) EXPECT_EQ(row[k], 0.0);
  // No light: O3 + NO gives NO2 and nothing photolyses it back.
  const CsvTable sd = read_csv(p / "species.csv");
  EXPECT_LT(sd.values("NO").back(), sd.values("NO")[0]);

  // A file with every channel, values that no formula would give.
  const int channels[] = {1, 2, 3, 4, 5, 6, 7, 8, 11, 12, 13, 18, 19, 22, 31, 32, 33, 34, 41, 54};
  std::string file = "time_h";
  for (int n : channels) file += ",J" + std::to_string(n);
  file += "\n";
  for (int h = 3; h <= 11; ++h) {
    file += std::to_string(h);
    for (int n : channels) {
      char v[40];
      std::snprintf(v, sizeof v, ",%.17g", 1e-5 * n * (1.0 + 0.1 * h) / 3.0);
      file += v;
    }
    file += "\n";
  }
  p.write("j.csv", file);
  p.write("file.toml", scenario("[photolysis]\nmethod = \"file\"\nfile = \"j.csv\"\n", 6.0));
  const auto r = p.run("run file.toml");
  ASSERT_EQ(r.status, 0) << r.err;
  const CsvTable j = read_csv(p / "photolysis.csv");
  ASSERT_EQ(j.rows.size(), 7u);
  for (const auto& row : j.rows) {
    const double h = row[0];
    for (std::size_t k = 0; k < std::size(channels); ++k) {
      char v[40];
      std::snprintf(v, sizeof v, "%.17g", 1e-5 * channels[k] * (1.0 + 0.1 * h) / 3.0);
      EXPECT_EQ(row[k + 1], std::strtod(v, nullptr)) << "J" << channels[k] << " at " << h;
    }
  }
  // A channel the built-in mechanism needs, missing from the file: named,
  // with the file and the scenario's line that named it, before anything
  // is written.
  std::string short_file;
  for (const std::string& line : p.lines("j.csv")) short_file += line.substr(0, line.rfind(',')) + "\n";
  p.write("j.csv", short_file);
  std::filesystem::remove(p / "species.csv");
  const auto bad = p.run("run file.toml");
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("file.toml: line 16: photolysis.file: j.csv: no column J54 (wanted by photolysis "
                         "channel J54 of the built-in mechanism)"),
            std::string::npos)
      << bad.err;
  EXPECT_FALSE(std::filesystem::exists(p / "species.csv"));
}

// The same site and air run the MCM methane subset (its channels J1 to J8,
// J11, J12, J41, J51): mcm is the formula at the sun's angle, none is dark,
// file gives the file's values at its times exactly, and a channel the
// file lacks is named with the file and the scenario's line.
std::string mcm_names(std::string s) {
  const std::string builtin = "species = [\"O3\", \"NO\", \"NO2\", \"HO\", \"H2O\"]";
  return s.replace(s.find(builtin), builtin.size(), "species = [\"O3\", \"NO\", \"NO2\", \"OH\"]");
}

TEST(EnvironmentRun, AnMcmSubsetAtTheSiteByKeys) {
  ProgramDir p;
  std::filesystem::remove(p / "inputn");
  std::filesystem::remove(p / box::testing::example_site_name);
  const std::string mechanism =
      "[chemistry]\nmechanism = \"" BOXMODEL_SOURCE_DIR "/tests/data/mcm/mcm331-methane.fac\"\n"
      "[initial]\nO3 = 30\nNO = 1\nNO2 = 5\nCH4 = 1900\n";
  const auto run = [&](const std::string& photolysis, double hours) {
    p.write("m.toml", mcm_names(scenario(photolysis + mechanism, hours)));
    const auto r = p.run("run m.toml");
    EXPECT_EQ(r.status, 0) << r.err;
    return r;
  };
  run("[photolysis]\nmethod = \"mcm\"\n", 8.0);
  const CsvTable mcm = read_csv(p / "photolysis.csv");
  ASSERT_EQ(mcm.header.size(), 13u) << mcm.header.size();
  const std::size_t noon = 8;
  ASSERT_EQ(mcm.rows[noon][0], 12.0);
  EXPECT_NEAR(mcm.values("J4")[noon], mcm_j4(site_cos_zenith(12.0)), 1e-15);
  EXPECT_EQ(mcm.values("J4")[0], 0.0);
  const double sunlit_oh = read_csv(p / "species.csv").values("OH")[noon];
  EXPECT_GT(sunlit_oh, 1e-5);

  run("[photolysis]\nmethod = \"none\"\n", 8.0);
  for (const auto& row : read_csv(p / "photolysis.csv").rows)
    for (std::size_t k = 1; k < row.size(); ++k) EXPECT_EQ(row[k], 0.0);
  const CsvTable dark = read_csv(p / "species.csv");
  EXPECT_LT(dark.values("OH")[noon], 1e-2 * sunlit_oh);  // no O(1D), no HONO or HCHO photolysis
  EXPECT_LT(dark.values("NO")[noon], 1e-3);                // NO2 is not photolysed back

  std::string file = "time_h";
  for (std::size_t k = 1; k < mcm.header.size(); ++k) file += "," + mcm.header[k];
  file += "\n";
  for (int h = 3; h <= 13; ++h) {
    file += std::to_string(h);
    for (std::size_t k = 1; k < mcm.header.size(); ++k) {
      char v[40];
      std::snprintf(v, sizeof v, ",%.17g", 1e-6 * static_cast<double>(k) * (1.0 + 0.1 * h) / 3.0);
      file += v;
    }
    file += "\n";
  }
  p.write("j.csv", file);
  run("[photolysis]\nmethod = \"file\"\nfile = \"j.csv\"\n", 8.0);
  const CsvTable j = read_csv(p / "photolysis.csv");
  ASSERT_EQ(j.header, mcm.header);
  ASSERT_EQ(j.rows.size(), 9u);
  for (const auto& row : j.rows)
    for (std::size_t k = 1; k < row.size(); ++k) {
      char v[40];
      std::snprintf(v, sizeof v, "%.17g", 1e-6 * static_cast<double>(k) * (1.0 + 0.1 * row[0]) / 3.0);
      EXPECT_EQ(row[k], std::strtod(v, nullptr)) << j.header[k] << " at " << row[0];
    }

  std::string short_file;
  for (const std::string& line : p.lines("j.csv")) short_file += line.substr(0, line.rfind(',')) + "\n";
  p.write("j.csv", short_file);
  std::filesystem::remove(p / "species.csv");
  p.write("m.toml", mcm_names(scenario("[photolysis]\nmethod = \"file\"\nfile = \"j.csv\"\n" + mechanism, 8.0)));
  const auto bad = p.run("run m.toml");
  EXPECT_EQ(bad.status, 1);
  const std::string missing = mcm.header.back();
  EXPECT_NE(bad.err.find("m.toml: line 16: photolysis.file: j.csv: no column " + missing +
                         " (wanted by photolysis channel " + missing + " of "),
            std::string::npos)
      << bad.err;
  EXPECT_FALSE(std::filesystem::exists(p / "species.csv"));
}

TEST(EnvironmentRun, ScaledToTheObservedJ4EveryChannelFollowsIt) {
  ProgramDir p;
  // A measured J4 of 5e-3 s-1 all day (night values are not used).
  std::string met = "time_h,jno2_obs\n";
  for (int h = 0; h <= 24; ++h) met += std::to_string(h) + ",0.005\n";
  p.write("met.csv", met);
  p.write("plain.toml", scenario("[photolysis]\nmethod = \"mcm\"\n", 10.0));
  ASSERT_EQ(p.run("run plain.toml").status, 0);
  const CsvTable plain = read_csv(p / "photolysis.csv");
  // [environment] file holds the column; the constants stay constants.
  p.write("scaled.toml",
          scenario("file = \"met.csv\"\n[photolysis]\nmethod = \"mcm\"\nscale_to_observed = \"jno2_obs\"\n", 10.0));
  const auto r = p.run("run scaled.toml");
  ASSERT_EQ(r.status, 0) << r.err;
  const CsvTable scaled = read_csv(p / "photolysis.csv");
  for (std::size_t i = 0; i < scaled.rows.size(); ++i) {
    const double j4 = plain.values("J4")[i];
    if (j4 == 0.0) {
      EXPECT_EQ(scaled.values("J4")[i], 0.0);
      continue;
    }
    EXPECT_NEAR(scaled.values("J4")[i], 0.005, 1e-17);
    EXPECT_NEAR(scaled.values("J1")[i], plain.values("J1")[i] * 0.005 / j4, 1e-15 * plain.values("J1")[i] / j4);
  }

  // docs/photolysis.md's worked case: a measured J4 twice the MCM's at every
  // hour doubles every channel there (a factor, too, cancels); at night the
  // measurement (here 1e-3 s-1) scales nothing.
  met = "time_h,jno2_obs\n";
  std::string obs = "time_h,O3,jno2_obs\n";  // the same, in an observation file
  for (int h = 0; h <= 24; ++h) {
    char v[64];
    const double j4 = mcm_j4(site_cos_zenith(h));
    std::snprintf(v, sizeof v, "%d,%.17g\n", h, j4 > 0.0 ? 2.0 * j4 : 1e-3);
    met += v;
    std::snprintf(v, sizeof v, "%d,40,%.17g\n", h, j4 > 0.0 ? 2.0 * j4 : 1e-3);
    obs += v;
  }
  p.write("met.csv", met);
  p.write("obs.csv", obs);
  p.write("doubled.toml", scenario("file = \"met.csv\"\n[photolysis]\nmethod = \"mcm\"\nfactor = 0.8\n"
                                   "scale_to_observed = \"jno2_obs\"\n",
                                   10.0));
  const auto d = p.run("run doubled.toml");
  ASSERT_EQ(d.status, 0) << d.err;
  const CsvTable doubled = read_csv(p / "photolysis.csv");
  ASSERT_EQ(doubled.rows.size(), plain.rows.size());
  int daylight = 0;
  for (std::size_t i = 0; i < doubled.rows.size(); ++i)
    for (std::size_t k = 1; k < doubled.header.size(); ++k) {
      const double j = plain.rows[i][k];
      EXPECT_NEAR(doubled.rows[i][k], 2.0 * j, 1e-14 * j) << doubled.header[k] << " at " << plain.rows[i][0];
      daylight += j > 0.0 ? 1 : 0;
    }
  EXPECT_GT(daylight, 100);

  // The column in the [constraints] file, beside a held species, instead.
  p.write("held.toml", scenario("[constraints]\nfile = \"obs.csv\"\n[photolysis]\nmethod = \"mcm\"\nfactor = 0.8\n"
                                "scale_to_observed = \"jno2_obs\"\n",
                                10.0));
  const auto held = p.run("run held.toml");
  ASSERT_EQ(held.status, 0) << held.err;
  EXPECT_EQ(read_csv(p / "photolysis.csv").rows, doubled.rows);
  EXPECT_EQ(read_csv(p / "species.csv").values("O3").back(), 40.0);
}

// The example's site (inputn: 40.05 N, 88.37 W, meridian 90 W, 31 August
// 2025): the clear-sky radiation of its sun at local hour h, W m-2.
double example_clear_sky_radiation(double h) {
  box::Astron a = box::site_constants(40.05, 88.37, 90.0);
  box::declin(a, 2025, 243);
  return 1.0 / box::clear_sky_ratio(box::sun_position(a, h), 1.0, 0.0);
}

TEST(EnvironmentRun, CloudCorrectionIsTheProgressLinesRatioBounded) {
  // The example's site and records (radiation observed), MCM frequencies
  // with and without the correction. The record of 12:00 (18 UTC) says half
  // the clear-sky radiation of the sun at 12:00, that of 10:00 far more
  // than clear sky (bounded to 1.5).
  ProgramDir p;
  const std::string site = box::testing::example_site_name;
  const double half = 0.5 * example_clear_sky_radiation(12.0);
  std::vector<std::string> records = p.lines(site);
  for (std::string& line : records) {
    std::istringstream in(line);
    std::vector<std::string> v{std::istream_iterator<std::string>(in), {}};
    if (v.size() != 13 || (v[0] != "16.0" && v[0] != "18.0")) continue;
    char averad[40];
    std::snprintf(averad, sizeof averad, "%.17g", v[0] == "18.0" ? half : 1500.0);
    v[12] = averad;
    line.clear();
    for (const std::string& x : v) line += " " + x;
  }
  p.write(site, box::testing::join_lines(records));
  const std::string run = "[time]\nhours = 8\n[output]\nformats = [\"csv\"]\nphotolysis = true\n"
                          "[photolysis]\nmethod = \"mcm\"\n";
  p.write("plain.toml", run);
  ASSERT_EQ(p.run("run plain.toml").status, 0);
  const CsvTable plain = read_csv(p / "photolysis.csv");
  p.write("cloud.toml", run + "cloud_correction = true\n");
  const auto r = p.run("run cloud.toml");
  ASSERT_EQ(r.status, 0) << r.err;
  const CsvTable cloud = read_csv(p / "photolysis.csv");
  // The records' radiation (their last column), hour by hour from 05:00.
  std::vector<double> averad;
  for (const std::string& line : p.lines(site)) {
    std::istringstream in(line);
    std::vector<double> v{std::istream_iterator<double>(in), {}};
    if (v.size() == 13) averad.push_back(v[12]);
  }
  // The ratio each step prints.
  std::vector<double> printed;
  for (const std::string& line : box::testing::text_lines(r.out)) {
    const auto at = line.find("ratiod");
    if (line.rfind("working on", 0) != 0 || at == std::string::npos) continue;
    printed.push_back(std::strtod(line.c_str() + at + 6, nullptr));
  }
  int corrected = 0;
  for (std::size_t i = 0; i + 1 < cloud.rows.size(); ++i) {
    const double h = cloud.rows[i][0];
    const double j4 = plain.values("J4")[i];
    if (j4 == 0.0) continue;
    const double f = cloud.values("J4")[i] / j4;
    const double ratio = averad.at(i) / example_clear_sky_radiation(h);
    EXPECT_NEAR(f, std::clamp(ratio, 0.0, 1.5), 1e-14) << "hour " << h;
    EXPECT_NEAR(f, std::clamp(printed.at(i * 12), 0.0, 1.5), 1e-3) << "hour " << h;
    if (h == 12.0) {
      EXPECT_NEAR(f, 0.5, 1e-14);
    }
    if (h == 10.0) {
      EXPECT_EQ(f, 1.5);
    }
    // Every channel alike.
    for (const char* channel : {"J1", "J2", "J6", "J11", "J54"})
      EXPECT_NEAR(cloud.values(channel)[i] / plain.values(channel)[i], f, 1e-14) << channel << " at " << h;
    corrected += std::abs(f - 1.0) > 1e-3 ? 1 : 0;
  }
  EXPECT_GT(corrected, 2);
}

// With mcm the light follows the sun within each step (the frequencies at
// every time the integrator evaluates the system), so HO after sunrise, which
// follows J within seconds, is the same with 900 s steps as with 10 s steps
// to the integrator's tolerance. Frequencies held from each step's start
// would leave HO at the end of a 900 s step a quarter hour behind the sun.
TEST(EnvironmentRun, LightWithinTheStepConvergesAsTheStepShrinks) {
  ProgramDir p;
  std::string s = scenario("[photolysis]\nmethod = \"mcm\"\n", 2.0);
  s.replace(s.find("start_hour = 4.0"), 16, "start_hour = 6.0");
  p.write("s.toml", s);
  ASSERT_EQ(p.run("run s.toml --step 900").status, 0);
  const auto coarse = read_csv(p / "species.csv").values("HO");
  ASSERT_EQ(p.run("run s.toml --step 10").status, 0);
  const auto fine = read_csv(p / "species.csv").values("HO");
  for (std::size_t k = 1; k < fine.size(); ++k) {
    EXPECT_GT(fine[k], 1e-7) << k;  // daylight
    EXPECT_NEAR(coarse[k], fine[k], 2e-3 * fine[k]) << "hour " << k;
  }

  // The cloud correction too: the example's morning records against a
  // rising sun make the ratio fall by a tenth from one 5-minute step to the
  // next; held over a 900 s step it would leave HO off by as much.
  p.write("cloud.toml", "[time]\nstart_hour = 6.0\nhours = 3\n[output]\nformats = [\"csv\"]\n"
                        "progress_lines = false\nspecies = [\"HO\"]\n[photolysis]\nmethod = \"mcm\"\n"
                        "cloud_correction = true\n");
  ASSERT_EQ(p.run("run cloud.toml --step 900").status, 0);
  const auto cloud_coarse = read_csv(p / "species.csv").values("HO");
  ASSERT_EQ(p.run("run cloud.toml --step 10").status, 0);
  const auto cloud_fine = read_csv(p / "species.csv").values("HO");
  ASSERT_EQ(cloud_fine.size(), 4u);
  for (std::size_t k = 1; k < cloud_fine.size(); ++k) {
    EXPECT_GT(cloud_fine[k], 1e-7) << k;
    EXPECT_NEAR(cloud_coarse[k], cloud_fine[k], 2e-4 * cloud_fine[k]) << "hour " << k;
  }
}

// [environment] as a time series with gaps: each step takes the values
// at its start, a gap bridged between its neighbours; water vapour from
// the relative humidity of that step's temperature.
TEST(EnvironmentRun, TimeSeriesWithGapsAtEveryStep) {
  ProgramDir p;
  p.write("met.csv",
          "time_h,temperature_K,relative_humidity,unused\n"
          "3,290,40,1\n4,,50,1\n5,,60,1\n6,300,,1\n9,303,90,1\n");
  std::string s = scenario("", 3.0);
  s.replace(s.find("temperature_K = 298.15\n"), 23, "file = \"met.csv\"\n");
  s.replace(s.find("relative_humidity = 50\n"), 23, "");
  p.write("s.toml", s);
  const auto r = p.run("run s.toml");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("unused"), std::string::npos) << r.err;  // listed once
  const CsvTable c = read_csv(p / "species.csv");
  // 04:00 to 06:00: T 293.33, 296.67, 300; RH 50, 60, then across its gap
  // at 6 h from 60 (5 h) to 90 (9 h): 67.5. The end of the run (07:00)
  // shows the air of its last step, which began at 06:55.
  const double last = 6.0 + 55.0 / 60.0;
  const double t[] = {290 + 10.0 / 3, 290 + 20.0 / 3, 300, 300 + (last - 6.0)};
  const double rh[] = {50, 60, 67.5, 60 + 30 * (last - 5.0) / 4.0};
  ASSERT_EQ(c.rows.size(), 4u);
  for (std::size_t k = 0; k < 4; ++k)
    EXPECT_NEAR(c.values("H2O")[k], box::water_from_relative_humidity(rh[k], t[k], 101325).ppb,
                1e-9 * c.values("H2O")[k])
        << k;
}

// The site by keys reads no site records: a temperature or pressure that
// [environment] does not give (or gives under a misspelt column) is named,
// with where it can be given, not sought in the model day's records.
TEST(EnvironmentRun, AirNotGivenIsNamedWithWhereToGiveIt) {
  ProgramDir p;
  p.write("met.csv", "time_h,temp_K\n0,290\n24,290\n");
  const std::string t = "temperature_K = 298.15\n", pa = "pressure_Pa = 101325\n";
  const auto without = [&](const std::string& key, const std::string& instead) {
    std::string s = scenario("", 1.0);
    s.replace(s.find(key), key.size(), instead);
    return s;
  };
  const std::string where = "set [environment] temperature_K, a temperature_K column of [environment] file, or "
                            "[site] records";
  const struct {
    std::string toml, message;
  } cases[] = {
      {without(t, ""), "s.toml: [environment]: the air's temperature is not given: " + where},
      {without(t, "file = \"met.csv\"\n"),
       "s.toml: [environment]: the air's temperature is not given: " + where},
      {without(pa, ""), "s.toml: [environment]: the air's pressure is not given: set [environment] pressure_Pa, a "
                        "pressure_Pa column of [environment] file, or [site] records"},
  };
  for (const auto& c : cases) {
    p.write("s.toml", c.toml);
    const auto r = p.run("run s.toml");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("boxmodel: " + c.message + "\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(box::testing::example_site_name), std::string::npos) << r.err;
  }
}

// Values legal but implausible for the boundary layer, most likely a unit
// slip, run with a note naming the key and the slip: hPa for Pa, a
// fraction for percent, a fast deposition velocity, a temperature of a
// time series far from the boundary layer's.
TEST(EnvironmentRun, UnitSlipsRunWithANote) {
  ProgramDir p;
  p.write("met.csv", "time_h,temperature_K\n0,290\n12,340\n24,290\n");
  std::string s = scenario("[deposition]\nO3 = 50\n", 1.0);
  s.replace(s.find("temperature_K = 298.15"), 22, "file = \"met.csv\"");
  s.replace(s.find("pressure_Pa = 101325"), 20, "pressure_Pa = 1013");
  s.replace(s.find("relative_humidity = 50"), 22, "relative_humidity = 0.6");
  p.write("s.toml", s);
  const auto r = p.run("run s.toml");
  ASSERT_EQ(r.status, 0) << r.err;
  for (const std::string note : {
           "note: s.toml: line 12: environment.pressure_Pa: 1013 Pa is below 10000 Pa", "(hPa given for Pa?)",
           "note: s.toml: line 13: environment.relative_humidity: 0.6 % is at most 1 % (a fraction given for percent?)",
           "note: s.toml: line 15: deposition.O3: 50 cm s-1 is above 5 cm s-1",
           "note: s.toml: line 11: environment.file: met.csv: line 3: temperature_K: 340 K is above 330 K"})
    EXPECT_NE(r.err.find(note), std::string::npos) << note << "\n" << r.err;
  EXPECT_TRUE(std::filesystem::exists(p / "species.csv"));
}

// [initial] and [output] in molecules cm-3: the air of the constants
// (298.15 K, 101325 Pa: 2.46149e19 cm-3) converts both ways.
TEST(EnvironmentRun, NumberDensitiesInAndOut) {
  ProgramDir p;
  const std::string initial = "[initial]\nunits = \"molecules cm-3\"\nO3 = 1.0e12\n";
  p.write("n.toml", scenario("", 1.0) + "units = \"molecules cm-3\"\n" + initial);
  const auto r = p.run("run n.toml");
  ASSERT_EQ(r.status, 0) << r.err;
  const CsvTable n = read_csv(p / "species.csv");
  EXPECT_NEAR(n.values("O3")[0], 1.0e12, 1.0);
  EXPECT_NEAR(n.values("H2O")[0], 3.85037e17, 1e12);  // the worked case's water
  p.write("ppb.toml", scenario("", 1.0) + initial);
  ASSERT_EQ(p.run("run ppb.toml").status, 0);
  EXPECT_NEAR(read_csv(p / "species.csv").values("O3")[0], 1.0e12 / 2.46149e19 * 1e9, 1e-4);
  // A mechanism file's box takes its initial values in the same units.
  p.write("f.toml", mcm_names(scenario("[chemistry]\nmechanism = \"" BOXMODEL_SOURCE_DIR
                                       "/tests/data/mcm/mcm331-methane.fac\"\n",
                                       1.0)) +
                        initial);
  const auto f = p.run("run f.toml");
  ASSERT_EQ(f.status, 0) << f.err;
  EXPECT_NEAR(read_csv(p / "species.csv").values("O3")[0], 1.0e12 / 2.46149e19 * 1e9, 1e-4);
}

#ifdef BOXMODEL_HAVE_NETCDF
using box::testing::netcdf_text;


double netcdf_value(int ncid, const std::string& var, std::size_t k) {
  int id = -1;
  EXPECT_EQ(nc_inq_varid(ncid, var.c_str(), &id), NC_NOERR) << var;
  double v = -1;
  EXPECT_EQ(nc_get_var1_double(ncid, id, &k, &v), NC_NOERR) << var;
  return v;
}

// Local 05:00 on 20 March at UTC+10 is 19:00 UTC on the 19th; at UTC-11,
// 16:00 UTC on the 20th. The CSV keeps local hours.
TEST(EnvironmentRun, NetcdfTimeIsUtcAcrossMidnightWithThePlaceAndTheAir) {
  ProgramDir p;
  const auto run = [&](const std::string& offset, const std::string& longitude) {
    std::string s = scenario("[photolysis]\nmethod = \"mcm\"\n", 2.0);
    s.replace(s.find("utc_offset_hours = 0.0"), 22, "utc_offset_hours = " + offset);
    s.replace(s.find("longitude = 0.0"), 15, "longitude = " + longitude);
    s.replace(s.find("start_hour = 4.0"), 16, "start_hour = 5.0");
    s.replace(s.find("formats = [\"csv\"]"), 17, "formats = [\"csv\", \"netcdf\"]");
    p.write("s.toml", s);
    const auto r = p.run("run s.toml");
    EXPECT_EQ(r.status, 0) << r.err;
  };
  run("10.0", "150.0");
  int ncid = -1;
  ASSERT_EQ(nc_open((p / "species.nc").c_str(), NC_NOWRITE, &ncid), NC_NOERR);
  EXPECT_EQ(netcdf_text(ncid, "time", "units"), "seconds since 2024-03-19 19:00:00");
  int time_var = -1;
  double offset = 0.0;
  ASSERT_EQ(nc_inq_varid(ncid, "time", &time_var), NC_NOERR);
  EXPECT_EQ(nc_get_att_double(ncid, time_var, "utc_offset_hours", &offset), NC_NOERR);
  EXPECT_EQ(offset, 10.0);
  EXPECT_EQ(netcdf_value(ncid, "time", 1), 3600.0);
  EXPECT_EQ(netcdf_value(ncid, "latitude", 0), 40.6);
  EXPECT_EQ(netcdf_value(ncid, "longitude", 0), 150.0);
  EXPECT_NEAR(netcdf_value(ncid, "number_density_of_air", 0), 2.46149e19, 1e14);
  const CsvTable j = read_csv(p / "photolysis.csv");
  EXPECT_EQ(netcdf_value(ncid, "J4", 2), j.values("J4")[2]);
  EXPECT_EQ(netcdf_text(ncid, "J4", "units"), "s-1");
  nc_close(ncid);
  EXPECT_EQ(read_csv(p / "species.csv").values("time_h")[0], 5.0);

  run("-11.0", "-170.0");
  ASSERT_EQ(nc_open((p / "species.nc").c_str(), NC_NOWRITE, &ncid), NC_NOERR);
  EXPECT_EQ(netcdf_text(ncid, "time", "units"), "seconds since 2024-03-20 16:00:00");
  EXPECT_EQ(netcdf_text(ncid, "HO", "standard_name"), "mole_fraction_of_hydroxyl_radical_in_air");
  nc_close(ncid);

  // A mechanism file's species carry the CF standard names by their names.
  std::string m = mcm_names(scenario("[chemistry]\nmechanism = \"" BOXMODEL_SOURCE_DIR
                                     "/tests/data/mcm/mcm331-methane.fac\"\n",
                                     1.0));
  m.replace(m.find("formats = [\"csv\"]"), 17, "formats = [\"netcdf\"]");
  p.write("m.toml", m);
  const auto r = p.run("run m.toml");
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(nc_open((p / "species.nc").c_str(), NC_NOWRITE, &ncid), NC_NOERR);
  EXPECT_EQ(netcdf_text(ncid, "O3", "standard_name"), "mole_fraction_of_ozone_in_air");
  EXPECT_EQ(netcdf_text(ncid, "OH", "standard_name"), "mole_fraction_of_hydroxyl_radical_in_air");
  nc_close(ncid);
}
#endif

}  // namespace
