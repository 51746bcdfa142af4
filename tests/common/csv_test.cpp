// The shared CSV reader on files as users bring them.
#include "common/csv.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/errors.hpp"

namespace box {
namespace {

std::vector<std::vector<std::string>> texts(const csv::Table& t) {
  std::vector<std::vector<std::string>> out;
  for (const csv::Line& l : t.lines) {
    out.emplace_back();
    for (const csv::Cell& c : l.cells) out.back().push_back(c.text);
  }
  return out;
}

// A byte-order mark, every line end (mixed), blanks, comments and blank
// lines: the same cells on the same line numbers.
TEST(Csv, LineEndsMarksBlanksAndComments) {
  const std::string text = "\xEF\xBB\xBFtime_h , O3\r\n# a comment\r\n\n 5, 30 \r6,31\n  \t\r\n7,32";
  const csv::Table t = csv::parse(text, "f.csv");
  EXPECT_EQ(texts(t), (std::vector<std::vector<std::string>>{{"time_h", "O3"}, {"5", "30"}, {"6", "31"}, {"7", "32"}}));
  std::vector<int> numbers;
  for (const csv::Line& l : t.lines) numbers.push_back(l.number);
  EXPECT_EQ(numbers, (std::vector<int>{1, 4, 5, 7}));
  EXPECT_EQ(t.line_count, 7);
  // A final line end adds no line.
  EXPECT_EQ(csv::parse("a\n\n", "f").line_count, 2);
}

// Quotes protect commas and blanks, "" is a quote, and a quoted cell is
// marked as text; # is a comment at a line's start, or anywhere outside
// quotes when asked.
TEST(Csv, QuotedCellsAndCommentsToTheEnd) {
  const csv::Table t = csv::parse("\"a, b\", \" c \",\"say \"\"hi\"\"\",1 # x\n", "f");
  ASSERT_EQ(t.lines.size(), 1u);
  const std::vector<csv::Cell>& c = t.lines[0].cells;
  ASSERT_EQ(c.size(), 4u);
  EXPECT_EQ(c[0].text, "a, b");
  EXPECT_TRUE(c[0].quoted);
  EXPECT_EQ(c[1].text, " c ");
  EXPECT_EQ(c[2].text, "say \"hi\"");
  EXPECT_EQ(c[3].text, "1 # x");
  EXPECT_FALSE(c[3].quoted);
  const csv::Table comments = csv::parse("\"#1\",2 # note\n  # alone\n", "f", csv::Comments::to_end_of_line);
  EXPECT_EQ(texts(comments), (std::vector<std::vector<std::string>>{{"#1", "2"}}));
}

TEST(Csv, AnOpenQuoteIsNamedWithFileAndLine) {
  try {
    static_cast<void>(csv::parse("a,b\n1,\"2\n", "members.csv"));
    FAIL() << "no error";
  } catch (const InputError& e) {
    EXPECT_STREQ(e.what(), "members.csv: line 2: a quoted cell is not closed");
  }
  EXPECT_EQ(csv::position("f.csv", 3, 2), "f.csv: line 3: column 2");
}

}  // namespace
}  // namespace box
