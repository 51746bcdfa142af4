// Budgets of whole runs: they leave the species untouched, they close for
// every species and hour in an open box with held species, and their terms
// agree with what can be worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <utility>
#include <string>
#include <vector>

#include "tests/support/program_run.hpp"

#ifdef BOXMODEL_HAVE_NETCDF
#include <netcdf.h>
#endif

namespace box::testing {
namespace {

TEST(BudgetRun, SpeciesOutputsAndProgressLinesAreTheSameWithBudgets) {
  ProgramDir p;
  const ProgramResult off = p.run("run --format table,csv --output-dir off");
  const ProgramResult on = p.run("run --format table,csv --output-dir on --budgets");
  ASSERT_EQ(off.status, 0) << off.err;
  ASSERT_EQ(on.status, 0) << on.err;
  EXPECT_EQ(on.out, off.out);
  EXPECT_EQ(p.read("on/TS_species.txt"), p.read("off/TS_species.txt"));
  EXPECT_EQ(p.read("on/species.csv"), p.read("off/species.csv"));
  EXPECT_EQ(p.read("on/TS_species.txt"), golden("TS_species.txt"));
  EXPECT_TRUE(std::filesystem::exists(p / "on" / "budgets.csv"));
  EXPECT_FALSE(std::filesystem::exists(p / "off" / "budgets.csv"));
}

// An open box: O3 and NO2 held to the records, NO, CO and N2O5 emitted,
// O3, HNO3, PAN and N2O5 deposited, everything diluted towards a
// background; budgets of species and of a family with N2O5 counted twice.
constexpr const char* open_box = R"(
[time]
hours = 6
[constraints]
from_records = ["O3", "NO2"]
[emissions]
mixing_height_m = 500
NO = 4e10
CO = 2e11
N2O5 = 1e10
[deposition]
HNO3 = 2.0
PAN = 0.3
O3 = 0.4
N2O5 = 1.0
[dilution]
rate_per_s = 2e-5
background = { CO = 120.0, HCHO = 1.0 }
[output]
dir = "open"
species = "all"
formats = ["csv", "netcdf"]
budgets = true
budget_species = ["O3", "NO", "NO2", "HO", "HO2", "BRO", "HNO3", "CO", "PAN", "HCHO", "N2O5"]
families = { NOy = ["NO", "NO2", "HNO3", "PAN", "2 N2O5"] }
progress_lines = false
)";

// Every budget closes, the family's too: its emission, deposition and
// dilution count N2O5 twice.
TEST(BudgetRun, EverySpeciesBudgetClosesInAnOpenBoxWithHeldSpecies) {
  BOXMODEL_NEEDS_NETCDF();
  ProgramDir p;
  p.write("open.toml", open_box);
  const ProgramResult r = p.run("run open.toml");
  ASSERT_EQ(r.status, 0) << r.err;
  const CsvTable species = read_csv(p / "open" / "species.csv");
  const auto column_at = [&](const std::string& s, double t) {
    const auto times = species.values("time_h");
    for (std::size_t i = 0; i < times.size(); ++i)
      if (std::abs(times[i] - t) < 1e-9) return species.values(s)[i];
    throw std::runtime_error("no output at " + std::to_string(t));
  };
  const auto at_time = [&](const std::string& s, double t) {
    if (s != "NOy") return column_at(s, t);
    return column_at("NO", t) + column_at("NO2", t) + column_at("HNO3", t) + column_at("PAN", t) +
           2.0 * column_at("N2O5", t);
  };
  std::map<std::string, int> nets;
  std::map<std::string, bool> constrained;
  std::map<std::string, std::map<double, double>> exchanged;  // the hour's exchange terms, by species
  const std::vector<BudgetLine> budgets = read_budgets(p / "open" / "budgets.csv");
  for (const BudgetLine& b : budgets) {
    if (b.term == "constraint" && b.production + b.loss > 0.0) constrained[b.species] = true;
    if (b.term == "emission" || b.term == "deposition" || b.term == "dilution")
      exchanged[b.species + " " + b.term][b.start_h] = b.production - b.loss;
    if (b.term != "net") continue;
    ++nets[b.species];
    const double change = at_time(b.species, b.end_h) - at_time(b.species, b.start_h);
    const double tolerance = 1e-9 * (b.production + b.loss + std::abs(change)) + 1e-12;
    EXPECT_LE(std::abs(change - (b.production - b.loss)), tolerance)
        << b.species << " " << b.start_h << "-" << b.end_h;
  }
  EXPECT_EQ(nets.size(), 12u);
  for (const auto& [s, n] : nets) EXPECT_EQ(n, 6) << s;  // one net row per hour
  // The family's exchange terms are its members' by their weights.
  for (const char* term : {"emission", "deposition", "dilution"}) {
    const std::map<double, double>& family = exchanged[std::string("NOy ") + term];
    ASSERT_EQ(family.size(), 6u) << term;
    for (const auto& [hour, value] : family) {
      double weighted = 0.0;
      for (const auto& [member, weight] : {std::pair<const char*, double>{"NO", 1}, {"NO2", 1}, {"HNO3", 1},
                                           {"PAN", 1}, {"N2O5", 2}}) {
        const auto& m = exchanged[std::string(member) + " " + term];
        if (m.count(hour) != 0) weighted += weight * m.at(hour);
      }
      EXPECT_NEAR(value, weighted, 1e-12 * std::abs(weighted)) << term << " at " << hour << " h";
    }
    EXPECT_NE(exchanged[std::string("N2O5 ") + term].size(), 0u) << term;
  }
  // Only the held species have a constraint term that is not zero.
  EXPECT_TRUE(constrained["O3"]);
  EXPECT_TRUE(constrained["NO2"]);
  EXPECT_FALSE(constrained["NO"]);
  EXPECT_FALSE(constrained["HNO3"]);
}

// A chamber of the built-in mechanism: O3 lost to the walls at 2e-5 s-1,
// every species to the sampling flow at 1e-5 s-1, 50 ppb of isoprene
// injected at 7:00. Every budget closes through the injection; the
// injection's term is the amount, in the hour it starts; wall loss and
// sampling take the same O3 at rates 2 : 1, and so their integrals.
TEST(BudgetRun, ChamberBudgetsCloseThroughAnInjectionAndWallLoss) {
  ProgramDir p;
  p.write("chamber.toml", R"(
[time]
hours = 4
[walls]
loss_per_s = { default = 0.0, O3 = 2.0e-5 }
sampling_per_s = 1.0e-5
[[injection]]
time_h = 7.0
species = "ISO"
ppb = 50.0
[output]
dir = "c"
species = "all"
formats = ["csv"]
budgets = true
budget_species = ["O3", "ISO", "HO", "NO2"]
progress_lines = false
)");
  const ProgramResult r = p.run("run chamber.toml");
  ASSERT_EQ(r.status, 0) << r.err;
  const CsvTable species = read_csv(p / "c" / "species.csv");
  const auto times = species.values("time_h");
  const auto at = [&](const std::string& s, double t) {
    for (std::size_t i = 0; i < times.size(); ++i)
      if (std::abs(times[i] - t) < 1e-9) return species.values(s)[i];
    throw std::runtime_error("no output at " + std::to_string(t));
  };
  int nets = 0;
  for (const BudgetLine& b : read_budgets(p / "c" / "budgets.csv")) {
    if (b.term == "injection") {
      EXPECT_EQ(b.production, b.species == "ISO" && b.start_h == 7.0 ? 50.0 : 0.0) << b.start_h;
    }
    if (b.term != "net") continue;
    ++nets;
    const double change = at(b.species, b.end_h) - at(b.species, b.start_h);
    EXPECT_LE(std::abs(change - (b.production - b.loss)), 1e-9 * (b.production + b.loss + std::abs(change)) + 1e-12)
        << b.species << " " << b.start_h << "-" << b.end_h;
  }
  EXPECT_EQ(nets, 16);
  EXPECT_LT(at("ISO", 7.0), 1.0);  // the output at 7:00 is the air just before
  EXPECT_GT(at("ISO", 8.0), 30.0);
  const CsvTable rates = read_csv(p / "c" / "reaction_rates.csv");
  const auto wall = rates.values("wall_loss_O3"), sampled = rates.values("sampling_O3");
  ASSERT_EQ(wall.size(), 4u);
  for (std::size_t k = 0; k < wall.size(); ++k) EXPECT_NEAR(wall[k], 2.0 * sampled[k], 1e-13 * wall[k]) << k;
  EXPECT_NO_THROW(rates.column("sampling_ISO"));
  EXPECT_THROW(rates.column("wall_loss_ISO"), std::exception);  // no wall loss where none is given
}

TEST(BudgetRun, ExchangeTermsAreWhatTheyBringPerHour) {
  BOXMODEL_NEEDS_NETCDF();
  ProgramDir p;
  p.write("open.toml", open_box);
  ASSERT_EQ(p.run("run open.toml").status, 0);
  const CsvTable rates = read_csv(p / "open" / "reaction_rates.csv");
  // Emission of NO: E / H each second, in ppb of each hour's air; the air
  // density of hour k from record k's temperature and pressure.
  const double dens2con_a = 1.0e-3 * (1 / 28.97) * 6.022e23;  // kg m-3 -> molecules cm-3
  const double records[6][2] = {{291.2, 98950.0}, {291.0, 98965.0}, {292.4, 98980.0},
                                {294.6, 98990.0}, {296.9, 98985.0}, {299.0, 98965.0}};
  const auto emitted = rates.values("emission_NO");
  ASSERT_EQ(emitted.size(), 6u);
  for (std::size_t k = 0; k < 6; ++k) {
    const double air = records[k][1] / (records[k][0] * 287.058) * dens2con_a;
    EXPECT_NEAR(emitted[k], 4e10 / 5e4 * 3600.0 / air * 1e9, 1e-12 * emitted[k]) << "hour " << k;
  }
  // Deposition takes, dilution exchanges: both integrals are positive here
  // (HNO3 and PAN are made by the chemistry; CO's background exceeds
  // nothing at the start but the emission pushes it above).
  for (double v : rates.values("deposition_HNO3")) EXPECT_GT(v, 0.0);
  for (const char* h : {"start_h", "end_h", "R1", "R249", "dilution_CO", "deposition_PAN", "dilution_O3"})
    EXPECT_NO_THROW(rates.column(h)) << h;
  // O3 is held, and still deposits: v_d / H = 0.4 / 5e4 s-1 of the held
  // value each second, between the hour's first and last observed value.
  const CsvTable species = read_csv(p / "open" / "species.csv");
  const auto o3 = species.values("O3");
  const auto deposited = rates.values("deposition_O3");
  for (std::size_t k = 0; k < 6; ++k) {
    const double per_hour = 0.4 / 5e4 * 3600.0;
    EXPECT_GE(deposited[k], per_hour * std::min(o3[k], o3[k + 1]) * (1 - 1e-12)) << "hour " << k;
    EXPECT_LE(deposited[k], per_hour * std::max(o3[k], o3[k + 1]) * (1 + 1e-12)) << "hour " << k;
  }
}

#ifdef BOXMODEL_HAVE_NETCDF
TEST(BudgetRun, TheNetcdfIntegralsAreTheCsvIntegrals) {
  ProgramDir p;
  p.write("open.toml", open_box);
  ASSERT_EQ(p.run("run open.toml").status, 0);
  const CsvTable rates = read_csv(p / "open" / "reaction_rates.csv");
  int ncid = -1, var = -1, dims[2];
  ASSERT_EQ(nc_open((p / "open" / "budgets.nc").c_str(), NC_NOWRITE, &ncid), NC_NOERR);
  ASSERT_EQ(nc_inq_varid(ncid, "reaction_rate_integral", &var), NC_NOERR);
  ASSERT_EQ(nc_inq_vardimid(ncid, var, dims), NC_NOERR);
  std::size_t intervals = 0, processes = 0;
  nc_inq_dimlen(ncid, dims[0], &intervals);
  nc_inq_dimlen(ncid, dims[1], &processes);
  ASSERT_EQ(intervals, rates.rows.size());
  ASSERT_EQ(processes + 2, rates.header.size());
  std::vector<double> values(intervals * processes);
  ASSERT_EQ(nc_get_var_double(ncid, var, values.data()), NC_NOERR);
  for (std::size_t i = 0; i < intervals; ++i)
    for (std::size_t k = 0; k < processes; ++k)
      ASSERT_EQ(values[i * processes + k], rates.rows[i][k + 2]) << rates.header[k + 2];
  int equations = -1;
  ASSERT_EQ(nc_inq_varid(ncid, "equation", &equations), NC_NOERR);
  std::vector<char*> text(processes);
  ASSERT_EQ(nc_get_var_string(ncid, equations, text.data()), NC_NOERR);
  EXPECT_STREQ(text[2], "O3 -> O3P");  // R3
  nc_free_string(processes, text.data());
  nc_close(ncid);
}
#endif

}  // namespace
}  // namespace box::testing
