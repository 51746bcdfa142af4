#include "budget/families.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "common/closest_names.hpp"
#include "common/text.hpp"


namespace box::budget {
namespace {

// A weight as written: a decimal number, Fortran's D exponent accepted.
bool read_weight(std::string text, double& value) {
  std::replace_if(text.begin(), text.end(), [](char c) { return c == 'd' || c == 'D'; }, 'e');
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && end == text.c_str() + text.size() && std::isfinite(value) && value > 0;
}

// A member by name. The ground-state oxygen atom O(3P) is O3P in the
// built-in mechanism and O in the MCM's files: the built-in mechanism's
// Ox = O3 + NO2 + O3P + O1D reads a file's O when it has no O3P.
int find_member(const MechanismCatalogue& reactions, const std::string& name) {
  const int s = reactions.find(name);
  if (s == 0 && same_name(name, "O3P")) return reactions.find("O");
  return s;
}

// ", did you mean ...?" with the integrated species close to `name`.
std::string close_members(const MechanismCatalogue& reactions, const std::string& name) {
  std::vector<std::string_view> names;
  for (int s = 1; s <= reactions.integrated; ++s) names.emplace_back(reactions.name(s));
  const std::string hint = did_you_mean(closest_names(name, names));
  return hint.empty() ? "" : " (" + hint + ")";
}

}  // namespace

Families Families::parse(
    const std::vector<std::pair<std::string, std::vector<std::string>>>& table,
    const std::string& key, const MechanismCatalogue& reactions) {
  Families out;
  for (const auto& [name, entries] : table) {
    const std::string where = key + "." + name;
    const auto fail = [&](const std::string& what) {
      throw std::invalid_argument(where + ": " + what);
    };
    if (name.empty()) throw std::invalid_argument(key + ": a family needs a name");
    if (reactions.find(name) != 0)
      fail("the name is a species of the mechanism (expected a family name such as \"Ox\")");
    for (const Family& f : out.list)
      if (f.name == name) fail("the family is defined twice");
    if (entries.empty()) fail("no members (expected a list such as [\"O3\", \"NO2\"])");
    Family family{name, {}};
    for (const std::string& entry : entries) {
      std::istringstream words(entry);
      std::vector<std::string> w;
      for (std::string x; words >> x;) w.push_back(x);
      double weight = 1.0;
      if (w.empty() || w.size() > 2 || (w.size() == 2 && !read_weight(w[0], weight)))
        fail("\"" + entry + "\": expected \"NAME\" or \"coef NAME\" with a positive coef, e.g. \"2 N2O5\"");
      const int s = find_member(reactions, w.back());
      if (s == 0 || s > reactions.integrated)
        fail("\"" + entry + "\": \"" + w.back() + "\" is not an integrated species of " +
             (reactions.source.starts_with("the ") ? reactions.source : "mechanism " + reactions.source) +
             close_members(reactions, w.back()));
      for (const FamilyMember& m : family.members)
        if (m.species == s) fail("\"" + entry + "\": " + w.back() + " is named twice");
      family.members.push_back({s, weight});
    }
    out.list.push_back(std::move(family));
  }
  return out;
}

std::vector<BudgetRow> family_budget(const Family& family, const IntervalIntegrals& interval,
                                     const ProcessList& processes) {
  return weighted_budget(family.members, interval, processes);
}

}  // namespace box::budget
