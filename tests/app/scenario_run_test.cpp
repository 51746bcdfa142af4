// Whole scenario runs of the program: the same day as the run without
// arguments, its CSV and NetCDF outputs against the species table and
// against each other, a changed 30-hour scenario against a tighter
// reference run, every way a scenario or its inputs can be refused, and
// the warnings of the run without arguments.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "scenario/schema.hpp"
#include "tests/support/program_run.hpp"

#ifdef BOXMODEL_HAVE_NETCDF
#include <netcdf.h>
#endif

namespace {

namespace fs = std::filesystem;
using box::testing::CsvTable;
using box::testing::example_site_name;
using box::testing::golden;
using box::testing::ProgramDir;
using box::testing::read_csv;
using box::testing::text_lines;

constexpr std::size_t site_header_lines = 6;

// The example's records twice over (34 hours), the time stamps and all else
// as they are: enough for a run across midnight.
void write_long_records(const ProgramDir& p, const std::string& name) {
  const std::vector<std::string> lines = p.lines(example_site_name);
  std::vector<std::string> out(lines.begin(), lines.end());
  out.insert(out.end(), lines.begin() + site_header_lines, lines.end());
  p.write(name, box::testing::join_lines(out));
}

bool no_outputs(const fs::path& dir) {
  for (const char* name : {"species.csv", "species.nc", "TS_species.txt", "species.csv.partial",
                           "species.nc.partial"})
    if (fs::exists(dir / name)) return false;
  return true;
}

// `boxmodel <args>` in `p` ran the model's day: the species table and the
// standard output of the run without arguments, byte for byte.
void expect_model_day(const ProgramDir& p, const std::string& args) {
  fs::remove(p / "TS_species.txt");
  const auto r = p.run(args);
  ASSERT_EQ(r.status, 0) << args << ": " << r.err;
  EXPECT_EQ(r.err, "") << args;
  EXPECT_EQ(p.read("TS_species.txt"), golden("TS_species.txt")) << args;
  EXPECT_EQ(r.out, golden("stdout.txt")) << args;
}

TEST(ScenarioRun, TableOnlyScenarioIsTheModelDay) {
  ProgramDir p;
  p.write("s.toml", "[output]\nformats = [\"table\"]\n");
  expect_model_day(p, "run s.toml");
  // The default scenario without a file is the same day.
  expect_model_day(p, "run");
}

// The CSV holds the values of the species table, written by another
// formatting path: at every hour they agree to the table's 3 decimals
// (BR, HO and BRO are in ppt there, ppb in the CSV). Its last row is the
// end of the run, which the table does not show.
TEST(ScenarioRun, CsvAgreesWithTheSpeciesTable) {
  ProgramDir p;
  p.write("s.toml", "[output]\nformats = [\"table\", \"csv\"]\nspecies = \"table\"\n");
  const auto r = p.run("run s.toml --quiet");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(p.read("TS_species.txt"), golden("TS_species.txt"));

  const CsvTable csv = read_csv(p / "species.csv");
  const std::vector<std::string> names = {"time_h", "O3", "NO",  "NO2", "HCHO", "LIM", "NO3", "HNO3",
                                          "HBR",    "BR", "BR2", "HOBR", "HO",  "BRO", "PAN", "HO2"};
  ASSERT_EQ(csv.header, names);
  ASSERT_EQ(csv.rows.size(), 18u);
  const std::vector<std::string> table = text_lines(golden("TS_species.txt"));
  ASSERT_EQ(table.size(), 18u);
  for (std::size_t row = 0; row < 17; ++row) {
    const std::string& line = table[row + 1];
    std::vector<double> cells;
    for (std::size_t at = 0; at + 9 <= line.size(); at += 9) cells.push_back(std::stod(line.substr(at, 9)));
    ASSERT_EQ(cells.size(), 17u);
    EXPECT_EQ(csv.rows[row][0], cells[0]);  // whole hours
    for (std::size_t c = 1; c < names.size(); ++c) {
      const double scale = (names[c] == "BR" || names[c] == "HO" || names[c] == "BRO") ? 1e3 : 1.0;
      EXPECT_NEAR(csv.rows[row][c] * scale, cells[c + 1], 0.0005 + 1e-12)
          << names[c] << " at " << cells[0] << " h";
    }
  }
  EXPECT_EQ(csv.rows[17][0], 22.0);
}

// A scenario far from the model's day (evening start, 600 s steps, other
// initial O3 and NO, a slower HO + NO2, RODAS-4, 30 hours across midnight)
// against the same scenario integrated a thousand times tighter.
constexpr const char* long_scenario = R"([site]
records = "long_records.txt"

[time]
start_hour = 20.0
step_seconds = 600
hours = 30

[initial]
O3 = 35.0
NO = 2.5

[chemistry]
method = "rodas4"
rtol = 1e-6
rate_factors = { R42 = 0.7 }

[output]
dir = "out"
formats = ["csv", "netcdf"]
species = "all"
)";

TEST(ScenarioRun, ThirtyHoursAcrossMidnightAgainstATighterReference) {
  BOXMODEL_NEEDS_NETCDF();
  ProgramDir p;
  write_long_records(p, "long_records.txt");
  p.write("s.toml", long_scenario);
  const auto r = p.run("run s.toml --quiet");
  ASSERT_EQ(r.status, 0) << r.err;
  // Past 04:30 of a second day too, a quiet run prints nothing: the sun's
  // "check coszen" line is a progress line.
  EXPECT_EQ(r.out, "");
  const auto ref = p.run("run s.toml --quiet --rtol 1e-9 --format csv --output-dir ref");
  ASSERT_EQ(ref.status, 0) << ref.err;

  const CsvTable run = read_csv(p / "out" / "species.csv");
  const CsvTable tight = read_csv(p / "ref" / "species.csv");
  ASSERT_EQ(run.header.size(), 1u + 80);
  ASSERT_EQ(run.header, tight.header);
  ASSERT_EQ(run.rows.size(), 31u);
  ASSERT_EQ(tight.rows.size(), 31u);
  for (std::size_t k = 0; k < 31; ++k) EXPECT_DOUBLE_EQ(run.rows[k][0], 20.0 + static_cast<double>(k));
  EXPECT_EQ(run.rows[0][run.column("O3")], 35.0);
  EXPECT_EQ(run.rows[0][run.column("NO")], 2.5);

  int compared = 0;
  for (std::size_t k = 0; k < 31; ++k) {
    for (std::size_t c = 1; c < run.header.size(); ++c) {
      const double want = tight.rows[k][c];
      if (std::abs(want) <= 1e-6) continue;
      ++compared;
      EXPECT_NEAR(run.rows[k][c], want, 1e-5 * std::abs(want)) << run.header[c] << " at row " << k;
    }
  }
  EXPECT_GT(compared, 31 * 50);
}

#ifdef BOXMODEL_HAVE_NETCDF

std::vector<double> netcdf_values(int ncid, const std::string& name) {
  int id = -1, dim = -1;
  std::size_t length = 0;
  EXPECT_EQ(nc_inq_varid(ncid, name.c_str(), &id), NC_NOERR) << name;
  EXPECT_EQ(nc_inq_vardimid(ncid, id, &dim), NC_NOERR);
  EXPECT_EQ(nc_inq_dimlen(ncid, dim, &length), NC_NOERR);
  std::vector<double> v(length);
  EXPECT_EQ(nc_get_var_double(ncid, id, v.data()), NC_NOERR);
  return v;
}

// The NetCDF file of the 30-hour run holds the CSV's numbers exactly (mol
// mol-1 there, ppb in the CSV), the time since the start in seconds, and
// the air of the hour's site record.
TEST(ScenarioRun, NetcdfHoldsTheCsvNumbers) {
  ProgramDir p;
  write_long_records(p, "long_records.txt");
  p.write("s.toml", long_scenario);
  const auto r = p.run("run s.toml --quiet");
  ASSERT_EQ(r.status, 0) << r.err;
  const CsvTable csv = read_csv(p / "out" / "species.csv");
  int ncid = -1;
  ASSERT_EQ(nc_open((p / "out" / "species.nc").c_str(), NC_NOWRITE, &ncid), NC_NOERR);
  const std::vector<double> time = netcdf_values(ncid, "time");
  ASSERT_EQ(time.size(), csv.rows.size());
  for (std::size_t k = 0; k < time.size(); ++k) EXPECT_EQ(time[k], 3600.0 * static_cast<double>(k));
  for (std::size_t c = 1; c < csv.header.size(); ++c) {
    const std::vector<double> x = netcdf_values(ncid, csv.header[c]);
    ASSERT_EQ(x.size(), csv.rows.size());
    for (std::size_t k = 0; k < x.size(); ++k)
      ASSERT_EQ(x[k] * 1e9, csv.rows[k][c]) << csv.header[c] << " at row " << k;
  }
  // Hour k runs on record k + 1 of the file (its 13 columns: tt third, pp
  // fourth); the end of the run still on the last record taken.
  const std::vector<double> tt = netcdf_values(ncid, "temperature");
  const std::vector<double> pp = netcdf_values(ncid, "pressure");
  const std::vector<std::string> records = p.lines("long_records.txt");
  for (std::size_t k = 0; k < tt.size(); ++k) {
    const std::string& line = records.at(site_header_lines + std::min<std::size_t>(k, 29));
    double v[4];
    ASSERT_EQ(std::sscanf(line.c_str(), "%lf %lf %lf %lf", &v[0], &v[1], &v[2], &v[3]), 4);
    EXPECT_EQ(tt[k], v[2]) << k;
    EXPECT_EQ(pp[k], v[3]) << k;
  }
  nc_close(ncid);
}

#endif

// A refused scenario: status 1, one message naming where and what, and
// nothing written.
struct Refusal {
  const char* name;
  std::string toml;
  std::vector<std::string> message_parts;
};

void expect_refused(const ProgramDir& p, const std::string& args, const std::vector<std::string>& parts) {
  const auto r = p.run(args);
  EXPECT_EQ(r.status, 1) << args;
  for (const std::string& part : parts) EXPECT_NE(r.err.find(part), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(no_outputs(p.dir())) << args;
  EXPECT_TRUE(no_outputs(p / "out")) << args;
}

TEST(ScenarioRun, RefusedScenarios) {
  const std::string out = "[output]\ndir = \"out\"\nformats = [\"table\", \"csv\", \"netcdf\"]\n";
  const std::vector<Refusal> cases = {
      {"unknown key", out + "[time]\nstep_secs = 600\n",
       {"s.toml: line 5: time.step_secs: unknown key", "step_seconds"}},
      {"misspelt species", out + "[initial]\nO33 = 20\n",
       {"s.toml: line 5: initial.O33: no species of that name (close: ", "O3"}},
      {"wrong type", out + "[time]\nhours = \"ten\"\n",
       {"s.toml: line 5: time.hours: expected a number, found a string"}},
      {"step not dividing an hour", out + "[time]\nstep_seconds = 7\n",
       {"s.toml: line 5: time.step_seconds: ", "divides 3600, found 7"}},
      {"hours not whole steps", out + "[time]\nstep_seconds = 1\nhours = 0.0101\n",
       {"s.toml: line 6: time.hours: ", "not a whole number of 1 s steps"}},
      {"no output interval", out + "every_seconds = 0\n",
       {"s.toml: line 4: output.every_seconds: expected a positive number of seconds, found 0"}},
      {"output between steps", out + "every_seconds = 900\n[time]\nstep_seconds = 600\n",
       {"s.toml: line 4: output.every_seconds: expected a multiple of the step (600 s), found 900"}},
      {"negative concentration", out + "[initial]\nNO = -0.5\n",
       {"s.toml: line 5: initial.NO: ", "found -0.5"}},
      {"reaction 250", out + "[chemistry]\nrate_factors = { R250 = 2.0 }\n",
       {"s.toml: line 5: chemistry.rate_factors.R250: no reaction of that name"}},
      {"reaction 0", out + "[chemistry]\nrate_factors = { R0 = 2.0 }\n",
       {"s.toml: line 5: chemistry.rate_factors.R0: no reaction of that name"}},
      {"not TOML", out + "[time\n", {"s.toml: line 4: "}},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.name);
    ProgramDir p;
    p.write("s.toml", c.toml);
    expect_refused(p, "run s.toml", c.message_parts);
  }
  // A command-line value is named as such.
  ProgramDir p;
  expect_refused(p, "run --step 7 --output-dir out", {"command line --step: time.step_seconds: "});
}

// The smallest step: one second, 36 steps for a hundredth of an hour.
TEST(ScenarioRun, OneSecondSteps) {
  ProgramDir p;
  p.write("s.toml", "[time]\nstep_seconds = 1\nhours = 0.01\n[output]\nformats = [\"csv\"]\n");
  const auto r = p.run("run s.toml --quiet");
  ASSERT_EQ(r.status, 0) << r.err;
  const CsvTable csv = read_csv(p / "species.csv");
  ASSERT_EQ(csv.rows.size(), 2u);
  EXPECT_EQ(csv.rows[0][0], 5.0);
  EXPECT_DOUBLE_EQ(csv.rows[1][0], 5.01);
  EXPECT_FALSE(fs::exists(p / "TS_species.txt"));
}

// Inputs a scenario run reads before its first step: a record must be one
// line of 13 possible values and the site must exist on Earth's calendar.
TEST(ScenarioRun, RefusedInputs) {
  BOXMODEL_NEEDS_NETCDF();
  struct Edit {
    const char* name;
    std::string file;
    std::size_t line;
    std::string text;
    std::vector<std::string> message_parts;
  };
  const std::string site = example_site_name;
  const std::vector<Edit> edits = {
      {"value missing", site, 9, " 13.0  335.0  292.4  98980.0  0.0146  17.1  5.2  9.3  142.0  1.9  14.9  281.0",
       {site + ": line 9: record 3: expected 13 values on the line, found 12"}},
      {"record on two lines", site, 9, " 13.0  335.0  292.4  98980.0  0.0146  17.1\n 5.2  9.3  142.0  1.9  14.9  281.0  298.0",
       {site + ": line 9: record 3: expected 13 values on the line, found 6", "records_layout = \"free\""}},
      {"hot air", site, 10, " 14.0  548.0  400.0  98990.0  0.0149  22.3  4.1  7.8  146.0  2.3  12.3  489.0  505.0",
       {site + ": line 10: record 4: tt is 400, expected an air temperature"}},
      {"no air", site, 10, " 14.0  548.0  294.6  5.0  0.0149  22.3  4.1  7.8  146.0  2.3  12.3  489.0  505.0",
       {site + ": line 10: record 4: pp is 5, expected an air pressure"}},
      {"negative radiation", site, 22, " 26.0    0.0  296.6  98866.0  0.0148  34.0  0.2  6.8  139.0  2.1   7.4    0.0   -1.0",
       {site + ": line 22: record 16: averad_obs_aug26 is -1, expected a radiation of 0 W m-2 or more"}},
      {"negative ozone", site, 12, " 16.0  742.0  296.8  98975.0  0.0151  -5.0  2.2  5.1  149.0  2.8  8.9  689.0  702.0",
       {site + ": line 12: record 6: ozone_read is -5, expected a mixing ratio of 0 or more"}},
      {"latitude 95", "inputn", 2, "95.0 88.37 90.0", {"inputn: line 2", "xlat is 95, expected a latitude"}},
      {"day 400", "inputn", 1, "400 2025", {"inputn: line 1", "jday is 400, expected a day of the year"}},
  };
  for (const Edit& e : edits) {
    SCOPED_TRACE(e.name);
    ProgramDir p;
    p.replace_line(e.file, e.line, e.text);
    expect_refused(p, "run --format table,csv,netcdf --output-dir out", e.message_parts);
  }
  // Read list-directed, a record on two lines is the record it always was,
  // and said on standard error as the run without arguments says it (a
  // value missing shifts every later hour by one value).
  const std::vector<std::pair<std::string, std::string>> free_records = {
      {" 13.0  335.0  292.4  98980.0  0.0146  17.1\n 5.2  9.3  142.0  1.9  14.9  281.0  298.0",
       "line 9: record 3 spans lines 9 to 10"},
      {" 13.0  335.0  292.4  98980.0  0.0146  17.1  5.2  9.3  142.0  1.9  14.9  281.0  298.0  7.0",
       "line 9: record 3 leaves values unread on its line"}};
  for (const auto& [record, warning] : free_records) {
    ProgramDir p;
    p.replace_line(site, 9, record);
    p.write("s.toml", "[site]\nrecords_layout = \"free\"\n");
    const auto r = p.run("run s.toml");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "boxmodel: warning: " + site + ": " + warning + " (a value missing or extra?)\n");
    if (warning.find("spans") != std::string::npos) {
      EXPECT_EQ(p.read("TS_species.txt"), golden("TS_species.txt"));
      EXPECT_EQ(r.out, golden("stdout.txt"));
    }
  }
}

TEST(CommandLine, UsageVersionAndHelp) {
  ProgramDir p;
  const auto bogus = p.run("bogus");
  EXPECT_NE(bogus.status, 0);
  EXPECT_NE(bogus.err.find("unknown command \"bogus\""), std::string::npos) << bogus.err;
  EXPECT_NE(bogus.err.find("Usage: boxmodel"), std::string::npos) << bogus.err;
  EXPECT_EQ(bogus.out, "");
  EXPECT_FALSE(fs::exists(p / "TS_species.txt"));

  const auto version = p.run("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("boxmodel ", 0), 0u) << version.out;

  const auto help = p.run("run --help");
  EXPECT_EQ(help.status, 0);
  for (const char* option : {"--start-hour", "--step", "--hours", "--output-dir", "--species", "--format",
                             "--method", "--rtol", "--atol", "--quiet", "--budgets"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  EXPECT_FALSE(fs::exists(p / "TS_species.txt"));
  // Every option the scenario schema gives sets its key: the help names the
  // key, and a value the key refuses is refused naming option and key.
  for (const box::ScenarioKey& k : box::scenario_keys()) {
    if (k.option.empty()) continue;
    const std::string option(k.option.substr(0, k.option.find(',')));
    SCOPED_TRACE(option);
    EXPECT_NE(help.out.find("(" + std::string(k.name)), std::string::npos) << help.out;
    // A flag has no value to refuse, and any path is a path.
    if (k.type == box::KeyType::boolean || k.type == box::KeyType::path) continue;
    const bool numeric = k.type == box::KeyType::number || k.type == box::KeyType::whole_number;
    const std::string bad = numeric ? "-1" : "nonsense";
    const auto refused = p.run("run " + option + "=" + bad);
    EXPECT_EQ(refused.status, 1) << refused.err;
    EXPECT_NE(refused.err.find("command line " + option + ": " + std::string(k.name) + ": "), std::string::npos)
        << refused.err;
    if (!numeric) continue;
    // No number at all: one line naming the option, not the whole help.
    const auto word = p.run("run " + option + " abc");
    EXPECT_EQ(word.status, 1);
    EXPECT_EQ(word.err, "boxmodel: " + option + ": expected a " +
                            (k.type == box::KeyType::whole_number ? "whole " : "") + "number, found \"abc\"\n");
  }
  EXPECT_FALSE(fs::exists(p / "TS_species.txt"));

  const auto unknown_option = p.run("run --stpe 600");
  EXPECT_EQ(unknown_option.status, 1);
  EXPECT_FALSE(fs::exists(p / "TS_species.txt"));
}

// The run without arguments reads its records list-directed, as it always
// has; a record that leaves values on its line or spans lines is worth a
// warning on standard error, while what it writes stays the same.
// A scenario file's relative paths are relative to its folder, whatever
// the working directory: run from elsewhere, it reads its own inputs and
// writes into its own output folder.
TEST(ScenarioRun, RelativePathsResolveAgainstTheScenarioFolder) {
  ProgramDir p;
  fs::create_directories(p / "case" / "inputs");
  fs::create_directories(p / "elsewhere");
  fs::copy_file(p / "inputn", p / "case" / "inputs" / "site.txt");
  write_long_records(p, "case/inputs/records.txt");
  p.write("case/s.toml", "[site]\nparameters = \"inputs/site.txt\"\nrecords = \"inputs/records.txt\"\n"
                         "[time]\nhours = 20\n[output]\ndir = \"out\"\nformats = [\"csv\"]\n");
  // No inputs of the same names where the program starts.
  const auto run_elsewhere = [&](const std::string& args) {
    const std::string command = "cd '" + (p / "elsewhere").string() + "' && '" BOXMODEL_EXE "' " + args +
                                " 2> ../elsewhere.err";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  ASSERT_EQ(run_elsewhere("run ../case/s.toml --quiet"), 0) << p.read("elsewhere.err");
  const CsvTable csv = read_csv(p / "case" / "out" / "species.csv");
  EXPECT_EQ(csv.rows.size(), 21u);  // 20 hours: records past the example's 17 were read
  EXPECT_FALSE(fs::exists(p / "elsewhere" / "out"));
  // A path given on the command line is the working directory's.
  ASSERT_EQ(run_elsewhere("run ../case/s.toml --quiet --output-dir here"), 0) << p.read("elsewhere.err");
  EXPECT_TRUE(fs::exists(p / "elsewhere" / "here" / "species.csv"));
}

// A state no air can be in stops the run with the species and the time,
// with the status of the floating-point overflow it would come to.
TEST(ScenarioRun, MoleFractionAboveOneStopsTheRun) {
  ProgramDir p;
  p.write("s.toml", "[emissions]\nNO = 5e24\n[output]\nformats = [\"csv\"]\n");
  const auto r = p.run("run s.toml --quiet");
  EXPECT_EQ(r.status, 3);
  // The emitted NO, or the NO2 it makes first.
  EXPECT_TRUE(r.err.rfind("boxmodel: NO reached ", 0) == 0 || r.err.rfind("boxmodel: NO2 reached ", 0) == 0) << r.err;
  EXPECT_NE(r.err.find(" ppb at 05:05 local time (step 1 of 204): a mole fraction above 1"), std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(p / "species.csv"));
}

// A run that fails or is interrupted leaves the complete outputs of an
// earlier run in the same folder as they were, and says where its own are.
TEST(ScenarioRun, AFailedRerunKeepsTheEarlierOutputs) {
  BOXMODEL_NEEDS_NETCDF();
  ProgramDir p;
  std::string outputs = "[output]\ndir = \"out\"\nbudgets = true\nformats = [\"table\", \"csv\"";
#ifdef BOXMODEL_HAVE_NETCDF
  outputs += ", \"netcdf\"";
#endif
  outputs += "]\n";
  p.write("s.toml", outputs);
  ASSERT_EQ(p.run("run s.toml --quiet").status, 0);
  std::vector<std::pair<std::string, std::string>> complete;
  for (const auto& entry : fs::directory_iterator(p / "out"))
    complete.emplace_back(entry.path().filename().string(), p.read("out/" + entry.path().filename().string()));
  ASSERT_GE(complete.size(), 5u);
  const auto unchanged = [&] {
    for (const auto& [name, text] : complete) EXPECT_EQ(p.read("out/" + name), text) << name;
  };

  p.write("fails.toml", "[emissions]\nNO = 5e24\n" + outputs);
  const auto r = p.run("run fails.toml --quiet");
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("boxmodel: the run's outputs are left incomplete as TS_species.txt.partial, budgets.csv.partial, "
                       "reaction_rates.csv.partial, species.csv.partial"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find(" in out; any complete outputs of an earlier run are as they were\n"), std::string::npos);
  unchanged();

  // Interrupted (a day of one-second steps takes a while).
  p.write("slow.toml", "[time]\nstep_seconds = 1\n" + outputs);
  const int status = std::system(("cd '" + p.dir().string() + "' && timeout -s INT 1 '" BOXMODEL_EXE
                                  "' run slow.toml --quiet 2> interrupted.txt").c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0);
  EXPECT_EQ(p.read("interrupted.txt"),
            "boxmodel: interrupted: this run's outputs are left incomplete under their .partial names; any "
            "complete outputs of an earlier run are as they were\n");
  unchanged();
}

// Notes on standard error where a scenario does what its user may not
// expect: long-lived species that dilution draws toward 0 (the rule is
// kept), and humidity in the user's records that the run does not use.
TEST(ScenarioRun, NotesOnDilutionAndUnusedHumidity) {
  ProgramDir p;
  write_long_records(p, "long.txt");
  p.write("dilute.toml", "[site]\nrecords = \"long.txt\"\n[time]\nhours = 30\n[dilution]\nrate_per_s = 1e-5\n"
                         "background = { CO2 = 350000 }\n[constraints]\nfrom_records = [\"H2O\"]\n"
                         "[output]\nformats = [\"csv\"]\n");
  const auto r = p.run("run dilute.toml --quiet");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto note = r.err.find("boxmodel: note: [dilution] draws every species without a background toward 0 ppb; "
                               "these outlive the 30 h run");
  ASSERT_NE(note, std::string::npos) << r.err;
  EXPECT_NE(r.err.find("CH4 (1.7e+03 ppb)"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("CO (70 ppb)"), std::string::npos) << r.err;
  // Given a background, held, or short-lived: not listed.
  for (const char* kept : {"CO2 (", " O3 (", "HO (", "H2O ("}) EXPECT_EQ(r.err.find(kept), std::string::npos) << kept;
  EXPECT_EQ(r.err.find("q2"), std::string::npos) << r.err;  // H2O follows the records

  p.write("own.toml", "[site]\nrecords = \"long.txt\"\n[output]\nformats = [\"csv\"]\n");
  const auto own = p.run("run own.toml --quiet");
  ASSERT_EQ(own.status, 0) << own.err;
  EXPECT_EQ(own.err, "boxmodel: note: long.txt: the records' humidity (q2) is not used: water vapour stays at the "
                     "initial state's 2.333e+04 ppm. To follow the records, hold it to them: [constraints] "
                     "from_records = [\"H2O\"]\n");
}

// Byte-order marks (as editors and spreadsheets write them) at the start of
// the parameter file and the site records are no part of their values.
TEST(ModelDay, ByteOrderMarksAreSkipped) {
  ProgramDir p;
  for (const std::string& name : {std::string("inputn"), example_site_name})
    p.write(name, "\xEF\xBB\xBF" + p.read(name));
  expect_model_day(p, "");
  p.write("s.toml", "[output]\nformats = [\"table\"]\n");
  expect_model_day(p, "run s.toml");
}

TEST(ModelDay, UnusualRecordsWarnOnStandardErrorOnly) {
  const std::vector<std::pair<std::string, std::string>> records = {
      {" 13.0  335.0  292.4  98980.0  0.0146  17.1  5.2  9.3  142.0  1.9  14.9  281.0  298.0  7.0",
       "line 9: record 3 leaves values unread"},
      {" 13.0  335.0  292.4  98980.0  0.0146  17.1\n 5.2  9.3  142.0  1.9  14.9  281.0  298.0",
       "line 9: record 3 spans lines 9 to 10"},
  };
  for (const auto& [record, warning] : records) {
    ProgramDir p;
    p.replace_line(example_site_name, 9, record);
    const auto r = p.run();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, golden("stdout.txt"));
    EXPECT_EQ(p.read("TS_species.txt"), golden("TS_species.txt"));
    EXPECT_NE(r.err.find("warning: " + example_site_name + ": " + warning), std::string::npos) << r.err;
  }
}

}  // namespace
