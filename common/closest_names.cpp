#include "common/closest_names.hpp"

#include <algorithm>
#include <cctype>
#include <numeric>
#include <utility>

namespace box {
namespace {

char fold(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool contains_folded(std::string_view haystack, std::string_view needle) {
  if (needle.empty() || needle.size() > haystack.size()) return false;
  const auto same = [](char x, char y) { return fold(x) == fold(y); };
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(), same) !=
         haystack.end();
}

}  // namespace

std::size_t edit_distance(std::string_view a, std::string_view b) {
  // Three rows of the Wagner-Fischer table, so that swapping two adjacent
  // characters ("OH" for "HO") counts as one edit rather than two.
  std::vector<std::size_t> before(b.size() + 1), previous(b.size() + 1), row(b.size() + 1);
  std::iota(row.begin(), row.end(), std::size_t{0});
  for (std::size_t i = 1; i <= a.size(); ++i) {
    before.swap(previous);
    previous.swap(row);
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const bool same = fold(a[i - 1]) == fold(b[j - 1]);
      row[j] = std::min({previous[j] + 1, row[j - 1] + 1, previous[j - 1] + (same ? 0 : 1)});
      if (i > 1 && j > 1 && fold(a[i - 1]) == fold(b[j - 2]) && fold(a[i - 2]) == fold(b[j - 1]))
        row[j] = std::min(row[j], before[j - 2] + 1);
    }
  }
  return row[b.size()];
}

std::vector<std::string> closest_names(std::string_view name,
                                       std::span<const std::string_view> candidates,
                                       std::size_t limit) {
  const std::size_t allowed = std::max<std::size_t>(1, name.size() / 3);
  std::vector<std::pair<std::size_t, std::size_t>> near;  // (distance, candidate)
  for (std::size_t k = 0; k < candidates.size(); ++k) {
    const std::size_t d = edit_distance(name, candidates[k]);
    if (d <= allowed || contains_folded(candidates[k], name) ||
        contains_folded(name, candidates[k]))
      near.emplace_back(d, k);
  }
  std::stable_sort(near.begin(), near.end(),
                   [](const auto& x, const auto& y) { return x.first < y.first; });
  std::vector<std::string> names;
  for (std::size_t k = 0; k < near.size() && k < limit; ++k)
    names.emplace_back(candidates[near[k].second]);
  return names;
}

std::string close_names_note(std::string_view name, std::span<const std::string_view> candidates) {
  const std::vector<std::string> close = closest_names(name, candidates);
  if (close.empty()) return {};
  std::string text = " (close: ";
  for (std::size_t k = 0; k < close.size(); ++k) text += (k > 0 ? ", " : "") + close[k];
  return text + ")";
}

std::string did_you_mean(const std::vector<std::string>& suggestions) {
  if (suggestions.empty()) return {};
  std::string text = "did you mean ";
  for (std::size_t k = 0; k < suggestions.size(); ++k) {
    if (k > 0) text += k + 1 == suggestions.size() ? " or " : ", ";
    text += suggestions[k];
  }
  return text + "?";
}

}  // namespace box
