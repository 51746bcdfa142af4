#include "run/field_plan.hpp"

#include <algorithm>

#include "common/one_based.hpp"
#include "mechanism/species_lookup.hpp"
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

}  // namespace

double water_mole_fraction(double q2) {
  // The driver turns its H2O mole fraction into a mass mixing ratio as
  // x * 18 * (1/28.8); this is the inverse.
  return q2 / (18.0 * moles_per_gram_air);
}

FieldPlan prepare_field(const Scenario& scenario, const std::vector<SiteRecord>& records) {
  const FieldSettings& f = scenario.field;
  FieldPlan plan;
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
  for (const NamedSpecies& h : f.from_records) {
    const int index = find_species(h.species).value_or(0);
    ObservationColumn c = record_column({{index, 1.0}});
    c.index = index;
    c.species = std::string(species_name(index));
    plan.records.columns.push_back(std::move(c));
    exchange.held.push_back(h);
  }
  if (f.observations) {
    std::vector<std::string> totals;
    for (const FamilyConstraint& c : f.families)
      if (!c.file_column.empty()) totals.push_back(c.file_column);
    plan.file = read_observations(*f.observations, f.observation_species, f.observation_species_source, totals);
    plan.file->require_covers(start, end);
    for (const ObservationColumn& c : plan.file->columns)
      exchange.held.push_back({c.species, f.observations_source});
  }
  for (const FamilyConstraint& c : f.families) {
    FamilyHold hold;
    hold.name = c.name;
    for (const FamilyMember& m : c.members) hold.members.emplace_back(find_species(m.species).value_or(0), m.weight);
    if (c.from_records) {
      hold.total.file = plan.records.file;
      hold.total.time_h = plan.records.time_h;
      hold.total.line = plan.records.line;
      ObservationColumn total = record_column(hold.members);
      total.species = c.name;
      hold.total.columns.push_back(std::move(total));
    } else {
      hold.total.file = plan.file->file;
      hold.total.time_h = plan.file->time_h;
      hold.total.line = plan.file->line;
      for (const ObservationColumn& t : plan.file->totals)
        if (t.species == c.file_column) hold.total.columns.push_back(t);
    }
    plan.families.push_back(std::move(hold));
  }
  plan.box = build_open_box(exchange);
  return plan;
}

}  // namespace box
