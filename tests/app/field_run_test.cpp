// Whole runs of a field campaign: species held to the site records or to an
// observation file, and a tracer that nothing in the chemistry makes or
// destroys (SULF: its only source is SO2 + HO, and the model starts without
// SO2) emitted, deposited and diluted, against the analytic solutions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/program_run.hpp"

namespace {

namespace fs = std::filesystem;
using box::testing::CsvTable;
using box::testing::example_site_name;
using box::testing::ProgramDir;
using box::testing::read_csv;

constexpr std::size_t site_header_lines = 6;

struct Record {
  double tt = 0, pp = 0, o3 = 0, no2 = 0;
};

// The example's records as the test reads them (columns: timin averad tt
// pp q2 o3 no no2 ...).
std::vector<Record> example_records(const ProgramDir& p) {
  const std::vector<std::string> lines = p.lines(example_site_name);
  std::vector<Record> records;
  for (std::size_t i = site_header_lines; i < lines.size(); ++i) {
    double v[8];
    if (std::sscanf(lines[i].c_str(), "%lf %lf %lf %lf %lf %lf %lf %lf", &v[0], &v[1], &v[2], &v[3], &v[4],
                    &v[5], &v[6], &v[7]) != 8)
      continue;
    records.push_back({v[2], v[3], v[5], v[7]});
  }
  return records;
}

CsvTable run_csv(const ProgramDir& p, const std::string& toml) {
  p.write("s.toml", toml);
  const auto r = p.run("run s.toml --quiet");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  return read_csv(p / "species.csv");
}

void expect_relative(double got, double want, double tolerance, const std::string& what) {
  EXPECT_NEAR(got, want, tolerance * std::abs(want)) << what;
}

// A whole day held to the records: O3 and NO2 take the record of the hour
// at every whole hour and the straight line to the next record between
// (the last hour, with no record after it, holds its record), while NO is
// emitted with the sun and O3 also deposits.
TEST(FieldRun, ConstrainedDayFollowsTheRecords) {
  // The example's file holds exactly the day's 17 records; then a file with
  // an 18th, toward which the last hour is interpolated.
  for (const bool later_record : {false, true}) {
    SCOPED_TRACE(later_record ? "file with a later record" : "file ending with the run");
    ProgramDir p;
    if (later_record)
      p.write(example_site_name, p.read(example_site_name) +
                                     " 28.0    0.0  294.0  98900.0  0.0140  31.0  0.4  12.5  150.0  2.0  13.0    0.0    0.0\n");
    const CsvTable csv = run_csv(p, R"([constraints]
from_records = ["O3", "NO2"]
[emissions]
profile = "daylight"
NO = 2e10
[deposition]
O3 = 0.4
[output]
formats = ["csv"]
species = ["O3", "NO2", "NO"]
every_seconds = 900
)");
    const std::vector<Record> records = example_records(p);
    const std::size_t last = later_record ? 17 : 16;
    ASSERT_EQ(records.size(), last + 1);
    ASSERT_EQ(csv.rows.size(), 17u * 4 + 1);
    for (const auto& row : csv.rows) {
      const double t = row[0] - 5.0;
      const auto k = static_cast<std::size_t>(std::floor(t));
      const double w = t - static_cast<double>(k);
      const Record& a = records.at(std::min<std::size_t>(k, last));
      const Record& b = records.at(std::min<std::size_t>(k + 1, last));
      const std::string at = " at " + std::to_string(row[0]) + " h";
      expect_relative(row[csv.column("O3")], a.o3 + w * (b.o3 - a.o3), 1e-13, "O3" + at);
      expect_relative(row[csv.column("NO2")], a.no2 + w * (b.no2 - a.no2), 1e-13, "NO2" + at);
    }
    if (later_record) {
      EXPECT_EQ(csv.rows.back()[csv.column("O3")], 31.0);
    }
    // Emitted through the day, NO is far above the closed box's few ppt.
    double most_no = 0;
    for (double v : csv.values("NO")) most_no = std::max(most_no, v);
    EXPECT_GT(most_no, 0.05);
  }
}

// Started from the first record's observations, the gases it observes
// begin the run at its values and then follow the chemistry.
TEST(FieldRun, InitialStateFromTheFirstRecord) {
  ProgramDir p;
  const CsvTable csv = run_csv(p, R"([time]
hours = 1
[initial]
from_first_record = true
[output]
formats = ["csv"]
species = ["O3", "NO", "NO2", "CO", "HCHO"]
)");
  ASSERT_EQ(csv.rows.size(), 2u);
  const std::vector<double> first = {18.4, 1.8, 7.5, 128.0, 1.6};
  for (std::size_t c = 0; c < first.size(); ++c) {
    expect_relative(csv.rows[0][c + 1], first[c], 1e-15, csv.header[c + 1]);
    EXPECT_NE(csv.rows[1][c + 1], first[c]) << csv.header[c + 1];
  }
}

// Held to an observation file's irregular times, on the straight line or
// as the last observation held.
TEST(FieldRun, HeldToAnObservationFile) {
  const std::vector<double> times = {4.5, 5.25, 6.0, 6.75, 7.5};
  const std::vector<double> o3 = {30.0, 34.0, 31.0, 40.0, 38.0};
  const std::vector<double> hcho = {2.0, 2.5, 1.0, 3.0, 2.0};
  std::string file = "# ozone and formaldehyde at the site\ntime_h,O3,HCHO\n";
  for (std::size_t i = 0; i < times.size(); ++i)
    file += std::to_string(times[i]) + "," + std::to_string(o3[i]) + "," + std::to_string(hcho[i]) + "\n";

  for (const bool linear : {true, false}) {
    SCOPED_TRACE(linear ? "linear" : "step");
    ProgramDir p;
    p.write("obs.csv", file);
    const CsvTable csv = run_csv(p, std::string("[time]\nhours = 2\n[constraints]\nfile = \"obs.csv\"\n") +
                                        "interpolation = \"" + (linear ? "linear" : "step") + "\"\n" +
                                        "[output]\nformats = [\"csv\"]\nspecies = [\"O3\", \"HCHO\", \"NO2\"]\n"
                                        "every_seconds = 300\n");
    ASSERT_EQ(csv.rows.size(), 25u);
    for (const auto& row : csv.rows) {
      const double t = row[0];
      std::size_t j = 0;
      while (j + 1 < times.size() && times[j + 1] <= t) ++j;
      const double w = linear ? (t - times[j]) / (times[j + 1] - times[j]) : 0.0;
      const std::string at = " at " + std::to_string(t) + " h";
      expect_relative(row[csv.column("O3")], o3[j] + w * (o3[j + 1] - o3[j]), 1e-13, "O3" + at);
      expect_relative(row[csv.column("HCHO")], hcho[j] + w * (hcho[j + 1] - hcho[j]), 1e-13, "HCHO" + at);
    }
  }
}

// A campaign file with gaps (empty, NaN and -999 cells) and a column no
// constraint selects. O3 is observed at 5 h (30), 7 h (36), 12 h (20) and
// 13 h (25): across the 2 h gap it is held on the line between (or, by
// step, at the earlier value); through the 5 h gap, longer than the 3 h
// allowed, it runs free, and a note says so.
TEST(FieldRun, GapsInTheObservationFile) {
  const std::string obs =
      "time_h,O3,temp_C\n5,30,20\n6,,21\n7,36,22\n8,,23\n9,-999,24\n10,NaN,25\n11,nan,26\n12,20,27\n13,25,28\n";
  const auto run = [&](const std::string& more, std::string* err = nullptr) {
    ProgramDir p;
    p.write("obs.csv", obs);
    p.write("s.toml", "[time]\nhours = 8\n[constraints]\nfile = \"obs.csv\"\nspecies = [\"O3\"]\n"
                      "missing_value = -999\n" + more +
                      "\n[output]\nformats = [\"csv\"]\nspecies = [\"O3\"]\nevery_seconds = 1800\n");
    const auto r = p.run("run s.toml --quiet");
    EXPECT_EQ(r.status, 0) << r.err;
    if (err != nullptr) *err = r.err;
    return read_csv(p / "species.csv").values("O3");
  };
  // Rows every half hour from 5 h: row 3 is 6.5 h, row 9 is 9.5 h.
  std::string err;
  const std::vector<double> linear = run("", &err);
  ASSERT_EQ(linear.size(), 17u);
  expect_relative(linear[3], 34.5, 1e-13, "30 + 6 x 1.5 / 2 at 6.5 h");
  expect_relative(linear[15], 22.5, 1e-13, "at 12.5 h");
  // Free from 7 h, O3 follows the chemistry, far from the line to 20 ppb.
  EXPECT_GT(std::abs(linear[9] - 28.0), 1.0) << linear[9];
  EXPECT_NE(err.find("note: s.toml: line 4: constraints.file: obs.csv: columns not used: temp_C"), std::string::npos)
      << err;
  EXPECT_NE(err.find("note: obs.csv: O3 has no observation from 7.0 h to 12.0 h (a gap longer than max_gap_hours = "
                     "3): it runs free then"),
            std::string::npos)
      << err;
  // Gaps of up to 6 h allowed, the 5 h one is held too: 36 - 16 x 2.5 / 5.
  const std::vector<double> longer = run("max_gap_hours = 6");
  expect_relative(longer[9], 28.0, 1e-13, "at 9.5 h");
  // By step, the last valid value holds across the short gap.
  const std::vector<double> step = run("interpolation = \"step\"");
  expect_relative(step[3], 30.0, 1e-13, "at 6.5 h");
  expect_relative(step[15], 20.0, 1e-13, "at 12.5 h");
}

// An observation file that ends where the run ends covers it, although
// the run's clock reaches 0.1 + 0.2 = 0.30000000000000004 h there.
TEST(FieldRun, ObservationsEndingWithTheRun) {
  ProgramDir p;
  p.write("obs.csv", "time_h,O3\n0.1,30\n0.3,40\n");
  const CsvTable csv = run_csv(p, R"([time]
start_hour = 0.1
hours = 0.2
step_seconds = 60
[constraints]
file = "obs.csv"
[output]
formats = ["csv"]
species = ["O3"]
every_seconds = 360
)");
  ASSERT_EQ(csv.rows.size(), 3u);
  expect_relative(csv.rows[1][1], 35.0, 1e-13, "O3 halfway");
  expect_relative(csv.rows[2][1], 40.0, 1e-13, "O3 at the end");
}

// The chemistry's air density (molecules cm-3) for a record's air: density
// from the dry-air gas constant, 28.97 g mol-1, Avogadro's 6.022e23.
double air_number_density(const Record& r) { return r.pp / (287.058 * r.tt) * 1e-3 / 28.97 * 6.022e23; }

constexpr const char* tracer_run = R"([time]
hours = 2
[chemistry]
method = "rodas4"
rtol = 1e-8
[output]
formats = ["csv"]
species = ["SULF"]
every_seconds = 300
)";

// Emission E mixed through H builds the tracer up as E t / H (number
// density), each hour at its record's air density.
TEST(FieldRun, EmittedTracerBuildsUpLinearly) {
  ProgramDir p;
  const double e = 1e11, h_cm = 800.0 * 100.0;
  const CsvTable csv =
      run_csv(p, std::string(tracer_run) + "[emissions]\nmixing_height_m = 800\nSULF = 1e11\n");
  const std::vector<Record> records = example_records(p);
  ASSERT_EQ(csv.rows.size(), 25u);
  EXPECT_EQ(csv.rows[0][1], 0.0);
  for (std::size_t k = 1; k < csv.rows.size(); ++k) {
    const double seconds = (csv.rows[k][0] - 5.0) * 3600.0;
    const double first = std::min(seconds, 3600.0), second = seconds - first;
    const double ppb =
        1e9 * e / h_cm * (first / air_number_density(records[0]) + second / air_number_density(records[1]));
    expect_relative(csv.rows[k][1], ppb, 1e-6, "at " + std::to_string(csv.rows[k][0]) + " h");
  }
}

// Deposition at v_d through H: exp(-v_d t / H).
TEST(FieldRun, DepositedTracerDecaysExponentially) {
  ProgramDir p;
  const CsvTable csv = run_csv(p, std::string(tracer_run) +
                                      "[initial]\nSULF = 1.5\n[emissions]\nmixing_height_m = 500\n"
                                      "[deposition]\nSULF = 0.5\n");
  ASSERT_EQ(csv.rows.size(), 25u);
  for (const auto& row : csv.rows) {
    const double seconds = (row[0] - 5.0) * 3600.0;
    expect_relative(row[1], 1.5 * std::exp(-0.5 / 5e4 * seconds), 1e-6, "at " + std::to_string(row[0]) + " h");
  }
}

// Dilution at k toward a background: c_bg + (c0 - c_bg) exp(-k t).
TEST(FieldRun, DilutedTracerRelaxesToTheBackground) {
  ProgramDir p;
  const CsvTable csv = run_csv(p, std::string(tracer_run) +
                                      "[initial]\nSULF = 1.0\n[dilution]\nrate_per_s = 2e-4\n"
                                      "background = { SULF = 3.0 }\n");
  ASSERT_EQ(csv.rows.size(), 25u);
  for (const auto& row : csv.rows) {
    const double seconds = (row[0] - 5.0) * 3600.0;
    expect_relative(row[1], 3.0 - 2.0 * std::exp(-2e-4 * seconds), 1e-6, "at " + std::to_string(row[0]) + " h");
  }
}

// Field settings that cannot be run: status 1, the file, line and key (or
// the observation file's line) named, nothing written.
TEST(FieldRun, RefusedFieldSettings) {
  BOXMODEL_NEEDS_NETCDF();
  const std::string out = "[output]\ndir = \"out\"\nformats = [\"table\", \"csv\", \"netcdf\"]\n";
  const std::string obs = "time_h,O3\n4.0,30\n8.0,40\n";
  struct Case {
    const char* name;
    std::string toml;
    std::string obs_file;
    std::vector<std::string> message_parts;
  };
  const std::vector<Case> cases = {
      {"held species not in the records", out + "[constraints]\nfrom_records = [\"O4\"]\n", obs,
       {"s.toml: line 5: constraints.from_records: \"O4\" is not observed"}},
      {"unknown species in the observations", out + "[constraints]\nfile = \"obs.csv\"\n",
       "time_h,O3,XO3\n4.0,30,1\n8.0,40,1\n", {"obs.csv: line 1: column 3: \"XO3\" is no species"}},
      {"selected column missing", out + "[constraints]\nfile = \"obs.csv\"\nspecies = [\"NO2\"]\n", obs,
       {"s.toml: line 6: constraints.species", "NO2"}},
      {"observations end too early", out + "[time]\nhours = 5\n[constraints]\nfile = \"obs.csv\"\n", obs,
       {"obs.csv: the observations run from 4 h (line 2) to 8 h (line 3); the run needs 5 h to 10 h"}},
      {"observations start too late", out + "[constraints]\nfile = \"obs.csv\"\n", "time_h,O3\n6.0,30\n30.0,40\n",
       {"obs.csv: the observations run from 6 h (line 2)"}},
      {"negative emission", out + "[emissions]\nSULF = -1e10\n",
       obs, {"s.toml: line 5: emissions.SULF: expected", "found -1e+10"}},
      {"negative velocity", out + "[deposition]\nO3 = -0.2\n", obs,
       {"s.toml: line 5: deposition.O3: expected", "found -0.2"}},
      {"held and emitted", out + "[constraints]\nfrom_records = [\"NO\"]\n[emissions]\nNO = 1e10\n", obs,
       {"s.toml: line 5: constraints.from_records: NO is held to observations and also emitted"}},
      {"emission of no species", out + "[emissions]\nNOO = 1e10\n", obs,
       {"s.toml: line 5: emissions.NOO: no species of that name"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProgramDir p;
    p.write("s.toml", c.toml);
    p.write("obs.csv", c.obs_file);
    const auto r = p.run("run s.toml");
    EXPECT_EQ(r.status, 1);
    for (const std::string& part : c.message_parts) EXPECT_NE(r.err.find(part), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    for (const char* name : {"species.csv", "species.nc", "TS_species.txt"}) {
      EXPECT_FALSE(fs::exists(p / "out" / name)) << name;
      EXPECT_FALSE(fs::exists(p / name)) << name;
    }
  }
}

}  // namespace
