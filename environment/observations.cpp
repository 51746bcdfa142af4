#include "environment/observations.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

#include "mechanism/species_lookup.hpp"
#include "common/csv.hpp"
#include "mechanism/parameters.hpp"

namespace box {

Interpolation interpolation_from_name(std::string_view name, const ValueSource& at) {
  if (name == "linear") return Interpolation::linear;
  if (name == "step") return Interpolation::step;
  throw PhysicsInputError(at.describe() + ": expected \"linear\" or \"step\", found \"" +
                          std::string(name) + "\"");
}

namespace {

// The run's clock (start + steps x step / 3600) and a file's decimal time
// of the same instant can differ in the last place; a time this close to
// the first or last observation (3.6 microseconds, far below any step)
// counts as that observation's.
constexpr double end_slack_h = 1e-9;

}  // namespace

std::optional<double> interpolate(std::span<const double> times, std::span<const double> values, double t,
                                  Interpolation mode) {
  // Without missing values no gap is ever too long.
  return interpolate_across_gaps(times, values, t, mode, std::numeric_limits<double>::infinity());
}

std::optional<double> interpolate_across_gaps(std::span<const double> times, std::span<const double> values,
                                              double t, Interpolation mode, double max_gap_h) {
  if (times.empty() || !(t >= times.front() - end_slack_h) || !(t <= times.back() + end_slack_h))
    return std::nullopt;
  t = std::clamp(t, times.front(), times.back());
  // The last observation at or before t; at an observation's own time its
  // value is returned as it stands.
  const auto after = std::upper_bound(times.begin(), times.end(), t);
  const auto j = static_cast<std::size_t>(after - times.begin()) - 1;
  const auto valid = [&](std::size_t i) { return !std::isnan(values[i]); };
  if (times[j] == t && valid(j)) return values[j];
  // The valid observations either side of t.
  std::size_t before = j + 1;
  while (before > 0 && !valid(before - 1)) --before;
  std::size_t next = j + 1;
  while (next < times.size() && !valid(next)) ++next;
  if (before == 0 || next == times.size()) return std::nullopt;
  const std::size_t a = before - 1;
  if (next - a > 1 && times[next] - times[a] > max_gap_h) return std::nullopt;
  if (mode == Interpolation::step) return values[a];
  const double w = (t - times[a]) / (times[next] - times[a]);
  return values[a] + (values[next] - values[a]) * w;
}

namespace {

std::string hours(double t) {
  std::ostringstream s;
  s << t << " h";
  return s.str();
}

// An empty cell or NaN (any case): no value in this record.
bool missing(std::string_view cell) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return cell.empty() || (cell.size() == 3 && lower(cell[0]) == 'n' && lower(cell[1]) == 'a' && lower(cell[2]) == 'n');
}

class Reader {
 public:
  explicit Reader(std::string file) : file_(std::move(file)) {}
  [[noreturn]] void fail(int line, const std::string& what) const {
    throw PhysicsInputError(csv::position(file_, line) + ": " + what);
  }
  double number(std::string_view cell, int line, std::string_view column) const {
    double v = 0.0;
    const auto [end, ec] = std::from_chars(cell.data(), cell.data() + cell.size(), v);
    if (cell.empty() || ec != std::errc{} || end != cell.data() + cell.size() || !std::isfinite(v))
      fail(line, "column " + std::string(column) + ": expected a number, found \"" +
                     std::string(cell) + "\"");
    return v;
  }

 private:
  std::string file_;
};

}  // namespace

const ObservationColumn* ObservationTable::find(std::string_view species) const {
  const int index = species_index(species);
  for (const ObservationColumn& c : columns)
    if (index != 0 && c.index == index) return &c;
  return nullptr;
}

void ObservationTable::require_covers(double first_h, double last_h) const {
  if (first_h >= time_h.front() - end_slack_h && last_h <= time_h.back() + end_slack_h) return;
  throw PhysicsInputError(file + ": the observations run from " + hours(time_h.front()) +
                          " (line " + std::to_string(line.front()) + ") to " +
                          hours(time_h.back()) + " (line " + std::to_string(line.back()) +
                          "); the run needs " + hours(first_h) + " to " + hours(last_h));
}

std::optional<double> ObservationTable::value_ppb(const ObservationColumn& column, double t,
                                                  Interpolation mode) const {
  if (t >= time_h.front() - end_slack_h && t <= time_h.back() + end_slack_h)
    return interpolate_across_gaps(time_h, column.ppb, t, mode, max_gap_h);
  throw PhysicsInputError(file + ": no observation of " + column.species + " at " + hours(t) +
                          ": the observations run from " + hours(time_h.front()) + " (line " +
                          std::to_string(line.front()) + ") to " + hours(time_h.back()) +
                          " (line " + std::to_string(line.back()) + ")");
}

std::vector<ObservationGap> ObservationTable::gaps(const ObservationColumn& column, double first_h,
                                                  double last_h) const {
  using Kind = ObservationGap::Kind;
  std::vector<ObservationGap> found;
  std::vector<std::size_t> valid;
  for (std::size_t i = 0; i < column.ppb.size(); ++i)
    if (!std::isnan(column.ppb[i])) valid.push_back(i);
  if (valid.empty()) return {{first_h, last_h, Kind::no_value}};
  const double first = time_h[valid.front()], last = time_h[valid.back()];
  if (first_h < first - end_slack_h) found.push_back({first_h, first, Kind::before_first});
  for (std::size_t v = 0; v + 1 < valid.size(); ++v) {
    const std::size_t a = valid[v], b = valid[v + 1];
    if (b - a > 1 && time_h[b] - time_h[a] > max_gap_h && time_h[a] < last_h && time_h[b] > first_h)
      found.push_back({time_h[a], time_h[b], Kind::longer_than_max});
  }
  if (last_h > last + end_slack_h) found.push_back({last, last_h, Kind::after_last});
  return found;
}

ObservationTable read_observations(const std::filesystem::path& path,
                                   std::span<const std::string> species,
                                   const ValueSource& selection,
                                   std::span<const std::string> totals,
                                   const ColumnSpecies* naming, std::optional<double> missing_value) {
  const auto index_of = [&](std::string_view name) {
    if (naming != nullptr) return naming->index(name);
    const int index = species_index(name);
    return index == ind_m ? 0 : index;
  };
  ObservationTable table;
  table.file = path.string();
  const Reader reader(table.file);
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored))
    throw PhysicsInputError(table.file + ": cannot read the observation file: it is a directory");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PhysicsInputError(table.file + ": cannot open the observation file");
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) throw PhysicsInputError(table.file + ": read error");

  int line = 0;
  std::vector<ObservationColumn> all;
  std::vector<bool> read;  // per column of `all`: its cells are read
  bool header = false;
  csv::Table lines;
  try {
    lines = csv::parse(text, table.file);
  } catch (const InputError& e) {
    throw PhysicsInputError(e.what());
  }
  for (const csv::Line& l : lines.lines) {
    line = l.number;
    std::vector<std::string_view> cells;
    for (const csv::Cell& c : l.cells) cells.emplace_back(c.text);
    if (!header) {
      header = true;
      if (cells.front() != "time_h")
        reader.fail(line, "column 1: expected the header time_h,<species>,..., found \"" +
                              std::string(cells.front()) + "\"");
      for (std::size_t c = 1; c < cells.size(); ++c) {
        const std::string column = "column " + std::to_string(c + 1);
        read.push_back(true);
        if (std::find(totals.begin(), totals.end(), cells[c]) != totals.end()) {
          all.push_back({std::string(cells[c]), 0, {}});
          continue;
        }
        const int index = index_of(cells[c]);
        // With a selection, a column it does not name is left unread.
        if (!species.empty() && (index == 0 || std::none_of(species.begin(), species.end(), [&](const std::string& s) {
                                   return index_of(s) == index;
                                 }))) {
          table.unused.emplace_back(cells[c]);
          all.push_back({std::string(cells[c]), 0, {}});
          read.back() = false;
          continue;
        }
        if (index == 0)
          reader.fail(line, column + ": " + (naming != nullptr ? naming->unknown(cells[c])
                                                               : "\"" + std::string(cells[c]) +
                                                                     "\" is no species of the mechanism"));
        for (const ObservationColumn& seen : all)
          if (seen.index != 0 && seen.index == index) reader.fail(line, column + ": " + seen.species + " a second time");
        all.push_back({naming != nullptr ? naming->name(index) : std::string(species_name(index)), index, {}});
      }
      continue;
    }
    if (cells.size() != all.size() + 1)
      reader.fail(line, "expected " + std::to_string(all.size() + 1) + " values, found " +
                            std::to_string(cells.size()));
    const double t = reader.number(cells[0], line, "1 (time_h)");
    if (!table.time_h.empty() && !(t > table.time_h.back()))
      reader.fail(line, "column 1 (time_h): " + hours(t) + " does not follow " +
                            hours(table.time_h.back()) + " of line " +
                            std::to_string(table.line.back()));
    table.time_h.push_back(t);
    table.line.push_back(line);
    for (std::size_t c = 0; c < all.size(); ++c) {
      if (!read[c]) continue;
      const std::string column = std::to_string(c + 2) + " (" + all[c].species + ")";
      if (missing(cells[c + 1])) {
        all[c].ppb.push_back(std::nan(""));
        continue;
      }
      const double v = reader.number(cells[c + 1], line, column);
      if (missing_value && v == *missing_value) {
        all[c].ppb.push_back(std::nan(""));
        continue;
      }
      if (v < 0.0) reader.fail(line, "column " + column + ": expected a mixing ratio of 0 ppb or more");
      all[c].ppb.push_back(v);
    }
  }
  if (!header) throw PhysicsInputError(table.file + ": expected the header time_h,<species>,...");
  line = lines.line_count;
  if (table.time_h.empty()) reader.fail(line, "expected at least one record after the header");

  for (const std::string& name : totals) {
    const auto found = std::find_if(all.begin(), all.end(),
                                    [&](const ObservationColumn& c) { return c.index == 0 && c.species == name; });
    if (found == all.end())
      throw PhysicsInputError(selection.describe() + ": " + name + " is not a column of " + table.file);
    table.totals.push_back(*found);
  }
  std::erase_if(all, [](const ObservationColumn& c) { return c.index == 0; });
  if (species.empty()) {
    table.columns = std::move(all);
    return table;
  }
  for (const std::string& name : species) {
    const int index = index_of(name);
    const auto found = std::find_if(all.begin(), all.end(), [&](const ObservationColumn& c) {
      return index != 0 && c.index == index;
    });
    if (found == all.end())
      throw PhysicsInputError(selection.describe() + ": " + name + " is not a column of " +
                              table.file);
    table.columns.push_back(*found);
  }
  return table;
}

}  // namespace box
