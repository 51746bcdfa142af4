// Whole runs of a mechanism read from a file: the built-in mechanism
// exported and read back gives the example day of the compiled kernels,
// the shipped MCM isoprene subset runs a sunlit day, and a scenario that
// names what the file lacks is refused before anything is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "mechanism/native_kernels.hpp"
#include "tests/support/netcdf_text.hpp"
#include "tests/support/program_run.hpp"

namespace {

namespace fs = std::filesystem;
using box::testing::CsvTable;
using box::testing::ProgramDir;
using box::testing::read_csv;

const std::string isoprene_file =
    (fs::path(BOXMODEL_SOURCE_DIR) / "tests" / "data" / "mcm" / "mcm331-isoprene.fac").generic_string();

std::string site_keys() { return "[site]\nparameters = \"inputn\"\nrecords = \"" + box::testing::example_site_name + "\"\n"; }
// A site by keys, at the March equinox.
std::string equinox_site() { return "[site]\nlatitude = 40.6\nlongitude = 0.0\ndate = \"2024-03-20\"\nutc_offset_hours = 0.0\n"; }

// The built-in mechanism written by `boxmodel mechanism export` and run at
// run time (with the built-in's specified photolysis by channel) follows
// the compiled kernels through the example day: every species the file has,
// at every output time, within 1e-10 of the compiled run. Only the order of
// the sums in f, J and the solve and the factors' divisions differ.
TEST(MechanismRun, ExportedBuiltinMechanismGivesTheExampleDay) {
  ProgramDir p;
  const auto exported = p.run("mechanism export");
  ASSERT_EQ(exported.status, 0) << exported.err;
  p.write("model.fac", exported.out);
  const std::string outputs = "[output]\nformats = [\"csv\"]\nspecies = \"all\"\nevery_seconds = 900\n";
  p.write("builtin.toml", site_keys() + outputs + "dir = \"builtin\"\n");
  const auto compiled = p.run("run builtin.toml --quiet");
  ASSERT_EQ(compiled.status, 0) << compiled.err;
  // A file's species start at 0 unless the scenario says otherwise: the
  // built-in mechanism's initial state is given to the file as [initial].
  const CsvTable a = read_csv(p / "builtin" / "species.csv");
  std::string initial = "[initial]\n";
  for (std::size_t c = 1; c < a.header.size(); ++c)
    if (a.header[c] != "M" && a.header[c] != "H2O" && a.rows[0][c] != 0.0) {
      char value[40];
      std::snprintf(value, sizeof value, "%.17g", a.rows[0][c]);
      initial += a.header[c] + " = " + value + "\n";
    }
  p.write("zero.toml", site_keys() + "[chemistry]\nmechanism = \"model.fac\"\n" + outputs + "dir = \"zero\"\n");
  const auto zero = p.run("run zero.toml");
  ASSERT_EQ(zero.status, 0) << zero.err;
  const CsvTable z = read_csv(p / "zero" / "species.csv");
  for (std::size_t c = 1; c < z.header.size(); ++c) EXPECT_EQ(z.rows[0][c], 0.0) << z.header[c];

  p.write("file.toml", site_keys() +
                           "[chemistry]\nmechanism = \"model.fac\"\n[photolysis]\nmethod = \"specified\"\n" +
                           initial + outputs + "dir = \"file\"\n");
  const auto read = p.run("run file.toml");
  ASSERT_EQ(read.status, 0) << read.err;
  // A file's progress lines: one per step with its key species, here the
  // built-in mechanism's names.
  const std::vector<std::string> progress = box::testing::text_lines(read.out);
  ASSERT_EQ(progress.size(), 204u);
  EXPECT_EQ(progress[0].rfind("time   5.000 h  step      1 of    204  O3= ", 0), 0u) << progress[0];
  for (const char* name : {" NO= ", " NO2= ", " HO= ", " HO2= "})
    EXPECT_NE(progress[203].find(name), std::string::npos) << progress[203];

  const CsvTable b = read_csv(p / "file" / "species.csv");
  ASSERT_EQ(a.rows.size(), b.rows.size());
  ASSERT_EQ(b.header.size(), a.header.size() - 2);  // the file has neither H2O nor M as species
  for (std::size_t c = 0; c < b.header.size(); ++c) {
    const std::vector<double> x = a.values(b.header[c]);
    const std::vector<double> y = b.values(b.header[c]);
    for (std::size_t n = 0; n < x.size(); ++n)
      EXPECT_LE(std::abs(x[n] - y[n]), 1e-10 * std::abs(x[n])) << b.header[c] << " at " << a.rows[n][0] << " h";
  }
  // [photolysis] left unsaid, the exported file (channels such as J<108>
  // that only the specified table has) runs on that table too.
  p.write("default.toml",
          site_keys() + "[chemistry]\nmechanism = \"model.fac\"\n" + initial + outputs + "dir = \"default\"\n");
  const auto by_default = p.run("run default.toml");
  ASSERT_EQ(by_default.status, 0) << by_default.err;
  EXPECT_EQ(p.lines("default/species.csv"), p.lines("file/species.csv"));
}

// `--kernels loops` runs a mechanism file on the loop kernels, which give
// the machine code's bits: the exported built-in mechanism over two hours
// with budgets writes the same files either way, alone and as an
// ensemble's members. The outputs' metadata says which kernels ran; the
// built-in mechanism runs its generated kernels whatever the switch.
TEST(MechanismRun, KernelsSwitchKeepsTheBitsAndIsRecorded) {
  ProgramDir p;
  const auto exported = p.run("mechanism export");
  ASSERT_EQ(exported.status, 0) << exported.err;
  p.write("model.fac", exported.out);
#ifdef BOXMODEL_HAVE_NETCDF
  const std::string formats = "formats = [\"csv\", \"netcdf\"]\n";
#else
  const std::string formats = "formats = [\"csv\"]\n";
#endif
  const std::string outputs = "[output]\n" + formats + "species = \"all\"\nbudgets = true\n[time]\nhours = 2\n";
  p.write("file.toml", site_keys() + "[chemistry]\nmechanism = \"model.fac\"\n[initial]\nO3 = 30.0\nNO2 = 5.0\n" + outputs);
  p.write("builtin.toml", site_keys() + outputs);
  for (const char* run : {"run file.toml --output-dir auto", "run file.toml --output-dir loops --kernels loops",
                          "run builtin.toml --output-dir builtin --kernels loops"}) {
    const auto r = p.run(std::string(run) + " --quiet");
    ASSERT_EQ(r.status, 0) << run << ": " << r.err;
  }
  const auto bad = p.run("run file.toml --kernels fast");
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err, "boxmodel: command line --kernels: chemistry.kernels: expected \"auto\" or \"loops\", found "
                     "\"fast\"\n");
  std::size_t compared = 0;
  for (const auto& entry : fs::directory_iterator(p / "auto")) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() == ".nc") continue;
    EXPECT_EQ(p.read("loops/" + name), p.read("auto/" + name)) << name;
    ++compared;
  }
  EXPECT_GE(compared, 2u);  // the species and the budgets
  const std::string machine_code = box::NativeKernels::supported() ? "machine code (x86-64)" : "loops";

  p.write("members.csv", "chemistry.rate_factors.R1\n1.0\n0.9\n");
  p.write("e.toml", "base = \"file.toml\"\nmembers = \"members.csv\"\n[output]\ndir = \"ens\"\n" + formats);
  const auto ensemble_auto = p.run("ensemble e.toml");
  ASSERT_EQ(ensemble_auto.status, 0) << ensemble_auto.err;
  const std::string members_auto = p.read("ens/ensemble.csv");
#ifdef BOXMODEL_HAVE_NETCDF
  EXPECT_EQ(box::testing::netcdf_global_text(p / "ens" / "ensemble.nc", "kernels"),
            box::NativeKernels::supported() ? "machine code (x86-64); members in lanes: loops" : "loops");
#endif
  const auto ensemble_loops = p.run("ensemble e.toml --lanes 1 --kernels loops");
  ASSERT_EQ(ensemble_loops.status, 0) << ensemble_loops.err;
  EXPECT_EQ(p.read("ens/ensemble.csv"), members_auto);

#ifdef BOXMODEL_HAVE_NETCDF
  using box::testing::netcdf_global_text;
  EXPECT_EQ(netcdf_global_text(p / "ens" / "ensemble.nc", "kernels"), "loops");
  EXPECT_EQ(netcdf_global_text(p / "ens" / "ensemble.nc", "scenario.chemistry.kernels"), "loops");
  for (const char* file : {"species.nc", "budgets.nc"}) {
    EXPECT_EQ(netcdf_global_text(p / "auto" / file, "kernels"), machine_code) << file;
    EXPECT_EQ(netcdf_global_text(p / "loops" / file, "kernels"), "loops") << file;
    EXPECT_EQ(netcdf_global_text(p / "builtin" / file, "kernels"), "generated (built-in mechanism)") << file;
    // The switch is recorded with the scenario where it is set.
    EXPECT_EQ(netcdf_global_text(p / "auto" / file, "scenario.chemistry.kernels"), "(none)") << file;
    EXPECT_EQ(netcdf_global_text(p / "loops" / file, "scenario.chemistry.kernels"), "loops") << file;
  }
#endif
}

// The air belongs to the site: with temperature, pressure and water from
// [environment], a file's rates see M = p / (k_B T) and the water as given,
// and a number density given as an initial value reaches them unchanged.
// Two dark hours at 290 K, 90000 Pa and 3e17 cm-3 of water, solved
// tightly: `mechanism` the file, `initial` and `species` in molecules
// cm-3. The run's species table.
CsvTable fixed_air_run(const ProgramDir& p, const std::string& mechanism, const std::string& initial,
                       const std::string& species, const std::string& rtol, const std::string& extra = "",
                       std::string* err = nullptr) {
  p.write("air.toml",
          "[site]\nlatitude = 40.0\nlongitude = -88.0\ndate = \"2024-06-01\"\nutc_offset_hours = -5.0\n"
          "[time]\nstart_hour = 0.0\nstep_seconds = 600\nhours = 2\n"
          "[environment]\ntemperature_K = 290.0\npressure_Pa = 90000.0\nh2o_molecules_cm3 = 3.0e17\n"
          "[photolysis]\nmethod = \"none\"\n"
          "[chemistry]\nmechanism = \"" + mechanism + "\"\nmethod = \"rodas4\"\nrtol = " + rtol + "\natol = 1e-6\n"
          "[initial]\nunits = \"molecules cm-3\"\n" + initial +
          "[output]\nformats = [\"csv\"]\nunits = \"molecules cm-3\"\nspecies = [" + species + "]\n" + extra);
  const auto r = p.run("run air.toml --quiet");
  EXPECT_EQ(r.status, 0) << r.err;
  if (err != nullptr) *err = r.err;
  return read_csv(p / "species.csv");
}

// Closed forms over two dark hours, each reading the absolute number
// density another way: a second-order self-reaction, first-order losses at
// rates proportional to M, to the RO2 sum and to H2O.
TEST(MechanismRun, AirAndWaterOfTheEnvironmentReachTheRatesAsGiven) {
  ProgramDir p;
  p.write("air.fac",
          "VARIABLE A B C D E F G W X ;\n"
          "RO2 = G ;\n"
          "% 1.0D-14 : A + A = B ;\n"
          "% 6.0D-24*M : C = D ;\n"
          "% 3.0D-15*RO2 : E = F ;\n"
          "% 5.0D-22*H2O : W = X ;\n");
  const double temp = 290.0, press = 90000.0, water = 3.0e17;
  const CsvTable t = fixed_air_run(p, "air.fac", "A = 1.0e10\nC = 1.0e12\nE = 1.0e12\nG = 5.0e10\nW = 1.0e12\n",
                                   "\"A\", \"C\", \"E\", \"G\", \"W\"", "1e-10");
  ASSERT_EQ(t.rows.size(), 3u);
  const double m = press / (1.380649e-23 * temp) * 1e-6;
  for (std::size_t n = 0; n < t.rows.size(); ++n) {
    const double s = 3600.0 * static_cast<double>(n);
    const auto near = [&](const char* name, double expected) {
      EXPECT_NEAR(t.values(name)[n], expected, 1e-7 * expected) << name << " at " << s << " s";
    };
    near("A", 1.0e10 / (1.0 + 2.0 * 1.0e-14 * 1.0e10 * s));
    near("C", 1.0e12 * std::exp(-6.0e-24 * m * s));
    near("E", 1.0e12 * std::exp(-3.0e-15 * 5.0e10 * s));
    near("G", 5.0e10);
    near("W", 1.0e12 * std::exp(-5.0e-22 * water * s));
  }
}

// A version-1 configuration (YAML; JSON reads through the same code) runs
// through the same path, its rates in molecules cm-3 by order: A -> B at
// 1e-4 s-1; 2 C -> D at 6022.14076 m3 mol-1 s-1 = 1e-14 cm3 s-1, so C =
// C0 / (1 + 2 k C0 t); E + M -> F at 6.02214076e-7 m6 mol-2 s-1 = 1e-24 cm6
// s-1 times the air's M; G held at 1e-9 mol m-3 = 6.02214076e8 cm-3 makes H
// at 1e-3 G per second, a reaction with no reactant that changes; and an
// emission of H, 0 until a run supplies it.
TEST(MechanismRun, VersionOneConfigurationFollowsItsClosedForms) {
  ProgramDir p;
  const auto arrhenius = [](const std::string& a, const std::string& reactants, const std::string& products) {
    return "  - {type: ARRHENIUS, gas phase: gas, A: " + a + ", reactants: [" + reactants + "], products: [" +
           products + "]}\n";
  };
  p.write("v1.yaml",
          "version: 1.0.0\nname: closed forms\n"
          "species: [{name: A}, {name: B}, {name: C}, {name: D}, {name: E}, {name: F}, {name: H},\n"
          "          {name: M, is third body: true}, {name: G, \"constant concentration [mol m-3]\": 1.0e-9}]\n"
          "phases: [{name: gas, species: [A, B, C, D, E, F, G, H, M]}]\nreactions:\n" +
              arrhenius("1.0e-4", "{species name: A}", "{species name: B}") +
              arrhenius("6022.14076", "{species name: C, coefficient: 2}", "{species name: D}") +
              arrhenius("6.02214076e-7", "{species name: E}, {species name: M}", "{species name: F}") +
              arrhenius("1.0e-3", "{species name: G}", "{species name: H}") +
              "  - {type: EMISSION, name: H source, gas phase: gas, products: [{species name: H}]}\n");
  const CsvTable t = fixed_air_run(p, "v1.yaml", "A = 1.0e12\nC = 1.0e10\nE = 1.0e12\n", "\"A\", \"C\", \"E\", \"H\"", "1e-11");
  ASSERT_EQ(t.rows.size(), 3u);
  const double m = 90000.0 / (1.380649e-23 * 290.0) * 1e-6;
  for (std::size_t n = 0; n < t.rows.size(); ++n) {
    const double s = 3600.0 * static_cast<double>(n);
    const auto near = [&](const char* name, double expected) {
      EXPECT_NEAR(t.values(name)[n], expected, 1e-8 * expected) << name << " at " << s << " s";
    };
    near("A", 1.0e12 * std::exp(-1.0e-4 * s));
    near("C", 1.0e10 / (1.0 + 2.0 * 1.0e-14 * 1.0e10 * s));
    near("E", 1.0e12 * std::exp(-1.0e-24 * m * s));
    if (n > 0) near("H", 1.0e-3 * 6.02214076e8 * s);
  }
}

// Rate parameters a version-1 file leaves to the run, given by the scenario
// in the file's units: a photolysis frequency j (scaling factor 2) decays A
// as exp(-2 j t); an emission of e mol m-3 s-1 grows C by e * 6.02214076e17
// molecules cm-3 s-1; a user-defined first-order rate from a time series
// that steps from 0 to k at hour 1 leaves D alone for an hour, then decays
// it as exp(-k (t - 1 h)). A parameter left unset stays 0, with a note.
// Members of an ensemble set their own j, in lanes or one by one alike.
TEST(MechanismRun, RateParametersOfTheScenarioReachTheRates) {
  ProgramDir p;
  p.write("v1.yaml",
          "version: 1.0.0\nname: supplied rates\n"
          "species: [{name: A}, {name: B}, {name: C}, {name: D}, {name: E}]\n"
          "phases: [{name: gas, species: [A, B, C, D, E]}]\nreactions:\n"
          "  - {type: PHOTOLYSIS, name: A photo, gas phase: gas, scaling factor: 2.0,\n"
          "     reactants: [{species name: A}], products: [{species name: B}]}\n"
          "  - {type: EMISSION, name: C source, gas phase: gas, products: [{species name: C}]}\n"
          "  - {type: USER_DEFINED, name: D loss, gas phase: gas, reactants: [{species name: D}],\n"
          "     products: [{species name: E}]}\n"
          "  - {type: FIRST_ORDER_LOSS, name: E sink, gas phase: gas, reactants: [{species name: E}]}\n");
  // Taken at each step's start: 0 until the step that starts at hour 1.
  p.write("params.csv", "time_h,USER.D loss\n0,0\n0.99,0\n1,5e-4\n2,5e-4\n");
  const double j = 1.0e-4, e = 1.0e-9, k = 5.0e-4;
  const std::string parameters =
      "[rate_parameters]\n\"PHOTO.A photo\" = 1.0e-4\n\"EMIS.C source\" = 1.0e-9\nfile = \"params.csv\"\n";
  std::string err;
  const CsvTable t = fixed_air_run(p, "v1.yaml", "A = 1.0e12\nD = 1.0e12\n", "\"A\", \"C\", \"D\", \"E\"", "1e-11",
                                   parameters, &err);
  EXPECT_NE(err.find("note: air.toml: rate_parameters: 1 of mechanism v1.yaml not set (they stay 0): LOSS.E sink\n"),
            std::string::npos) << err;
  ASSERT_EQ(t.rows.size(), 3u);
  for (std::size_t n = 0; n < t.rows.size(); ++n) {
    const double s = 3600.0 * static_cast<double>(n);
    const auto near = [&](const char* name, double expected) {
      EXPECT_NEAR(t.values(name)[n], expected, 1e-8 * expected) << name << " at " << s << " s";
    };
    near("A", 1.0e12 * std::exp(-2.0 * j * s));
    if (n > 0) near("C", e * 6.02214076e17 * s);
    near("D", 1.0e12 * std::exp(-k * std::max(0.0, s - 3600.0)));
  }
  EXPECT_EQ(t.values("E")[1], 0.0);

  // An ensemble whose members set j as a column, the name quoted as TOML
  // writes it or not.
  for (const char* column : {"rate_parameters.PHOTO.A photo", "rate_parameters.\"PHOTO.A photo\""}) {
    SCOPED_TRACE(column);
    p.write("members.csv", std::string(column) + "\n1e-4\n3e-4\n");
    p.write("e.toml", "base = \"air.toml\"\nmembers = \"members.csv\"\n[output]\ndir = \"ens\"\nformats = [\"csv\"]\n");
    std::string lanes;
    for (const char* run : {"ensemble e.toml --lanes 4", "ensemble e.toml --lanes 1"}) {
      const auto r = p.run(run);
      ASSERT_EQ(r.status, 0) << r.err;
      if (lanes.empty()) lanes = p.read("ens/ensemble.csv");
      else EXPECT_EQ(p.read("ens/ensemble.csv"), lanes);
    }
    const CsvTable members = read_csv(p / "ens" / "ensemble.csv");
    const std::vector<double> member = members.values("member"), time = members.values("time_h"),
                              a = members.values("A");
    ASSERT_EQ(a.size(), 6u);
    for (std::size_t row = 0; row < a.size(); ++row) {
      const double jm = member[row] == 0.0 ? 1e-4 : 3e-4;
      EXPECT_NEAR(a[row] / a[row - row % 3], std::exp(-2.0 * jm * 3600.0 * time[row]), 1e-8) << row;
    }
  }
}

// Supplied names are the mechanism's: an unknown one (as a constant or a
// column of the time series) is refused naming the place and the close
// names, a negative value naming its key, before anything is written.
TEST(MechanismRun, RateParametersAreCheckedAgainstTheFile) {
  ProgramDir p;
  p.write("v1.yaml",
          "version: 1.0.0\nspecies: [{name: A}, {name: B}]\nphases: [{name: gas, species: [A, B]}]\nreactions:\n"
          "  - {type: PHOTOLYSIS, name: A photo, gas phase: gas, reactants: [{species name: A}],\n"
          "     products: [{species name: B}]}\n");
  p.write("params.csv", "time_h,PHOTO.A phot\n0,0\n24,1e-5\n");
  const std::string head = equinox_site() + "[chemistry]\nmechanism = \"v1.yaml\"\n[output]\nformats = [\"csv\"]\n";
  const auto refused = [&](const std::string& section, const std::string& message) {
    p.write("s.toml", head + "[rate_parameters]\n" + section);
    const auto r = p.run("run s.toml");
    EXPECT_EQ(r.status, 1) << section;
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(p / "species.csv"));
  };
  refused("\"PHOTO.A phot\" = 1e-5\n",
          "s.toml: line 11: rate_parameters.PHOTO.A phot: no rate parameter \"PHOTO.A phot\" in mechanism v1.yaml "
          "(close: PHOTO.A photo)\n");
  refused("\"PHOTO.A photo\" = -1e-5\n", "s.toml: line 11: rate_parameters.PHOTO.A photo: expected a value of 0 or more");
  refused("file = \"params.csv\"\n",
          "s.toml: line 11: rate_parameters.file: params.csv: line 1: PHOTO.A phot: no rate parameter \"PHOTO.A phot\"");
}

// TS1 with its photolysis and user-defined rates at the configuration's
// own values and its initial state (mol m-3) runs a few steps: every
// coefficient a finite number of 0 or more, every species finite.
TEST(MechanismRun, Ts1RunsWithItsRateParameters) {
  const fs::path ts1 = fs::path(BOXMODEL_SOURCE_DIR).parent_path() / "shared" / "openatmos" / "musica-configs" / "ts1";
  if (!fs::exists(ts1 / "ts1.json")) GTEST_SKIP() << "no " << ts1.string();
  std::string initial, parameters;
  std::ifstream in(ts1 / "initial_conditions.csv");
  for (std::string line; std::getline(in, line);) {
    const std::size_t comma = line.find(',');
    if (comma == std::string::npos) continue;
    const std::string name = line.substr(0, comma), value = line.substr(comma + 1);
    if (name.starts_with("CONC."))
      initial += name.substr(5) + " = " + std::to_string(std::stod(value) * 6.02214076e17) + "\n";
    else if (name.starts_with("PHOTO.") || name.starts_with("USER."))
      parameters += "\"" + name + "\" = " + value + "\n";
  }
  ASSERT_GT(parameters.size(), 1000u);
  ProgramDir p;
  p.write("s.toml", equinox_site() + "[time]\nstart_hour = 12.0\nhours = 0.5\nstep_seconds = 600\n"
                    "[environment]\ntemperature_K = 287.45\npressure_Pa = 101325.0\n[photolysis]\nmethod = \"none\"\n"
                    "[chemistry]\nmechanism = \"" + (ts1 / "ts1.json").generic_string() + "\"\n"
                    "[initial]\nunits = \"molecules cm-3\"\n" + initial + "[rate_parameters]\n" + parameters +
                    "[output]\nformats = [\"csv\"]\nspecies = \"all\"\nevery_seconds = 600\n");
  const auto r = p.run("run s.toml --quiet");
  ASSERT_EQ(r.status, 0) << r.err;
  // Only the surface reactions' aerosol is left unset.
  EXPECT_EQ(r.err.find("PHOTO.", r.err.find("rate_parameters:")), std::string::npos) << r.err;
  const CsvTable t = read_csv(p / "species.csv");
  ASSERT_EQ(t.rows.size(), 4u);
  for (const auto& row : t.rows)
    for (const double v : row) EXPECT_TRUE(std::isfinite(v) && v >= 0.0) << v;
}

// The MCM v3.3.1 isoprene subset from polluted morning air under the MCM's
// clear-sky photolysis: isoprene is oxidised within hours, OH peaks near
// noon and ozone is made.
TEST(MechanismRun, IsopreneSubsetRunsASunlitDay) {
  BOXMODEL_NEEDS_NETCDF();
  ProgramDir p;
  p.write("iso.toml", site_keys() + "[chemistry]\nmechanism = \"" + isoprene_file +
                          "\"\n[initial]\nO3 = 30.0\nNO = 1.0\nNO2 = 5.0\nc5h8 = 2.0\n"
                          "[output]\nformats = [\"csv\"]\nspecies = [\"O3\", \"NO\", \"NO2\", \"C5H8\", \"OH\"]\n");
  const auto r = p.run("run iso.toml");
  ASSERT_EQ(r.status, 0) << r.err;
  const CsvTable t = read_csv(p / "species.csv");
  EXPECT_EQ(t.header, (std::vector<std::string>{"time_h", "O3", "NO", "NO2", "C5H8", "OH"}));
  ASSERT_EQ(t.rows.size(), 18u);  // 05:00 to 22:00
  const std::vector<double> o3 = t.values("O3"), c5h8 = t.values("C5H8"), oh = t.values("OH");
  EXPECT_EQ(c5h8[0], 2.0);
  EXPECT_LT(c5h8[7], 1e-3 * c5h8[0]);  // by noon
  EXPECT_GT(o3[12], o3[0] + 10.0);
  const auto peak = std::max_element(oh.begin(), oh.end()) - oh.begin();
  EXPECT_GE(peak, 5);
  EXPECT_LE(peak, 9);
  EXPECT_GT(oh[static_cast<std::size_t>(peak)], 1e-4);  // ppb: above 2e6 molecules cm-3

  // With budgets of every species: the species follow the same path bit for
  // bit, and each species' hourly change is its production less its loss
  // (the integrals carried through the Rosenbrock stages, clipping
  // included), to rounding.
  const std::vector<std::string> names = t.header;  // time_h, then five species
  std::string every;
  p.write("budget.toml", site_keys() + "[chemistry]\nmechanism = \"" + isoprene_file +
                             "\"\n[initial]\nO3 = 30.0\nNO = 1.0\nNO2 = 5.0\nc5h8 = 2.0\n"
                             "[output]\ndir = \"b\"\nformats = [\"csv\", \"netcdf\"]\nspecies = \"all\"\n"
                             "budgets = true\n");
  const auto defaults = p.run("run budget.toml");
  ASSERT_EQ(defaults.status, 0) << defaults.err;
  const CsvTable all = read_csv(p / "b" / "species.csv");
  ASSERT_EQ(all.rows.size(), t.rows.size());
  for (std::size_t c = 1; c < names.size(); ++c)
    EXPECT_EQ(all.values(names[c]), t.values(names[c])) << names[c];
  for (std::size_t c = 1; c < all.header.size(); ++c) every += (c > 1 ? "\", \"" : "\"") + all.header[c];
  p.write("budget.toml", p.read("budget.toml") + "budget_species = [" + every + "\"]\n");
  const auto r2 = p.run("run budget.toml");
  ASSERT_EQ(r2.status, 0) << r2.err;
  const CsvTable rates = read_csv(p / "b" / "reaction_rates.csv");
  ASSERT_EQ(rates.rows.size(), t.rows.size() - 1);
  EXPECT_EQ(rates.header[2], "R1");
  const auto times = all.values("time_h");
  std::map<std::string, int> nets;
  for (const box::testing::BudgetLine& b : box::testing::read_budgets(p / "b" / "budgets.csv")) {
    if (b.term != "net") continue;
    ++nets[b.species];
    const auto h = static_cast<std::size_t>(std::lround(b.start_h - times[0]));
    ASSERT_EQ(times[h], b.start_h);
    const std::vector<double> x = all.values(b.species);
    const double change = x[h + 1] - x[h];
    EXPECT_LE(std::abs(change - (b.production - b.loss)), 1e-9 * (b.production + b.loss + std::abs(change)) + 1e-12)
        << b.species << " " << b.start_h << "-" << b.end_h;
  }
  EXPECT_EQ(nets.size(), all.header.size() - 1);
  for (const auto& [s, n] : nets) EXPECT_EQ(n, 17) << s;

  // An ensemble of the same scenario writes the file's names, and its
  // member with the base's values is the single run, bit for bit.
  p.write("members.csv", "initial.C5H8\n2.0\n4.0\n");
  p.write("e.toml", "base = \"iso.toml\"\nmembers = \"members.csv\"\n[output]\ndir = \"ens\"\nformats = [\"csv\"]\n");
  const auto e = p.run("ensemble e.toml");
  ASSERT_EQ(e.status, 0) << e.err;
  const CsvTable members = read_csv(p / "ens" / "ensemble.csv");
  EXPECT_EQ(members.header, (std::vector<std::string>{"member", "time_h", "O3", "NO", "NO2", "C5H8", "OH"}));
  ASSERT_EQ(members.rows.size(), 2 * t.rows.size());
  for (std::size_t n = 0; n < t.rows.size(); ++n)
    EXPECT_TRUE(std::equal(t.rows[n].begin(), t.rows[n].end(), members.rows[n].begin() + 1)) << "sample " << n;

  // Five members step together four at a time in the lanes, the fifth
  // alone; one of the four is an open box and one has a rate factor. With
  // the MCM's photolysis each lane's frequencies follow its own time within
  // each step; without light (the night's chemistry) the coefficients are
  // held over it. Each member is its single run, bit for bit, whatever the
  // threads or lanes.
  p.write("dark.toml", p.read("iso.toml") + "[photolysis]\nmethod = \"none\"\n");
  p.write("five.csv", "initial.C5H8,emissions.C5H8,chemistry.rate_factors.R1\n2.0,0,1\n4.0,0,1\n1.0,1e11,1\n"
                      "3.0,0,0.5\n0.5,0,1\n");
  for (const std::string base : {"iso", "dark"}) {
    p.write("f.toml", "base = \"" + base + ".toml\"\nmembers = \"five.csv\"\n[output]\ndir = \"five\"\n"
                      "formats = [\"csv\"]\n");
    std::string first;
    for (const char* options : {" --threads 1", " --threads 2", " --threads 1 --lanes 1"}) {
      const auto f = p.run(std::string("ensemble f.toml") + options);
      ASSERT_EQ(f.status, 0) << f.err;
      if (first.empty()) first = p.read("five/ensemble.csv");
      else EXPECT_EQ(p.read("five/ensemble.csv"), first) << base << options;
    }
    const CsvTable five = read_csv(p / "five" / "ensemble.csv");
    ASSERT_EQ(five.rows.size(), 5 * t.rows.size());
    for (int m = 0; m < 5; ++m) {
      const std::string name = "five" + std::to_string(m) + ".toml";
      const auto printed = p.run("ensemble f.toml --print-member " + std::to_string(m));
      ASSERT_EQ(printed.status, 0) << printed.err;
      p.write(name, printed.out);
      const auto single = p.run("run " + name);
      ASSERT_EQ(single.status, 0) << single.err;
      const CsvTable alone = read_csv(p / "five" / ("member-" + std::to_string(m)) / "species.csv");
      ASSERT_EQ(alone.rows.size(), t.rows.size());
      for (std::size_t n = 0; n < alone.rows.size(); ++n)
        EXPECT_TRUE(std::equal(alone.rows[n].begin(), alone.rows[n].end(),
                               five.rows[static_cast<std::size_t>(m) * t.rows.size() + n].begin() + 1))
            << base << " member " << m << " sample " << n;
    }
  }
}

// The open box with a file: X deposits and is diluted toward its
// background, x(t) = x_eq + (x0 - x_eq) exp(-k t) with k = D + v_d / H and
// x_eq = D b / k in any air (both act on the mole fraction); Y is emitted
// and diluted toward 0, y = E / (H c_M D) (1 - exp(-D t)), with c_M near
// 2.46e19 molecules cm-3 in the example's air.
TEST(MechanismRun, EmissionDepositionAndDilutionFollowTheirClosedForms) {
  ProgramDir p;
  p.write("xy.fac", "VARIABLE X Y ;\n% 1.0D-30 : X = Y ;\n");
  p.write("open.toml", site_keys() +
                           "[time]\nhours = 6\n[initial]\nX = 20.0\n[chemistry]\nmechanism = \"xy.fac\"\n"
                           "rtol = 1e-6\natol = 1e-3\n[emissions]\nmixing_height_m = 1000\nY = 1e11\n"
                           "[deposition]\nX = 0.5\n[dilution]\nrate_per_s = 1e-5\nbackground = { X = 10.0 }\n"
                           "[output]\nformats = [\"csv\"]\n");
  const auto r = p.run("run open.toml");
  ASSERT_EQ(r.status, 0) << r.err;
  const CsvTable t = read_csv(p / "species.csv");
  ASSERT_EQ(t.rows.size(), 7u);
  const double dilution = 1e-5, k = dilution + 0.5 / 1e5, x_eq = dilution * 10.0 / k;
  for (std::size_t n = 1; n < t.rows.size(); ++n) {
    const double s = 3600.0 * static_cast<double>(n);
    const double x = x_eq + (20.0 - x_eq) * std::exp(-k * s);
    const double y = 1e11 / 1e5 / 2.46e19 / dilution * (1.0 - std::exp(-dilution * s)) * 1e9;
    EXPECT_NEAR(t.rows[n][1], x, 1e-5 * x) << n;
    EXPECT_NEAR(t.rows[n][2], y, 3e-2 * y) << n;
  }
}

// A chamber with a file: X is lost to the walls at 2e-5 s-1 and to the
// sampling flow at 1e-5 s-1, x = 20 exp(-3e-5 t); Y, injected (50 ppb at
// 7:00), is only sampled: y = 50 exp(-1e-5 (t - 7 h)) from then on, the
// outputs before it nothing (X's reaction to Y is 1e-30). Every budget
// closes, through the injection.
TEST(MechanismRun, ChamberWallLossSamplingAndInjectionFollowTheirClosedForms) {
  ProgramDir p;
  p.write("xy.fac", "VARIABLE X Y ;\n% 1.0D-30 : X = Y ;\n");
  p.write("c.toml", site_keys() +
                        "[time]\nhours = 6\n[initial]\nX = 20.0\n[chemistry]\nmechanism = \"xy.fac\"\n"
                        "rtol = 1e-12\natol = 1e-12\n[walls]\nloss_per_s = { default = 0.0, X = 2.0e-5 }\n"
                        "volume_m3 = 27.0\nflow_m3_per_s = 2.7e-4\n[[injection]]\ntime_h = 7.0\nspecies = \"Y\"\n"
                        "ppb = 50.0\n[output]\nformats = [\"csv\"]\nbudgets = true\nbudget_species = [\"X\", \"Y\"]\n");
  const auto r = p.run("run c.toml");
  ASSERT_EQ(r.status, 0) << r.err;
  const CsvTable t = read_csv(p / "species.csv");
  ASSERT_EQ(t.rows.size(), 7u);
  for (std::size_t n = 0; n < t.rows.size(); ++n) {
    const double s = 3600.0 * static_cast<double>(n);
    EXPECT_NEAR(t.rows[n][1], 20.0 * std::exp(-3e-5 * s), 1e-9 * 20.0 * std::exp(-3e-5 * s)) << n;
    if (n <= 2) {
      EXPECT_LT(t.rows[n][2], 1e-20) << n;
    } else {
      EXPECT_NEAR(t.rows[n][2], 50.0 * std::exp(-1e-5 * (s - 7200.0)), 1e-9 * 50.0) << n;
    }
  }
  for (const box::testing::BudgetLine& b : box::testing::read_budgets(p / "budgets.csv")) {
    if (b.term == "injection") {
      EXPECT_EQ(b.production, b.start_h == 7.0 ? 50.0 : 0.0) << b.start_h;
    }
    if (b.term != "net") continue;
    const std::size_t h = static_cast<std::size_t>(b.start_h - 5.0);
    const std::size_t column = b.species == "X" ? 1 : 2;
    const double change = t.rows[h + 1][column] - t.rows[h][column];
    EXPECT_LE(std::abs(change - (b.production - b.loss)), 1e-9 * (b.production + b.loss + std::abs(change)) + 1e-12)
        << b.species << " " << b.start_h;
  }
  const CsvTable rates = read_csv(p / "reaction_rates.csv");
  for (const char* h : {"wall_loss_X", "sampling_X", "sampling_Y", "injection_Y"})
    EXPECT_NO_THROW(rates.column(h)) << h;
}

// A chamber's keys refused before anything is written, naming the file,
// the line and the key: an injection outside the run, between steps, of a
// species the file lacks (with close names) or negative; negative rates; a
// volume without its flow and a flow without its volume.
TEST(MechanismRun, ChamberInputsAreRefused) {
  ProgramDir p;
  p.write("xy.fac", "VARIABLE X Y ;\n% 1.0D-30 : X = Y ;\n");
  const std::string head = site_keys() + "[chemistry]\nmechanism = \"xy.fac\"\n[output]\nformats = [\"csv\"]\n";
  const auto refused = [&](const std::string& tail, const std::string& words) {
    p.write("s.toml", head + tail);
    const auto r = p.run("run s.toml");
    EXPECT_EQ(r.status, 1) << tail;
    EXPECT_NE(r.err.find(words), std::string::npos) << r.err;
    for (const char* name : {"species.csv", "species.csv.partial"}) EXPECT_FALSE(fs::exists(p / name)) << name;
  };
  const std::string inject = "[[injection]]\nspecies = \"Y\"\n";
  refused(inject + "time_h = 23.0\nppb = 5.0\n", "s.toml: line 10: injection.time_h: expected a time within the run");
  refused(inject + "time_h = 4.0\nppb = 5.0\n", "injection.time_h: expected a time within the run, from 5 h");
  refused(inject + "time_h = 6.01\nppb = 5.0\n", "s.toml: line 10: injection.time_h: expected the start of a step");
  refused(inject + "time_h = 6.0\nppb = -5.0\n", "s.toml: line 11: injection.ppb: expected an amount of 0 or more");
  refused(inject + "time_h = 6.0\nmolecules_cm3 = -1e9\n", "injection.molecules_cm3: expected an amount of 0");
  refused(inject + "time_h = 6.0\n", "s.toml: line 8: injection: missing: ppb = AMOUNT");
  refused("[[injection]]\nspecies = \"YY\"\ntime_h = 6.0\nppb = 5.0\n",
          "s.toml: line 9: injection.species: no species \"YY\" in mechanism xy.fac (close: Y");
  refused("[walls]\nloss_per_s = { X = -1e-5 }\n", "s.toml: line 9: walls.loss_per_s.X: expected a rate of 0 s-1 or more");
  refused("[walls]\nloss_per_s = { default = -1e-5 }\n", "walls.loss_per_s.default: expected a rate of 0 s-1 or more");
  refused("[walls]\nsampling_per_s = -1e-5\n", "s.toml: line 9: walls.sampling_per_s: expected a rate of 0 s-1");
  refused("[walls]\nvolume_m3 = 27.0\n", "s.toml: line 9: walls.volume_m3: a chamber volume needs its sampling flow");
  refused("[walls]\nflow_m3_per_s = 1e-4\n", "walls.flow_m3_per_s: a sampling flow needs the chamber's volume");
  // The built-in mechanism's species by its names, with close names.
  p.write("b.toml", "[[injection]]\nspecies = \"ISOO\"\ntime_h = 6.0\nppb = 5.0\n");
  const auto b = p.run("run b.toml");
  EXPECT_EQ(b.status, 1);
  EXPECT_NE(b.err.find("b.toml: line 2: injection.species: "), std::string::npos) << b.err;
  EXPECT_NE(b.err.find("ISO"), std::string::npos) << b.err;
  // A held species keeps its observations: an injection would be undone.
  p.write("h.toml", "[constraints]\nfrom_records = [\"O3\"]\n[[injection]]\nspecies = \"O3\"\ntime_h = 6.0\nppb = 5.0\n"
                    "[output]\nformats = [\"csv\"]\n");
  const auto h = p.run("run h.toml");
  EXPECT_EQ(h.status, 1);
  EXPECT_NE(h.err.find("h.toml: line 4: injection.species: O3 is held to observations"), std::string::npos) << h.err;
  EXPECT_FALSE(fs::exists(p / "species.csv"));
}

// [environment] water is the H2O of a file's rate expressions: A decays at
// k = 1e-21 [H2O], A = 10 exp(-k t) ppb. The model's conversions between
// mole fraction and number density (their molar masses of air and water)
// agree to half a percent; the surface layer's water, unused, would make k
// nearly six times as fast.
TEST(MechanismRun, EnvironmentWaterIsTheRatesWater) {
  ProgramDir p;
  p.write("h.fac", "VARIABLE A B C ;\n% 1.0D-21*H2O : A = B ;\n");
  p.write("h.toml", site_keys() + "[environment]\nh2o_molecules_cm3 = 1e17\n[time]\nhours = 2\n[initial]\nA = 10\n"
                                  "[chemistry]\nmechanism = \"h.fac\"\nrtol = 1e-8\n");
  const auto r = p.run("run h.toml");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(fs::exists(p / "TS_species.txt"));  // formats left unsaid: a file's run writes CSV
  EXPECT_NE(r.err.find("boxmodel: warning: h.fac: 1 declared species used by no reaction: C\n"), std::string::npos)
      << r.err;
  const std::vector<double> a = read_csv(p / "species.csv").values("A");
  ASSERT_EQ(a.size(), 3u);
  for (std::size_t n = 1; n < a.size(); ++n)
    EXPECT_NEAR(std::log(10.0 / a[n]) / (3600.0 * static_cast<double>(n)), 1e-4, 1e-6) << n;
}

// Species held with a file as with the built-in mechanism: O3 held to an
// observation file (and deposited), NOx held as a family to the site
// records' NO + NO2 (the file's NO and NO2 found by the records' names). At
// every step start (every output here, the last included) O3 is the
// observation on the straight line between its times and NO + NO2 the
// records' total, to which the built-in run holds them too; NO and NO2
// react freely in between. Every budget, the family's too, closes with the
// constraint term, and held O3 still deposits: kept at its observation
// through each step, it loses v_d / H x dt x O3 of the step's start.
TEST(MechanismRun, HeldSpeciesAndFamiliesFollowTheObservations) {
  ProgramDir p;
  p.write("obs.csv", "time_h,o3\r\n5,30\r\n9,50\r\n");
  const std::string held =
      "[time]\nhours = 4\n[constraints]\nfile = \"obs.csv\"\n[constraints.families]\n"
      "NOx = { members = [\"NO\", \"NO2\"], from_records = true }\n[deposition]\nO3 = 0.4\n"
      "[output]\nformats = [\"csv\"]\nspecies = [\"O3\", \"NO\", \"NO2\"]\nprogress_lines = false\n"
      "every_seconds = 300\n";
  p.write("builtin.toml", site_keys() + held + "dir = \"builtin\"\n");
  p.write("file.toml", site_keys() + "[chemistry]\nmechanism = \"" + isoprene_file + "\"\n[initial]\nc5h8 = 2.0\n" +
                           held + "dir = \"file\"\nbudgets = true\nbudget_species = [\"o3\", \"NO\", \"NO2\"]\n"
                           "families = { NOx = [\"NO\", \"NO2\"] }\n");
  const auto builtin = p.run("run builtin.toml");
  ASSERT_EQ(builtin.status, 0) << builtin.err;
  const auto r = p.run("run file.toml");
  ASSERT_EQ(r.status, 0) << r.err;
  const CsvTable a = read_csv(p / "builtin" / "species.csv");
  const CsvTable b = read_csv(p / "file" / "species.csv");
  ASSERT_EQ(b.rows.size(), 49u);
  const std::vector<double> t = b.values("time_h"), o3 = b.values("O3"), no = b.values("NO"), no2 = b.values("NO2");
  const std::vector<double> builtin_no = a.values("NO"), builtin_no2 = a.values("NO2");
  for (std::size_t i = 0; i < t.size(); ++i) {
    const double observed = 30.0 + 5.0 * (t[i] - 5.0);
    EXPECT_NEAR(o3[i], observed, 1e-13 * observed) << t[i];
    const double total = builtin_no[i] + builtin_no2[i];
    EXPECT_NEAR(no[i] + no2[i], total, 1e-12 * total) << t[i];
  }
  // The split is the chemistry's, kept by the scaling: it moves with the light.
  EXPECT_GT(std::abs((no[12] / no2[12]) / (no[48] / no2[48]) - 1.0), 0.1);

  std::map<std::string, int> nets;
  std::map<std::string, double> constraint;
  int deposited = 0;
  for (const box::testing::BudgetLine& l : box::testing::read_budgets(p / "file" / "budgets.csv")) {
    const auto i = static_cast<std::size_t>(std::lround((l.start_h - 5.0) * 12.0));
    ASSERT_EQ(t[i], l.start_h);
    if (l.term == "constraint") constraint[l.species] += l.production - l.loss;
    if (l.term == "deposition" && l.species == "O3") {
      ++deposited;
      EXPECT_NEAR(l.loss, 0.4 / 1e5 * 300.0 * o3[i], 1e-12 * l.loss) << l.start_h;
    }
    if (l.term != "net") continue;
    ++nets[l.species];
    const double change = l.species == "O3"    ? o3[i + 1] - o3[i]
                          : l.species == "NO"  ? no[i + 1] - no[i]
                          : l.species == "NO2" ? no2[i + 1] - no2[i]
                                               : no[i + 1] + no2[i + 1] - no[i] - no2[i];
    EXPECT_NEAR(change, l.production - l.loss, 1e-9 * (l.production + l.loss + std::abs(change)) + 1e-12)
        << l.species << " " << l.start_h;
  }
  EXPECT_EQ(nets, (std::map<std::string, int>{{"NO", 48}, {"NO2", 48}, {"NOx", 48}, {"O3", 48}}));
  EXPECT_EQ(deposited, 48);
  for (const char* s : {"O3", "NO", "NO2", "NOx"}) EXPECT_NE(constraint[s], 0.0) << s;
}

// What a scenario names is looked up in the file (ignoring case) before
// anything is written: the error names the key and the mechanism and
// suggests close names. So are what the file cannot give (the built-in
// species table) and a rate that is no number at the first step.
TEST(MechanismRun, ScenarioNamesAreCheckedAgainstTheFile) {
  BOXMODEL_NEEDS_NETCDF();
  ProgramDir p;
  const std::string head = site_keys() + "[chemistry]\nmechanism = \"" + isoprene_file + "\"\n";
  const auto refused = [&](const std::string& toml, const std::string& words) {
    p.write("s.toml", toml);
    const auto r = p.run("run s.toml");
    EXPECT_EQ(r.status, 1) << toml;
    EXPECT_NE(r.err.find(words), std::string::npos) << r.err;
    for (const char* name : {"species.csv", "species.csv.partial", "TS_species.txt"})
      EXPECT_FALSE(fs::exists(p / name)) << name;
    return r.err;
  };
  const std::string csv = "[output]\nformats = [\"csv\"]\n";
  const std::string e = refused(head + "[initial]\nISOP = 2.0\n" + csv, "s.toml: line 7: initial.ISOP: no species \"ISOP\"");
  EXPECT_NE(e.find("in mechanism " + isoprene_file), std::string::npos) << e;
  EXPECT_NE(e.find("close: "), std::string::npos) << e;
  refused(head + "[output]\nformats = [\"csv\"]\nspecies = [\"O3\", \"HO\"]\n", "output.species: no species \"HO\"");
  refused(head + "[output]\nformats = [\"table\"]\n", "output.formats: \"table\"");
  refused(head + "[output]\nformats = [\"csv\"]\nbudgets = true\nbudget_species = [\"O3\", \"HO\"]\n",
          "output.budget_species: no species \"HO\"");
  refused(head + "[output]\nformats = [\"csv\"]\nbudgets = true\nfamilies = { Ox = [\"O3\", \"O3X\"] }\n",
          "families.Ox: \"O3X\": \"O3X\" is not an integrated species of mechanism " + isoprene_file +
              " (did you mean O3");
  refused(head + "[chemistry.rate_factors]\nR99999 = 2.0\n" + csv, "R99999: no reaction of that number");
  refused(head + "[emissions]\nISOPRENE = 1e10\n" + csv, "emissions.ISOPRENE: no species \"ISOPRENE\"");
  // Held species: by the file's names, each held one way.
  p.write("obs.csv", "time_h,NO,ISOP,NOX\n0,1,1,2\n24,1,1,2\n");
  const std::string held = head + "[constraints]\nfile = \"obs.csv\"\n";
  refused(held + "species = [\"NO\"]\n[constraints.families]\nNOx = { members = [\"NO2\", \"NO3X\"], "
                 "file_column = \"NOX\" }\n" + csv,
          "constraints.families.NOx: no species \"NO3X\" in mechanism " + isoprene_file + " (close: ");
  refused(held + csv, "obs.csv: line 1: column 3: no species \"ISOP\" in mechanism " + isoprene_file + " (close: ");
  p.write("nox.csv", "time_h,NO,NOX\n0,1,2\n24,1,2\n");
  refused(head + "[constraints]\nfile = \"nox.csv\"\n[constraints.families]\nNOx = { members = [\"no\", \"NO2\"], "
                 "file_column = \"NOX\" }\n" + csv,
          "constraints.families.NOx: no is also held individually (");
  // A channel the photolysis method has not: named with the key that chose
  // the method (left unsaid, the mechanism's).
  p.write("j99.fac", "VARIABLE O3 NO NO2 ;\n% J<99> : NO2 = NO + O3 ;\n");
  const std::string j99 = site_keys() + "[chemistry]\nmechanism = \"j99.fac\"\n" + csv;
  refused(j99, "s.toml: line 5: chemistry.mechanism: j99.fac: photolysis channel J99 has no MCM v3.3.1 parameters");
  refused(j99 + "[photolysis]\nmethod = \"specified\"\n",
          "s.toml: line 9: photolysis.method: \"specified\" gives the built-in mechanism's channels");
  p.write("small.fac", "VARIABLE O3 NO NO2 ;\n% 1.0D-14 : NO + O3 = NO2 ;\n");
  refused(site_keys() + "[chemistry]\nmechanism = \"small.fac\"\n[constraints]\nfrom_records = [\"O3\", \"CO\"]\n" + csv,
          "constraints.from_records: no species \"CO\" in mechanism ");

  // A rate no number at the run's start is refused before any output is
  // opened, budgets and NetCDF included; one that light makes negative
  // later stops the run there, its outputs left as .partial.
  p.write("bad.fac", "VARIABLE O3 NO2 ;\n% 1.0D-3 : O3 = NO2 ;\n% LOG(TEMP-400) : NO2 = O3 ;\n");
  const std::string everything = "[output]\nformats = [\"csv\", \"netcdf\"]\nbudgets = true\nphotolysis = true\n";
  const std::string bad_head = site_keys() + "[chemistry]\nmechanism = \"bad.fac\"\n";
  refused(bad_head + everything, "bad.fac: line 3: reaction 2 (NO2 = O3): its rate LOG(TEMP-400) is not a number");
  for (const auto& entry : fs::directory_iterator(p.dir()))
    EXPECT_NE(entry.path().extension(), ".partial") << entry.path();
  p.write("bad.fac", "VARIABLE O3 NO2 ;\n% 1.0D-3 - J<4> : O3 = NO2 ;\n% 1.0D-3 : NO2 = O3 ;\n");
  const auto later = p.run("run s.toml");
  EXPECT_EQ(later.status, 1);
  EXPECT_NE(later.err.find("bad.fac: line 2: reaction 1 (O3 = NO2): its rate 1.0D-3 - J<4> is -"), std::string::npos)
      << later.err;
  EXPECT_TRUE(fs::exists(p / "species.csv.partial"));
}

// NO2 photolysis through sunrise under the MCM's clear-sky J4, which grows
// by orders of magnitude within the hour. The frequencies follow the sun
// within each step, so 60 s and 10 s steps give the same day to the
// integrator's tolerance (they agree to 1e-9; holding each step's
// starting J instead, their NO differed by up to 25 %), and the output
// interval does not enter the integration: a run writing every step has,
// at the common times, the bits of one writing every 10 minutes.
TEST(MechanismRun, PhotolysisFollowsTheSunWithinAStep) {
  ProgramDir p;
  p.write("no2.fac", "VARIABLE NO2 NO O3 ;\n% J<4> : NO2 = NO + O3 ;\n% 1.4D-12*EXP(-1310/TEMP) : NO + O3 = NO2 ;\n");
  const auto day = [&](int step, int every) {
    const std::string dir = "s" + std::to_string(step) + "e" + std::to_string(every);
    p.write(dir + ".toml", equinox_site() +
                           "[time]\nstart_hour = 5.0\nhours = 3\nstep_seconds = " + std::to_string(step) +
                           "\n[environment]\ntemperature_K = 298.15\npressure_Pa = 101325\nrelative_humidity = 50\n"
                           "[chemistry]\nmechanism = \"no2.fac\"\nrtol = 1e-8\natol = 1e-2\n[photolysis]\nmethod = \"mcm\"\n"
                           "[initial]\nNO2 = 20.0\nO3 = 30.0\n[output]\nformats = [\"csv\"]\nevery_seconds = " +
                               std::to_string(every) + "\ndir = \"" + dir + "\"\n");
    const auto r = p.run("run " + dir + ".toml");
    EXPECT_EQ(r.status, 0) << r.err;
    return read_csv(p / dir / "species.csv");
  };
  const CsvTable fine = day(10, 600), coarse = day(60, 600), every_step = day(60, 60);
  ASSERT_EQ(fine.rows.size(), 19u);
  ASSERT_EQ(coarse.rows.size(), 19u);
  const std::vector<double> a = fine.values("NO"), b = coarse.values("NO");
  EXPECT_GT(b.back(), 3.0);  // ppb: the sun is up
  for (std::size_t n = 0; n < a.size(); ++n)
    if (b[n] > 1e-3) {
      EXPECT_LE(std::abs(a[n] - b[n]), 1e-7 * b[n]) << coarse.rows[n][0] << " h";
    }
  ASSERT_EQ(every_step.rows.size(), 181u);
  for (std::size_t n = 0; n < coarse.rows.size(); ++n)
    EXPECT_EQ(every_step.rows[10 * n], coarse.rows[n]) << coarse.rows[n][0] << " h";
}

// Frequencies from a file follow time within a step too: A photolysed at
// J(t) = a + b t (the file's straight line, 1e-4 s-1 at 05:00 to 3e-4 s-1
// at 07:00) leaves ln(A0 / A) = a t + b t^2 / 2 after t seconds. Half-hour
// steps that held each step's starting J would fall short by b t dt / 2,
// an eighth of the whole by 07:00.
TEST(MechanismRun, PhotolysisFromAFileFollowsTimeWithinAStep) {
  ProgramDir p;
  p.write("a.fac", "VARIABLE A B ;\n% J<4> : A = B ;\n");
  p.write("j.csv", "time_h,J4\n5,1e-4\n7,3e-4\n");
  p.write("j.toml", equinox_site() +
                    "[time]\nstart_hour = 5.0\nhours = 2\nstep_seconds = 1800\n"
                    "[environment]\ntemperature_K = 298.15\npressure_Pa = 101325\nrelative_humidity = 50\n"
                    "[chemistry]\nmechanism = \"a.fac\"\nrtol = 1e-9\natol = 1e-6\n"
                    "[photolysis]\nmethod = \"file\"\nfile = \"j.csv\"\n[initial]\nA = 10.0\n"
                    "[output]\nformats = [\"csv\"]\n");
  const auto r = p.run("run j.toml");
  ASSERT_EQ(r.status, 0) << r.err;
  const CsvTable t = read_csv(p / "species.csv");
  ASSERT_EQ(t.rows.size(), 3u);
  const double a = 1e-4, b = 2e-4 / 7200.0;
  for (std::size_t n = 1; n < t.rows.size(); ++n) {
    const double seconds = (t.values("time_h")[n] - 5.0) * 3600.0;
    EXPECT_NEAR(std::log(10.0 / t.values("A")[n]), a * seconds + 0.5 * b * seconds * seconds, 1e-6)
        << t.values("time_h")[n] << " h";
  }
}

// [environment]'s humidity is the water a file's rates read: A -> B at
// k = 1e-21 H2O takes ln A nine times as far at 90 % as at 10 % relative
// humidity in the same air (the water, and so k, is proportional to it).
// The air variables RH and PRESS are the scenario's, in percent and hPa:
// the two first-order losses of OH, 1e-3 RH and 1e-9 PRESS, make an OH
// reactivity of 1e-3 x 10 + 1e-9 x 1013.25 s-1 at 10 % and 101325 Pa.
TEST(MechanismRun, EnvironmentHumidityIsTheWaterOfTheRates) {
  ProgramDir p;
  p.write("w.fac", "VARIABLE A B OH ;\n% 1.0D-21*H2O : A = B ;\n% 1.0D-3*RH : OH = ;\n% 1.0D-9*PRESS : OH = ;\n");
  const auto decay = [&](int rh) {
    const std::string dir = "rh" + std::to_string(rh);
    p.write(dir + ".toml", equinox_site() +
                           "[time]\nhours = 1\n[environment]\ntemperature_K = 298.15\npressure_Pa = 101325\n"
                           "relative_humidity = " + std::to_string(rh) +
                               "\n[chemistry]\nmechanism = \"w.fac\"\nrtol = 1e-9\natol = 1e-3\n[initial]\nA = 20.0\n"
                               "[output]\nformats = [\"csv\"]\ndiagnostics = true\ndir = \"" + dir + "\"\n");
    const auto r = p.run("run " + dir + ".toml");
    EXPECT_EQ(r.status, 0) << r.err;
    for (double k : read_csv(p / dir / "diagnostics.csv").values("oh_reactivity"))
      EXPECT_NEAR(k, 1e-3 * rh + 1e-9 * 1013.25, 1e-12) << rh << " %";
    const std::vector<double> a = read_csv(p / dir / "species.csv").values("A");
    return std::log(a.back() / a.front());
  };
  const double dry = decay(10), humid = decay(90);
  EXPECT_LT(dry, -0.1);
  EXPECT_NEAR(humid / dry, 9.0, 1e-6);
}

}  // namespace
