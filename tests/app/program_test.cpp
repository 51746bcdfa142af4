// Whole runs of the boxmodel program in a scratch directory: the example
// day, and every way its input can be wrong or its output can fail.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/example_copy.hpp"

namespace {

namespace fs = std::filesystem;

const std::string site_name = "ValuesAtSite_extractedFromWRFchemAug31.txt_test";

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string join_lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

std::size_t count_starting(const std::vector<std::string>& lines, const std::string& prefix) {
  return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const auto& l) {
    return l.rfind(prefix, 0) == 0;
  }));
}

// A scratch directory holding a copy of the example day's inputs.
class Scratch {
 public:
  const fs::path& dir() const { return dir_; }

  std::string read(const std::string& name) const {
    std::ifstream in(dir_ / name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::vector<std::string> lines(const std::string& name) const { return split_lines(read(name)); }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(dir_ / name) << text;
  }
  // Replaces line `number` (from 1) of an input file.
  void replace_line(const std::string& name, std::size_t number, const std::string& text) const {
    std::vector<std::string> l = lines(name);
    l.at(number - 1) = text;
    write(name, join_lines(l));
  }
  // Keeps the first `count` lines of an input file.
  void keep_lines(const std::string& name, std::size_t count) const {
    std::vector<std::string> l = lines(name);
    l.resize(count);
    write(name, join_lines(l));
  }

  // Runs the program here; standard output goes to `stdout_target`.
  int run(const std::string& stdout_target = "stdout.txt") const {
    const std::string command = "cd '" + dir_.string() + "' && '" BOXMODEL_EXE "' > " +
                                stdout_target + " 2> stderr.txt";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  box::testing::ExampleCopy example_;
  const fs::path& dir_ = example_.dir();
};

TEST(ExampleDay, CompleteRun) {
  Scratch s;
  ASSERT_EQ(s.run(), 0);
  EXPECT_EQ(s.read("stderr.txt"), "");

  const std::vector<std::string> table = s.lines("TS_species.txt");
  ASSERT_EQ(table.size(), 18u);
  EXPECT_EQ(table[0],
            "  timloc=    timin      O3=      NO=     NO2=    HCHO=     Lim=      NO3     HNO3"
            "      HBr    Brppt      Br2     HOBr    OHppt   BrOppt      PAN      HO2");
  EXPECT_EQ(table[1],
            "    5.000   11.000   10.000    0.005    0.010    0.100    0.010    0.001    0.010"
            "    0.000    0.000    0.010    0.010    0.000    0.200    0.005    0.000");
  for (std::size_t row = 1; row <= 17; ++row) {
    EXPECT_EQ(table[row].size(), 153u);
    // The clock column reads the whole hours 5 to 21.
    EXPECT_EQ(std::stod(table[row].substr(0, 9)), static_cast<double>(row + 4)) << table[row];
  }

  const std::vector<std::string> out = s.lines("stdout.txt");
  ASSERT_EQ(out.size(), 3u + 17 * 2 + 408);
  EXPECT_EQ(out[0],
            "ph_acetp=               0.0000000E+00               0.0000000E+00"
            "               0.1000000E+01");
  EXPECT_EQ(out[1], " ph_acetp=    0.000000000000000         0.000000000000000     ");
  EXPECT_EQ(out[2], "    0.000000000000000     ");
  EXPECT_EQ(out[3], " Ozone_read, NO_read, NO2_read    18.40000000000000     ");
  EXPECT_EQ(out[4], "    1.800000000000000         7.500000000000000     ");
  EXPECT_EQ(out[5],
            "working on timloc before=   5.000 timin  11.000 averad=   0.000 NO=   0.005 "
            "HBr=   0.000 BrO=   0.000 Br=   0.000 photoj   0.000 coszen  -0.042 ratiod   0.000 ");
  EXPECT_EQ(out[6],
            "working on timloc after=   5.000 timin  11.000 O3=   9.996 NO=   0.001 "
            "HBr=   0.000 BrO=   0.000 Br=   0.000 photoj   0.000 coszen  -0.042 ");
  EXPECT_EQ(count_starting(out, " Ozone_read, NO_read, NO2_read"), 17u);
  EXPECT_EQ(count_starting(out, "working on timloc before="), 204u);
  EXPECT_EQ(count_starting(out, "working on timloc after="), 204u);
  // The last step starts at 21:55 and the sun has set.
  EXPECT_EQ(out.back().substr(0, 32), "working on timloc after=  21.917");
  // Near noon the NO2 photolysis frequency shows as 0.008 s-1 (0.009 at an
  // overhead sun).
  const auto noon = std::find_if(out.begin(), out.end(), [](const std::string& l) {
    return l.rfind("working on timloc before=  12.000", 0) == 0;
  });
  ASSERT_NE(noon, out.end());
  EXPECT_NE(noon->find("photoj   0.008 coszen   0.88"), std::string::npos) << *noon;

  // The committed inputs are read, never written.
  EXPECT_EQ(s.read("inputn"), Scratch().read("inputn"));
}

// The whole output of the example day, byte for byte, against the files
// checked by hand when the chemistry was coupled in: the first row holds the
// starting state, NO goes to NO2 in the dark first step, Br2 is photolysed
// away within the first hour of sun (BrO peaks at 9.3 ppt at 06:00), OH
// peaks at noon and HBr builds up through the afternoon. Any change in the
// order of a floating-point operation anywhere in the model shows here.
TEST(ExampleDay, MatchesTheCheckedOutput) {
  Scratch s;
  ASSERT_EQ(s.run(), 0);
  const fs::path expected = fs::path(BOXMODEL_SOURCE_DIR) / "tests" / "data" / "example_day";
  auto read = [](const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  };
  EXPECT_EQ(s.read("TS_species.txt"), read(expected / "TS_species.txt"));
  const std::vector<std::string> out = s.lines("stdout.txt");
  const std::vector<std::string> want = split_lines(read(expected / "stdout.txt"));
  ASSERT_EQ(out.size(), want.size());
  for (std::size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], want[i]) << "line " << i + 1;
}

TEST(ExampleDay, SixteenRecordsStopAtTheSeventeenthHour) {
  Scratch s;
  s.keep_lines(site_name, 6 + 16);
  EXPECT_EQ(s.run(), 1);
  EXPECT_EQ(s.read("stderr.txt"),
            "boxmodel: " + site_name +
                ": line 23: end of file while reading record 17 (13 values expected, 0 read)\n"
                "boxmodel: the run stopped in step 193 of 204, after 192 completed steps\n");
  EXPECT_EQ(s.lines("TS_species.txt").size(), 1u + 16);
  EXPECT_EQ(count_starting(s.lines("stdout.txt"), "working on timloc after="), 192u);
}

TEST(ExampleDay, ShortLastRecord) {
  Scratch s;
  s.replace_line(site_name, 23, " 27.0 0.0 295.4 98872.0 0.0147");
  EXPECT_EQ(s.run(), 1);
  EXPECT_EQ(s.lines("stderr.txt").at(0),
            "boxmodel: " + site_name +
                ": line 23: end of file while reading record 17 (13 values expected, 5 read)");
  EXPECT_EQ(s.lines("TS_species.txt").size(), 1u + 16);
}

TEST(BadInput, MissingSiteFile) {
  Scratch s;
  fs::remove(s.dir() / site_name);
  EXPECT_EQ(s.run(), 1);
  EXPECT_EQ(s.read("stderr.txt"), "boxmodel: " + site_name +
                                      ": cannot open the input file: No such file or directory\n");
  EXPECT_FALSE(fs::exists(s.dir() / site_name));
  EXPECT_FALSE(fs::exists(s.dir() / "TS_species.txt"));
}

TEST(BadInput, MissingParameterFileIsNotCreated) {
  Scratch s;
  fs::remove(s.dir() / "inputn");
  EXPECT_EQ(s.run(), 1);
  EXPECT_EQ(s.read("stderr.txt"),
            "boxmodel: inputn: cannot open the input file: No such file or directory\n");
  EXPECT_FALSE(fs::exists(s.dir() / "inputn"));
}

TEST(BadInput, MalformedRecordKeepsTheRowsBefore) {
  Scratch s;
  s.replace_line(site_name, 9, " 13.0  335.0  abc  98980.0  0.0146  17.1  5.2  9.3  142.0  1.9  "
                               "14.9  281.0  298.0");
  EXPECT_EQ(s.run(), 1);
  EXPECT_EQ(s.read("stderr.txt"),
            "boxmodel: " + site_name + ": line 9: expected a real number (tt), found \"abc\"\n"
            "boxmodel: the run stopped in step 25 of 204, after 24 completed steps\n");
  EXPECT_EQ(s.lines("TS_species.txt").size(), 1u + 2);
}

TEST(BadInput, NonNumericParameter) {
  Scratch s;
  s.replace_line("inputn", 3, "abc");
  EXPECT_EQ(s.run(), 1);
  EXPECT_EQ(s.read("stderr.txt"),
            "boxmodel: inputn: line 3: expected an integer (isort), found \"abc\"\n");
}

TEST(BadInput, KmaxAboveThree) {
  Scratch s;
  s.replace_line("inputn", 9, "9 40 1 0.01 0.85 4");
  EXPECT_EQ(s.run(), 1);
  EXPECT_EQ(s.read("stderr.txt"),
            "boxmodel: inputn: line 9: kmax is 4, expected 0 to 3 (rsoil, rleaf and tleaf hold 3 "
            "values each)\n");
}

TEST(FloatingPoint, ZeroTemperatureStopsWithDivisionByZero) {
  Scratch s;
  s.replace_line(site_name, 8, "12.0 118.0 0.0 98965.0 0.0143 16.2 3.5 8.6 134.0 1.7 12.5 92 96");
  EXPECT_EQ(s.run(), 3);
  EXPECT_EQ(s.read("stderr.txt"),
            "boxmodel: floating-point exception: division by zero; the run is stopped\n");
  // The rows and lines written before the stop are kept.
  EXPECT_EQ(s.lines("TS_species.txt").size(), 1u + 2);
  EXPECT_EQ(count_starting(s.lines("stdout.txt"), "working on timloc after="), 12u);
}

TEST(WriteErrors, SpeciesTableOnAFullDevice) {
  Scratch s;
  fs::create_symlink("/dev/full", s.dir() / "TS_species.txt");
  EXPECT_EQ(s.run(), 2);
  EXPECT_EQ(s.read("stderr.txt"),
            "boxmodel: TS_species.txt: write failed: No space left on device\n"
            "boxmodel: the run stopped in step 1 of 204, after 0 completed steps\n");
}

TEST(WriteErrors, StandardOutputOnAFullDevice) {
  Scratch s;
  EXPECT_EQ(s.run("/dev/full"), 2);
  EXPECT_EQ(s.read("stderr.txt"),
            "boxmodel: standard output: write failed: No space left on device\n");
}

TEST(SolarGeometry, SouthernSiteWarnsAtEveryStep) {
  Scratch s;
  s.replace_line("inputn", 2, "-33.9 -151.2 -150.0");
  EXPECT_EQ(s.run(), 0);
  EXPECT_EQ(count_starting(s.lines("stdout.txt"), " something wrong with radiation! qvx"), 204u);
}

}  // namespace
