// The model's whole outputs at sites across the globe: wherever the sun's
// declination exceeds the latitude (the tropics in summer, the whole
// southern hemisphere), in polar day and polar night and on both sides of
// the date line, every output form completes with finite, non-negative
// mole fractions, and an ensemble over the sites completes every member.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/program_run.hpp"

namespace {

namespace fs = std::filesystem;
using box::testing::ProgramDir;
using box::testing::read_csv;

struct Site {
  const char* name;
  int day;
  double latitude;   // degrees north
  double longitude;  // degrees, positive to the west (the parameter file's convention)
  double meridian;   // standard meridian, same convention
};

const Site sites[] = {
    {"tropics_june", 172, 9.0, 79.5, 75.0},
    {"south_winter", 172, -33.9, -151.2, -150.0},
    {"south_summer", 355, -33.9, -151.2, -150.0},
    {"polar_day", 172, 78.2, -15.6, -15.0},
    {"polar_night", 355, 78.2, -15.6, -15.0},
    {"date_line_east", 200, -17.8, -179.6, -180.0},
    {"date_line_west", 200, -14.3, 179.6, 180.0},
};

// The example's parameter file with the site's day, year and position.
void write_site(const ProgramDir& p, const Site& s, const std::string& file) {
  std::vector<std::string> lines = p.lines("inputn");
  lines.at(0) = std::to_string(s.day) + " 2025";
  lines.at(1) = std::to_string(s.latitude) + " " + std::to_string(s.longitude) + " " +
                std::to_string(s.meridian);
  p.write(file, box::testing::join_lines(lines));
}

TEST(GlobeRun, EveryOutputFormAtEverySite) {
  ProgramDir p;
  std::string formats = "\"table\", \"csv\"";
#ifdef BOXMODEL_HAVE_NETCDF
  formats += ", \"netcdf\"";
#endif
  for (const Site& s : sites) {
    SCOPED_TRACE(s.name);
    write_site(p, s, "inputn");
    const std::string dir = std::string("out_") + s.name;
    p.write("s.toml", "[output]\ndir = \"" + dir + "\"\nformats = [" + formats +
                          "]\nspecies = \"all\"\nbudgets = true\n");
    // With progress lines (the sun's warnings are printed) and without.
    for (const char* quiet : {"", " --quiet"}) {
      const auto r = p.run(std::string("run s.toml") + quiet);
      ASSERT_EQ(r.status, 0) << r.err;
      if (*quiet != '\0') {
        EXPECT_EQ(r.out, "");
      } else if (s.latitude < 23.44) {
        EXPECT_NE(r.out.find("something wrong with radiation"), std::string::npos);
      }
      for (const char* file : {"TS_species.txt", "species.csv", "budgets.csv", "reaction_rates.csv"})
        EXPECT_TRUE(fs::exists(p / dir / file)) << file;
#ifdef BOXMODEL_HAVE_NETCDF
      EXPECT_TRUE(fs::exists(p / dir / "species.nc"));
      EXPECT_TRUE(fs::exists(p / dir / "budgets.nc"));
#endif
      for (const auto& entry : fs::directory_iterator(p / dir))
        EXPECT_NE(entry.path().extension(), ".partial") << entry.path();
      const auto csv = read_csv(p / dir / "species.csv");
      ASSERT_EQ(csv.rows.size(), 18u);
      for (const auto& row : csv.rows)
        for (double x : row) EXPECT_TRUE(std::isfinite(x) && x >= 0.0) << x;
      // O(1D) comes only from ozone photolysis: none at all in the polar
      // night, some at every hour of the polar day after the first row (the
      // initial state; the sun stays 11.6 degrees up at midnight).
      const std::size_t o1d = csv.column("O1D");
      for (std::size_t k = 1; k < csv.rows.size(); ++k) {
        const auto& row = csv.rows[k];
        if (std::string(s.name) == "polar_night") {
          EXPECT_EQ(row[o1d], 0.0);
        } else if (std::string(s.name) == "polar_day") {
          EXPECT_GT(row[o1d], 0.0);
        }
      }
    }
  }
}

TEST(GlobeRun, EnsembleOverTheSitesCompletesEveryMember) {
  ProgramDir p;
  std::string members = "site.parameters\n";
  for (const Site& s : sites) {
    write_site(p, s, std::string("inputn_") + s.name);
    members += std::string("inputn_") + s.name + "\n";
  }
  p.write("members.csv", members);
  // Budgets asked for by the base: members must not write budget files,
  // all to the same names in the ensemble's folder.
  p.write("base.toml", "[time]\nhours = 4\n[output]\nprogress_lines = false\nbudgets = true\n");
  std::string formats = "\"csv\"";
#ifdef BOXMODEL_HAVE_NETCDF
  formats += ", \"netcdf\"";
#endif
  p.write("e.toml", "base = \"base.toml\"\nmembers = \"members.csv\"\n[output]\ndir = \"out\"\nformats = [" +
                        formats + "]\n");
  const auto r = p.run("ensemble e.toml");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("7 members, 7 succeeded, 0 failed"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(p / "out" / "ensemble.csv"));
}

}  // namespace
