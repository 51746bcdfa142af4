// `boxmodel mechanism export` and `check`, and `boxmodel-rates
// --mechanism`, as a user runs them: the exported file read back by the
// other two commands, and a faulty file refused with its line and column.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "chemistry/builtin_mechanism_file.hpp"
#include "mechanism/diagnostics.hpp"

namespace {

namespace fs = std::filesystem;

class MechanismCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("mechanism_command_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs `program arguments` in the scratch directory; returns the exit
  // status, with standard output and error in out_ and err_.
  int run(const std::string& program, const std::string& arguments) {
    const std::string command = "cd '" + dir_.string() + "' && '" + program + "' " + arguments +
                                " > out.txt 2> err.txt";
    const int status = std::system(command.c_str());
    out_ = read("out.txt");
    err_ = read("err.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(dir_ / name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void write(const std::string& name, const std::string& text) const { std::ofstream(dir_ / name) << text; }

  static std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> v;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) v.push_back(l);
    return v;
  }

  fs::path dir_;
  std::string out_, err_;
  const std::string boxmodel_ = BOXMODEL_EXE;
  const std::string rates_ = (fs::path(BOXMODEL_EXE).parent_path() / "boxmodel-rates").string();
};

TEST_F(MechanismCommand, ExportedFileCheckedAndItsRatesListed) {
  ASSERT_EQ(run(boxmodel_, "mechanism export"), 0) << err_;
  EXPECT_EQ(out_, box::builtin_mechanism_file());
  EXPECT_EQ(err_, "");
  write("model.fac", out_);

  ASSERT_EQ(run(boxmodel_, "mechanism check model.fac --temp 250 --cm 1.2e19"), 0) << err_;
  const std::vector<std::string> report = lines(out_);
  ASSERT_GE(report.size(), 249u + 7u);
  EXPECT_EQ(report[0], "mechanism: model.fac");
  EXPECT_EQ(report[1], "species: 78");
  EXPECT_EQ(report[2], "reactions: 249");
  // PAA's channel is its own (J<119>): the MCM's J41 carries OP1's and
  // OP2's specified frequency, not PAA's.
  EXPECT_EQ(report[3].rfind("photolysis channels used: 26: J<1> J<2> J<3> J<4>", 0), 0u) << report[3];
  EXPECT_NE(report[3].find(" J<41> J<54> J<108> J<117> J<119> J<123>"), std::string::npos) << report[3];
  EXPECT_NE(out_.find("rate coefficients at TEMP = 2.500000e+02 K, M = 1.200000e+19 cm-3"), std::string::npos);
  EXPECT_NE(out_.find("\nR27 "), std::string::npos);
  EXPECT_NE(out_.find("O3P = O3  : 6D-34*M*(TEMP/300)**(-2.3)*M"), std::string::npos);

  // The reactions the diagnostics count, found in the file as read, are
  // those found in the compiled table (docs/diagnostics.md prints them),
  // reaction for reaction; P(O3) has HO2 + NO alone, the file having no
  // RO2 list.
  const auto counted = [&](const std::string& head) {
    std::vector<int> n;
    const auto at = out_.find("\n" + head);
    EXPECT_NE(at, std::string::npos) << head;
    const std::string l = out_.substr(at + 1, out_.find('\n', at + 1) - at - 1);
    static const std::regex reaction(" R([0-9]+)");
    for (auto it = std::sregex_iterator(l.begin(), l.end(), reaction); it != std::sregex_iterator(); ++it)
      n.push_back(std::stoi((*it)[1]));
    return n;
  };
  const box::diag::DiagnosticLists compiled = box::diag::builtin_diagnostics();
  const auto numbers = [](const std::vector<box::diag::DiagnosticReaction>& list, const std::string& why) {
    std::vector<int> n;
    for (const box::diag::DiagnosticReaction& r : list)
      if (why.empty() || r.why == why) n.push_back(r.reaction + 1);
    return n;
  };
  EXPECT_EQ(counted("  OH reactivity: "), numbers(compiled.oh_reactivity, ""));
  EXPECT_EQ(counted("  OH reactivity: ").size(), 43u);
  for (const char* why : {"O1D + H2O", "O3 + HO", "O3 + HO2", "O3 + alkene", "NO2 + HO"})
    EXPECT_EQ(counted("  L(O3) " + std::string(why) + ": "), numbers(compiled.loss, why)) << why;
  EXPECT_EQ(counted("  P(O3) HO2 + NO: "), std::vector<int>{44});
  EXPECT_EQ(counted("  P(O3) RO2 + NO: "), std::vector<int>{});

  // boxmodel-rates on the file: every reaction without M or H2O as a
  // reactant has the built-in listing's coefficient to the digit.
  ASSERT_EQ(run(rates_, "--temp 250 --cm 1.2e19 --photolysis"), 0) << err_;
  const std::vector<std::string> builtin = lines(out_);
  ASSERT_EQ(run(rates_, "--temp 250 --cm 1.2e19 --mechanism model.fac"), 0) << err_;
  const std::vector<std::string> file = lines(out_);
  ASSERT_EQ(builtin.size(), 250u);
  ASSERT_EQ(file.size(), 250u);
  EXPECT_EQ(file[0], "# model.fac: rate coefficients at T = 250 K, M = 1.2e+19 molecules cm-3, H2O = 0, RO2 = 0, dark");
  int same = 0;
  for (std::size_t r = 1; r <= 249; ++r) {
    const std::string& b = builtin[r];
    if (b.find("+ M ") != std::string::npos || b.find("+ H2O ") != std::string::npos) continue;
    if (r <= 26) continue;  // photolysis: dark here, overhead sun in the built-in listing
    const auto coefficient = [](const std::string& line) {
      static const std::regex number("[0-9]\\.[0-9]{6}e[-+][0-9]{2}");
      std::string last;
      for (auto it = std::sregex_iterator(line.begin(), line.end(), number); it != std::sregex_iterator(); ++it)
        last = it->str();
      return last;
    };
    EXPECT_EQ(coefficient(file[r]), coefficient(b)) << b << "\n" << file[r];
    ++same;
  }
  EXPECT_GT(same, 200);

  // With a file, the air left unsaid is `mechanism check`'s: its default
  // temperature and density, from its report, given explicitly list the
  // same coefficients as given not at all, or one of the two alone.
  ASSERT_EQ(run(boxmodel_, "mechanism check model.fac"), 0) << err_;
  std::smatch air;
  ASSERT_TRUE(std::regex_search(out_, air, std::regex("rate coefficients at TEMP = (\\S+) K, M = (\\S+) cm-3")));
  const std::string temp = air[1], cm = air[2];
  ASSERT_EQ(run(rates_, "--mechanism model.fac --temp " + temp + " --cm " + cm), 0) << err_;
  const std::string given = out_;
  EXPECT_NE(given.find("at T = 298.15 K, M = 2.46e+19 molecules cm-3"), std::string::npos) << given.substr(0, 200);
  for (const std::string& some : {std::string(), " --temp " + temp, " --cm " + cm}) {
    ASSERT_EQ(run(rates_, "--mechanism model.fac" + some), 0) << some << ": " << err_;
    EXPECT_EQ(out_, given) << some;
  }
  // The built-in mechanism still needs both.
  EXPECT_EQ(run(rates_, "--temp 298"), 2);
  EXPECT_EQ(err_.rfind("boxmodel-rates: both --temp and --cm are required\n", 0), 0u) << err_;
}

// A version-1 configuration is checked the same way, its rates in
// molecules cm-3: NO + O3 at 1.8e-12 exp(-1370/T) cm3 s-1 is A =
// 1.8e-12 * 6.02214076e17 m3 mol-1 s-1 (1.7999999999999998e-12 back in
// doubles); its faults name file, line and JSON pointer.
TEST_F(MechanismCommand, VersionOneConfigurationChecked) {
  const std::string head = R"({"version": "1.0.0", "species": [{"name": "NO"}, {"name": "O3"}, {"name": "NO2"}],
 "phases": [{"name": "gas", "species": ["NO", "O3", "NO2"]}],
 "reactions": [{"type": "ARRHENIUS", "gas phase": "gas", "A": 1083985.3368, "C": -1370,
  "reactants": [{"species name": "NO"}, {"species name": ")";
  write("v1.json", head + R"(O3"}], "products": [{"species name": "NO2"}]}]})");
  ASSERT_EQ(run(boxmodel_, "mechanism check v1.json --temp 250"), 0) << err_;
  EXPECT_NE(out_.find("\nR1 7.504793e-15  NO + O3 = NO2  : 1.7999999999999998e-12*EXP((-1370)/TEMP)  (line 3)\n"),
            std::string::npos)
      << out_;
  write("bad.json", head + R"(O4"}], "products": [{"species name": "NO2"}]}]})");
  EXPECT_EQ(run(boxmodel_, "mechanism check bad.json"), 1);
  EXPECT_EQ(out_, "");
  EXPECT_EQ(err_, "boxmodel: bad.json:4: /reactions/0/reactants/1: unknown species \"O4\" (expected a species of the "
                  "top-level list \"species\"; did you mean O3?)\n");
}

TEST_F(MechanismCommand, FaultyFileRefusedWithLineAndColumn) {
  write("bad.fac", "VARIABLE NO NO2 O3 ;\n% 1.4D-12*EXP(-1310/TEMP) : NO + O3 = NO2 ;\n% J<4> : NO2 = NO + O ;\n");
  EXPECT_EQ(run(boxmodel_, "mechanism check bad.fac"), 1);
  EXPECT_EQ(out_, "");
  EXPECT_EQ(err_.rfind("boxmodel: bad.fac:3:21: undeclared species `O`", 0), 0u) << err_;
  EXPECT_EQ(run(rates_, "--temp 298 --cm 2.5e19 --mechanism bad.fac"), 1);
  EXPECT_EQ(out_, "");
  EXPECT_EQ(err_.rfind("boxmodel-rates: bad.fac:3:21: undeclared species `O`", 0), 0u) << err_;
  EXPECT_EQ(run(boxmodel_, "mechanism check ."), 1);
  EXPECT_NE(err_.find("is a directory"), std::string::npos) << err_;
}

}  // namespace
