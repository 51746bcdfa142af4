#pragma once
// Time series of measured quantities: a CSV file with the header
//
//   time_h,<name>,<name>,...
//
// and one record per line; time_h in local hours of the run's clock
// (strictly increasing, any spacing), each value in the units its column's
// name states (temperature_K, pressure_Pa, J4 in s-1, ...). The reader takes
// files as they come: a leading UTF-8 byte-order mark, LF, CRLF or CR line
// ends mixed, comments from '#' to the end of any line, blank lines,
// quoted cells, Fortran D exponents. An empty cell is a gap in its column:
// the column's values on either side of it are interpolated across it.
// Columns the caller does not use are listed, not read.
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "environment/observations.hpp"

namespace box {

struct TimeSeriesColumn {
  std::string name;            // as the header writes it
  int column = 0;              // position in the record, 1 being time_h
  std::vector<double> time_h;  // the times of the column's values (its gaps left out)
  std::vector<double> values;
  std::vector<int> line;       // the file line of each value

  // The value at time t between the column's neighbouring values (linear)
  // or the last value at or before t (step). Outside the column's values
  // the nearer end value: coverage is checked once, when the run is set up
  // (TimeSeries::require_covers), so evaluation never fails.
  double at(double t, Interpolation mode) const;
};

struct TimeSeries {
  std::string file;
  std::vector<TimeSeriesColumn> columns;  // the columns used, in the file's order
  std::vector<std::string> unused;        // the other columns' names, in the file's order

  // The column `name` (any case), or null.
  const TimeSeriesColumn* find(std::string_view name) const;

  // The column `name`; without it an InputError naming the file, the
  // column and who wants it (`wanted_by`, e.g. "[photolysis] scale_to_observed").
  const TimeSeriesColumn& column(std::string_view name, std::string_view wanted_by) const;

  // An InputError naming the file, the column, the times and lines of its
  // first and last values and the run's span unless every time of
  // [first_h, last_h] lies within the column's values (to 1e-9 h, a
  // rounding error of the run's clock).
  void require_covers(const TimeSeriesColumn& c, double first_h, double last_h) const;
};

// Which header names the caller uses (all of them when empty).
using ColumnFilter = std::function<bool(std::string_view name)>;

// Reads a time series. Errors (InputError naming the file, the line and
// the column): a file that cannot be read, is empty or has no records; a
// header without time_h first, a name empty or twice (in any case); a
// record with more or fewer cells than the header; a time empty, not a
// number or not after the previous one; a used column's value that is not
// a finite number or is negative.
TimeSeries read_time_series(const std::filesystem::path& file, const ColumnFilter& used = {});

// The same from text in memory, `file` naming it in messages.
TimeSeries parse_time_series(std::string_view text, const std::string& file,
                             const ColumnFilter& used = {});

}  // namespace box
