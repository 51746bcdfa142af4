// Time-series CSV files: real-world layout, gaps, interpolation, errors.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "common/errors.hpp"
#include "environment/time_series.hpp"
#include "tests/support/scratch_dir.hpp"

namespace box {
namespace {

bool met_column(std::string_view name) { return name != "site" && name != "flag"; }

TEST(TimeSeries, ReadsFilesAsTheyComeAndBridgesGaps) {
  // A byte-order mark, LF, CRLF and a lone CR, comments, a blank line,
  // quoted names, a D exponent, gaps, and two columns the model ignores
  // (one holds text).
  const std::string text =
      "\xEF\xBB\xBF# campaign met\n"
      "\"time_h\",temperature_K,site,J4,flag\r\n"
      "1.0, 290, ridge, 1.0D-3, ok\r"
      "2.0, , ridge, ,\n"
      "\n"
      "4.0, 296, ridge, 4.0e-3, bad  # calibration\n"
      "5.0, 297, , , x\n";
  const TimeSeries s = parse_time_series(text, "met.csv", met_column);
  ASSERT_EQ(s.columns.size(), 2u);
  EXPECT_EQ(s.unused, (std::vector<std::string>{"site", "flag"}));
  const TimeSeriesColumn& t = s.column("TEMPERATURE_K", "test");
  EXPECT_EQ(t.column, 2);
  EXPECT_EQ(t.time_h, (std::vector<double>{1.0, 4.0, 5.0}));
  EXPECT_EQ(t.line, (std::vector<int>{3, 6, 7}));  // the lone CR ends line 3
  const TimeSeriesColumn& j = *s.find("J4");
  EXPECT_EQ(j.values, (std::vector<double>{1.0e-3, 4.0e-3}));
  // Linear across the gap at 2 h: a third of the way from 290 to 296.
  EXPECT_EQ(t.at(2.0, Interpolation::linear), 292.0);
  EXPECT_EQ(t.at(1.0, Interpolation::linear), 290.0);
  EXPECT_EQ(t.at(4.5, Interpolation::linear), 296.5);
  // Step: the last value at or before the time, across the gap too.
  EXPECT_EQ(t.at(3.99, Interpolation::step), 290.0);
  EXPECT_EQ(t.at(4.0, Interpolation::step), 296.0);
  // J4 ends at 4 h: it does not cover a run to 5 h, the temperature does.
  s.require_covers(t, 1.0, 5.0 + 1e-12);
  try {
    s.require_covers(j, 1.5, 5.0);
    ADD_FAILURE();
  } catch (const InputError& e) {
    EXPECT_STREQ(e.what(), "met.csv: column 4 (J4) runs from 1 h (line 3) to 4 h (line 6); "
                           "the run needs 1.5 h to 5 h");
  }
  // Without a filter every column is read (the text column then fails).
  EXPECT_THROW(parse_time_series(text, "met.csv"), InputError);
}

std::string error_of(const std::string& text) {
  try {
    const TimeSeries s = parse_time_series(text, "met.csv", met_column);
    s.column("pressure_Pa", "[environment] file");
  } catch (const InputError& e) {
    return e.what();
  }
  return "no error";
}

TEST(TimeSeries, EachErrorNamesFileLineAndColumn) {
  EXPECT_EQ(error_of(""), "met.csv: the file is empty: expected the header time_h,<name>,...");
  EXPECT_EQ(error_of("\xEF\xBB\xBF# only a comment\r\n"),
            "met.csv: the file is empty: expected the header time_h,<name>,...");
  EXPECT_EQ(error_of("time_h,pressure_Pa\n"),
            "met.csv: line 1: expected at least one record after the header");
  EXPECT_EQ(error_of("hour,pressure_Pa\n1,2\n"),
            "met.csv: line 1: column 1: expected the header time_h,<name>,..., found \"hour\"");
  EXPECT_EQ(error_of("time_h,pressure_Pa,Pressure_pa\n"),
            "met.csv: line 1: column 3: Pressure_pa a second time (column 2)");
  EXPECT_EQ(error_of("time_h,pressure_Pa,\n"), "met.csv: line 1: column 3: expected a name, found none");
  EXPECT_EQ(error_of("time_h,pressure_Pa\n1,100000\n2,100000,5\n"),
            "met.csv: line 3: expected 2 cells as in the header, found 3");
  EXPECT_EQ(error_of("time_h,pressure_Pa\n1,100000\n2,1e5x\n"),
            "met.csv: line 3: column 2 (pressure_Pa): expected a number, found \"1e5x\"");
  EXPECT_EQ(error_of("time_h,pressure_Pa\n1,nan\n"),
            "met.csv: line 2: column 2 (pressure_Pa): expected a number, found \"nan\"");
  EXPECT_EQ(error_of("time_h,pressure_Pa\r\n1,100000\r\n2,-3\r\n"),
            "met.csv: line 3: column 2 (pressure_Pa): expected a value of 0 or more, found -3");
  EXPECT_EQ(error_of("time_h,pressure_Pa\n1,100000\n1,100000\n"),
            "met.csv: line 3: column 1 (time_h): 1 h does not follow 1 h of line 2");
  EXPECT_EQ(error_of("time_h,pressure_Pa\n1,100000\n,100000\n"),
            "met.csv: line 3: column 1 (time_h): expected a number, found \"\"");
  EXPECT_EQ(error_of("time_h,temperature_K\n1,290\n"),
            "met.csv: no column pressure_Pa (wanted by [environment] file)");
  const TimeSeries gaps = parse_time_series("time_h,J4\n1,\n2,\n", "j.csv");
  try {
    gaps.require_covers(gaps.columns.front(), 1.0, 2.0);
    ADD_FAILURE();
  } catch (const InputError& e) {
    EXPECT_STREQ(e.what(), "j.csv: column 2 (J4) has no values; the run needs 1 h to 2 h");
  }
}

TEST(TimeSeries, ReadsAFileOnDisk) {
  const testing::ScratchDir scratch;
  const auto path = scratch.dir() / "met.csv";
  std::ofstream(path, std::ios::binary) << "time_h,pressure_Pa\r\n0,101325\r\n24,100000\r\n";
  const TimeSeries s = read_time_series(path);
  EXPECT_EQ(s.file, path.string());
  EXPECT_EQ(s.columns.front().at(12.0, Interpolation::linear), 100662.5);
  EXPECT_THROW(read_time_series(scratch.dir() / "absent.csv"), InputError);
}

}  // namespace
}  // namespace box
