// Campaign analysis in whole runs: a family held to the records' total,
// the diagnostics of the constrained day against hand sums and the Ox
// family's budget, and the diel steady state of a spin-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "chemistry/unit_conversion.hpp"
#include "tests/support/program_run.hpp"

#ifdef BOXMODEL_HAVE_NETCDF
#include <netcdf.h>
#endif

namespace box::testing {
namespace {

namespace fs = std::filesystem;

struct Record {
  double tt = 0, pp = 0, no = 0, no2 = 0;
};

// The example's hourly records (columns: timin averad tt pp q2 o3 no no2 ...).
std::vector<Record> example_records(const ProgramDir& p) {
  std::vector<Record> records;
  for (const std::string& line : p.lines(example_site_name)) {
    double v[8];
    if (std::sscanf(line.c_str(), "%lf %lf %lf %lf %lf %lf %lf %lf", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                    &v[6], &v[7]) == 8)
      records.push_back({v[2], v[3], v[6], v[7]});
  }
  return records;
}

// The value at `t` of a CSV column, at an output time.
double at_time(const CsvTable& csv, const std::string& column, double t) {
  const auto times = csv.values("time_h");
  for (std::size_t i = 0; i < times.size(); ++i)
    if (std::abs(times[i] - t) < 1e-9) return csv.values(column)[i];
  throw std::runtime_error("no output at " + std::to_string(t));
}

// P(O3) - L(O3) and P(O3) + L(O3) of diagnostics.csv over the run (ppb):
// each row's interval means times the interval's hours.
std::pair<double, double> ozone_over_the_run(const CsvTable& diag) {
  const auto times = diag.values("time_h");
  double p_minus_l = 0.0, p_plus_l = 0.0;
  for (std::size_t i = 1; i < times.size(); ++i) {
    const double hours = times[i] - times[i - 1];
    p_minus_l += (diag.values("p_o3")[i] - diag.values("l_o3")[i]) * hours;
    p_plus_l += (diag.values("p_o3")[i] + diag.values("l_o3")[i]) * hours;
  }
  return {p_minus_l, p_plus_l};
}

// Every budget of budgets.csv (species and families) closes: its net row is
// the change of its value (`value(name, t)`) over the interval.
template <class Value>
void expect_budgets_close(const std::vector<BudgetLine>& budgets, Value&& value, std::set<std::string> want) {
  for (const BudgetLine& b : budgets) {
    if (b.term != "net") continue;
    want.erase(b.species);
    const double change = value(b.species, b.end_h) - value(b.species, b.start_h);
    EXPECT_NEAR(change, b.production - b.loss, 1e-9 * (b.production + b.loss + std::abs(change)) + 1e-12)
        << b.species << " " << b.start_h << "-" << b.end_h;
  }
  EXPECT_TRUE(want.empty()) << "budgets missing: " << *want.begin();
}

// NOx held to the records' NO + NO2 as a family: at every step start (every
// output, every step here) NO + NO2 is the records' total on the straight
// line between the hours, while NO is emitted and reacts within the steps;
// NO and NO2 carry the scaling as their constraint term and every budget,
// the families' too, still closes.
TEST(CampaignRun, NoxFamilyHeldToTheRecordsTotal) {
  ProgramDir p;
  p.write("s.toml", R"([time]
hours = 5
[constraints.families]
NOx = { members = ["NO", "NO2"], from_records = true }
[emissions]
mixing_height_m = 1000
NO = 5e10
[output]
formats = ["csv"]
species = ["NO", "NO2", "O3", "O3P", "O1D"]
every_seconds = 300
budgets = true
budget_species = ["NO", "NO2", "O3"]
families = { NOx = ["NO", "NO2"], Ox = ["O3", "NO2", "O3P", "O1D"] }
progress_lines = false
)");
  const ProgramResult r = p.run("run s.toml --format csv");
  ASSERT_EQ(r.status, 0) << r.err;
  const CsvTable csv = read_csv(p / "species.csv");
  const std::vector<Record> records = example_records(p);
  const auto times = csv.values("time_h");
  ASSERT_EQ(times.size(), 61u);
  for (std::size_t i = 0; i < times.size(); ++i) {
    const double hour = times[i] - 5.0;
    const auto k = static_cast<std::size_t>(std::min(hour, 4.0));
    const double w = hour - static_cast<double>(k);
    const double total = (records[k].no + records[k].no2) * (1 - w) + (records[k + 1].no + records[k + 1].no2) * w;
    EXPECT_NEAR(csv.values("NO")[i] + csv.values("NO2")[i], total, 1e-12 * total) << times[i];
  }
  // The partition follows the chemistry: NO's share is not the records'.
  EXPECT_GT(std::abs(at_time(csv, "NO", 8.0) / records[3].no - 1.0), 0.05);

  const std::vector<BudgetLine> budgets = read_budgets(p / "budgets.csv");
  const auto value = [&](const std::string& name, double t) {
    if (name == "NOx") return at_time(csv, "NO", t) + at_time(csv, "NO2", t);
    if (name == "Ox")
      return at_time(csv, "O3", t) + at_time(csv, "NO2", t) + at_time(csv, "O3P", t) + at_time(csv, "O1D", t);
    return at_time(csv, name, t);
  };
  expect_budgets_close(budgets, value, {"NO", "NO2", "O3", "NOx", "Ox"});
  std::map<std::string, double> constraint;
  for (const BudgetLine& b : budgets)
    if (b.term == "constraint") constraint[b.species] += b.production + b.loss;
  EXPECT_GT(constraint["NO"], 0.0);
  EXPECT_GT(constraint["NO2"], 0.0);
  EXPECT_EQ(constraint["O3"], 0.0);

  // The totals from columns of the observation file that are no species;
  // one a weighted family whose members all start at nothing (the initial
  // state has no HONO, HNO4 or N2O5): the first total is shared so that the
  // weighted sum is the total, an equal mole fraction of total / (1 + 1 +
  // 2) each, and from then on each step start scales HONO + HNO4 + 2 N2O5,
  // not their plain sum, to the observation.
  p.write("obs.csv", "time_h,NOx_total,NOz_total,CO\n5,20,2,150\n10,30,4,150\n");
  p.write("f.toml", R"([time]
hours = 5
[constraints]
file = "obs.csv"
species = ["CO"]
[constraints.families]
NOx = { members = ["NO", "NO2"], file_column = "NOx_total" }
NOz = { members = ["HONO", "HNO4", "2 N2O5"], file_column = "NOz_total" }
[output]
formats = ["csv"]
species = ["NO", "NO2", "HONO", "HNO4", "N2O5"]
every_seconds = 300
progress_lines = false
)");
  const ProgramResult f = p.run("run f.toml");
  ASSERT_EQ(f.status, 0) << f.err;
  const CsvTable held = read_csv(p / "species.csv");
  ASSERT_EQ(held.rows.size(), 61u);
  for (const char* member : {"HONO", "HNO4", "N2O5"}) EXPECT_NEAR(held.values(member)[0], 0.5, 1e-15) << member;
  for (std::size_t i = 0; i < held.rows.size(); ++i) {
    const double hours = held.values("time_h")[i] - 5.0;
    const double total = 20.0 + 2.0 * hours;
    EXPECT_NEAR(held.values("NO")[i] + held.values("NO2")[i], total, 1e-12 * total);
    const double noz = 2.0 + 0.4 * hours;
    EXPECT_NEAR(held.values("HONO")[i] + held.values("HNO4")[i] + 2.0 * held.values("N2O5")[i], noz, 1e-12 * noz)
        << hours + 5.0 << " h";
  }
  // The partition moves (HONO is photolysed, N2O5 and HNO4 fall apart):
  // the weights, not the shares, are what is held.
  EXPECT_GT(std::abs(held.values("N2O5")[12] / held.values("HONO")[12] - 1.0), 0.1);
}

// The reactions of a generated table of docs/diagnostics.md ("P(O3)" or
// "L(O3)"): the numbers of its rows.
std::vector<int> documented_reactions(const std::string& table) {
  const std::string page = read_text(fs::path(BOXMODEL_SOURCE_DIR) / "docs" / "diagnostics.md");
  const auto start = page.find("\n" + table + " (");
  const auto end = page.find("\n\n", page.find("|---", start));
  std::vector<int> reactions;
  const std::regex row(R"(\n\| R(\d+) \|)");
  const std::string part = page.substr(start, end - start);
  for (auto m = std::sregex_iterator(part.begin(), part.end(), row); m != std::sregex_iterator(); ++m)
    reactions.push_back(std::stoi((*m)[1]));
  return reactions;
}

// The constrained-day example with diagnostics and budgets. OH reactivity
// at noon is the hand sum of k [X] over the reactions HO + X, with k as
// boxmodel-rates prints them for the noon record's air. P(O3) - L(O3)
// integrated over the day is the Ox family's change by the same reactions
// (to the few O3P and NO2 yields of the O3 + alkene reactions, which L(O3)
// counts in full); the Ox family's whole chemical change differs from it
// by the routes the campaign definitions leave out (NO3 and N2O5, PAN,
// bromine).
TEST(CampaignRun, DiagnosticsOfTheConstrainedDay) {
  ProgramDir p;
  std::string scenario = read_text(fs::path(BOXMODEL_SOURCE_DIR) / "examples" / "constrained-day" / "scenario.toml");
  scenario = std::regex_replace(scenario, std::regex(R"("\.\./day/)"), "\"");
  scenario = std::regex_replace(scenario, std::regex(R"(species = "table")"), "species = \"all\"");
  scenario += "diagnostics = true\nbudgets = true\nfamilies = { Ox = [\"O3\", \"NO2\", \"O3P\", \"O1D\"] }\n";
  p.write("s.toml", scenario);
  const ProgramResult r = p.run("run s.toml --format csv");
  ASSERT_EQ(r.status, 0) << r.err;
  const CsvTable diag = read_csv(p / "output" / "diagnostics.csv");
  EXPECT_EQ(diag.header, (std::vector<std::string>{"time_h", "oh_reactivity", "ro2", "p_o3", "l_o3"}));
  const CsvTable csv = read_csv(p / "output" / "species.csv");
  ASSERT_EQ(diag.values("time_h"), csv.values("time_h"));

  // Noon: the record of 12:00 (the eighth) gives the air.
  const Record noon = example_records(p).at(7);
  const double c_m = noon.pp / (noon.tt * 287.058) * unit_conversion::dens2con_a;
  std::ostringstream args;
  args.precision(17);
  args << " --temp " << noon.tt << " --cm " << c_m;
  const std::string rates_exe = (fs::path(BOXMODEL_EXE).parent_path() / "boxmodel-rates").string();
  std::string listing;
  {
    std::FILE* pipe = ::popen(("'" + rates_exe + "'" + args.str()).c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) listing.append(buffer, n);
    ASSERT_EQ(::pclose(pipe), 0);
  }
  double hand = 0.0;
  int terms = 0;
  const std::regex line(R"(^\s*\d+\s+(\S+) \+ (\S+) -> .*\s(\S+)\s+cm3 molecule-1 s-1$)");
  for (const std::string& l : text_lines(listing)) {
    std::smatch m;
    if (!std::regex_match(l, m, line)) continue;
    const std::string a = m[1], b = m[2];
    if ((a == "HO") == (b == "HO")) continue;  // not HO + X, or HO + HO
    const std::string x = a == "HO" ? b : a;
    hand += std::stod(m[3]) * (x == "M" ? c_m : at_time(csv, x, 12.0) * 1e-9 * c_m);
    ++terms;
  }
  EXPECT_EQ(terms, 43);
  EXPECT_NEAR(at_time(diag, "oh_reactivity", 12.0), hand, 1e-6 * hand);

  // Over the day: P - L against the Ox family's budget rows.
  const auto [p_minus_l, p_plus_l] = ozone_over_the_run(diag);
  std::set<std::string> listed;
  for (const char* table : {"P(O3)", "L(O3)"})
    for (int n : documented_reactions(table)) listed.insert("R" + std::to_string(n));
  EXPECT_EQ(listed.size(), 35u);
  double ox_listed = 0.0, ox_chemistry = 0.0;
  const std::vector<BudgetLine> budgets = read_budgets(p / "output" / "budgets.csv");
  for (const BudgetLine& b : budgets) {
    if (b.species != "Ox" || b.term.empty() || b.term[0] != 'R') continue;
    ox_chemistry += b.production - b.loss;
    if (listed.count(b.term)) ox_listed += b.production - b.loss;
  }
  EXPECT_NEAR(p_minus_l, ox_listed, 2e-3 * p_plus_l);
  EXPECT_GT(std::abs(p_minus_l - ox_chemistry), 0.1 * std::abs(ox_chemistry));  // the routes left out
  const auto value = [&](const std::string& name, double t) {
    if (name == "Ox")
      return at_time(csv, "O3", t) + at_time(csv, "NO2", t) + at_time(csv, "O3P", t) + at_time(csv, "O1D", t);
    return at_time(csv, name, t);
  };
  expect_budgets_close(budgets, value, {"O3", "NO", "NO2", "HO", "HO2", "BRO", "Ox"});
}

// The diagnostics of a mechanism file: the shipped MCM isoprene subset
// through a sunlit day, with the Ox family named as a chemist might type it
// (O3P is the MCM's O). The reactions counted are those `boxmodel mechanism
// check` lists. OH reactivity and the RO2 sum at noon are hand sums over the
// species and the coefficients the check prints for the noon record's air,
// the OH reactions picked from the equations here; P(O3) - L(O3) over the
// day is the Ox family's change by the listed reactions: each moves Ox by
// one (the MCM's RO2 + NO makes one NO2, its nitrate channels are reactions
// of their own, its ozonolyses give back no O or NO2), but for the
// nitrooxy acyl peroxy radicals' RO2 + NO = 2 NO2, which P(O3) counts for
// the one NO turned into NO2 and the family for both.
TEST(CampaignRun, DiagnosticsOfAMechanismFile) {
  BOXMODEL_NEEDS_NETCDF();
  ProgramDir p;
  const std::string file =
      (fs::path(BOXMODEL_SOURCE_DIR) / "tests" / "data" / "mcm" / "mcm331-isoprene.fac").generic_string();
  p.write("s.toml", "[chemistry]\nmechanism = \"" + file +
                        "\"\n[initial]\nO3 = 30.0\nNO = 1.0\nNO2 = 5.0\nC5H8 = 2.0\n[output]\n"
                        "formats = [\"csv\", \"netcdf\"]\nspecies = \"all\"\ndiagnostics = true\nbudgets = true\n"
                        "families = { Ox = [\"o3\", \"No2\", \"o3p\", \"o1d\"] }\n");  // O3P: the MCM's O
  const ProgramResult r = p.run("run s.toml");
  ASSERT_EQ(r.status, 0) << r.err;
  const CsvTable diag = read_csv(p / "diagnostics.csv");
  EXPECT_EQ(diag.header, (std::vector<std::string>{"time_h", "oh_reactivity", "ro2", "p_o3", "l_o3"}));
  const CsvTable csv = read_csv(p / "species.csv");
  ASSERT_EQ(diag.values("time_h"), csv.values("time_h"));
#ifdef BOXMODEL_HAVE_NETCDF
  {
    int ncid = -1, var = -1;
    ASSERT_EQ(nc_open((p / "species.nc").c_str(), NC_NOWRITE, &ncid), NC_NOERR);
    EXPECT_EQ(nc_inq_varid(ncid, "oh_reactivity", &var), NC_NOERR);
    std::vector<double> oh(diag.rows.size());
    EXPECT_EQ(nc_get_var_double(ncid, var, oh.data()), NC_NOERR);
    nc_close(ncid);
    EXPECT_EQ(oh, diag.values("oh_reactivity"));
  }
#endif

  const Record noon = example_records(p).at(7);
  const double c_m = noon.pp / (noon.tt * 287.058) * unit_conversion::dens2con_a;
  std::ostringstream args;
  args.precision(17);
  args << "mechanism check '" << file << "' --temp " << noon.tt << " --cm " << c_m;
  const ProgramResult check = p.run(args.str());
  ASSERT_EQ(check.status, 0) << check.err;
  double hand = 0.0;
  int terms = 0;
  std::vector<std::string> ro2;
  std::set<int> listed;  // the reactions of P(O3) and L(O3)
  std::set<int> two_no2;  // the reactions that make 2 NO2
  const std::regex rate(R"(^R(\d+) (\S+)  (.+?) =( .*)?  : .*$)"), counted(R"( R(\d+))");
  for (const std::string& l : text_lines(check.out)) {
    std::smatch m;
    if (l.rfind("RO2 members: ", 0) == 0) {  // the file's own list
      std::istringstream words(l.substr(l.find(':', 13) + 1));
      for (std::string w; words >> w;) ro2.push_back(w);
    } else if (l.rfind("  P(O3) ", 0) == 0 || l.rfind("  L(O3) ", 0) == 0) {
      for (auto it = std::sregex_iterator(l.begin(), l.end(), counted); it != std::sregex_iterator(); ++it)
        listed.insert(std::stoi((*it)[1]));
    } else if (std::regex_match(l, m, rate)) {
      if ((m[4].str() + " ").find(" 2 NO2 ") != std::string::npos) two_no2.insert(std::stoi(m[1]));
      std::vector<std::string> reactants;
      std::istringstream words(m[3].str());
      for (std::string w; words >> w;)
        if (w != "+") reactants.push_back(w);
      if (std::count(reactants.begin(), reactants.end(), "OH") != 1 || reactants.size() > 2) continue;
      const std::string x = reactants[0] == "OH" ? reactants.back() : reactants[0];
      hand += std::stod(m[2]) * (reactants.size() == 1 ? 1.0 : at_time(csv, x, 12.0) * 1e-9 * c_m);
      ++terms;
    }
  }
  EXPECT_NE(check.out.find("\n  OH reactivity: " + std::to_string(terms) + " reactions: R"), std::string::npos);
  EXPECT_GT(terms, 100);
  EXPECT_NEAR(at_time(diag, "oh_reactivity", 12.0), hand, 1e-6 * hand);
  EXPECT_GT(ro2.size(), 100u);
  double ro2_sum = 0.0;
  for (const std::string& name : ro2) ro2_sum += at_time(csv, name, 12.0);
  EXPECT_GT(ro2_sum, 0.0);
  EXPECT_NEAR(at_time(diag, "ro2", 12.0), ro2_sum, 1e-12 * ro2_sum);

  const auto [p_minus_l, p_plus_l] = ozone_over_the_run(diag);
  double ox_listed = 0.0;
  const std::vector<BudgetLine> budgets = read_budgets(p / "budgets.csv");
  for (const BudgetLine& b : budgets) {
    if (b.species != "Ox" || b.term.empty() || b.term[0] != 'R') continue;
    const int n = std::stoi(b.term.substr(1));
    if (listed.count(n)) ox_listed += (b.production - b.loss) / (two_no2.count(n) ? 2.0 : 1.0);
  }
  EXPECT_GT(p_plus_l, 10.0);
  EXPECT_NEAR(p_minus_l, ox_listed, 1e-9 * p_plus_l);
  const auto value = [&](const std::string& name, double t) {
    if (name == "Ox") return at_time(csv, "O3", t) + at_time(csv, "NO2", t) + at_time(csv, "O", t) + at_time(csv, "O1D", t);
    return at_time(csv, name, t);
  };
  expect_budgets_close(budgets, value, {"O3", "NO", "NO2", "OH", "HO2", "Ox"});
}

// The two-day example's site and records, 24 hours from midnight, diluted
// toward a background so that the long-lived products level off.
std::string spin_up_scenario(const std::string& spin_up) {
  const fs::path site = fs::path(BOXMODEL_SOURCE_DIR) / "examples" / "two-day";
  std::string s = read_text(site / "scenario.toml");
  s = std::regex_replace(s, std::regex(R"("inputn")"), "\"" + (site / "inputn").string() + "\"");
  s = std::regex_replace(s, std::regex(R"("ValuesAtSite_two_days.txt")"),
                         "\"" + (site / "ValuesAtSite_two_days.txt").string() + "\"");
  s = std::regex_replace(s, std::regex(R"(\nhours = 48)"), "\nhours = 24");
  s = std::regex_replace(s, std::regex(R"(formats = \[.*\])"), "formats = [\"csv\", \"netcdf\"]");
  return s + "\n[dilution]\nrate_per_s = 1e-5\nbackground = { CO = 120.0, O3 = 30.0, CH4 = 1800.0 }\n[spin_up]\n" +
         spin_up;
}

#ifdef BOXMODEL_HAVE_NETCDF
int spin_up_days_attribute(const fs::path& file) {
  int ncid = -1, days = -1;
  EXPECT_EQ(nc_open(file.c_str(), NC_NOWRITE, &ncid), NC_NOERR);
  EXPECT_EQ(nc_get_att_int(ncid, NC_GLOBAL, "spin_up_days", &days), NC_NOERR);
  nc_close(ncid);
  return days;
}
#endif

// Converged, the scenario's day repeats itself: every species above 1e-6
// ppb ends the day within about the tolerance of where it began. Not
// converged in max_days, the run says which species by how much and ends
// with status 5, its outputs complete.
TEST(CampaignRun, SpinUpToTheDielSteadyState) {
  BOXMODEL_NEEDS_NETCDF();
  ProgramDir p;
  p.write("s.toml", spin_up_scenario("max_days = 40\ntolerance = 0.001\n"));
  const ProgramResult r = p.run("run s.toml");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("spin-up: 20 days to the diel steady state"), std::string::npos) << r.err;
  const CsvTable csv = read_csv(p / "output" / "species.csv");
  EXPECT_EQ(csv.values("time_h").front(), 0.0);
  EXPECT_EQ(csv.values("time_h").back(), 24.0);
  for (std::size_t c = 1; c < csv.header.size(); ++c) {
    const double start = csv.rows.front()[c], end = csv.rows.back()[c];
    if (std::max(start, end) > 1e-6) {
      EXPECT_NEAR(end, start, 2e-3 * start) << csv.header[c];
    }
  }
#ifdef BOXMODEL_HAVE_NETCDF
  EXPECT_EQ(spin_up_days_attribute(p / "output" / "species.nc"), 20);
#endif

  // Every day written (output = "all"): the spin-up's day, then the run's.
  // With diagnostics and photolysis, which the days compute for the shared
  // writers.
  p.write("t.toml", std::regex_replace(spin_up_scenario("max_days = 1\ntolerance = 1e-9\noutput = \"all\"\n"),
                                       std::regex("progress_lines = false"),
                                       "progress_lines = false\ndiagnostics = true\nphotolysis = true"));
  const ProgramResult t = p.run("run t.toml");
  EXPECT_EQ(t.status, 5) << t.err;
  EXPECT_NE(t.err.find("[spin_up] not converged after max_days = 1 days"), std::string::npos) << t.err;
  EXPECT_TRUE(std::regex_search(t.err, std::regex(R"(: [A-Z0-9]+ by [0-9.e+-]+, )"))) << t.err;
  const CsvTable days = read_csv(p / "output" / "species.csv");
  ASSERT_EQ(days.header.at(0), "day");
  ASSERT_EQ(days.rows.size(), 98u);
  EXPECT_EQ(days.values("day").front(), 1.0);
  EXPECT_EQ(days.values("day").back(), 2.0);
  // The run starts where the spin-up's day ended.
  for (const char* species : {"O3", "HNO3", "PAN"})
    EXPECT_EQ(days.values(species)[48], days.values(species)[49]) << species;
  EXPECT_NE(days.values("PAN")[0], days.values("PAN")[49]);
  EXPECT_FALSE(fs::exists(p / "output" / "species.csv.partial"));
  const CsvTable diagnostics = read_csv(p / "output" / "diagnostics.csv");
  ASSERT_EQ(diagnostics.header.at(0), "day");
  EXPECT_EQ(diagnostics.values("day"), days.values("day"));
  const CsvTable light = read_csv(p / "output" / "photolysis.csv");
  ASSERT_GT(light.header.size(), 3u);
  EXPECT_EQ(light.header[1], "time_h");
  EXPECT_EQ(light.values("day"), days.values("day"));
  const std::vector<double> j_no2 = light.values("j_no2");
  EXPECT_GT(*std::max_element(j_no2.begin(), j_no2.end()), 0.0);

  // The example day's records stop after 17 hours, too few to repeat.
  p.write("u.toml", "[site]\nparameters = \"inputn\"\nrecords = \"" + example_site_name + "\"\n[spin_up]\n");
  const ProgramResult u = p.run("run u.toml");
  EXPECT_EQ(u.status, 1);
  EXPECT_NE(u.err.find(example_site_name + ": line 24: end of file while reading record 18"), std::string::npos)
      << u.err;
  EXPECT_NE(u.err.find("[spin_up] repeats the run's first 24 hours"), std::string::npos) << u.err;
}

}  // namespace
}  // namespace box::testing
