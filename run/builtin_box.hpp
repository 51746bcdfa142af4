#pragma once
// What of a run is the built-in mechanism's, in one place: its driver
// concentration slots and radical variables, its photolysis table scaled
// for each step, and the chemistry step that integrates it. The rest of
// the run (clock, records, sun, constraints, budgets, observers of the
// samples) deals in species indices and mole fractions in mechanism order,
// as a run of a mechanism read from a file would. The species table and
// progress lines (output/model_outputs.hpp) read the slots through the
// step observers' view.
#include <array>

#include "chemistry/chemistry_step.hpp"
#include "chemistry/concentration_slots.hpp"
#include "chemistry/photolysis.hpp"
#include "mechanism/parameters.hpp"

namespace box {

// How fast the chemistry alone would consume each integrated species
// (s-1) in the state `x` (mole fractions, mechanism order) of air at
// temperature `temp` and number density `c_m`, under an overhead sun
// scaled by `photolysis_factor`: the sum over its reactions of the rate's
// derivative with respect to it (twice the rate over it for a
// self-reaction, as it loses two).
std::array<double, nvar> chemical_loss_frequencies(const std::array<double, nspec>& x, double temp, double c_m,
                                                   double photolysis_factor);

class BuiltinBox {
 public:
  BuiltinBox(LineSink messages, StepSettings settings) : chemistry_(std::move(messages), std::move(settings)) {}

  // The initial state of the slots (run/initial_state.hpp), the photolysis
  // table and its factor `extf`.
  void start(double extf);
  // Species `species` (1-based mechanism index; H2O too) at mole fraction
  // `x`.
  void set_mole_fraction(int species, double x);
  // The mole fraction of species `species` (1-based; H2O too).
  double mole_fraction(int species) const;
  // Mole fractions of the 80 species in mechanism order (air: 1).
  std::array<double, nspec> mole_fractions() const;
  // Water vapour's mass mixing ratio, kg/kg: mole fraction times 18/28.8.
  double moisture() const;

  // The step's photolysis for a sun at zenith cosine `coszen`.
  void reload_photolysis() { photoj_ = reload_photoj(phot1_); }
  void scale_photolysis(double coszen);
  // The step's photolysis arguments set directly (methods other than the
  // specified table).
  void set_photolysis(const PhotolysisRates& ph) { ph_ = ph; }

  // One chemistry step of `dt` seconds in `air`; with `budget`, what it did
  // to each species.
  StepResult advance(double dt, const MechanismAir& air, StepBudget* budget = nullptr) {
    return chemistry_.advance(vc_.data(), dt, air, radicals_, ph_, budget);
  }
  // advance() around an integration elsewhere (the lanes).
  LaneBox begin_lanes(double dt, const MechanismAir& air) {
    chemistry_.begin(vc_.data(), dt, air, radicals_, ph_);
    return chemistry_.lane_box();
  }
  StepResult finish_lanes(const RosenbrockCounters& counters) {
    return chemistry_.finish(vc_.data(), radicals_, ros_success, counters);
  }

  ChemistryStep& chemistry() { return chemistry_; }
  const ChemistryStep& chemistry() const { return chemistry_; }
  const ConcentrationVector& vc() const { return vc_; }
  const RadicalSlots& radicals() const { return radicals_; }
  const PhotolysisTable& photoj() const { return photoj_; }
  const PhotolysisRates& photolysis() const { return ph_; }

 private:
  ChemistryStep chemistry_;
  ConcentrationVector vc_{};
  RadicalSlots radicals_;
  PhotolysisTable phot1_{};
  PhotolysisTable photoj_{};
  PhotolysisRates ph_{};
  double extf_ = 1.0;
};

}  // namespace box
