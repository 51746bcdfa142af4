#include "chemistry/open_box.hpp"

#include "chemistry/species_map.hpp"
#include "common/one_based.hpp"
#include "mechanism/jacobian_pattern.hpp"
#include "mechanism/reaction_table.hpp"
#include "mechanism/species_lookup.hpp"

namespace box {

bool OpenBox::closed() const noexcept {
  if (dilution != 0.0 || sampling != 0.0) return false;
  for (std::size_t k = 0; k < static_cast<std::size_t>(nvar); ++k) {
    if (emission[k] != 0.0 || deposition[k] != 0.0 || wall[k] != 0.0 || held[k]) return false;
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
      // The walls and the sampling flow likewise.
      add_exchange_processes(k, false, box.deposition[i] != 0.0, box.dilution, box.wall[i] != 0.0, box.sampling,
                             plan.processes);
      continue;
    }
    plan.loss[i] = box.deposition[i] + box.dilution;
    // A chamber's losses only where it has them: an open box without walls
    // sums exactly as before.
    if (box.wall[i] != 0.0 || box.sampling != 0.0) plan.loss[i] = plan.loss[i] + box.wall[i] + box.sampling;
    if (box.emission[i] != 0.0 || plan.loss[i] != 0.0) plan.exchanged.push_back(k);
    add_exchange_processes(k, box.emission[i] != 0.0, box.deposition[i] != 0.0, box.dilution, box.wall[i] != 0.0,
                           box.sampling, plan.processes);
  }
  return plan;
}

void add_exchange_processes(int species, bool emitted, bool deposited, double dilution, bool walled,
                            double sampling, std::vector<ExchangeProcess>& out) {
  using Kind = ExchangeProcess::Kind;
  if (emitted) out.push_back({Kind::emission, species});
  if (deposited) out.push_back({Kind::deposition, species});
  if (dilution != 0.0) out.push_back({Kind::dilution, species});
  if (walled) out.push_back({Kind::wall_loss, species});
  if (sampling != 0.0) out.push_back({Kind::sampling, species});
}


int driver_slot(int index) noexcept { return species_map[at(index)].vc_slot; }

double& driver_value(int index, double* vc, RadicalSlots& radicals) noexcept {
  return driver_value(species_map[at(index)], vc, radicals);
}

}  // namespace box
