#pragma once
// The one reader of the comma-separated tables users bring (observations,
// time series, members tables), as spreadsheets and editors write them: a
// UTF-8 byte-order mark at the start, lines ended by LF, CRLF or a lone CR
// (even mixed in one file), blanks around cells, and cells in double quotes
// (which protect commas; "" inside is one quote). Blank lines and comment
// lines (starting with #) are skipped. What a cell means is the caller's.
#include <string>
#include <string_view>
#include <vector>

namespace box::csv {

struct Cell {
  std::string text;     // unquoted cells trimmed of blanks; quoted ones as written inside the quotes
  bool quoted = false;  // written in quotes: always text
};

struct Line {
  int number = 0;  // 1-based line of the file
  std::vector<Cell> cells;
};

enum class Comments {
  whole_lines,      // a line whose first non-blank character is # is skipped
  to_end_of_line,   // besides, # outside quotes starts a comment to the end of its line
};

struct Table {
  std::vector<Line> lines;  // the lines that hold cells
  int line_count = 0;       // lines in the file, blank and comment lines included
};

// The lines of `text` that hold cells. `file` names the file in the
// message of a quoted cell left open ("<file>: line N: a quoted cell is not
// closed"), thrown as InputError.
Table parse(std::string_view text, const std::string& file, Comments comments = Comments::whole_lines);

// "<file>: line N" and, with a column (1-based), ": column C": the place
// that the readers' messages start with.
std::string position(const std::string& file, int line, std::size_t column = 0);

}  // namespace box::csv
