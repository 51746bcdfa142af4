#include "run/open_box_setup.hpp"

#include <cmath>
#include <span>
#include <sstream>

#include "mechanism/parameters.hpp"

namespace box {
namespace {

[[noreturn]] void fail(const ValueSource& at, const std::string& what) {
  throw PhysicsInputError(at.describe() + ": " + what);
}

// The 1-based integrated species of a setting (1..78); H2O gives 0 when
// `allow_water`.
int integrated_species(const std::string& name, const ValueSource& at, bool allow_water) {
  const int index = species_index(name);
  if (allow_water && index == ind_h2o) return 0;
  if (index < 1 || index > nvar)
    fail(at, "\"" + name + "\" is no integrated species of the mechanism");
  return index;
}

std::string number(double x) {
  std::ostringstream s;
  s << x;
  return s.str();
}

// `what` names the quantity with its unit: "an emission (molecules cm-2 s-1)".
void require_non_negative(const SpeciesSetting& s, const char* what) {
  if (!(s.value >= 0.0) || !std::isfinite(s.value))
    fail(s.source, std::string("expected ") + what + " of 0 or more, found " + number(s.value));
}

// Fills `out` (mechanism order) with value / divisor per species of `list`.
void fill(std::span<const SpeciesSetting> list, double divisor, const char* what,
          std::array<double, nvar>& out) {
  std::array<const ValueSource*, nvar> given{};
  for (const SpeciesSetting& s : list) {
    const auto i = at(integrated_species(s.species, s.source, false));
    if (given[i] != nullptr)
      fail(s.source, s.species + " was already given at " + given[i]->describe());
    given[i] = &s.source;
    require_non_negative(s, what);
    out[i] = s.value / divisor;
  }
}

}  // namespace

OpenBox build_open_box(const ExchangeSettings& settings) {
  OpenBox box;
  double height_cm = 0.0;
  if (!settings.emissions.empty() || !settings.deposition.empty()) {
    if (!settings.mixing_height_m)
      fail(settings.emissions.empty() ? settings.deposition.front().source
                                      : settings.emissions.front().source,
           "needs [emissions] mixing_height_m");
    const double h = *settings.mixing_height_m;
    if (!(h > 0.0) || !std::isfinite(h))
      fail(settings.mixing_height_source,
           "expected a mixing height above 0 m, found " + number(h));
    height_cm = h * 100.0;
  }
  fill(settings.emissions, height_cm, "an emission (molecules cm-2 s-1)", box.emission);
  fill(settings.deposition, height_cm, "a deposition velocity (cm s-1)", box.deposition);

  if (!(settings.dilution_per_s >= 0.0) || !std::isfinite(settings.dilution_per_s))
    fail(settings.dilution_source, "expected a dilution rate (s-1) of 0 or more, found " +
                                       number(settings.dilution_per_s));
  box.dilution = settings.dilution_per_s;
  fill(settings.background, 1.0e9, "a background mixing ratio (ppb)", box.background);

  // A chamber: wall loss (the default for every species not named) and
  // the sampling flow.
  if (!(settings.wall_default >= 0.0) || !std::isfinite(settings.wall_default))
    fail(settings.wall_default_source, "expected a wall loss rate (s-1) of 0 or more, found " +
                                           number(settings.wall_default));
  box.wall.fill(settings.wall_default);
  fill(settings.wall_loss, 1.0, "a wall loss rate (s-1)", box.wall);
  if (!(settings.sampling_per_s >= 0.0) || !std::isfinite(settings.sampling_per_s))
    fail(settings.sampling_source, "expected a sampling rate (s-1) of 0 or more, found " +
                                       number(settings.sampling_per_s));
  box.sampling = settings.sampling_per_s;

  for (const NamedSpecies& h : settings.held) {
    const int index = integrated_species(h.species, h.source, true);
    if (index == 0) continue;
    box.held[at(index)] = true;
    for (const SpeciesSetting& e : settings.emissions)
      if (species_index(e.species) == index)
        fail(h.source, h.species + " is held to observations and also emitted (" +
                           e.source.describe() + ")");
  }
  return box;
}

}  // namespace box
