#pragma once
// Observed mixing ratios to hold species to: a CSV file with a header
// "time_h,<species>,..." and one record per line (time in hours of the
// run's clock, values in ppb), and their interpolation in time.
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

struct ObservationColumn {
  std::string species;  // the mechanism's name (upper case for the built-in one)
  int index = 0;        // mechanism species (built-in: 1..78, or 79 for H2O)
  std::vector<double> ppb;
};

struct ObservationTable {
  std::string file;
  std::vector<double> time_h;  // strictly increasing
  std::vector<int> line;       // the file line of each record
  std::vector<ObservationColumn> columns;
  // Columns of observed totals that are no species (a family's, such as
  // NOy), index 0; not held themselves.
  std::vector<ObservationColumn> totals;

  // The column of `species` (any case), or null.
  const ObservationColumn* find(std::string_view species) const;

  // Errors naming the file and the records at its ends unless every time
  // of [first_h, last_h] lies within the observations.
  void require_covers(double first_h, double last_h) const;

  // The column's value (ppb) at time_h; outside the observations an error
  // naming the file, the species, the time and the records at the ends.
  double value_ppb(const ObservationColumn& column, double time_h, Interpolation mode) const;
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
// order (all of the file's, in its order, when empty); a selected species
// missing from the file is an error naming `selection` and the file.
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
                                   const ColumnSpecies* naming = nullptr);

}  // namespace box
