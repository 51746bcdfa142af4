// Observation files and their interpolation in time.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mechanism/parameters.hpp"
#include "environment/observations.hpp"

namespace box {
namespace {

// A file in the test's scratch directory, removed with the object.
class TempFile {
 public:
  explicit TempFile(const std::string& text)
      : path_(std::filesystem::temp_directory_path() /
              ("obs-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
               ".csv")) {
    std::ofstream(path_) << text;
  }
  ~TempFile() { std::filesystem::remove(path_); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The message of the PhysicsInputError that reading `text` throws.
std::string read_error(const std::string& text, std::vector<std::string> select = {}) {
  const TempFile f(text);
  try {
    read_observations(f.path(), select, ValueSource{"scenario.toml", 7, "[constraints] species"});
  } catch (const PhysicsInputError& e) {
    return e.what();
  }
  return "no error";
}

TEST(Interpolation, LinearAndStepBetweenObservationsExactAtThem) {
  const std::vector<double> t = {5.0, 6.0, 8.0};
  const std::vector<double> v = {40.0, 50.0, 30.0};
  EXPECT_EQ(*interpolate(t, v, 5.5, Interpolation::linear), 45.0);
  EXPECT_EQ(*interpolate(t, v, 7.0, Interpolation::linear), 40.0);
  EXPECT_EQ(*interpolate(t, v, 7.0, Interpolation::step), 50.0);
  EXPECT_EQ(*interpolate(t, v, 5.5, Interpolation::step), 40.0);
  for (Interpolation mode : {Interpolation::linear, Interpolation::step})
    for (std::size_t i = 0; i < t.size(); ++i) EXPECT_EQ(*interpolate(t, v, t[i], mode), v[i]);
  // An observation a third of an hour in: exact to rounding.
  EXPECT_NEAR(*interpolate(t, v, 6.0 + 1.0 / 3.0, Interpolation::linear), 50.0 - 20.0 / 6.0, 1e-12);
  // Outside the observations there is no value, except within a rounding
  // error of the ends (a run's clock 0.1 + 0.2 is 0.30000000000000004).
  EXPECT_EQ(*interpolate(t, v, 8.0 + 1e-12, Interpolation::linear), 30.0);
  EXPECT_EQ(*interpolate(t, v, 5.0 - 1e-12, Interpolation::step), 40.0);
  EXPECT_FALSE(interpolate(t, v, 4.999999, Interpolation::linear));
  EXPECT_FALSE(interpolate(t, v, 8.000001, Interpolation::step));
  EXPECT_FALSE(interpolate(t, v, std::nan(""), Interpolation::step));
  EXPECT_FALSE(interpolate({}, {}, 5.0, Interpolation::linear));
  // A single observation serves its own time only.
  EXPECT_EQ(*interpolate(std::vector<double>{5.0}, std::vector<double>{1.0}, 5.0,
                         Interpolation::linear), 1.0);
}

// Missing values (NaN) in a series: across a short gap the line between
// the valid values either side (or the earlier one held), across a long
// one, before the first and after the last valid value nothing.
TEST(Interpolation, AcrossGapsOfMissingValues) {
  const double gap = std::nan("");
  const std::vector<double> t = {5.0, 6.0, 7.0, 11.0, 12.0};
  const std::vector<double> v = {30.0, gap, 36.0, gap, 20.0};
  const auto at = [&](double time, Interpolation mode, double max_gap = 3.0) {
    return interpolate_across_gaps(t, v, time, mode, max_gap);
  };
  // 5 h to 7 h, 2 h apart: 30 + 6 x 1.5 / 2.
  EXPECT_EQ(*at(6.5, Interpolation::linear), 34.5);
  EXPECT_EQ(*at(6.0, Interpolation::linear), 33.0);
  EXPECT_EQ(*at(6.5, Interpolation::step), 30.0);
  EXPECT_EQ(*at(7.0, Interpolation::step), 36.0);
  // 7 h to 12 h, 5 h apart: no value unless 5 h gaps are allowed.
  EXPECT_FALSE(at(9.5, Interpolation::linear));
  EXPECT_FALSE(at(11.0, Interpolation::step));
  EXPECT_EQ(*at(9.5, Interpolation::linear, 5.0), 28.0);
  EXPECT_EQ(*at(9.5, Interpolation::step, 5.0), 36.0);
  EXPECT_EQ(*at(12.0, Interpolation::linear), 20.0);
  // Observations that are far apart without a missing value between them
  // are no gap.
  EXPECT_EQ(*interpolate_across_gaps(std::vector<double>{5.0, 15.0}, std::vector<double>{10.0, 20.0}, 10.0,
                                     Interpolation::linear, 0.5),
            15.0);
  // Nothing before the first valid value or after the last.
  const std::vector<double> late = {gap, 31.0, 32.0}, early = {31.0, 32.0, gap};
  const std::vector<double> three = {5.0, 6.0, 7.0};
  EXPECT_FALSE(interpolate_across_gaps(three, late, 5.5, Interpolation::linear, 3.0));
  EXPECT_FALSE(interpolate_across_gaps(three, early, 6.5, Interpolation::step, 3.0));
  EXPECT_FALSE(interpolate_across_gaps(three, early, 7.0, Interpolation::linear, 3.0));
  EXPECT_EQ(*interpolate_across_gaps(three, late, 6.0, Interpolation::linear, 3.0), 31.0);
}

TEST(Interpolation, NamesOfTheModes) {
  const ValueSource key{"s.toml", 3, "[constraints] interpolation"};
  EXPECT_EQ(interpolation_from_name("linear", key), Interpolation::linear);
  EXPECT_EQ(interpolation_from_name("step", key), Interpolation::step);
  try {
    interpolation_from_name("cubic", key);
    FAIL();
  } catch (const PhysicsInputError& e) {
    EXPECT_STREQ(e.what(), "s.toml: line 3: [constraints] interpolation: expected \"linear\" or "
                           "\"step\", found \"cubic\"");
  }
}

TEST(ObservationFile, ReadsTheHeaderAndRecords) {
  const TempFile f(
      "# observed at the site\n"
      "time_h, O3 ,no2,CO\r\n"
      "\n"
      "5,40.5,8,150\n"
      "6.5,42,7.25,1.5e2\n");
  const ObservationTable all = read_observations(f.path());
  EXPECT_EQ(all.file, f.path().string());
  EXPECT_EQ(all.time_h, (std::vector<double>{5.0, 6.5}));
  EXPECT_EQ(all.line, (std::vector<int>{4, 5}));
  ASSERT_EQ(all.columns.size(), 3u);
  EXPECT_EQ(all.columns[1].species, "NO2");
  EXPECT_EQ(all.columns[1].index, ind_no2);
  EXPECT_EQ(all.columns[1].ppb, (std::vector<double>{8.0, 7.25}));
  ASSERT_NE(all.find("co"), nullptr);
  EXPECT_EQ(all.find("co")->ppb[1], 150.0);
  EXPECT_EQ(all.find("HCHO"), nullptr);
  EXPECT_EQ(*all.value_ppb(*all.find("O3"), 5.75, Interpolation::linear), 41.25);

  // A selection keeps the selected columns in its own order.
  const std::vector<std::string> select = {"CO", "O3"};
  const ObservationTable some = read_observations(f.path(), select);
  ASSERT_EQ(some.columns.size(), 2u);
  EXPECT_EQ(some.columns[0].species, "CO");
  EXPECT_EQ(some.columns[1].species, "O3");

  // A family's total (NOy) is a column of its own, kept apart and not held;
  // a total the file lacks is an error.
  const TempFile totals("time_h,NOy,O3\n5,12.5,40\n6,13,41\n");
  const std::vector<std::string> noy = {"NOy"};
  const ObservationTable with_total = read_observations(totals.path(), {}, {}, noy);
  ASSERT_EQ(with_total.columns.size(), 1u);
  EXPECT_EQ(with_total.columns[0].species, "O3");
  ASSERT_EQ(with_total.totals.size(), 1u);
  EXPECT_EQ(with_total.totals[0].ppb, (std::vector<double>{12.5, 13.0}));
  EXPECT_THROW(read_observations(totals.path()), InputError);
  const std::vector<std::string> missing = {"NOz"};
  EXPECT_THROW(read_observations(totals.path(), {}, {}, missing), InputError);
}

TEST(ObservationFile, ErrorsNameTheFileLineAndColumn) {
  const std::string header = "time_h,O3,NO2\n";
  // Each file's text and the end of its message (after the file's name).
  const struct {
    std::string text, message;
  } cases[] = {
      {header + "5,40,x8\n", "line 2: column 3 (NO2): expected a number, found \"x8\""},
      {header + "5,40,8\n6,41\n", "line 3: expected 3 values, found 2"},
      {header + "5,40,8\n6,41,8,1\n", "line 3: expected 3 values, found 4"},
      {header + "5,40,-\n", "line 2: column 3 (NO2): expected a number, found \"-\""},
      {header + "5,40,8\n5,41,8\n", "line 3: column 1 (time_h): 5 h does not follow 5 h of line 2"},
      {header + "5,-1,8\n", "line 2: column 2 (O3): expected a mixing ratio of 0 ppb or more"},
      {header + "5,inf,8\n", "line 2: column 2 (O3): expected a number, found \"inf\""},
      {"time_h,O3,OZONE\n5,1,2\n", "line 1: column 3: \"OZONE\" is no species of the mechanism"},
      {"time_h,O3,M\n5,1,2\n", "line 1: column 3: \"M\" is no species of the mechanism"},
      {"time_h,O3,o3\n5,1,2\n", "line 1: column 3: O3 a second time"},
      {"hour,O3\n5,1\n",
       "line 1: column 1: expected the header time_h,<species>,..., found \"hour\""},
      {header, "line 1: expected at least one record after the header"},
      {"", "expected the header time_h,<species>,..."},
  };
  for (const auto& c : cases) {
    const std::string message = read_error(c.text);
    const std::string tail = ".csv: " + c.message;
    EXPECT_TRUE(message.size() > tail.size() &&
                message.compare(message.size() - tail.size(), tail.size(), tail) == 0)
        << message;
  }
  const std::string missing = read_error(header + "5,40,8\n", {"O3", "CO"});
  EXPECT_EQ(missing.rfind("scenario.toml: line 7: [constraints] species: CO is not a column of ", 0), 0u)
      << missing;
  try {
    read_observations("/nonexistent/obs.csv");
    FAIL();
  } catch (const PhysicsInputError& e) {
    EXPECT_STREQ(e.what(), "/nonexistent/obs.csv: cannot open the observation file");
  }
  // A folder named as the file is said to be one.
  const std::filesystem::path folder = std::filesystem::temp_directory_path();
  try {
    read_observations(folder);
    FAIL();
  } catch (const PhysicsInputError& e) {
    EXPECT_EQ(std::string(e.what()), folder.string() + ": cannot read the observation file: it is a directory");
  }
  // A spreadsheet's byte-order mark is no part of the header.
  const TempFile marked("\xEF\xBB\xBFtime_h,O3\n5,40\n");
  EXPECT_EQ(read_observations(marked.path()).columns.at(0).ppb.at(0), 40.0);
}

// Empty cells, NaN in any case and the declared marker are missing values;
// with a selection, the other columns are listed, not read, whatever their
// names.
TEST(ObservationFile, MissingValuesAndColumnsNotSelected) {
  const TempFile f(
      "time_h,O3,NO2,temp_C,CO\n"
      "5,30,,20,NaN\n"
      "6,nan,8,21,-999\n"
      "7,-999,NAN,broken,100\n");
  const std::vector<std::string> select = {"O3", "NO2", "CO"};
  const ObservationTable t = read_observations(f.path(), select, {}, {}, nullptr, -999.0);
  EXPECT_EQ(t.unused, (std::vector<std::string>{"temp_C"}));
  ASSERT_EQ(t.columns.size(), 3u);
  const auto missing = [](const ObservationColumn& c) {
    std::vector<bool> m;
    for (double v : c.ppb) m.push_back(std::isnan(v));
    return m;
  };
  EXPECT_EQ(missing(t.columns[0]), (std::vector<bool>{false, true, true}));
  EXPECT_EQ(missing(t.columns[1]), (std::vector<bool>{true, false, true}));
  EXPECT_EQ(missing(t.columns[2]), (std::vector<bool>{true, true, false}));
  EXPECT_EQ(t.columns[0].ppb[0], 30.0);
  EXPECT_EQ(t.columns[2].ppb[2], 100.0);
  // Without the marker, -999 is a value, and refused.
  try {
    read_observations(f.path(), select);
    FAIL();
  } catch (const PhysicsInputError& e) {
    EXPECT_NE(std::string(e.what()).find("line 3: column 5 (CO): expected a mixing ratio of 0 ppb or more"),
              std::string::npos)
        << e.what();
  }
  // Without a selection every column must name a species.
  EXPECT_NE(read_error("time_h,O3,temp_C\n5,1,2\n").find("\"temp_C\" is no species"), std::string::npos);
}

TEST(ObservationFile, TimesOutsideTheObservationsAreErrors) {
  const TempFile f("time_h,O3\n\n5,40\n6,50\n7,45\n");
  const ObservationTable table = read_observations(f.path());
  const std::string file = f.path().string();
  EXPECT_NO_THROW(table.require_covers(5.0, 7.0));
  try {
    table.require_covers(5.0, 22.0);
    FAIL();
  } catch (const PhysicsInputError& e) {
    EXPECT_EQ(std::string(e.what()), file + ": the observations run from 5 h (line 3) to 7 h "
                                            "(line 5); the run needs 5 h to 22 h");
  }
  try {
    table.value_ppb(table.columns[0], 4.5, Interpolation::step);
    FAIL();
  } catch (const PhysicsInputError& e) {
    EXPECT_EQ(std::string(e.what()), file + ": no observation of O3 at 4.5 h: the observations run "
                                            "from 5 h (line 3) to 7 h (line 5)");
  }
}

}  // namespace
}  // namespace box
