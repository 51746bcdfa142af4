// Ozone isopleths: the grid of factors, the ozone metrics on hand-worked
// samples, the isopleth file's checks, and whole diagrams run by the
// program on the example day's inputs, each point its single run's bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/errors.hpp"
#include "ensemble/isopleths.hpp"
#include "tests/support/program_run.hpp"

#ifdef BOXMODEL_HAVE_NETCDF
#include <netcdf.h>
#endif

namespace {

namespace fs = std::filesystem;
using box::ensemble::OzoneMetric;
using box::testing::read_csv;

TEST(Isopleths, LogGridHasItsEndsExactlyAndEvenRatios) {
  const std::vector<double> f = box::ensemble::log_grid(0.1, 10.0, 21);
  ASSERT_EQ(f.size(), 21u);
  EXPECT_EQ(f.front(), 0.1);
  EXPECT_EQ(f.back(), 10.0);
  EXPECT_EQ(f[10], 1.0);  // the base scenario itself is a grid point
  for (std::size_t k = 0; k + 1 < f.size(); ++k) EXPECT_NEAR(f[k + 1] / f[k], std::pow(10.0, 0.1), 1e-14) << k;
  EXPECT_EQ(box::ensemble::log_grid(0.1, 10.0, 3), (std::vector<double>{0.1, 1.0, 10.0}));
  EXPECT_EQ(box::ensemble::log_grid(0.5, 8.0, 2), (std::vector<double>{0.5, 8.0}));
  const std::vector<double> g = box::ensemble::log_grid(0.5, 8.0, 5);  // ratios of 2
  for (std::size_t k = 0; k < g.size(); ++k) EXPECT_NEAR(g[k], 0.5 * std::pow(2.0, static_cast<double>(k)), 1e-14);
}

TEST(Isopleths, OzoneMetricsOfHandWorkedSamples) {
  // Hourly samples 5:00 to 15:00.
  const std::vector<double> t = {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  const std::vector<double> o3 = {30, 32, 40, 52, 60, 66, 70, 68, 61, 50, 44};
  OzoneMetric m;
  EXPECT_EQ(box::ensemble::ozone_metric(m, t, o3), 70.0);
  // Means of eight samples: 5-12 h 52.25, 6-13 h 55.625, 7-14 h 58.375,
  // 8-15 h 58.875, the largest.
  m.kind = OzoneMetric::Kind::mean8h;
  m.window = 8;
  EXPECT_EQ(box::ensemble::ozone_metric(m, t, o3), (52.0 + 60 + 66 + 70 + 68 + 61 + 50 + 44) / 8);
  m.window = 12;  // longer than the run
  EXPECT_TRUE(std::isnan(box::ensemble::ozone_metric(m, t, o3)));
  m.kind = OzoneMetric::Kind::hour;
  m.hour = 11.0;  // on a sample: that sample, exactly
  EXPECT_EQ(box::ensemble::ozone_metric(m, t, o3), 70.0);
  m.hour = 12.25;  // a quarter of the way from 68 to 61
  EXPECT_DOUBLE_EQ(box::ensemble::ozone_metric(m, t, o3), 66.25);
  m.hour = 15.0;
  EXPECT_EQ(box::ensemble::ozone_metric(m, t, o3), 44.0);
  m.hour = 15.5;
  EXPECT_TRUE(std::isnan(box::ensemble::ozone_metric(m, t, o3)));
}

// A scratch copy of the example day with a base scenario that emits NOx
// and VOC (two hours of the morning, ozone rising, so that the program
// tests stay short).
class IsoplethCase : public box::testing::ProgramDir {
 public:
  IsoplethCase() {
    write("base.toml",
          "[time]\nstart_hour = 9.0\nhours = 2\n[emissions]\nprofile = \"daylight\"\nNO = 2e11\nNO2 = 2e10\nISO = 3e11\nHC3 = 1e11\n"
          "[output]\ndir = \"single\"\nformats = [\"csv\"]\nprogress_lines = false\nevery_seconds = 1800\n");
  }
  // The message read_isopleths gives for the isopleth file `text`.
  std::string refusal(const std::string& text) const {
    write("iso.toml", text);
    try {
      box::ensemble::read_isopleths(dir() / "iso.toml");
    } catch (const box::InputError& e) {
      return e.what();
    }
    return "(accepted)";
  }
};

TEST(Isopleths, DefaultSpeciesAreThoseTheBaseEmitsOrInitialises) {
  const IsoplethCase c;
  c.write("iso.toml", "base = \"base.toml\"\n");
  const box::ensemble::Isopleths iso = box::ensemble::read_isopleths(c.dir() / "iso.toml");
  EXPECT_EQ(iso.nox.species, (std::vector<std::string>{"NO", "NO2"}));
  EXPECT_EQ(iso.voc.species, (std::vector<std::string>{"HC3", "ISO"}));
  EXPECT_EQ(iso.voc.keys, (std::vector<std::string>{"emissions.HC3", "emissions.ISO"}));
  EXPECT_EQ(iso.voc.base_values, (std::vector<double>{1e11, 3e11}));
  EXPECT_EQ(iso.points(), 441u);
  EXPECT_EQ(iso.ensemble.output_dir, c.dir() / "single");  // the base's
  // Initial values: the built-in initial state where [initial] names none.
  c.write("iso.toml", "base = \"base.toml\"\nnox = { of = \"initial\" }\nvoc = { of = \"initial\", species = \"ISO\" }\n");
  c.write("base.toml", "[initial]\nNO = 0.25\n");
  const box::ensemble::Isopleths init = box::ensemble::read_isopleths(c.dir() / "iso.toml");
  EXPECT_EQ(init.nox.keys, (std::vector<std::string>{"initial.NO", "initial.NO2"}));
  EXPECT_EQ(init.nox.base_values, (std::vector<double>{0.25, 1e-11 * 1e9}));
  EXPECT_EQ(init.voc.base_values, (std::vector<double>{3e-11 * 1e9}));
}

TEST(Isopleths, BadFilesAreRefusedNamingTheFileTheLineAndTheKey) {
  const IsoplethCase c;
  const std::string base = "base = \"base.toml\"\n";
  const struct {
    std::string text, expected;
  } cases[] = {
      {base + "nox = { points = 1 }\n", "iso.toml: line 2: nox.points: expected a whole number of at least 2"},
      {base + "voc = { from = 0.0 }\n", "iso.toml: line 2: voc.from: expected a scaling factor above 0"},
      {base + "voc = { to = -2 }\n", "iso.toml: line 2: voc.to: expected a scaling factor above 0"},
      {base + "nox = { from = 2, to = 2 }\n", "iso.toml: line 2: nox.to: expected from below to (2 and 2)"},
      {base + "nox = { from = 20 }\n", "iso.toml: line 2: nox.from: expected from below to (20 and 10, the default)"},
      {base + "nox = { species = [\"NO\", \"NOO\"] }\n",
       "iso.toml: line 2: nox.species: no species \"NOO\" in the built-in mechanism"},
      {base + "nox = { of = \"final\" }\n",
       "iso.toml: line 2: nox.of: expected \"emissions\" or \"initial\", found \"final\""},
      {base + "nox = { step = 2 }\n", "iso.toml: line 2: nox.step: unknown key"},
      {base + "colour = \"red\"\n", "iso.toml: line 2: colour: unknown key"},
      {base + "[output]\nformats = [\"csv\"]\n", "iso.toml: line 3: output.formats: unknown key"},
      {base + "voc = { species = [\"ETE\"] }\n", "iso.toml: line 2: voc.species: the base scenario"},
      {base + "voc = { species = [\"NO2\"] }\n", "iso.toml: line 2: voc.species: NO2 is named twice"},
      {base + "ozone = \"peak\"\n", "iso.toml: line 2: ozone: expected \"max\", \"mean8h\" or a local hour"},
      {base + "ozone = 8\n", "iso.toml: line 2: ozone: expected a local hour within the base's run, 9 to 11"},
      {base + "ozone = \"mean8h\"\n", "iso.toml: line 2: ozone: mean8h needs 8 hours of samples"},
      {"nox = {}\n", "iso.toml: base: missing"},
  };
  for (const auto& k : cases) {
    const std::string message = c.refusal(k.text);
    EXPECT_NE(message.find(k.expected), std::string::npos) << k.text << "\n" << message;
  }
  // A close name is offered for a misspelt species.
  EXPECT_NE(c.refusal(base + "nox = { species = [\"NOO\"] }\n").find("NO"), std::string::npos);
  // The program: status 1, the message, nothing written.
  c.write("iso.toml", base + "nox = { points = 1 }\n[output]\ndir = \"iso-out\"\n");
  const box::testing::ProgramResult r = c.run("isopleths iso.toml");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("iso.toml: line 2: nox.points:"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(c / "iso-out"));
}

TEST(IsoplethsProgram, EveryGridPointIsItsSingleRunBitForBit) {
  const IsoplethCase c;
  c.write("iso.toml",
          "base = \"base.toml\"\nnox = { species = [\"NO\", \"NO2\"], from = 0.2, to = 5.0, points = 3 }\n"
          "voc = { species = [\"ISO\"], of = \"emissions\", from = 0.1, to = 10.0, points = 3 }\nozone = \"max\"\n"
          "[output]\ndir = \"iso-out\"\n");
  const box::testing::ProgramResult r = c.run("isopleths iso.toml --no-plot --threads 2");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> lines = c.lines("iso-out/isopleths.csv");
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[0], "nox_factor,voc_factor,o3_ppb");
  EXPECT_EQ(lines[1].rfind("0.20000000000000001,0.10000000000000001,", 0), 0u) << lines[1];
  EXPECT_EQ(lines[5].rfind("1,1,", 0), 0u) << lines[5];  // the base scenario at the centre
  EXPECT_EQ(lines[9].rfind("5,10,", 0), 0u) << lines[9];
  const std::vector<double> o3 = read_csv(c / "iso-out/isopleths.csv").values("o3_ppb");

  // A point against `boxmodel run` of the base with its scaling written
  // out (%.17g): the largest O3 of that run's species.csv, bit for bit.
  const std::string base = c.read("base.toml");
  const auto single = [&](double nox, double voc) {
    char scaled[160];
    std::snprintf(scaled, sizeof scaled, "NO = %.17g\nNO2 = %.17g\nISO = %.17g\n", 2e11 * nox, 2e10 * nox, 3e11 * voc);
    std::string text;
    for (const std::string& line : box::testing::text_lines(base))
      if (line.rfind("NO ", 0) != 0 && line.rfind("NO2 ", 0) != 0 && line.rfind("ISO ", 0) != 0)
        text += line + "\n" + (line == "[emissions]" ? scaled : "");
    c.write("one.toml", text);
    const box::testing::ProgramResult one = c.run("run one.toml");
    EXPECT_EQ(one.status, 0) << one.err;
    const std::vector<double> v = read_csv(c / "single/species.csv").values("O3");
    return *std::max_element(v.begin(), v.end());
  };
  EXPECT_EQ(single(5.0, 0.1), o3[6]);
  EXPECT_EQ(single(0.2, 10.0), o3[2]);
  EXPECT_EQ(single(1.0, 1.0), o3[4]);
  // More VOC at much NOx makes more ozone.
  EXPECT_GT(o3[8], o3[6]);
#ifdef BOXMODEL_HAVE_NETCDF
  int nc = -1, var = -1, dims[2] = {-1, -1};
  ASSERT_EQ(nc_open((c / "iso-out/isopleths.nc").c_str(), NC_NOWRITE, &nc), NC_NOERR);
  ASSERT_EQ(nc_inq_varid(nc, "o3_ppb", &var), NC_NOERR);
  ASSERT_EQ(nc_inq_vardimid(nc, var, dims), NC_NOERR);
  char name[NC_MAX_NAME + 1] = {};
  nc_inq_dimname(nc, dims[0], name);
  EXPECT_STREQ(name, "nox_factor");
  nc_inq_dimname(nc, dims[1], name);
  EXPECT_STREQ(name, "voc_factor");
  std::vector<double> values(9);
  ASSERT_EQ(nc_get_var_double(nc, var, values.data()), NC_NOERR);
  EXPECT_EQ(values, o3);
  nc_close(nc);
#endif
}

// A mechanism file's diagram of initial values with the ozone at an hour
// between samples: the point is the line between its single run's samples.
TEST(IsoplethsProgram, AMechanismFilesInitialValuesAtAnHour) {
  const IsoplethCase c;
  const std::string mechanism = (fs::path(BOXMODEL_SOURCE_DIR) / "tests/data/mcm/mcm331-isoprene.fac").string();
  const std::string base =
      "[site]\nlatitude = 52.4\nlongitude = -1.9\ndate = \"2024-07-15\"\nutc_offset_hours = 1.0\n"
      "[time]\nstart_hour = 10.0\nhours = 1\n[environment]\ntemperature_K = 291.45\npressure_Pa = 95020\n"
      "relative_humidity = 67.4\n[chemistry]\nmechanism = '" + mechanism + "'\n[photolysis]\nmethod = \"mcm\"\n"
      "[output]\ndir = \"single\"\nspecies = [\"O3\"]\nformats = [\"csv\"]\nevery_seconds = 1800\n[initial]\nO3 = 30\nCO = 120\n";
  c.write("base.toml", base + "NO = 2\nNO2 = 4\nC5H8 = 2\n");
  c.write("iso.toml",
          "base = \"base.toml\"\nnox = { of = \"initial\", points = 2, from = 0.5, to = 2 }\n"
          "voc = { of = \"initial\", points = 2, from = 0.5, to = 2 }\nozone = 10.75\n[output]\ndir = \"iso-out\"\n");
  const box::testing::ProgramResult r = c.run("isopleths iso.toml --no-plot");
  ASSERT_EQ(r.status, 0) << r.err;
  const box::testing::CsvTable iso = read_csv(c / "iso-out/isopleths.csv");
  ASSERT_EQ(iso.rows.size(), 4u);
  EXPECT_EQ(iso.rows[3], (std::vector<double>{2.0, 2.0, iso.rows[3][2]}));
  // Point (2, 2) as its own run: twice the NOx and the isoprene.
  c.write("base.toml", base + "NO = 4\nNO2 = 8\nC5H8 = 4\n");
  ASSERT_EQ(c.run("run base.toml").status, 0);
  const box::testing::CsvTable single = read_csv(c / "single/species.csv");
  ASSERT_EQ(single.values("time_h"), (std::vector<double>{10.0, 10.5, 11.0}));
  const std::vector<double> o3 = single.values("O3");
  EXPECT_EQ(iso.rows[3][2], o3[1] + (o3[2] - o3[1]) * 0.5);
}

}  // namespace
