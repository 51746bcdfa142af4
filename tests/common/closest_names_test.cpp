// Edit distances worked out by hand, and the suggestions they lead to.
#include "common/closest_names.hpp"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace box {
namespace {

TEST(EditDistance, CountsInsertionsDeletionsSubstitutionsAndSwaps) {
  EXPECT_EQ(edit_distance("", ""), 0u);
  EXPECT_EQ(edit_distance("abc", ""), 3u);
  EXPECT_EQ(edit_distance("", "abc"), 3u);
  EXPECT_EQ(edit_distance("kitten", "sitting"), 3u);  // k->s, e->i, +g
  EXPECT_EQ(edit_distance("HOBr", "HOBR"), 0u);       // case is ignored
  EXPECT_EQ(edit_distance("OH", "HO"), 1u);           // one swap
  EXPECT_EQ(edit_distance("start_huor", "start_hour"), 1u);
  EXPECT_EQ(edit_distance("ca", "abc"), 3u);  // a swap is not undone by later edits
  EXPECT_EQ(edit_distance("flaw", "lawn"), 2u);
}

constexpr std::array<std::string_view, 6> keys = {"start_hour",      "hours", "step_seconds",
                                                  "output_interval", "year",  "day"};

TEST(ClosestNames, NearestFirstWithinAThirdOfTheLength) {
  EXPECT_EQ(closest_names("start_huor", keys), (std::vector<std::string>{"start_hour"}));
  EXPECT_EQ(closest_names("hour", keys), (std::vector<std::string>{"hours", "start_hour"}));
  EXPECT_EQ(closest_names("yeer", keys), (std::vector<std::string>{"year"}));
  EXPECT_EQ(closest_names("interval", keys), (std::vector<std::string>{"output_interval"}));
  EXPECT_TRUE(closest_names("temperature", keys).empty());
  EXPECT_EQ(closest_names("d", keys, 1).size(), 1u);
}

TEST(DidYouMean, ListsTheSuggestions) {
  EXPECT_EQ(did_you_mean({}), "");
  EXPECT_EQ(did_you_mean({"HO"}), "did you mean HO?");
  EXPECT_EQ(did_you_mean({"HO", "O3"}), "did you mean HO or O3?");
  EXPECT_EQ(did_you_mean({"HO", "O3", "NO"}), "did you mean HO, O3 or NO?");
}

}  // namespace
}  // namespace box
