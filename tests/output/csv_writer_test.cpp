// species.csv read back: the header names, one row per sample, and every
// number parsing back (strtod) to exactly the double that was written.
#include "output/csv_writer.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/errors.hpp"
#include "mechanism/parameters.hpp"
#include "output/species_selection.hpp"
#include "tests/output/samples.hpp"
#include "tests/support/scratch_dir.hpp"

namespace box {
namespace {

namespace fs = std::filesystem;
using testing::sample_run;
using testing::samples;
using testing::ScratchDir;

std::vector<std::vector<std::string>> read_csv(const fs::path& path) {
  std::ifstream in(path);
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    std::istringstream fields_in(line);
    for (std::string field; std::getline(fields_in, field, ',');) fields.push_back(field);
    rows.push_back(fields);
  }
  return rows;
}

double parse(const std::string& field) {
  char* end = nullptr;
  const double value = std::strtod(field.c_str(), &end);
  EXPECT_EQ(*end, '\0') << field;
  return value;
}

const std::vector<int> some_species = {ind_o3,  ind_no,   ind_no2, ind_ho,
                                       ind_ho2, ind_hcho, ind_br2, ind_m};

TEST(CsvSpeciesWriter, HeaderAndRowsReadBackExactlyInPpb) {
  ScratchDir scratch;
  CsvSpeciesWriter writer(scratch.dir(), some_species);
  writer.begin(sample_run());
  for (const OutputSample& s : samples()) writer.sample(s);
  writer.finish();

  const auto rows = read_csv(scratch.dir() / "species.csv");
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"time_h", "O3", "NO", "NO2", "HO", "HO2", "HCHO",
                                               "BR2", "M"}));
  for (std::size_t n = 0; n < samples().size(); ++n) {
    const OutputSample s = samples()[n];
    ASSERT_EQ(rows[n + 1].size(), some_species.size() + 1);
    EXPECT_EQ(parse(rows[n + 1][0]), s.time_h);
    for (std::size_t k = 0; k < some_species.size(); ++k)
      EXPECT_EQ(parse(rows[n + 1][k + 1]), s.mole_fraction[at(some_species[k])] * 1e9)
          << rows[0][k + 1] << " at row " << n + 1;
  }
  // Whole numbers print without decoration; M (mole fraction 1) is 1e9 ppb.
  EXPECT_EQ(rows[1][0], "5");
  EXPECT_EQ(rows[1].back(), "1000000000");
}

TEST(CsvSpeciesWriter, AllSpeciesGiveEightyColumnsInMechanismOrder) {
  ScratchDir scratch;
  CsvSpeciesWriter writer(scratch.dir(), all_species());
  writer.begin(sample_run());
  writer.sample(samples()[0]);
  writer.finish();
  const auto rows = read_csv(scratch.dir() / "species.csv");
  ASSERT_EQ(rows.size(), 2u);
  ASSERT_EQ(rows[0].size(), 81u);
  EXPECT_EQ(rows[0][1], "SULF");
  EXPECT_EQ(rows[0][78], "NO2");
  EXPECT_EQ(rows[0][79], "H2O");
  EXPECT_EQ(rows[1].size(), 81u);
}

TEST(CsvSpeciesWriter, OnlyAFinishedFileHasTheFinalName) {
  ScratchDir scratch;
  const fs::path final_path = scratch.dir() / "species.csv";
  const fs::path partial = scratch.dir() / "species.csv.partial";
  std::ofstream(final_path) << "an earlier run\n";
  {
    CsvSpeciesWriter writer(scratch.dir(), table_species());
    EXPECT_TRUE(fs::exists(final_path)) << "nothing happens before begin()";
    writer.begin(sample_run());
    writer.sample(samples()[0]);
    writer.sample(samples()[1]);
    // Each row is on disk as soon as it is sampled; the earlier run's file
    // stays whole until this one is complete.
    EXPECT_EQ(read_csv(partial).size(), 3u);
    EXPECT_EQ(read_csv(final_path).size(), 1u);
    writer.finish();
    EXPECT_TRUE(fs::exists(final_path));
    EXPECT_FALSE(fs::exists(partial));
  }
  EXPECT_EQ(read_csv(final_path).size(), 3u);

  // A run that fails: the writer goes away without finish(), and the
  // earlier complete file is as it was.
  {
    CsvSpeciesWriter writer(scratch.dir(), table_species());
    writer.begin(sample_run());
    writer.sample(samples()[0]);
  }
  EXPECT_EQ(read_csv(final_path).size(), 3u);
  EXPECT_EQ(read_csv(partial).size(), 2u);

  // The next run in the folder starts the .partial file afresh: its file
  // holds one header and its own rows only.
  {
    CsvSpeciesWriter writer(scratch.dir(), table_species());
    writer.begin(sample_run());
    writer.sample(samples()[2]);
    writer.finish();
  }
  const auto rows = read_csv(final_path);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0], "time_h");
  EXPECT_EQ(parse(rows[1][0]), samples()[2].time_h);
}

TEST(CsvSpeciesWriter, UnwritableDirectoryIsAnOutputErrorNamingTheFile) {
  ScratchDir scratch;
  const std::string message = testing::begin_error<CsvSpeciesWriter>(scratch.dir() / "missing");
  EXPECT_NE(message.find("missing/species.csv"), std::string::npos) << message;
}

TEST(CsvSpeciesWriter, FullDiskIsAnOutputError) {
  // /dev/full accepts the open and fails every write with ENOSPC.
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  ScratchDir scratch;
  fs::create_symlink("/dev/full", scratch.dir() / "species.csv.partial");
  CsvSpeciesWriter writer(scratch.dir(), table_species());
  EXPECT_THROW(writer.begin(sample_run()), OutputError);
}

TEST(CsvSpeciesWriter, SelectionMustHoldSpeciesIndices) {
  EXPECT_THROW(CsvSpeciesWriter("out", {0}), std::invalid_argument);
  EXPECT_THROW(CsvSpeciesWriter("out", {nspec + 1}), std::invalid_argument);
  EXPECT_THROW(CsvSpeciesWriter("out", {ind_o3, ind_o3}), std::invalid_argument);
}

}  // namespace
}  // namespace box
