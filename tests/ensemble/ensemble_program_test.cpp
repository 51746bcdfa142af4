// Whole ensembles run by the boxmodel program on the example day's inputs:
// the same bytes whatever the threads, every member the same as its single
// run, failures kept to their members, the files read back.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/example_copy.hpp"
#include "tests/support/features.hpp"

#ifdef BOXMODEL_HAVE_NETCDF
#include <netcdf.h>
#endif

namespace {

namespace fs = std::filesystem;

std::string read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Two-hour members of the example day: three plain ones with the
// Monte-Carlo factors, one whose records file is missing, one whose
// chemistry overflows.
class Ensemble : public box::testing::ExampleCopy {
 public:
  Ensemble() {
    write("base.toml",
          "[time]\nhours = 2\n[output]\nformats = [\"csv\", \"netcdf\"]\nprogress_lines = false\n");
    write("members.csv",
          "initial.O3,chemistry.photolysis_factor,time.start_hour,site.records\n"
          "30,1.0,5,ValuesAtSite_extractedFromWRFchemAug31.txt_test\n"
          "45,0.8,6,ValuesAtSite_extractedFromWRFchemAug31.txt_test\n"
          "60,1.0,5,missing.txt\n"
          "20,1e300,5,ValuesAtSite_extractedFromWRFchemAug31.txt_test\n"
          "55,1.2,7,ValuesAtSite_extractedFromWRFchemAug31.txt_test\n");
    write("e.toml",
          "base = \"base.toml\"\nmembers = \"members.csv\"\n"
          "[monte_carlo]\nseed = 42\nuncertainty = { default = 1.25, R23 = 1.1 }\n"
          "[output]\ndir = \"out\"\nspecies = [\"O3\", \"NO\", \"NO2\", \"HO\", \"HO2\"]\n"
          "every_seconds = 1800\nformats = [\"netcdf\", \"csv\"]\n");
  }
  void write(const std::string& name, const std::string& text) const { std::ofstream(dir() / name) << text; }

  // Runs the program in the scratch folder; standard error to `stderr_file`.
  int boxmodel(const std::string& arguments, const std::string& stdout_file = "stdout.txt",
               const std::string& stderr_file = "stderr.txt") const {
    const std::string command = "cd '" + dir().string() + "' && '" BOXMODEL_EXE "' " + arguments + " >" +
                                stdout_file + " 2>" + stderr_file;
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // The ensemble's outputs after a run with `arguments`, by file name.
  std::map<std::string, std::string> outputs(const std::string& arguments) const {
    EXPECT_EQ(boxmodel("ensemble e.toml " + arguments), 4) << read(dir() / "stderr.txt");
    return {{"nc", read(dir() / "out/ensemble.nc")}, {"csv", read(dir() / "out/ensemble.csv")}};
  }
};

TEST(EnsembleProgram, OutputsAreTheSameBytesWhateverTheThreadsAndLanes) {
  BOXMODEL_NEEDS_NETCDF();
  const Ensemble e;
  const auto reference = e.outputs("--threads 1");
  EXPECT_FALSE(reference.at("nc").empty());
  EXPECT_FALSE(reference.at("csv").empty());
  for (const char* arguments : {"--threads 2", "", "--lanes 1 --threads 3"}) {
    const auto other = e.outputs(arguments);
    EXPECT_TRUE(other.at("nc") == reference.at("nc")) << arguments;
    EXPECT_TRUE(other.at("csv") == reference.at("csv")) << arguments;
  }
  EXPECT_FALSE(fs::exists(e.dir() / "out/ensemble.nc.partial"));
}

// Nine Monte-Carlo members with tolerances of their own (two full groups
// of four lanes and one member alone): the
// lanes give the bytes of one box at a time, an explicit width the
// processor runs is the default, and one it cannot run is refused.
TEST(EnsembleProgram, LanesGiveTheBytesOfOneBoxAtATime) {
  BOXMODEL_NEEDS_NETCDF();
  const Ensemble e;
  std::string table = "chemistry.rtol,chemistry.atol\n";
  for (int k = 0; k < 9; ++k) table += std::to_string(1e-3 * (1 + k % 3)) + "," + std::to_string(1 + k) + "\n";
  e.write("members.csv", table);
  e.write("e.toml",
          "base = \"base.toml\"\nmembers = \"members.csv\"\n"
          "[monte_carlo]\nseed = 7\nuncertainty = { default = 1.3 }\n"
          "[output]\ndir = \"out\"\nspecies = [\"O3\", \"NO\", \"NO2\", \"HO\", \"HO2\"]\n"
          "every_seconds = 600\nformats = [\"netcdf\", \"csv\"]\n");
  const auto run = [&](const std::string& arguments) {
    EXPECT_EQ(e.boxmodel("ensemble e.toml " + arguments), 0) << read(e.dir() / "stderr.txt");
    return std::make_pair(read(e.dir() / "out/ensemble.nc"), read(e.dir() / "out/ensemble.csv"));
  };
  const auto one = run("--lanes 1 --threads 1");
  EXPECT_NE(read(e.dir() / "stderr.txt").find("1 thread, 1 lane;"), std::string::npos);
  const auto lanes = run("--threads 1");
  const std::string summary = read(e.dir() / "stderr.txt");
  const bool wide = summary.find("1 thread, 4 lanes;") != std::string::npos;
  EXPECT_TRUE(wide || summary.find("1 thread, 1 lane;") != std::string::npos) << summary;
  EXPECT_TRUE(lanes.first == one.first);
  EXPECT_TRUE(lanes.second == one.second);
  EXPECT_TRUE(run("--threads 2") == one);
  if (wide) {
    EXPECT_TRUE(run("--lanes 4 --threads 1") == one);
  } else {
    EXPECT_EQ(e.boxmodel("ensemble e.toml --lanes 4"), 1);
    EXPECT_NE(read(e.dir() / "stderr.txt").find("--lanes 4: this processor runs 1 lane"), std::string::npos);
  }
  EXPECT_EQ(e.boxmodel("ensemble e.toml --lanes 3"), 1);
  EXPECT_NE(read(e.dir() / "stderr.txt").find("--lanes 3: this processor runs"), std::string::npos);
}

TEST(EnsembleProgram, EveryMemberIsItsSingleRunAndFailuresStayWithTheirMember) {
  BOXMODEL_NEEDS_NETCDF();
  const Ensemble e;
  ASSERT_EQ(e.boxmodel("ensemble e.toml --threads 2"), 4);
  // Not a terminal: the summary line alone.
  const auto err = lines_of(read(e.dir() / "stderr.txt"));
  ASSERT_EQ(err.size(), 1u);
  EXPECT_EQ(err[0].rfind("boxmodel: ensemble: 5 members, 3 succeeded, 2 failed; ", 0), 0u) << err[0];

  const auto rows = lines_of(read(e.dir() / "out/ensemble.csv"));
  EXPECT_EQ(rows.at(0), "member,time_h,O3,NO,NO2,HO,HO2");
  for (int member : {0, 1, 4}) {
    const std::string k = std::to_string(member);
    ASSERT_EQ(e.boxmodel("ensemble e.toml --print-member " + k, "m" + k + ".toml"), 0);
    ASSERT_EQ(e.boxmodel("run m" + k + ".toml"), 0) << read(e.dir() / "stderr.txt");
    const auto single = lines_of(read(e.dir() / ("out/member-" + k + "/species.csv")));
    std::vector<std::string> mine;
    for (const std::string& row : rows)
      if (row.rfind(k + ",", 0) == 0) mine.push_back(row.substr(k.size() + 1));
    ASSERT_EQ(mine.size() + 1, single.size()) << "member " << k;
    for (std::size_t r = 0; r < mine.size(); ++r) EXPECT_EQ(mine[r], single[r + 1]) << "member " << k;
  }
  // The missing records file: an input error, like the single run's.
  ASSERT_EQ(e.boxmodel("ensemble e.toml --print-member 2", "m2.toml"), 0);
  EXPECT_EQ(e.boxmodel("run m2.toml"), 1);
  EXPECT_NE(read(e.dir() / "stderr.txt").find("missing.txt"), std::string::npos);
  // The overflowing chemistry: the single run is stopped by its trap.
  ASSERT_EQ(e.boxmodel("ensemble e.toml --print-member 3", "m3.toml"), 0);
  EXPECT_EQ(e.boxmodel("run m3.toml"), 3);
  EXPECT_NE(read(e.dir() / "stderr.txt").find("floating-point exception: overflow"), std::string::npos);
  // The failed members write no rows.
  for (const std::string& row : rows) {
    EXPECT_NE(row.rfind("2,", 0), 0u);
  }
}

// The integrator refuses a member's tolerances in every step: the single
// run goes on regardless, printing its messages, and so does the member,
// marked failed; its values are the single run's.
TEST(EnsembleProgram, AnIntegrationFailureMarksTheMemberAndKeepsTheSingleRunsValues) {
  BOXMODEL_NEEDS_NETCDF();
  const Ensemble e;
  e.write("members.csv", "chemistry.rtol,chemistry.atol\n0.001,1\n1e-15,1e-30\n");
  ASSERT_EQ(e.boxmodel("ensemble e.toml"), 4);
  ASSERT_EQ(e.boxmodel("ensemble e.toml --print-member 1", "m1.toml"), 0);
  ASSERT_EQ(e.boxmodel("run m1.toml"), 0);
  EXPECT_NE(read(e.dir() / "stdout.txt").find("Forced exit from Rosenbrock"), std::string::npos);
  const auto single = lines_of(read(e.dir() / "out/member-1/species.csv"));
  std::vector<std::string> mine;
  for (const std::string& row : lines_of(read(e.dir() / "out/ensemble.csv")))
    if (row.rfind("1,", 0) == 0) mine.push_back(row.substr(2));
  ASSERT_EQ(mine.size() + 1, single.size());
  for (std::size_t r = 0; r < mine.size(); ++r) EXPECT_EQ(mine[r], single[r + 1]);
#ifdef BOXMODEL_HAVE_NETCDF
  int nc = -1, var = -1;
  ASSERT_EQ(nc_open((e.dir() / "out/ensemble.nc").c_str(), NC_NOWRITE, &nc), NC_NOERR);
  int status[2] = {-1, -1};
  nc_inq_varid(nc, "status", &var);
  nc_get_var_int(nc, var, status);
  EXPECT_EQ(status[0], 0);
  EXPECT_EQ(status[1], 4);
  char message[513] = {};
  const std::size_t start[] = {1, 0}, count[] = {1, 512};
  nc_inq_varid(nc, "message", &var);
  nc_get_vara_text(nc, var, start, count, message);
  EXPECT_EQ(std::string(message).rfind("integration failed in step 1 of 24: Improper tolerance values", 0), 0u) << message;
  nc_close(nc);
#endif
}

TEST(EnsembleProgram, ExitStatuses) {
  BOXMODEL_NEEDS_NETCDF();
  const Ensemble e;
  // Every member succeeds.
  e.write("members.csv", "initial.O3\n30\n40\n");
  EXPECT_EQ(e.boxmodel("ensemble e.toml"), 0) << read(e.dir() / "stderr.txt");
  // The ensemble itself is wrong.
  e.write("bad.toml", "base = \"base.toml\"\nmembers = \"members.csv\"\n[output]\nspecies = [\"O4\"]\n");
  EXPECT_EQ(e.boxmodel("ensemble bad.toml"), 1);
  EXPECT_NE(read(e.dir() / "stderr.txt").find("O4"), std::string::npos);
  EXPECT_EQ(e.boxmodel("ensemble nothing.toml"), 1);
  // The table is checked column by column before any member runs: a header
  // that is no key, or text in a number column, is the table's error, not
  // every member's failure (nor a column of strings in ensemble.nc).
  e.write("members.csv", "initial.O3,time.start_hours\n30,5\n40,6\n");
  EXPECT_EQ(e.boxmodel("ensemble e.toml"), 1);
  EXPECT_NE(read(e.dir() / "stderr.txt").find("members.csv: line 1: column 2: time.start_hours: unknown key (did you mean start_hour"),
            std::string::npos) << read(e.dir() / "stderr.txt");
  e.write("members.csv", "initial.O3,time.start_hour\n30,5\nforty,6\n");
  EXPECT_EQ(e.boxmodel("ensemble e.toml"), 1);
  EXPECT_NE(read(e.dir() / "stderr.txt").find("members.csv: line 3: column 1: initial.O3: expected a number, found a string"),
            std::string::npos) << read(e.dir() / "stderr.txt");
  EXPECT_FALSE(fs::exists(e.dir() / "out" / "ensemble.nc.partial"));
  // A spreadsheet's "CSV UTF-8" byte-order mark is no part of the first key.
  e.write("members.csv", "\xEF\xBB\xBFinitial.O3\n30\n40\n");
  EXPECT_EQ(e.boxmodel("ensemble e.toml"), 0) << read(e.dir() / "stderr.txt");
  // The output folder cannot be made.
  e.write("blocked", "a file where the folder should be");
  e.write("blocked.toml", "base = \"base.toml\"\nmembers = \"members.csv\"\n[output]\ndir = \"blocked/out\"\n");
  EXPECT_EQ(e.boxmodel("ensemble blocked.toml"), 2);
  EXPECT_NE(read(e.dir() / "stderr.txt").find("blocked/out: cannot create the output folder"), std::string::npos);
}

#ifdef BOXMODEL_HAVE_NETCDF
class NcFile {
 public:
  explicit NcFile(const fs::path& p) { EXPECT_EQ(nc_open(p.c_str(), NC_NOWRITE, &id_), NC_NOERR) << p; }
  ~NcFile() { nc_close(id_); }
  int var(const std::string& name) const {
    int v = -1;
    EXPECT_EQ(nc_inq_varid(id_, name.c_str(), &v), NC_NOERR) << name;
    return v;
  }
  std::size_t dim(const std::string& name) const {
    int d = -1;
    std::size_t n = 0;
    EXPECT_EQ(nc_inq_dimid(id_, name.c_str(), &d), NC_NOERR) << name;
    nc_inq_dimlen(id_, d, &n);
    return n;
  }
  std::vector<double> doubles(const std::string& name, std::size_t n) const {
    std::vector<double> v(n);
    EXPECT_EQ(nc_get_var_double(id_, var(name), v.data()), NC_NOERR) << name;
    return v;
  }
  std::vector<int> ints(const std::string& name, std::size_t n) const {
    std::vector<int> v(n);
    EXPECT_EQ(nc_get_var_int(id_, var(name), v.data()), NC_NOERR) << name;
    return v;
  }
  std::string text(const std::string& name, std::size_t row, std::size_t width) const {
    std::string t(width, '\0');
    const std::size_t start[] = {row, 0}, count[] = {1, width};
    EXPECT_EQ(nc_get_vara_text(id_, var(name), start, count, t.data()), NC_NOERR);
    return t.substr(0, t.find('\0'));
  }
  std::string attribute(const std::string& var_name, const std::string& name) const {
    const int v = var(var_name);
    std::size_t n = 0;
    nc_inq_attlen(id_, v, name.c_str(), &n);
    std::string t(n, '\0');
    nc_get_att_text(id_, v, name.c_str(), t.data());
    return t;
  }

 private:
  int id_ = -1;
};

TEST(EnsembleProgram, TheNetcdfFileReadsBackWithEveryMembersSamplesKeysAndStatus) {
  const Ensemble e;
  ASSERT_EQ(e.boxmodel("ensemble e.toml"), 4);
  const NcFile nc(e.dir() / "out/ensemble.nc");
  ASSERT_EQ(nc.dim("member"), 5u);
  ASSERT_EQ(nc.dim("time"), 5u);  // two hours every half hour
  EXPECT_EQ(nc.ints("member", 5), (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(nc.doubles("time", 5), (std::vector<double>{0, 1800, 3600, 5400, 7200}));
  // The members start at different hours: the time axis is their elapsed
  // time (a CF calendar time when they share the start, see below).
  EXPECT_EQ(nc.attribute("time", "units"), "s");
  EXPECT_EQ(nc.ints("status", 5), (std::vector<int>{0, 0, 1, 3, 0}));
  EXPECT_EQ(nc.text("message", 0, 512), "");
  EXPECT_NE(nc.text("message", 2, 512).find("missing.txt"), std::string::npos);
  EXPECT_EQ(nc.text("message", 3, 512).rfind("floating-point exception: overflow in step ", 0), 0u);
  EXPECT_EQ(nc.doubles("initial.O3", 5), (std::vector<double>{30, 45, 60, 20, 55}));
  EXPECT_EQ(nc.text("site.records", 2, nc.dim("site.records_length")), "missing.txt");

  const std::vector<double> time_h = nc.doubles("time_h", 25);
  EXPECT_EQ(time_h[5 * 1 + 0], 6.0);
  EXPECT_EQ(time_h[5 * 4 + 4], 9.0);
  const std::vector<double> o3 = nc.doubles("O3", 25);
  for (std::size_t t = 0; t < 5; ++t) EXPECT_TRUE(std::isnan(o3[5 * 2 + t]));  // never ran
  EXPECT_EQ(o3[5 * 1 + 0], 45e-9);

  // Member 1 against its single run's NetCDF file, bit for bit; its random
  // factors are those of its scenario.
  ASSERT_EQ(e.boxmodel("ensemble e.toml --print-member 1", "m1.toml"), 0);
  ASSERT_EQ(e.boxmodel("run m1.toml"), 0);
  const NcFile single(e.dir() / "out/member-1/species.nc");
  for (const char* name : {"O3", "NO", "NO2", "HO", "HO2"}) {
    const std::vector<double> all = nc.doubles(name, 25);
    const std::vector<double> one = single.doubles(name, 5);
    for (std::size_t t = 0; t < 5; ++t)
      EXPECT_EQ(std::bit_cast<std::uint64_t>(all[5 + t]), std::bit_cast<std::uint64_t>(one[t])) << name << " " << t;
  }
  const std::string toml = read(e.dir() / "m1.toml");
  const std::vector<double> r23 = nc.doubles("chemistry.rate_factors.R23", 5);
  char text[40];
  std::snprintf(text, sizeof text, "R23 = %.17g", r23[1]);
  EXPECT_NE(toml.find(text), std::string::npos) << text;

  // Members that share the start and the site have a calendar time axis.
  e.write("members.csv", "initial.O3\n30\n40\n");
  ASSERT_EQ(e.boxmodel("ensemble e.toml"), 0);
  const NcFile same(e.dir() / "out/ensemble.nc");
  EXPECT_EQ(same.attribute("time", "units"), "seconds since 2025-08-31 05:00:00");
  EXPECT_EQ(same.attribute("time", "calendar"), "standard");
}
#endif

}  // namespace
