// The budget files: names while incomplete and when done, headers, one row
// per interval, numbers that read back as the same doubles, and the
// budget rows of each species.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "budget/files.hpp"
#include "common/one_based.hpp"
#include "mechanism/parameters.hpp"

namespace box::budget {
namespace {

namespace fs = std::filesystem;

struct ScratchDir {
  fs::path dir;
  ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "boxmodel-budget-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
};

std::vector<std::vector<std::string>> read_csv(const fs::path& p) {
  std::ifstream in(p);
  std::vector<std::vector<std::string>> rows;
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::stringstream ss(line);
    std::string f;
    while (std::getline(ss, f, ',')) fields.push_back(f);
    rows.push_back(fields);
  }
  return rows;
}

OutputSample at_hour(double h) {
  OutputSample s;
  s.time_h = h;
  return s;
}

TEST(BudgetFiles, WritesOneRowPerIntervalAndRenamesWhenDone) {
  ScratchDir scratch;
  // An earlier run's file stays until this run is complete.
  std::ofstream(scratch.dir / "reaction_rates.csv") << "an earlier run\n";
  BudgetFiles files(scratch.dir, {"NO2", "NO"});
  files.begin({});
  EXPECT_TRUE(fs::exists(scratch.dir / "reaction_rates.csv.partial"));
  EXPECT_TRUE(fs::exists(scratch.dir / "budgets.csv.partial"));
  EXPECT_EQ(read_csv(scratch.dir / "reaction_rates.csv").at(0).at(0), "an earlier run");

  std::vector<double> step(nreact, 0.0);
  std::array<double, nvar> clip{};
  step[at(1)] = 0.1;  // not exact in binary: must read back exactly
  step[at(51)] = 1.0 / 3.0;
  files.sample(at_hour(5.0));
  files.add_step(step, clip);
  files.add_step(step, clip);
  files.sample(at_hour(5.5));
  files.sample(at_hour(5.5));  // the same output time again: no new interval
  clip[at(ind_no)] = 2e-3;
  files.add_step(step, clip);
  files.sample(at_hour(6.0));
  files.finish();
  EXPECT_FALSE(fs::exists(scratch.dir / "reaction_rates.csv.partial"));
  EXPECT_FALSE(fs::exists(scratch.dir / "budgets.csv.partial"));

  const auto rates = read_csv(scratch.dir / "reaction_rates.csv");
  ASSERT_EQ(rates.size(), 3u);
  ASSERT_EQ(rates[0].size(), 2u + nreact);
  EXPECT_EQ(rates[0][0], "start_h");
  EXPECT_EQ(rates[0][1], "end_h");
  EXPECT_EQ(rates[0][2], "R1");
  EXPECT_EQ(rates[0].back(), "R249");
  EXPECT_EQ(rates[1][0], "5");
  EXPECT_EQ(rates[1][1], "5.5");
  EXPECT_EQ(std::strtod(rates[1][2].c_str(), nullptr), 0.1 + 0.1);
  EXPECT_EQ(std::strtod(rates[1][52].c_str(), nullptr), 1.0 / 3.0 + 1.0 / 3.0);
  EXPECT_EQ(std::strtod(rates[2][2].c_str(), nullptr), 0.1);
  EXPECT_EQ(rates[2][3], "0");
  ASSERT_EQ(files.intervals().size(), 2u);
  EXPECT_EQ(files.intervals()[1].start_h, 5.5);

  const auto budgets = read_csv(scratch.dir / "budgets.csv");
  ASSERT_GE(budgets.size(), 2u);
  EXPECT_EQ(budgets[0], (std::vector<std::string>{"start_h", "end_h", "species", "reaction",
                                                  "equation", "production", "loss"}));
  // First interval, NO2: R51 (0.667 production), R1 (0.2 loss), clipping, net.
  std::vector<std::vector<std::string>> no2;
  for (const auto& r : budgets)
    if (r[0] == "5" && r[2] == "NO2") no2.push_back(r);
  ASSERT_EQ(no2.size(), 4u);
  EXPECT_EQ(no2[0][3], "R51");
  EXPECT_EQ(no2[0][4], "O3 + NO -> NO2");
  EXPECT_EQ(std::strtod(no2[0][5].c_str(), nullptr), 1.0 / 3.0 + 1.0 / 3.0);
  EXPECT_EQ(no2[1][3], "R1");
  EXPECT_EQ(std::strtod(no2[1][6].c_str(), nullptr), 0.1 + 0.1);
  EXPECT_EQ(no2[2][3], "clipping");
  EXPECT_EQ(no2[3][3], "net");
  // Second interval, NO: its clipping row carries the 2e-3 ppb.
  bool seen = false;
  for (const auto& r : budgets)
    if (r[0] == "5.5" && r[2] == "NO" && r[3] == "clipping") {
      EXPECT_EQ(std::strtod(r[5].c_str(), nullptr), 2e-3);
      seen = true;
    }
  EXPECT_TRUE(seen);
}

TEST(BudgetFiles, NamedProcessesGetColumnsAfterTheReactions) {
  ScratchDir scratch;
  ProcessList processes;
  processes.named = {{"emission", ind_no, 1.0}, {"deposition", ind_o3, -1.0}};
  BudgetFiles files(scratch.dir, default_budget_species(), processes);
  files.begin({});
  files.sample(at_hour(0.0));
  std::vector<double> step(nreact + 2, 0.0);
  step[nreact] = 0.5;
  files.add_step(step, std::array<double, nvar>{});
  EXPECT_THROW(files.add_step(std::vector<double>(nreact, 0.0), std::array<double, nvar>{}),
               std::invalid_argument);
  files.sample(at_hour(1.0));
  files.finish();
  const auto rates = read_csv(scratch.dir / "reaction_rates.csv");
  ASSERT_EQ(rates[0].size(), 2u + nreact + 2);
  EXPECT_EQ(rates[0][2 + nreact], "emission_NO");
  EXPECT_EQ(rates[0][3 + nreact], "deposition_O3");
  EXPECT_EQ(rates[1][2 + nreact], "0.5");
}

TEST(BudgetFiles, RejectsUnknownSpeciesAndUnwritableFolders) {
  ScratchDir scratch;
  try {
    BudgetFiles files(scratch.dir, {"O3", "OZONE"});
    FAIL() << "an unknown species was accepted";
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("budget_species"), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("OZONE"), std::string::npos);
  }
  EXPECT_THROW(BudgetFiles(scratch.dir, {"M"}), std::invalid_argument);  // not integrated
  BudgetFiles files(scratch.dir / "missing", {"O3"});
  EXPECT_THROW(files.begin({}), std::runtime_error);
}

}  // namespace
}  // namespace box::budget
