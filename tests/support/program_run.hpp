#pragma once
// Whole runs of the boxmodel program for tests: a scratch copy of the
// example inputs, the program started there with arguments, its standard
// output and error captured, and the CSV output read back as numbers.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/example_copy.hpp"
#include "tests/support/features.hpp"

namespace box::testing {

inline const std::string example_site_name = "ValuesAtSite_extractedFromWRFchemAug31.txt_test";

inline std::string read_text(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void write_text(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::vector<std::string> text_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline std::string join_lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// The expected outputs of the run without arguments.
inline std::string golden(const std::string& name) {
  return read_text(std::filesystem::path(BOXMODEL_SOURCE_DIR) / "tests" / "data" / "example_day" / name);
}

struct ProgramResult {
  int status = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

// A scratch directory with the example's inputs where the program runs.
class ProgramDir {
 public:
  const std::filesystem::path& dir() const { return example_.dir(); }
  std::filesystem::path operator/(const std::string& name) const { return dir() / name; }

  std::string read(const std::string& name) const { return read_text(dir() / name); }
  void write(const std::string& name, const std::string& text) const { write_text(dir() / name, text); }
  std::vector<std::string> lines(const std::string& name) const { return text_lines(read(name)); }
  // Replaces line `number` (from 1) of a file here by `text` (which may
  // hold several lines).
  void replace_line(const std::string& name, std::size_t number, const std::string& text) const {
    std::vector<std::string> l = lines(name);
    l.at(number - 1) = text;
    write(name, join_lines(l));
  }

  // `boxmodel <args>` started here (args as the shell reads them).
  ProgramResult run(const std::string& args = "") const {
    const std::string command = "cd '" + dir().string() + "' && '" BOXMODEL_EXE "' " + args +
                                " > .stdout 2> .stderr";
    const int status = std::system(command.c_str());
    ProgramResult r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = read(".stdout");
    r.err = read(".stderr");
    std::filesystem::remove(dir() / ".stdout");
    std::filesystem::remove(dir() / ".stderr");
    return r;
  }

 private:
  ExampleCopy example_;
};

// A CSV output read back: its header and its rows as numbers.
struct CsvTable {
  std::vector<std::string> header;
  std::vector<std::vector<double>> rows;

  std::size_t column(const std::string& name) const {
    for (std::size_t c = 0; c < header.size(); ++c)
      if (header[c] == name) return c;
    throw std::runtime_error("no column " + name);
  }
  std::vector<double> values(const std::string& name) const {
    const std::size_t c = column(name);
    std::vector<double> v;
    for (const auto& row : rows) v.push_back(row.at(c));
    return v;
  }
};

inline std::vector<std::string> split_commas(const std::string& line) {
  std::vector<std::string> cells;
  std::string cell;
  std::istringstream in(line);
  while (std::getline(in, cell, ',')) cells.push_back(cell);
  return cells;
}

inline CsvTable read_csv(const std::filesystem::path& path) {
  const std::vector<std::string> lines = text_lines(read_text(path));
  if (lines.empty()) throw std::runtime_error(path.string() + ": empty");
  CsvTable t;
  t.header = split_commas(lines[0]);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::vector<double> row;
    for (const std::string& cell : split_commas(lines[i])) {
      char* end = nullptr;
      row.push_back(std::strtod(cell.c_str(), &end));
      if (end != cell.c_str() + cell.size()) throw std::runtime_error("not a number: " + cell);
    }
    if (row.size() != t.header.size()) throw std::runtime_error(path.string() + ": ragged row");
    t.rows.push_back(std::move(row));
  }
  return t;
}

// budgets.csv rows: start_h,end_h,species,reaction,equation,production,loss
// (an equation holds no comma; a quoted field would).
struct BudgetLine {
  double start_h, end_h;
  std::string species, term;
  double production, loss;
};

inline std::vector<BudgetLine> read_budgets(const std::filesystem::path& path) {
  std::vector<BudgetLine> out;
  const auto lines = text_lines(read_text(path));
  EXPECT_EQ(lines.at(0), "start_h,end_h,species,reaction,equation,production,loss");
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const auto c = split_commas(lines[i]);
    EXPECT_EQ(c.size(), 7u) << lines[i];
    out.push_back({std::stod(c[0]), std::stod(c[1]), c[2], c[3], std::stod(c[5]), std::stod(c[6])});
  }
  return out;
}

}  // namespace box::testing
