#pragma once
// Suggestions for a misspelt name: the candidates a few edits away, so that
// an error can say "did you mean HO2?" for a species or a scenario key.
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace box {

// Edit distance between two names: insertions, deletions, substitutions
// and swaps of two adjacent characters, each costing 1, ignoring the case of
// ASCII letters.
std::size_t edit_distance(std::string_view a, std::string_view b);

// The candidates closest to `name`, nearest first (ties in candidate
// order), at most `limit` of them. A candidate qualifies when it is at most
// max(1, length of name / 3) edits away, or when one name contains the
// other ignoring case (a truncated or extended name). Empty when nothing is
// close enough to be a plausible intent.
std::vector<std::string> closest_names(std::string_view name,
                                       std::span<const std::string_view> candidates,
                                       std::size_t limit = 3);

// "did you mean A, B or C?" for a non-empty list, "" for an empty one.
std::string did_you_mean(const std::vector<std::string>& suggestions);

// " (close: A, B, C)" with the candidates closest to `name`, or "" when
// none is close: the tail of a message naming what is not there.
std::string close_names_note(std::string_view name, std::span<const std::string_view> candidates);

}  // namespace box
