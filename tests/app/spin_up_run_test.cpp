// Spin-up of a mechanism read from a file, alone and in an ensemble, on a
// mechanism whose diel steady state is known in closed form: Y emitted
// with the sun and lost at first order, k = ln 2 per day. Whatever the
// emission's course over the day (the daylight profile) and the air's (a
// temperature series), the departure from the periodic state halves each
// day, so from Y = 0 the end of day n is Y_p (1 - 2^-n), Y_p the periodic
// state's value there, and the day-to-day change 1 / (2^n - 2) first falls
// below 0.001 on day 10 (1/1022; day 9 gives 1/510).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "tests/support/program_run.hpp"

#ifdef BOXMODEL_HAVE_NETCDF
#include <netcdf.h>
#endif

namespace {

namespace fs = std::filesystem;
using box::testing::CsvTable;
using box::testing::ProgramDir;
using box::testing::read_csv;

void write_case(ProgramDir& p, const std::string& spin_up) {
  p.write("y.fac", "VARIABLE Y ;\n% LOG(2.0)/86400 : Y = ;\n");
  // The series covers the 24 hours the spin-up repeats and the run's own.
  std::string series = "time_h,temperature_K\n";
  for (int h = 0; h <= 24; ++h) series += std::to_string(h) + "," + std::to_string(285 + (h * 7) % 13) + "\n";
  p.write("env.csv", series);
  p.write("s.toml", "[site]\nlatitude = 40.6\nlongitude = 0.0\ndate = \"2024-06-20\"\nutc_offset_hours = 0.0\n"
                    "[time]\nstart_hour = 0.0\nhours = 24\n"
                    "[environment]\nfile = \"env.csv\"\npressure_Pa = 101325\nrelative_humidity = 50\n"
                    "[chemistry]\nmechanism = \"y.fac\"\nrtol = 1e-7\natol = 1e-3\n"
                    "[emissions]\nprofile = \"daylight\"\nY = 1e11\n"
                    "[spin_up]\ntolerance = 0.001\n" + spin_up + "[output]\nformats = [\"csv\", \"netcdf\"]\n");
}

#ifdef BOXMODEL_HAVE_NETCDF
int int_attribute(const fs::path& file, const char* name) {
  int ncid = -1, value = -1;
  EXPECT_EQ(nc_open(file.c_str(), NC_NOWRITE, &ncid), NC_NOERR) << file;
  EXPECT_EQ(nc_get_att_int(ncid, NC_GLOBAL, name, &value), NC_NOERR) << name;
  nc_close(ncid);
  return value;
}
#endif

// Every day written: day n ends at Y_p (1 - 2^-n), each day starts where
// the day before ended, and the run (day 11) follows the tenth.
TEST(SpinUpRun, MechanismFileReachesItsClosedFormDielState) {
  BOXMODEL_NEEDS_NETCDF();
  ProgramDir p;
  write_case(p, "max_days = 12\noutput = \"all\"\n");
  const auto r = p.run("run s.toml");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("spin-up: 10 days to the diel steady state"), std::string::npos) << r.err;
  const CsvTable t = read_csv(p / "species.csv");
  ASSERT_EQ(t.header, (std::vector<std::string>{"day", "time_h", "Y"}));
  ASSERT_EQ(t.rows.size(), 11u * 25u);
  const double first = t.rows[24][2];  // the end of day 1
  ASSERT_GT(first, 1.0);               // ppb
  for (int n = 1; n <= 11; ++n) {
    const std::size_t start = static_cast<std::size_t>(n - 1) * 25, end = start + 24;
    EXPECT_EQ(t.rows[start][0], n);
    EXPECT_EQ(t.rows[start][1], 0.0);
    EXPECT_EQ(t.rows[end][1], 24.0);
    if (n > 1) {
      EXPECT_EQ(t.rows[start][2], t.rows[start - 1][2]) << "day " << n;
    }
    const double expected = first * (1.0 - std::ldexp(1.0, -n)) / 0.5;
    EXPECT_NEAR(t.rows[end][2], expected, 2e-6 * expected) << "day " << n;
  }
#ifdef BOXMODEL_HAVE_NETCDF
  EXPECT_EQ(int_attribute(p / "species.nc", "spin_up_days"), 10);
#endif

  // Not converged in 9 days: status 5, Y named with its change of 1/510,
  // the outputs complete and the days counted in them.
  write_case(p, "max_days = 9\n");
  const auto s = p.run("run s.toml");
  EXPECT_EQ(s.status, 5) << s.err;
  EXPECT_NE(s.err.find("not converged after max_days = 9 days"), std::string::npos) << s.err;
  EXPECT_NE(s.err.find("Y by 0.00196"), std::string::npos) << s.err;
  const CsvTable u = read_csv(p / "species.csv");
  ASSERT_EQ(u.rows.size(), 25u);
  EXPECT_EQ(u.rows.front()[1], t.rows[9 * 25 - 1][2]);  // the ninth day's end
  EXPECT_FALSE(fs::exists(p / "species.csv.partial"));
#ifdef BOXMODEL_HAVE_NETCDF
  EXPECT_EQ(int_attribute(p / "species.nc", "spin_up_days"), 9);
#endif
}

// Each member spins up on its own: its values are its single run's, bit
// for bit, with one thread or two; a member that does not converge
// (k halved: 1 - 2^-0.5 of the departure goes each day) is status 5 and
// keeps its values, and the ensemble exits 4.
TEST(SpinUpRun, EnsembleMembersSpinUpAsTheirSingleRuns) {
  BOXMODEL_NEEDS_NETCDF();
  ProgramDir p;
  write_case(p, "max_days = 10\n");
  p.write("members.csv", "chemistry.rate_factors.R1\n1.0\n0.5\n");
  p.write("e.toml", "base = \"s.toml\"\nmembers = \"members.csv\"\n[output]\ndir = \"ens\"\n"
                    "formats = [\"csv\", \"netcdf\"]\n");
  const auto e = p.run("ensemble e.toml --threads 2");
  EXPECT_EQ(e.status, 4) << e.err;
  EXPECT_NE(e.err.find("2 members, 1 succeeded, 1 failed"), std::string::npos) << e.err;
  const std::string two = p.read("ens/ensemble.csv");
  ASSERT_EQ(p.run("ensemble e.toml --threads 1").status, 4);
  EXPECT_EQ(p.read("ens/ensemble.csv"), two);
  const CsvTable members = read_csv(p / "ens" / "ensemble.csv");
  ASSERT_EQ(members.rows.size(), 50u);
  // Each member alone, as --print-member gives it (a site by keys and
  // [environment]: no records file named).
  for (int m = 0; m < 2; ++m) {
    const std::string name = "member" + std::to_string(m) + ".toml";
    const auto printed = p.run("ensemble e.toml --print-member " + std::to_string(m));
    ASSERT_EQ(printed.status, 0) << printed.err;
    p.write(name, printed.out);
    const auto single = p.run("run " + name);
    EXPECT_EQ(single.status, m == 0 ? 0 : 5) << single.err;
    const CsvTable t = read_csv(p / "ens" / ("member-" + std::to_string(m)) / "species.csv");
    ASSERT_EQ(t.rows.size(), 25u);
    for (std::size_t n = 0; n < t.rows.size(); ++n)
      EXPECT_EQ(t.rows[n][1], members.rows[static_cast<std::size_t>(m) * 25 + n][2]) << m << " " << n;
  }
#ifdef BOXMODEL_HAVE_NETCDF
  int ncid = -1, var = -1, status[2] = {-1, -1}, days[2] = {-1, -1};
  ASSERT_EQ(nc_open((p / "ens" / "ensemble.nc").c_str(), NC_NOWRITE, &ncid), NC_NOERR);
  ASSERT_EQ(nc_inq_varid(ncid, "status", &var), NC_NOERR);
  ASSERT_EQ(nc_get_var_int(ncid, var, status), NC_NOERR);
  ASSERT_EQ(nc_inq_varid(ncid, "spin_up_days", &var), NC_NOERR);
  ASSERT_EQ(nc_get_var_int(ncid, var, days), NC_NOERR);
  nc_close(ncid);
  EXPECT_EQ(status[0], 0);
  EXPECT_EQ(status[1], 5);
  EXPECT_EQ(days[0], 10);
  EXPECT_EQ(days[1], 10);
#endif
}

}  // namespace
