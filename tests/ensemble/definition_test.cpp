// Ensemble files and members tables: what they say, and the messages when
// they are wrong.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>

#include "common/errors.hpp"
#include "ensemble/definition.hpp"
#include "ensemble/monte_carlo.hpp"
#include "tests/support/scratch_dir.hpp"

namespace box::ensemble {
namespace {

namespace fs = std::filesystem;

class Files : public box::testing::ScratchDir {
 public:
  fs::path write(const std::string& name, const std::string& text) const {
    std::ofstream(dir() / name) << text;
    return dir() / name;
  }
};

// The message of the InputError `f` throws.
template <class F>
std::string error_of(F f) {
  try {
    f();
  } catch (const InputError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(MembersTable, CellsAreNumbersBooleansOrText) {
  Files f;
  const fs::path csv = f.write("m.csv",
                               "# a comment line\n"
                               "initial.O3, chemistry.method ,site.records,output.progress_lines\n"
                               "\n"
                               "30,ros2,a.txt,true\n"
                               "1e-3,\"rodas4\",\"2025\",false\n"
                               "-2.5,\"with, comma \"\"quoted\"\"\",x,y\n"
                               "4,a,\"b c\",false\r\n");
  const MembersTable t = read_members_table(csv);
  ASSERT_EQ(t.keys, (std::vector<std::string>{"initial.O3", "chemistry.method", "site.records", "output.progress_lines"}));
  ASSERT_EQ(t.rows.size(), 4u);
  EXPECT_EQ(t.rows[0].line, 4);
  EXPECT_EQ(std::get<double>(t.rows[0].cells[0]), 30.0);
  EXPECT_EQ(std::get<std::string>(t.rows[0].cells[1]), "ros2");
  EXPECT_EQ(std::get<bool>(t.rows[0].cells[3]), true);
  EXPECT_EQ(std::get<double>(t.rows[1].cells[0]), 1e-3);
  // A quoted cell is text even when it reads as a number.
  EXPECT_EQ(std::get<std::string>(t.rows[1].cells[2]), "2025");
  EXPECT_EQ(std::get<std::string>(t.rows[2].cells[1]), "with, comma \"quoted\"");
  // A line ending of Windows is not part of the last cell.
  EXPECT_EQ(std::get<std::string>(t.rows[3].cells[2]), "b c");
  EXPECT_EQ(std::get<bool>(t.rows[3].cells[3]), false);
}

TEST(MembersTable, ErrorsNameTheFileTheLineAndTheColumn) {
  Files f;
  EXPECT_EQ(error_of([&] { read_members_table(f.write("a.csv", "initial.O3,initial.NO\n1,2\n3\n")); }),
            (f.dir() / "a.csv").generic_string() + ": line 3: expected 2 cells (one per column), found 1");
  EXPECT_NE(error_of([&] { read_members_table(f.write("b.csv", "initial.O3,initial.NO\n1,\n")); })
                .find("b.csv: line 2: initial.NO: the cell is empty"),
            std::string::npos);
  EXPECT_NE(error_of([&] { read_members_table(f.write("c.csv", "initial.O3,initial.O3\n1,2\n")); })
                .find("c.csv: line 1: initial.O3: the column is named twice"),
            std::string::npos);
  EXPECT_NE(error_of([&] { read_members_table(f.write("d.csv", "initial.O3\n")); }).find("at least one member row"),
            std::string::npos);
  EXPECT_NE(error_of([&] { read_members_table(f.dir() / "none.csv"); }).find("none.csv: cannot open the members table"),
            std::string::npos);
}

TEST(EnsembleFile, MembersAreTheBaseWithTheirRowAndTheEnsemblesOutput) {
  Files f;
  f.write("base.toml", "[time]\nhours = 3\n[output]\nevery_seconds = 600\nformats = [\"csv\"]\n");
  f.write("m.csv",
          "initial.O3,time.start_hour,chemistry.rate_factors.R27,site.records,constraints.file,chemistry.method\n"
          "40,6,2,r.txt,obs.csv,ros3\n50,7,3,/abs/r.txt,/abs/obs.csv,rodas4\n");
  // With a byte-order mark, as some editors write UTF-8.
  f.write("e.toml",
          "\xEF\xBB\xBF" "base = \"base.toml\"\nmembers = \"m.csv\"\n[monte_carlo]\nseed = 9\nuncertainty = { R27 = 1.5 }\n"
          "[output]\nspecies = [\"O3\"]\nevery_seconds = 1800\nformats = [\"csv\"]\ndir = \"out\"\n");
  const Definition d = read_definition(f.dir() / "e.toml");
  EXPECT_EQ(d.members(), 2u);
  EXPECT_TRUE(d.write_csv);
  EXPECT_FALSE(d.write_netcdf);
  EXPECT_EQ(d.output_dir, f.dir() / "out");
  const Scenario s = member_scenario(d, 1);
  EXPECT_EQ(s.time.hours, 3.0);
  EXPECT_EQ(s.time.start_hour, 7.0);
  EXPECT_EQ(s.output.every_seconds, 1800);
  EXPECT_TRUE(s.output.formats.empty());
  EXPECT_FALSE(s.output.progress_lines);
  ASSERT_EQ(s.output.species.list.size(), 1u);
  // Absolute paths stay, relative ones are found next to the table.
  EXPECT_EQ(s.site.records, fs::path("/abs/r.txt"));
  EXPECT_EQ(member_scenario(d, 0).site.records, f.dir() / "r.txt");
  // So is every path key, by the scenario schema; other text is as written.
  EXPECT_EQ(s.field.observations, fs::path("/abs/obs.csv"));
  EXPECT_EQ(member_scenario(d, 0).field.observations, f.dir() / "obs.csv");
  EXPECT_EQ(s.chemistry.method, "rodas4");
  // The random factor multiplies the row's.
  ASSERT_EQ(s.chemistry.rate_factors.size(), 1u);
  EXPECT_EQ(s.chemistry.rate_factors[0].factor, 3.0 * std::exp(std::log(1.5) * standard_normal(9, 1, 27)));
}

TEST(EnsembleFile, AMembersValueThatIsNotValidNamesTheTableLine) {
  Files f;
  f.write("base.toml", "");
  f.write("m.csv", "initial.O3,time.step_seconds\n40,300\n50,7\n");
  f.write("e.toml", "base = \"base.toml\"\nmembers = \"m.csv\"\n");
  const Definition d = read_definition(f.dir() / "e.toml");
  EXPECT_NO_THROW(member_scenario(d, 0));
  EXPECT_EQ(error_of([&] { member_scenario(d, 1); }).rfind((f.dir() / "m.csv").generic_string() + ": line 3: time.step_seconds: ", 0), 0u);
}

TEST(EnsembleFile, ErrorsNameTheFileTheLineAndTheKey) {
  Files f;
  f.write("base.toml", "");
  f.write("m.csv", "initial.O3\n1\n2\n");
  const auto error = [&](const std::string& text) {
    return error_of([&] { read_definition(f.write("e.toml", text)); });
  };
  EXPECT_NE(error("base = \"base.toml\"\nmembers = \"m.csv\"\nmember = 3\n").find("e.toml: line 3: member: unknown key"),
            std::string::npos);
  EXPECT_NE(error("members = \"m.csv\"\n").find("base: missing"), std::string::npos);
  EXPECT_NE(error("base = \"base.toml\"\n").find("members: missing"), std::string::npos);
  EXPECT_NE(error("base = \"base.toml\"\nmembers = \"m.csv\"\n[monte_carlo]\nmembers = 5\nseed = 1\nuncertainty = {default = 2}\n")
                .find("e.toml: line 4: monte_carlo.members: the members table has 2 rows"),
            std::string::npos);
  EXPECT_NE(error("base = \"base.toml\"\n[monte_carlo]\nmembers = 5\nseed = 1\nuncertainty = {R250 = 2}\n")
                .find("line 5: monte_carlo.uncertainty.R250: expected default or a reaction R1 to R249"),
            std::string::npos);
  // A mechanism file's reactions are all drawn, beyond the built-in 249.
  const std::string isoprene =
      (fs::path(BOXMODEL_SOURCE_DIR) / "tests" / "data" / "mcm" / "mcm331-isoprene.fac").generic_string();
  f.write("iso.toml", "[chemistry]\nmechanism = \"" + isoprene + "\"\n");
  const Definition iso = read_definition(
      f.write("e.toml", "base = \"iso.toml\"\n[monte_carlo]\nmembers = 2\nseed = 1\nuncertainty = {default = 1.1, R1500 = 2}\n"));
  ASSERT_EQ(iso.monte_carlo->uncertainty.size(), 1974u);
  EXPECT_EQ(iso.monte_carlo->uncertainty[1499], (std::pair<int, double>{1500, 2.0}));
  EXPECT_EQ(iso.monte_carlo->uncertainty.back(), (std::pair<int, double>{1974, 1.1}));
  EXPECT_EQ(random_factors(*iso.monte_carlo, 1).size(), 1974u);
  EXPECT_NE(error("base = \"iso.toml\"\n[monte_carlo]\nmembers = 5\nseed = 1\nuncertainty = {R1975 = 2}\n")
                .find("line 5: monte_carlo.uncertainty.R1975: expected default or a reaction R1 to R1974"),
            std::string::npos);
  EXPECT_NE(error("base = \"base.toml\"\n[monte_carlo]\nmembers = 5\nseed = 1\nuncertainty = {R2 = 0.5}\n")
                .find("monte_carlo.uncertainty.R2: expected an uncertainty factor of 1 or more"),
            std::string::npos);
  EXPECT_NE(error("base = \"base.toml\"\nmembers = \"m.csv\"\n[output]\nformats = [\"table\"]\n")
                .find("line 4: output.formats: expected \"netcdf\" or \"csv\""),
            std::string::npos);
  EXPECT_NE(error("base = \"nothing.toml\"\nmembers = \"m.csv\"\n").find("nothing.toml: cannot open the base scenario"),
            std::string::npos);
}

}  // namespace
}  // namespace box::ensemble
