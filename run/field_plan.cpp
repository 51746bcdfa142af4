#include "run/field_plan.hpp"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "common/one_based.hpp"
#include "common/text.hpp"
#include "mechanism/species_lookup.hpp"
#include "run/file_box.hpp"
#include "run/open_box_setup.hpp"
#include "common/reciprocals.hpp"

namespace box {
namespace {

// A record's observed value of `species` (ppb; q2 in kg/kg for H2O).
double observed(const SiteRecord& r, int species) {
  switch (species) {
    case ind_o3: return r.ozone_read;
    case ind_no: return r.no_read;
    case ind_no2: return r.no2_read;
    case ind_co: return r.co_read;
    case ind_hcho: return r.hcho_read;
    default: return r.q2;  // H2O
  }
}

// Hours as the notes write them: 10.0 h, 10.25 h.
std::string hours_text(double h) {
  std::ostringstream s;
  s << h;
  std::string text = s.str();
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return text + " h";
}

// The notes on the spans of the run where `column` has nothing to hold
// to; `then` says what happens there.
void note_gaps(const ObservationTable& table, const ObservationColumn& column, double first_h, double last_h,
               const std::string& then, std::vector<std::string>& notes) {
  for (const ObservationGap& g : table.gaps(column, first_h, last_h)) {
    const std::string what = table.file + ": " + column.species + " has no observation";
    if (g.kind == ObservationGap::Kind::no_value) {
      notes.push_back("note: " + what + " at all: " + then + " throughout");
      continue;
    }
    std::ostringstream limit;
    limit << table.max_gap_h;
    const std::string why = g.kind == ObservationGap::Kind::before_first ? "before its first"
                            : g.kind == ObservationGap::Kind::after_last ? "after its last"
                                                                          : "a gap longer than max_gap_hours = " + limit.str();
    notes.push_back("note: " + what + " from " + hours_text(g.from_h) + " to " + hours_text(g.to_h) + " (" + why +
                    "): " + then + " then");
  }
}

}  // namespace

double water_mole_fraction(double q2) {
  // The driver turns its H2O mole fraction into a mass mixing ratio as
  // x * 18 * (1/28.8); this is the inverse.
  return q2 / (18.0 * moles_per_gram_air);
}

FieldPlan prepare_field(const Scenario& scenario, const std::vector<SiteRecord>& records, const Mechanism* file) {
  const FieldSettings& f = scenario.field;
  FieldPlan plan;
  // The held species a name gives: the built-in mechanism's, or the file's
  // (water, when the file has no H2O species, is the box's own).
  const auto is_water = [](std::string_view name) { return same_name(name, "H2O"); };
  const auto species = [&](std::string_view name, const std::string& where) {
    if (file == nullptr) return find_species(name).value_or(0);
    if (is_water(name) && !file->find_species(name)) return file->species_count() + 1;
    return file_species(*file, name, where);
  };
  const auto name_of = [&](int index) {
    if (file == nullptr) return std::string(species_name(index));
    return index > file->species_count() ? std::string("H2O") : file->species[static_cast<std::size_t>(index - 1)];
  };
  ColumnSpecies naming;
  if (file != nullptr) {
    plan.water = species("H2O", "");
    naming.index = [&](std::string_view name) {
      return file->find_species(name) || is_water(name) ? species(name, "") : 0;
    };
    naming.name = name_of;
    naming.unknown = [&](std::string_view name) { return no_file_species(*file, name); };
  }
  // The records observe the built-in mechanism's names: a species of a
  // file is observed under its own name.
  const auto observed_as = [](const std::string& name) { return find_species(name).value_or(0); };
  plan.interpolation = f.interpolation;
  plan.profile = f.emission_profile;
  ExchangeSettings exchange = f.exchange;

  const double start = scenario.time.start_hour;
  const double end = start + scenario.time.hours;
  // Record k is the observation at the start of hour k of the run; past
  // the last record the last values hold.
  const auto record_column = [&](const std::vector<std::pair<int, double>>& weighted) {
    ObservationColumn c;
    for (const SiteRecord& r : records) {
      double v = 0.0;
      for (const auto& [index, weight] : weighted) v += weight * observed(r, index);
      c.ppb.push_back(v);
    }
    if (c.ppb.size() < plan.records.time_h.size()) c.ppb.push_back(c.ppb.back());
    return c;
  };
  const bool family_from_records =
      std::any_of(f.families.begin(), f.families.end(), [](const FamilyConstraint& c) { return c.from_records; });
  if (!f.from_records.empty() || family_from_records) {
    plan.records.file = scenario.site.records.generic_string();
    for (std::size_t k = 0; k < records.size(); ++k) {
      plan.records.time_h.push_back(start + static_cast<double>(k));
      plan.records.line.push_back(0);
    }
    if (plan.records.time_h.back() < end) {
      plan.records.time_h.push_back(end);
      plan.records.line.push_back(0);
    }
  }
  // Each held species once, with where it is held.
  std::vector<NamedSpecies> held;
  for (const NamedSpecies& h : f.from_records) {
    ObservationColumn c = record_column({{observed_as(h.species), 1.0}});
    c.index = species(h.species, h.source.describe());
    c.species = name_of(c.index);
    plan.records.columns.push_back(std::move(c));
    exchange.held.push_back(h);
    held.push_back(h);
    plan.held.push_back(plan.records.columns.back().index);
  }
  if (f.observations) {
    std::vector<std::string> totals;
    for (const FamilyConstraint& c : f.families)
      if (!c.file_column.empty()) totals.push_back(c.file_column);
    // The measured J4 of [photolysis] scale_to_observed, when this file
    // holds it (an [environment] file's is taken first), is no species.
    const std::string& j4 = scenario.photolysis.scale_to_observed;
    const TimeSeries* environment = scenario.environment.series.get();
    if (!j4.empty() && (environment == nullptr || environment->find(j4) == nullptr)) totals.push_back(j4);
    plan.file = read_observations(*f.observations, f.observation_species, f.observation_species_source, totals,
                                  file != nullptr ? &naming : nullptr, f.missing_value);
    plan.file->max_gap_h = f.max_gap_hours;
    plan.file->require_covers(start, end);
    if (!plan.file->unused.empty()) {
      std::string list;
      for (const std::string& name : plan.file->unused) list += (list.empty() ? "" : ", ") + name;
      plan.notes.push_back("note: " + f.observations_source.describe() + ": " + plan.file->file +
                           ": columns not used: " + list);
    }
    for (const ObservationColumn& c : plan.file->columns) {
      note_gaps(*plan.file, c, start, end, "it runs free", plan.notes);
      exchange.held.push_back({c.species, f.observations_source});
      held.push_back({c.species, f.observations_source});
      plan.held.push_back(c.index);
    }
  }
  std::vector<std::pair<int, std::string>> scaled;  // family members, with their family
  for (const FamilyConstraint& c : f.families) {
    FamilyHold hold;
    hold.name = c.name;
    std::vector<std::pair<int, double>> observed;  // the members as the records name them
    for (const FamilyMember& m : c.members) {
      const int k = species(m.species, c.source.describe());
      for (std::size_t h = 0; h < plan.held.size(); ++h)
        if (plan.held[h] == k)
          throw PhysicsInputError(c.source.describe() + ": " + m.species + " is also held individually (" +
                                  held[h].source.describe() + "); hold it one way");
      for (const auto& [other, family] : scaled)
        if (other == k)
          throw PhysicsInputError(c.source.describe() + ": " + m.species + " is a member of family " + family +
                                  " too; a species can be scaled by one family only");
      scaled.emplace_back(k, c.name);
      hold.members.emplace_back(k, m.weight);
      observed.emplace_back(observed_as(m.species), m.weight);
    }
    if (c.from_records) {
      hold.total.file = plan.records.file;
      hold.total.time_h = plan.records.time_h;
      hold.total.line = plan.records.line;
      ObservationColumn total = record_column(observed);
      total.species = c.name;
      hold.total.columns.push_back(std::move(total));
    } else {
      hold.total.file = plan.file->file;
      hold.total.time_h = plan.file->time_h;
      hold.total.line = plan.file->line;
      hold.total.max_gap_h = plan.file->max_gap_h;
      for (const ObservationColumn& t : plan.file->totals)
        if (t.species == c.file_column) hold.total.columns.push_back(t);
      note_gaps(hold.total, hold.total.columns.front(), start, end,
                "family " + c.name + " is left to the chemistry", plan.notes);
    }
    plan.families.push_back(std::move(hold));
  }
  if (file == nullptr) {
    plan.box = build_open_box(exchange);
    return plan;
  }
  // A held species does not move within a step: what an emission brought
  // would be lost unseen.
  for (const SpeciesSetting& e : f.exchange.emissions)
    for (std::size_t h = 0; h < plan.held.size(); ++h)
      if (plan.held[h] == species(e.species, e.source.describe()))
        throw PhysicsInputError(held[h].source.describe() + ": " + held[h].species +
                                " is held to observations and also emitted (" + e.source.describe() + ")");
  return plan;
}

}  // namespace box
