#pragma once
// The field campaign's terms during a run: which species are held to which
// observations, the open box handed to the chemistry step, the emission
// profile. Prepared (and checked) before the first step.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "chemistry/open_box.hpp"
#include "io/input_files.hpp"
#include "environment/emission_profile.hpp"
#include "environment/observations.hpp"
#include "scenario/scenario.hpp"

namespace box {

// A family held to an observed total: its members (1-based mechanism
// indices) with their weights, and the total (ppb) over the run's clock.
struct FamilyHold {
  std::string name;
  std::vector<std::pair<int, double>> members;
  ObservationTable total;  // one column, index 0
};

struct FieldPlan {
  OpenBox box;
  // Hourly observations of the site records for the species held to them
  // (times in local hours of the run's clock; H2O as q2 in kg/kg).
  ObservationTable records;
  std::optional<ObservationTable> file;  // the observation file's columns
  Interpolation interpolation = Interpolation::linear;
  EmissionProfile profile = EmissionProfile::constant;
  std::vector<FamilyHold> families;
  // The species held individually (1-based), the records' then the file's.
  std::vector<int> held;
  // The held index that is water (its records' value is q2): the built-in
  // H2O, or a file's H2O species, or one past a file's species for the
  // box's own water.
  int water = ind_h2o;
  // What reading the observation file found worth saying: its columns not
  // used, and the spans where a held species runs free for want of values
  // ("note: ..." lines, for standard error before the run).
  std::vector<std::string> notes;

  bool constrained() const { return !records.columns.empty() || file.has_value() || !families.empty(); }
};

struct Mechanism;

// Builds the plan from the scenario and the site's records (all read
// before): observation files read and checked to cover the run, the open
// box's terms converted and checked. Throws InputError naming file, line
// and key. With `file`, a mechanism read from a file, the species are its
// own, found by name (the records' O3 is the file's O3), and the open box
// is left to its box.
FieldPlan prepare_field(const Scenario& scenario, const std::vector<SiteRecord>& records,
                        const Mechanism* file = nullptr);

// The mole fraction (mol mol-1) to hold the driver's H2O slot at so that
// the step's water vapour mass mixing ratio is `q2` (kg/kg).
double water_mole_fraction(double q2);

}  // namespace box
