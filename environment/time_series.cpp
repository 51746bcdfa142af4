#include "environment/time_series.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>

#include "common/csv.hpp"
#include "common/errors.hpp"
#include "environment/input_text.hpp"

namespace box {
namespace {

// The run's clock and a file's decimal times of the same instant can
// differ in the last place (0.1 + 0.2 h); this close counts as covered.
constexpr double end_slack_h = 1e-9;

bool same_name(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(x) == lower(y);
  });
}

class Parser {
 public:
  explicit Parser(const std::string& file) : file_(file) {}

  [[noreturn]] void fail(int line, const std::string& what) const {
    throw InputError(csv::position(file_, line) + ": " + what);
  }

  // A finite number; Fortran's D exponent (1.5D-3) is read as E.
  double number(std::string_view cell, int line, const std::string& column) const {
    std::string text(cell);
    std::replace_if(text.begin(), text.end(), [](char c) { return c == 'd' || c == 'D'; }, 'e');
    double v = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || !std::isfinite(v))
      fail(line, column + ": expected a number, found \"" + std::string(cell) + "\"");
    return v;
  }

 private:
  const std::string& file_;
};

}  // namespace

double TimeSeriesColumn::at(double t, Interpolation mode) const {
  t = std::clamp(t, time_h.front(), time_h.back());
  return *interpolate(time_h, values, t, mode);
}

const TimeSeriesColumn* TimeSeries::find(std::string_view name) const {
  for (const TimeSeriesColumn& c : columns)
    if (same_name(c.name, name)) return &c;
  return nullptr;
}

const TimeSeriesColumn& TimeSeries::column(std::string_view name, std::string_view wanted_by) const {
  if (const TimeSeriesColumn* c = find(name)) return *c;
  throw InputError(file + ": no column " + std::string(name) + " (wanted by " +
                   std::string(wanted_by) + ")");
}

void TimeSeries::require_covers(const TimeSeriesColumn& c, double first_h, double last_h) const {
  const std::string run = "the run needs " + shown(first_h) + " h to " + shown(last_h) + " h";
  if (c.time_h.empty())
    throw InputError(file + ": column " + std::to_string(c.column) + " (" + c.name +
                     ") has no values; " + run);
  if (first_h >= c.time_h.front() - end_slack_h && last_h <= c.time_h.back() + end_slack_h) return;
  throw InputError(file + ": column " + std::to_string(c.column) + " (" + c.name + ") runs from " +
                   shown(c.time_h.front()) + " h (line " + std::to_string(c.line.front()) +
                   ") to " + shown(c.time_h.back()) + " h (line " + std::to_string(c.line.back()) +
                   "); " + run);
}

TimeSeries parse_time_series(std::string_view text, const std::string& file,
                             const ColumnFilter& used) {
  TimeSeries series;
  series.file = file;
  const Parser parser(series.file);

  // Where each header cell goes: an index into series.columns, or -1.
  std::vector<int> slot;
  std::size_t width = 0;
  bool header = false;
  double last_time = 0.0;
  int last_time_line = 0;
  const csv::Table table = csv::parse(text, file, csv::Comments::to_end_of_line);
  int line = 0;
  for (const csv::Line& l : table.lines) {
    line = l.number;
    // Names and numbers are read without blanks, in quotes or not.
    std::vector<std::string> texts;
    for (const csv::Cell& c : l.cells) texts.emplace_back(trim_blanks(c.text));
    const std::vector<std::string_view> cells(texts.begin(), texts.end());

    if (!header) {
      header = true;
      width = cells.size();
      if (!same_name(cells.front(), "time_h"))
        parser.fail(line, "column 1: expected the header time_h,<name>,..., found \"" +
                              std::string(cells.front()) + "\"");
      slot.assign(width, -1);
      for (std::size_t c = 1; c < width; ++c) {
        const std::string column = "column " + std::to_string(c + 1);
        if (cells[c].empty()) parser.fail(line, column + ": expected a name, found none");
        for (std::size_t earlier = 0; earlier < c; ++earlier)
          if (same_name(cells[earlier], cells[c]))
            parser.fail(line, column + ": " + std::string(cells[c]) + " a second time (column " +
                                  std::to_string(earlier + 1) + ")");
        if (used && !used(cells[c])) {
          series.unused.emplace_back(cells[c]);
          continue;
        }
        slot[c] = static_cast<int>(series.columns.size());
        series.columns.push_back({std::string(cells[c]), static_cast<int>(c + 1), {}, {}, {}});
      }
      continue;
    }

    if (cells.size() != width)
      parser.fail(line, "expected " + std::to_string(width) + " cells as in the header, found " +
                            std::to_string(cells.size()));
    const double t = parser.number(cells[0], line, "column 1 (time_h)");
    if (last_time_line != 0 && !(t > last_time))
      parser.fail(line, "column 1 (time_h): " + shown(t) + " h does not follow " + shown(last_time) +
                            " h of line " + std::to_string(last_time_line));
    last_time = t;
    last_time_line = line;
    for (std::size_t c = 1; c < width; ++c) {
      if (slot[c] < 0 || cells[c].empty()) continue;  // unused, or a gap
      TimeSeriesColumn& column = series.columns[static_cast<std::size_t>(slot[c])];
      const std::string where = "column " + std::to_string(c + 1) + " (" + column.name + ")";
      const double v = parser.number(cells[c], line, where);
      if (v < 0.0) parser.fail(line, where + ": expected a value of 0 or more, found " + shown(v));
      column.time_h.push_back(t);
      column.values.push_back(v);
      column.line.push_back(line);
    }
  }
  if (!header) throw InputError(series.file + ": the file is empty: expected the header time_h,<name>,...");
  line = table.line_count;
  if (last_time_line == 0) parser.fail(line, "expected at least one record after the header");
  return series;
}

TimeSeries read_time_series(const std::filesystem::path& file, const ColumnFilter& used) {
  const std::string name = file.string();
  std::ifstream in(file, std::ios::binary);
  if (!in) throw InputError(name + ": cannot open the time series");
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) throw InputError(name + ": read error");
  return parse_time_series(text, name, used);
}

}  // namespace box
