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
  if (!f.from_records.empty()) {
    // Record k is the observation at the start of hour k of the run; past
    // the last record the last values hold.
    plan.records.file = scenario.site.records.generic_string();
    for (std::size_t k = 0; k < records.size(); ++k) {
      plan.records.time_h.push_back(start + static_cast<double>(k));
      plan.records.line.push_back(0);
    }
    if (plan.records.time_h.back() < end) {
      plan.records.time_h.push_back(end);
      plan.records.line.push_back(0);
    }
    for (const NamedSpecies& h : f.from_records) {
      ObservationColumn c;
      c.index = find_species(h.species).value_or(0);
      c.species = std::string(species_name(c.index));
      for (const SiteRecord& r : records) c.ppb.push_back(observed(r, c.index));
      if (c.ppb.size() < plan.records.time_h.size()) c.ppb.push_back(c.ppb.back());
      plan.records.columns.push_back(std::move(c));
      exchange.held.push_back(h);
    }
  }
  if (f.observations) {
    plan.file = read_observations(*f.observations, f.observation_species, f.observation_species_source);
    plan.file->require_covers(start, end);
    for (const ObservationColumn& c : plan.file->columns)
      exchange.held.push_back({c.species, f.observations_source});
  }
  plan.box = build_open_box(exchange);
  return plan;
}

}  // namespace box
