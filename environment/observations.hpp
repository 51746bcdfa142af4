#pragma once
// Observed mixing ratios to hold species to: a CSV file with a header
// "time_h,<species>,..." and one record per line (time in hours of the
// run's clock, values in ppb), and their interpolation in time.
//
// Campaign files have gaps: one instrument down while the others run. A
// missing value (an empty cell, NaN in any case, or the file's declared
// marker such as -999) is kept as a quiet NaN in its column; across a short
// gap the column is interpolated between the valid values either side, and
// where there is no valid value near enough the species is not held.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "environment/value_source.hpp"

namespace box {

// How a value between two observations is found: on the straight line
// between them, or as the earlier one held until the next.
enum class Interpolation { linear, step };

// "linear" or "step"; anything else is an error naming `at`.
Interpolation interpolation_from_name(std::string_view name, const ValueSource& at);

// The value at time t of the series (times strictly increasing, at least
// one), or nothing when t lies before the first or after the last time by
// more than a rounding error (1e-9 h; within it, t is taken as that end).
std::optional<double> interpolate(std::span<const double> times, std::span<const double> values,
                                  double t, Interpolation mode);

// The value at time t of a series whose missing values are NaN: at a valid
// observation its value; between the valid observations either side of t
// (linear, or the earlier held for step) when no value is missing between
// them or they lie at most `max_gap_h` apart; otherwise (a longer gap,
// before the first or after the last valid value, t outside the times)
// nothing. A series without missing values gives interpolate()'s value.
std::optional<double> interpolate_across_gaps(std::span<const double> times, std::span<const double> values,
                                              double t, Interpolation mode, double max_gap_h);

// A span of hours where a column has no value to hold to.
struct ObservationGap {
  double from_h = 0.0, to_h = 0.0;
  enum class Kind { longer_than_max, before_first, after_last, no_value } kind = Kind::longer_than_max;
};

struct ObservationColumn {
  std::string species;  // the mechanism's name (upper case for the built-in one)
  int index = 0;        // mechanism species (built-in: 1..78, or 79 for H2O)
  std::vector<double> ppb;  // NaN where the value is missing
};

struct ObservationTable {
  std::string file;
  std::vector<double> time_h;  // strictly increasing
  std::vector<int> line;       // the file line of each record
  std::vector<ObservationColumn> columns;
  // Columns of observed totals that are no species (a family's, such as
  // NOy), index 0; not held themselves.
  std::vector<ObservationColumn> totals;
  // The columns no constraint selects, as the header writes them: not read.
  std::vector<std::string> unused;
  // The longest gap (hours between the valid values either side of missing
  // ones) that a column is interpolated across.
  double max_gap_h = 3.0;

  // The column of `species` (any case), or null.
  const ObservationColumn* find(std::string_view species) const;

  // Errors naming the file and the records at its ends unless every time
  // of [first_h, last_h] lies within the observations.
  void require_covers(double first_h, double last_h) const;

  // The column's value (ppb) at time_h, or nothing where the column has no
  // value near enough (interpolate_across_gaps); outside the observations
  // an error naming the file, the species, the time and the records at the
  // ends.
  std::optional<double> value_ppb(const ObservationColumn& column, double time_h, Interpolation mode) const;

  // The spans of [first_h, last_h] where the column has no value to hold
  // to, in time order (steps starting there leave its species free).
  std::vector<ObservationGap> gaps(const ObservationColumn& column, double first_h, double last_h) const;
};

// How the columns' names are matched to a mechanism's species: the 1-based
// species of a name (0: none), the mechanism's own spelling of it, and the
// words that say a column names none ("\"X\" is no species of the
// mechanism"). Unset: the built-in mechanism's names (M is no column).
struct ColumnSpecies {
  std::function<int(std::string_view)> index;
  std::function<std::string(int)> name;
  std::function<std::string(std::string_view)> unknown;
};

// Reads an observation file. `species` selects the columns kept, in that
// order (all of the file's, in its order, when empty; every column must then
// name a species or a total); a selected species missing from the file is
// an error naming `selection` and the file. With a selection, the columns
// it does not select (nor `totals`) are listed in `unused`, whatever their
// names, and their cells are not read. An empty cell, NaN (any case) and
// `missing_value` are missing values.
// Errors name the file, the line and the column: an unknown species, a
// species twice, a record with too few or too many values, a value that is
// not a finite non-negative number, times not strictly increasing, no
// records. `totals` names columns that are no species but observed totals
// (of the families held to them), kept apart in `totals`; a name missing
// from the file is an error too. Columns name species of `naming` (the
// built-in mechanism's when null).
ObservationTable read_observations(const std::filesystem::path& file,
                                   std::span<const std::string> species = {},
                                   const ValueSource& selection = {},
                                   std::span<const std::string> totals = {},
                                   const ColumnSpecies* naming = nullptr,
                                   std::optional<double> missing_value = std::nullopt);

}  // namespace box
