#include "chemistry/open_box.hpp"

#include "chemistry/species_map.hpp"
#include "common/one_based.hpp"
#include "mechanism/jacobian_pattern.hpp"
#include "mechanism/reaction_table.hpp"
#include "mechanism/species_lookup.hpp"

namespace box {

bool OpenBox::closed() const noexcept {
  if (dilution != 0.0) return false;
  for (std::size_t k = 0; k < static_cast<std::size_t>(nvar); ++k) {
    if (emission[k] != 0.0 || deposition[k] != 0.0 || held[k]) return false;
  }
  return true;
}

OpenBoxPlan plan_open_box(const OpenBox& box) {
  OpenBoxPlan plan;
  for (int k = 0; k < nvar; ++k) {
    const auto i = static_cast<std::size_t>(k);
    if (box.held[i]) {
      plan.held.push_back(k);
      // Row k + 1 of the pattern: every stored entry, fill-in included
      // (the kernels write those as zeros; they stay zeros).
      for (int p = lu_crow[i]; p < lu_crow[i + 1]; ++p) plan.held_entries.push_back(p - 1);
      // Held, it still deposits and is diluted: what would have left at
      // the observed value (v_d/H c_obs) is reported as those processes,
      // and the budget's constraint term carries what holding gave back.
      // Neither enters f: the held value does not move.
      using Kind = ExchangeProcess::Kind;
      if (box.deposition[i] != 0.0) plan.processes.push_back({Kind::deposition, k});
      if (box.dilution != 0.0) plan.processes.push_back({Kind::dilution, k});
      continue;
    }
    plan.loss[i] = box.deposition[i] + box.dilution;
    if (box.emission[i] != 0.0 || plan.loss[i] != 0.0) plan.exchanged.push_back(k);
    using Kind = ExchangeProcess::Kind;
    if (box.emission[i] != 0.0) plan.processes.push_back({Kind::emission, k});
    if (box.deposition[i] != 0.0) plan.processes.push_back({Kind::deposition, k});
    if (box.dilution != 0.0) plan.processes.push_back({Kind::dilution, k});
  }
  return plan;
}


int driver_slot(int index) noexcept { return species_map[at(index)].vc_slot; }

double& driver_value(int index, double* vc, RadicalSlots& radicals) noexcept {
  return driver_value(species_map[at(index)], vc, radicals);
}

}  // namespace box
