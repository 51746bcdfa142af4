#include "chemistry/chemistry_step.hpp"

#include <algorithm>
#include <span>

#include "chemistry/species_map.hpp"
#include "chemistry/unit_conversion.hpp"
#include "common/one_based.hpp"
#include "mechanism/mechanism.hpp"
#include "mechanism/reaction_table.hpp"

namespace box {
namespace {

// max(x, 0) that also turns a not-a-number into 0: concentrations below
// zero (integration overshoot, or bad input) never enter or leave the step.
double non_negative(double x) { return x > 0.0 ? x : 0.0; }

constexpr double ppb = 1.0e9;  // mole fraction -> ppb

}  // namespace

void TimedCoefficients::begin(const double* base, const std::vector<std::pair<int, double>>& factors) {
  std::copy(base, base + nreact, k_.begin());
  valid_ = false;
  if (photolysis_.empty()) {
    for (std::size_t n = 0; n < mech::reactions.size(); ++n) {
      const mech::RateLaw& law = mech::reactions[n].law;
      if (law.law == mech::Law::photolysis)
        photolysis_.push_back({static_cast<int>(n), law.slot - 1, 1.0});
    }
  }
  for (Photolysis& p : photolysis_) {
    p.factor = 1.0;
    for (const auto& [reaction, factor] : factors)
      if (reaction - 1 == p.reaction) p.factor = p.factor * factor;
  }
}

const double* TimedCoefficients::at(double t) const {
  if (valid_ && t == t_) return k_.data();
  frequencies_(t, j_);
  for (const Photolysis& p : photolysis_)
    k_[static_cast<std::size_t>(p.reaction)] = j_[static_cast<std::size_t>(p.slot)] * p.factor;
  t_ = t;
  valid_ = true;
  return k_.data();
}

void ChemistryStep::set_time_dependent_photolysis(TimedCoefficients::Frequencies frequencies) {
  if (frequencies) timed_.emplace(std::move(frequencies));
  else timed_.reset();
}

MechanismAir air_of_density(double t_phy, double rho_phy, double moist) {
  using namespace unit_conversion;
  MechanismAir air;
  air.temp = t_phy;
  air.m = rho_phy * dens2con_a;
  // moist is a mass mixing ratio, so moist * rho is the vapour's mass density.
  air.h2o = moist * dens2con_w * rho_phy;
  return air;
}

void ChemistryStep::racm_interface(double* vc,
                                   double dtstepc,
                                   double t_phy, double rho_phy, double moist,
                                   RadicalSlots& radicals,
                                   const PhotolysisRates& ph) {
  // The positional entry points report failures on the message sink only.
  static_cast<void>(advance(vc, dtstepc, air_of_density(t_phy, rho_phy, moist), radicals, ph));
}

void ChemistryStep::racm_interface_budget(double* vc,
                                          double dtstepc, double t_phy,
                                          double rho_phy, double moist,
                                          RadicalSlots& radicals, const PhotolysisRates& ph,
                                          StepBudget& budget) {
  static_cast<void>(advance(vc, dtstepc, air_of_density(t_phy, rho_phy, moist), radicals, ph, &budget));
}

StepResult ChemistryStep::advance(double* vc, double dtstepc, const MechanismAir& air, RadicalSlots& radicals,
                                  const PhotolysisRates& ph, StepBudget* budget) {
  prepare(vc, dtstepc, air, radicals, ph, budget);
  int ierr = 0;
  ProcessIntegrals* processes = nullptr;
  if (budget != nullptr) {
    processes_.clear();
    processes = &processes_;
  }
  if (open_) {
    ierr = integrate_open(time_end_, vc, radicals, processes);
  } else {
    const MechanismSystem system{fix_.data(), rconst_.data(), timed_ ? &*timed_ : nullptr};
    integrator_.integrate(system, time_start_, time_start_ + time_end_, var_.data(),
                          atol_.data(), rtol_.data(), &icntrl_, &rcntrl_,
                          nullptr, nullptr, &ierr, processes);
  }
  const RosenbrockCounters& c = open_ ? open_->integrator.counters() : integrator_.counters();
  return write_back(vc, radicals, ierr, c, budget);
}

void ChemistryStep::begin(double* vc, double dtstepc, const MechanismAir& air, RadicalSlots& radicals,
                          const PhotolysisRates& ph) {
  prepare(vc, dtstepc, air, radicals, ph, nullptr);
}

LaneBox ChemistryStep::lane_box() {
  LaneBox b;
  b.var = var_.data();
  b.fix = fix_.data();
  b.rconst = rconst_.data();
  b.tend = time_end_;
  b.atol = atol_.data();
  b.rtol = rtol_.data();
  b.icntrl = &icntrl_;
  b.rcntrl = &rcntrl_;
  return b;
}

StepResult ChemistryStep::finish(double* vc, RadicalSlots& radicals, int ierr,
                                 const RosenbrockCounters& counters) {
  return write_back(vc, radicals, ierr, counters, nullptr);
}

void ChemistryStep::prepare(double* vc, double dtstepc, const MechanismAir& air, RadicalSlots& radicals,
                            const PhotolysisRates& ph, StepBudget* budget) {
  // Controls: all defaults except autonomous mode (the rate coefficients are
  // frozen over the step, so f has no explicit time dependence), the method
  // and a first trial step of 1 % of the interval.
  icntrl_.fill(0);
  rcntrl_.fill(0.0);
  atol_.fill(settings_.atol);
  rtol_.fill(settings_.rtol);
  const double time_end = dtstepc;
  icntrl_[at(1)] = timed_ ? 0 : 1;
  icntrl_[at(3)] = settings_.method;
  rcntrl_[at(3)] = time_end * 0.01;

  // Air (M) and water vapour as number densities.
  fix_[at(indf_m)] = air.m;
  const double c_m = fix_[at(indf_m)];
  fix_[at(indf_h2o)] = air.h2o;
  const double temp = air.temp;

  // Mole fraction -> molecules cm-3.
  conv_ = air.m;

  std::copy(ph.begin(), ph.end(), jv_.begin());

  for (std::size_t k = 0; k < species_map.size(); ++k) {
    const double x = driver_value(species_map[k], vc, radicals);
    var_[k] = non_negative(x) * conv_;
    if (budget != nullptr) budget->clipping[k] = (non_negative(x) - x) * ppb;
  }

  // The thermal coefficients again only when the air has changed (within
  // an hour of records it is the same air, step after step).
  rate_cache_.update(jv_.data(), rconst_.data(), c_m, temp);
  for (const auto& [reaction, factor] : settings_.rate_factors)
    rconst_[at(reaction)] = rconst_[at(reaction)] * factor;
  if (timed_) timed_->begin(rconst_.data(), settings_.rate_factors);
  time_end_ = time_end;
}

StepResult ChemistryStep::write_back(double* vc, RadicalSlots& radicals, int ierr,
                                     const RosenbrockCounters& c, StepBudget* budget) {
  const double oconv = 1 / conv_;
  for (std::size_t k = 0; k < species_map.size(); ++k) {
    const double x = oconv * var_[k];
    driver_value(species_map[k], vc, radicals) = non_negative(x);
    if (budget != nullptr) budget->clipping[k] += (non_negative(x) - x) * ppb;
  }
  if (open_) write_back_held(vc, radicals);
  if (budget != nullptr) {
    const std::span<const double> z = processes_.values();
    for (std::size_t n = 0; n < budget->reaction.size(); ++n) budget->reaction[n] = z[n] * oconv * ppb;
    budget->exchange.clear();
    for (std::size_t n = budget->reaction.size(); n < z.size(); ++n)
      budget->exchange.push_back(z[n] * oconv * ppb);
  }

  statistics_.steps += 1;
  statistics_.nfun += c.nfun;
  statistics_.njac += c.njac;
  statistics_.nstp += c.nstp;
  statistics_.nacc += c.nacc;
  statistics_.nrej += c.nrej;
  statistics_.ndec += c.ndec;
  statistics_.nsol += c.nsol;
  statistics_.nsng += c.nsng;
  return StepResult{ierr, c};
}

void ChemistryStep::set_open_box(const OpenBox& box) {
  if (box.closed()) {
    open_.reset();
    return;
  }
  open_.emplace(Open{box, plan_open_box(box), Rosenbrock<OpenBoxSystem>(messages_), {}, {}});
}

void ChemistryStep::set_held(const std::array<bool, nvar>& held) {
  if (!open_) return;
  open_->box.held = held;
  open_->plan = plan_open_box(open_->box);
}

int ChemistryStep::integrate_open(double time_end, double* vc, RadicalSlots& radicals,
                                  ProcessIntegrals* processes) {
  Open& o = *open_;
  // Sources as number densities at this step's air density: emission
  // scaled by the profile, inflow of background air.
  for (const int k : o.plan.exchanged) {
    const auto i = static_cast<std::size_t>(k);
    o.source[i] = emission_factor_ * o.box.emission[i] + o.box.dilution * (o.box.background[i] * conv_);
  }
  // A held species leaves the step with the value it came in with, not its
  // round trip through molecules cm-3.
  for (const int k : o.plan.held) {
    const auto i = static_cast<std::size_t>(k);
    o.held_values[i] = non_negative(driver_value(species_map[i], vc, radicals));
  }
  const OpenBoxSystem system{{fix_.data(), rconst_.data(), timed_ ? &*timed_ : nullptr},
                             &o.plan, o.source.data(), &o.box, emission_factor_, conv_};
  int ierr = 0;
  o.integrator.integrate(system, time_start_, time_start_ + time_end, var_.data(), atol_.data(), rtol_.data(),
                         &icntrl_, &rcntrl_, nullptr, nullptr, &ierr, processes);
  return ierr;
}

void ChemistryStep::write_back_held(double* vc, RadicalSlots& radicals) const {
  for (const int k : open_->plan.held) {
    const auto i = static_cast<std::size_t>(k);
    driver_value(species_map[i], vc, radicals) = open_->held_values[i];
  }
}

}  // namespace box
