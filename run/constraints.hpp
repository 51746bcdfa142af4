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
  // an observation does not reach `time_h`.
  template <class Set>
  void hold(double time_h, Set&& set) const {
    if (!active()) return;
    const auto from = [&](const ObservationTable& table, bool records) {
      for (const ObservationColumn& c : table.columns) {
        const double value = table.value_ppb(c, time_h, field_->interpolation);
        set(c.index, c.index == ind_h2o && records ? water_mole_fraction(value) : value / 1e9);
      }
    };
    from(field_->records, true);
    if (field_->file) from(*field_->file, false);
  }

 private:
  const FieldPlan* field_ = nullptr;
};

}  // namespace box
