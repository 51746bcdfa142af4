#include "run/builtin_box.hpp"

#include "chemistry/species_map.hpp"
#include "common/one_based.hpp"
#include "common/reciprocals.hpp"
#include "mechanism/mechanism.hpp"
#include "mechanism/reaction_rates.hpp"
#include "run/initial_state.hpp"

namespace box {

void BuiltinBox::start(double extf) {
  vc_ = initial_concentrations();
  phot1_ = base_photolysis_table();
  extf_ = extf;
}

void BuiltinBox::set_mole_fraction(int species, double x) {
  if (species == ind_h2o) vc_[at(lh2o)] = x;
  else driver_value(species_map[at(species)], vc_.data(), radicals_) = x;
}

double BuiltinBox::mole_fraction(int species) const {
  if (species == ind_h2o) return vc_[at(lh2o)];
  const SpeciesSource& s = species_map[at(species)];
  return s.vc_slot != 0 ? vc_[at(s.vc_slot)] : radicals_.*(s.radical);
}

std::array<double, nspec> BuiltinBox::mole_fractions() const {
  std::array<double, nspec> x{};
  for (std::size_t k = 0; k < species_map.size(); ++k) {
    const SpeciesSource& s = species_map[k];
    x[k] = s.vc_slot != 0 ? vc_[at(s.vc_slot)] : radicals_.*(s.radical);
  }
  x[at(ind_h2o)] = vc_[at(lh2o)];
  x[at(ind_m)] = 1.0;
  return x;
}

double BuiltinBox::moisture() const { return vc_[at(lh2o)] * 18.0 * moles_per_gram_air; }

void BuiltinBox::scale_photolysis(double coszen) {
  scale_photoj(photoj_, coszen, extf_);
  ph_ = photolysis_arguments(photoj_);
}

std::array<double, nvar> chemical_loss_frequencies(const std::array<double, nspec>& x, double temp, double c_m,
                                                   double photolysis_factor) {
  const PhotolysisRates j = overhead_sun_photolysis(photolysis_factor);
  std::array<double, nreact> k{};
  racm_update_rconst(j.data(), k.data(), c_m, temp);
  std::array<double, nvar> v{};
  for (std::size_t i = 0; i < v.size(); ++i) v[i] = x[i] * c_m;
  const std::array<double, nfix> f = {x[at(ind_h2o)] * c_m, c_m};
  std::array<double, nvar> loss{};
  std::array<double, nvar> direction{};
  std::array<double, nreact> d{};
  for (std::size_t i = 0; i < loss.size(); ++i) {
    direction.fill(0.0);
    direction[i] = 1.0;
    racm_reaction_rates_jvp(v.data(), f.data(), k.data(), direction.data(), d.data());
    for (double dn : d) loss[i] += dn;
  }
  return loss;
}

}  // namespace box
