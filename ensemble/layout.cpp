#include "ensemble/outputs.hpp"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "common/format.hpp"
#include "common/version.hpp"
#include "io/input_files.hpp"
#include "ensemble/monte_carlo.hpp"
#include "mechanism/parameters.hpp"
#include "output/time_units.hpp"

namespace box::ensemble {
namespace {

std::string number_text(double v) { return full_precision(v); }

std::string value_text(const KeyOverride::Value& v) {
  if (const auto* d = std::get_if<double>(&v)) return number_text(*d);
  if (const auto* b = std::get_if<bool>(&v)) return *b ? "true" : "false";
  if (const auto* s = std::get_if<std::string>(&v)) return *s;
  return "";
}

bool changes_clock(const std::string& key) {
  return key.starts_with("time.") || key == "output.every_seconds";
}

}  // namespace

Layout make_layout(const Definition& d) {
  Layout l;
  l.members = d.members();
  EnsembleSpecies species = ensemble_output_species(d);
  l.species = std::move(species.species);
  l.species_names = std::move(species.names);
  l.builtin_species = species.builtin;
  const Scenario base =
      parse_scenario(d.base_text, d.base.generic_string(), d.base.parent_path(), output_overrides(d));
  l.times = samples_of(base);
  l.spin_up = base.spin_up.enabled;
  const double every = base.output.every_seconds;
  const double total = static_cast<double>(base.total_steps()) * base.time.step_seconds;
  for (std::size_t k = 0; k < l.times; ++k) l.time_s.push_back(std::min(static_cast<double>(k) * every, total));

  bool clock_varies = false, day_varies = false;
  if (d.table) {
    const MembersTable& t = *d.table;
    for (std::size_t c = 0; c < t.keys.size(); ++c) {
      VariedKey v;
      v.key = t.keys[c];
      v.column = c;
      for (const MembersTable::Row& row : t.rows) {
        if (!std::holds_alternative<double>(row.cells[c])) v.text = true;
        v.width = std::max(v.width, value_text(row.cells[c]).size());
      }
      l.varied.push_back(v);
      clock_varies = clock_varies || changes_clock(v.key);
      l.spin_up = l.spin_up || v.key.starts_with("spin_up.");
      day_varies = day_varies || v.key == "time.start_hour" || v.key == "site.parameters";
    }
  }
  if (d.monte_carlo) {
    for (const auto& [reaction, f] : d.monte_carlo->uncertainty) {
      const std::string key = "chemistry.rate_factors.R" + std::to_string(reaction);
      auto it = std::find_if(l.varied.begin(), l.varied.end(), [&](const VariedKey& v) { return v.key == key; });
      if (it == l.varied.end()) {
        l.varied.push_back({key});
        it = l.varied.end() - 1;
      }
      it->reaction = reaction;
      it->text = false;
      for (const RateFactor& r : base.chemistry.rate_factors)
        if (r.reaction == reaction) it->base_factor = r.factor;
    }
  }
  // Members that change the clock may take more samples than the base.
  if (clock_varies) {
    std::size_t longest = 0;
    for (std::size_t i = 0; i < l.members; ++i) {
      try {
        longest = std::max(longest, samples_of(member_scenario(d, i)));
      } catch (const InputError&) {
        // Fails when it runs, with its reason.
      }
    }
    if (longest > 0) l.times = longest;
    l.time_s.resize(std::min(l.time_s.size(), l.times));
    while (l.time_s.size() < l.times) l.time_s.push_back(static_cast<double>(l.time_s.size()) * every);
  }
  if (!day_varies) {
    try {
      const SiteParameters p = read_parameter_file(base.site.parameters, base.site.parameters.generic_string(), true);
      l.time_units = seconds_since_units(p.iyear, p.jday, base.time.start_hour);
    } catch (const std::exception&) {
      // Left as a plain duration; the members say what is wrong.
    }
  }

  l.attributes.emplace_back("ensemble.file", d.file.generic_string());
  l.attributes.emplace_back("ensemble.base", d.base.generic_string());
  if (d.table) l.attributes.emplace_back("ensemble.members", d.table->file.generic_string());
  if (d.monte_carlo) {
    l.attributes.emplace_back("ensemble.monte_carlo.seed", std::to_string(d.monte_carlo->seed));
    l.attributes.emplace_back("ensemble.monte_carlo.reactions", std::to_string(d.monte_carlo->uncertainty.size()));
  }
  for (auto& [key, value] : describe_scenario(base)) l.attributes.emplace_back("scenario." + key, value);
  return l;
}

std::vector<VariedValue> varied_values(const Definition& d, const Layout& layout, std::size_t index) {
  std::vector<std::pair<int, double>> random;
  if (d.monte_carlo) random = random_factors(*d.monte_carlo, index);
  std::vector<VariedValue> out;
  out.reserve(layout.varied.size());
  for (const VariedKey& v : layout.varied) {
    const KeyOverride::Value* cell =
        v.column != static_cast<std::size_t>(-1) ? &d.table->rows.at(index).cells[v.column] : nullptr;
    if (v.reaction > 0) {
      double factor = v.base_factor;
      if (cell != nullptr) {
        const double* x = std::get_if<double>(cell);
        factor = x != nullptr ? *x : std::numeric_limits<double>::quiet_NaN();
      }
      // Both lists are in increasing reaction number.
      const auto it = std::lower_bound(random.begin(), random.end(), std::pair<int, double>(v.reaction, 0.0),
                                       [](const auto& a, const auto& b) { return a.first < b.first; });
      out.emplace_back(factor * it->second);
    } else if (!v.text) {
      out.emplace_back(std::get<double>(*cell));
    } else {
      out.emplace_back(value_text(*cell));
    }
  }
  return out;
}

}  // namespace box::ensemble
