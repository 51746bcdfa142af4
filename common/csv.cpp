#include "common/csv.hpp"

#include "common/errors.hpp"
#include "common/text.hpp"

namespace box::csv {
namespace {

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string trimmed(std::string_view s) {
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return std::string(s);
}

bool all_blank(std::string_view s) {
  for (char c : s)
    if (!blank(c)) return false;
  return true;
}

// The cells of one line (without its end). A quote opens a quoted cell
// only at the cell's start (after blanks); text after the closing quote
// joins the cell.
std::vector<Cell> cells_of(std::string_view line, Comments comments, const std::string& file, int number) {
  std::vector<Cell> cells;
  std::string cell;
  bool quoted = false, was_quoted = false;
  const auto close = [&] {
    cells.push_back({was_quoted ? cell : trimmed(cell), was_quoted});
    cell.clear();
    was_quoted = false;
  };
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') cell += '"', ++i;
      else if (c == '"') quoted = false;
      else cell += c;
    } else if (c == '"' && all_blank(cell)) {
      quoted = was_quoted = true;
      cell.clear();
    } else if (c == ',') {
      close();
    } else if (c == '#' && comments == Comments::to_end_of_line) {
      break;
    } else {
      cell += c;
    }
  }
  if (quoted) throw InputError(position(file, number) + ": a quoted cell is not closed");
  close();
  return cells;
}

}  // namespace

Table parse(std::string_view text, const std::string& file, Comments comments) {
  text = strip_bom(text);
  Table table;
  std::vector<Line>& lines = table.lines;
  int number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find_first_of("\r\n");
    const std::string_view line = text.substr(0, end);
    if (end == std::string_view::npos) text = {};
    else text.remove_prefix(end + (text.substr(end, 2) == "\r\n" ? 2 : 1));
    ++number;
    std::size_t first = 0;
    while (first < line.size() && blank(line[first])) ++first;
    if (first == line.size() || line[first] == '#') continue;
    std::vector<Cell> cells = cells_of(line, comments, file, number);
    if (cells.size() == 1 && !cells.front().quoted && cells.front().text.empty()) continue;  // a comment alone
    lines.push_back({number, std::move(cells)});
  }
  table.line_count = number;
  return table;
}

std::string position(const std::string& file, int line, std::size_t column) {
  std::string s = file + ": line " + std::to_string(line);
  if (column != 0) s += ": column " + std::to_string(column);
  return s;
}

}  // namespace box::csv
