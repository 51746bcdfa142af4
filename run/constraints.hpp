#pragma once
// Species held to observations: at the start of every step (and at the end
// of the run, for its last output) each held species takes its observed
// value, from the site records or the observation file. What a value is
// written into is the caller's: here only which species (1-based mechanism
// index) takes which mole fraction. Knows no mechanism's storage.
#include "run/field_plan.hpp"

namespace box {

class Constraints {
 public:
  Constraints() = default;
  // The field campaign's terms (null: nothing held); must outlive this.
  explicit Constraints(const FieldPlan* field) : field_(field) {}

  // Species are held at all.
  bool active() const { return field_ != nullptr && field_->constrained(); }

  // Calls set(species, mole_fraction) for every held species at local time
  // `time_h` (hours of the run's clock), the records' columns first, then
  // the observation file's. Water from the records is their q2, turned into
  // the mole fraction whose mass mixing ratio it is. Throws InputError when
  // an observation does not reach `time_h`. A species whose column has no
  // value near `time_h` (a gap longer than the file allows, before its
  // first or after its last value) is not set but passed to free(species):
  // it runs free through the step.
  //
  // Then each family held to a total: its members, read with get(species),
  // are scaled by one factor so that their weighted sum is the observed
  // total. The chemistry's partition among the members is kept (NO and NO2
  // keep their photostationary ratio while NOx follows the observations);
  // a family with nothing in it takes the total as an equal mole fraction
  // of every member. Within the step the members react freely.
  template <class Set, class Get, class Free>
  void hold(double time_h, Set&& set, Get&& get, Free&& free) const {
    if (!active()) return;
    const auto from = [&](const ObservationTable& table, bool records) {
      for (const ObservationColumn& c : table.columns) {
        const std::optional<double> value = table.value_ppb(c, time_h, field_->interpolation);
        if (!value) free(c.index);
        else set(c.index, c.index == field_->water && records ? water_mole_fraction(*value) : *value / 1e9);
      }
    };
    from(field_->records, true);
    if (field_->file) from(*field_->file, false);
    for (const FamilyHold& f : field_->families) {
      // Without an observed total the family is left to the chemistry.
      const std::optional<double> observed = f.total.value_ppb(f.total.columns.front(), time_h, field_->interpolation);
      if (!observed) continue;
      const double total = *observed / 1e9;
      double sum = 0.0, weights = 0.0;
      for (const auto& [species, weight] : f.members) {
        sum += weight * get(species);
        weights += weight;
      }
      for (const auto& [species, weight] : f.members)
        set(species, sum > 0.0 ? get(species) * (total / sum) : total / weights);
    }
  }

 private:
  const FieldPlan* field_ = nullptr;
};

}  // namespace box
