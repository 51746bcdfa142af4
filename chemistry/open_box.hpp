#pragma once
// The air parcel as an open box. Besides its chemistry the parcel can
// receive surface emissions mixed through the boundary layer, lose species
// to the ground by dry deposition, exchange air with a background at a
// fixed dilution rate, and have some species held to observed values.
//
// A chamber adds first-order losses to its walls (k_wall) and to the
// sampling flow replaced by clean air (k_s).
//
// Emission, deposition and dilution enter the integrated system as a
// source S_k and a first-order loss L_k per species,
//   dc_k/dt = chemistry_k + S_k - L_k c_k,
//   S_k = E_k / H + k_dil c_bg,k,   L_k = v_d,k / H + k_dil + k_wall,k + k_s,
// so the Jacobian gains -L_k on its diagonal and the integrator treats the
// exchange as implicitly as the chemistry. A held species is set by the
// driver before the step and kept there: its row of f and of the Jacobian
// is zero, while its column still lets it react with everything else.
#include <array>
#include <string_view>
#include <vector>

#include "chemistry/mechanism_system.hpp"
#include "mechanism/species_lookup.hpp"
#include "chemistry/step_inputs.hpp"
#include "mechanism/mechanism.hpp"

namespace box {

// What a scenario opens the box to, per integrated species in mechanism
// order (entry k describes species k + 1). Fixed for a run.
struct OpenBox {
  // Surface emission divided by the mixing height, molecules cm-3 s-1, at an
  // emission profile factor of 1.
  std::array<double, nvar> emission{};
  // Deposition velocity divided by the mixing height, s-1.
  std::array<double, nvar> deposition{};
  // Exchange with the background air, s-1, and the background's mole
  // fractions (converted to number densities at each step's air density).
  double dilution = 0.0;
  std::array<double, nvar> background{};
  // A chamber's first-order wall loss, s-1, and the dilution by its
  // sampling flow with clean air (background 0), s-1: losses like the
  // deposition, each a process of its own.
  std::array<double, nvar> wall{};
  double sampling = 0.0;
  // Species set by the driver before each step and not integrated.
  std::array<bool, nvar> held{};

  // True when nothing is exchanged or held: the plain closed box.
  bool closed() const noexcept;
};

// The index lists of an OpenBox, worked out once per run so that the
// right-hand side and the Jacobian only walk short precomputed lists.
// One exchange process of a species, for budgets: its rate integrated over
// a step says how much the emission brought, the deposition took or the
// dilution exchanged.
struct ExchangeProcess {
  enum class Kind { emission, deposition, dilution, wall_loss, sampling } kind;
  int species;  // 0-based
  // What the process does to its species per unit of its rate: emission and
  // dilution (net inflow) add, the losses remove.
  double coef() const {
    return kind == Kind::emission || kind == Kind::dilution ? 1.0 : -1.0;
  }
  const char* term() const {
    switch (kind) {
      case Kind::emission: return "emission";
      case Kind::deposition: return "deposition";
      case Kind::dilution: return "dilution";
      case Kind::wall_loss: return "wall_loss";
      case Kind::sampling: return "sampling";
    }
    return "";
  }
};

// The exchange processes of one species in budget order (emission,
// deposition, dilution, wall loss, sampling), those whose rates are given.
void add_exchange_processes(int species, bool emitted, bool deposited, double dilution, bool walled,
                            double sampling, std::vector<ExchangeProcess>& out);

// The rates of `processes` at number densities y (molecules cm-3 s-1),
// with emissions scaled by `emission_factor` and background mole fractions
// at air number density `air`; `box` has per species containers emission,
// deposition, background and wall and the rates dilution and sampling
// (OpenBox, FileExchange).
template <class Box>
void exchange_rates(const std::vector<ExchangeProcess>& processes, const Box& box, double emission_factor,
                    double air, const double* y, double* out) {
  for (const ExchangeProcess& p : processes) {
    const auto i = static_cast<std::size_t>(p.species);
    switch (p.kind) {
      case ExchangeProcess::Kind::emission: *out++ = emission_factor * box.emission[i]; break;
      case ExchangeProcess::Kind::deposition: *out++ = box.deposition[i] * y[i]; break;
      case ExchangeProcess::Kind::dilution: *out++ = box.dilution * (box.background[i] * air - y[i]); break;
      case ExchangeProcess::Kind::wall_loss: *out++ = box.wall[i] * y[i]; break;
      case ExchangeProcess::Kind::sampling: *out++ = box.sampling * y[i]; break;
    }
  }
}

// Their derivatives in the direction v.
template <class Box>
void exchange_jvp(const std::vector<ExchangeProcess>& processes, const Box& box, const double* v, double* out) {
  for (const ExchangeProcess& p : processes) {
    const auto i = static_cast<std::size_t>(p.species);
    switch (p.kind) {
      case ExchangeProcess::Kind::emission: *out++ = 0.0; break;
      case ExchangeProcess::Kind::deposition: *out++ = box.deposition[i] * v[i]; break;
      case ExchangeProcess::Kind::dilution: *out++ = 0.0 - box.dilution * v[i]; break;
      case ExchangeProcess::Kind::wall_loss: *out++ = box.wall[i] * v[i]; break;
      case ExchangeProcess::Kind::sampling: *out++ = box.sampling * v[i]; break;
    }
  }
}

struct OpenBoxPlan {
  std::vector<int> exchanged;     // 0-based species with a source or loss, not held
  std::vector<int> held;          // 0-based held species
  std::vector<int> held_entries;  // storage positions of the held rows
  std::array<double, nvar> loss{};  // L_k, s-1
  // The exchange processes after the reactions, in species order (emission,
  // deposition, dilution, wall loss, sampling of each).
  std::vector<ExchangeProcess> processes;
};

OpenBoxPlan plan_open_box(const OpenBox& box);

// The mechanism with the open-box terms. The source is the step's: it
// depends on the air density (background) and on the emission profile.
struct OpenBoxSystem {
  static constexpr int n = MechanismSystem::n;
  static constexpr int nnz = MechanismSystem::nnz;

  MechanismSystem chemistry;
  const OpenBoxPlan* plan;
  const double* source;  // nvar sources S_k, molecules cm-3 s-1
  // For the exchange processes' rates: the box, the step's emission factor
  // and air number density (molecules cm-3).
  const OpenBox* box = nullptr;
  double emission_factor = 1.0;
  double air = 0.0;

  void fun(double t, const double* var, double* vdot) const {
    chemistry.fun(t, var, vdot);
    for (const int k : plan->exchanged) {
      const auto i = static_cast<std::size_t>(k);
      vdot[i] = vdot[i] + (source[i] - plan->loss[i] * var[i]);
    }
    for (const int k : plan->held) vdot[static_cast<std::size_t>(k)] = 0.0;
  }
  void jac(double t, const double* var, double* jvs) const {
    chemistry.jac(t, var, jvs);
    for (const int k : plan->exchanged) {
      double& d = jvs[diag(k)];
      d = d - plan->loss[static_cast<std::size_t>(k)];
    }
    for (const int p : plan->held_entries) jvs[static_cast<std::size_t>(p)] = 0.0;
  }
  static int decomp(double* jvs) { return MechanismSystem::decomp(jvs); }
  static int decomp_shifted(const double* jac, double shift, double* jvs) {
    return MechanismSystem::decomp_shifted(jac, shift, jvs);
  }
  static void solve(const double* jvs, double* x) { MechanismSystem::solve(jvs, x); }
  static constexpr std::size_t diag(int i) { return MechanismSystem::diag(i); }

  // The processes: the reactions, then the exchange processes of the plan.
  int nproc() const { return nreact + static_cast<int>(plan->processes.size()); }
  void process_rates(double t, const double* var, double* rate) const {
    chemistry.process_rates(t, var, rate);
    exchange_rates(plan->processes, *box, emission_factor, air, var, rate + nreact);
  }
  void process_jvp(double t, const double* var, const double* v, double* out) const {
    chemistry.process_jvp(t, var, v, out);
    exchange_jvp(plan->processes, *box, v, out + nreact);
  }
};

static_assert(RosenbrockSystem<OpenBoxSystem>);
static_assert(ProcessSystem<OpenBoxSystem>);

// The driver's concentration-vector slot of species `index` (1..78), or 0
// when the driver keeps it in a radical variable.
int driver_slot(int index) noexcept;

// The driver's value (mole fraction) of species `index` (1..78), wherever
// the driver keeps it.
double& driver_value(int index, double* vc, RadicalSlots& radicals) noexcept;

}  // namespace box
