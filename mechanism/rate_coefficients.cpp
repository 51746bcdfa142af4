// Rate coefficients of all reactions, evaluated once per chemistry step
// (temperature and air density are constant over a step).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "mechanism/rate_cache.hpp"
#include "mechanism/rate_laws.hpp"
#include "mechanism/reaction_table.hpp"

namespace box {
namespace {

double coefficient(const mech::RateLaw& r, const double* j, double c_m, double temp) noexcept {
  const auto& p = r.p;
  switch (r.law) {
    case mech::Law::photolysis:
      return j[at(r.slot)];
    case mech::Law::constant:
      return p[0];
    case mech::Law::arr2:
      return arr2(p[0], p[1], temp);
    case mech::Law::arr2_share:
      // M stands for all of the air; these reactions are with its N2 or O2
      // (or, for HO + M, a fixed trace share), so the coefficient carries
      // that mole fraction.
      return arr2(p[0], p[1], temp) * p[2];
    case mech::Law::troe:
      return troe(p[0], p[1], p[2], p[3], temp, c_m);
    case mech::Law::troee:
      return troee(p[0], p[1], p[2], p[3], p[4], p[5], temp, c_m);
    case mech::Law::thermal_t2:
      return thermal_t2(p[0], p[1], temp);
    case mech::Law::hno3_oh:
      return k46(temp, c_m);
    case mech::Law::ozone_formation:
      // O + O2 + M, written O3P + M: the coefficient is proportional to M
      // and M is also a reactant, so the rate is k0 [M]^2 [O3P] where the
      // physics is k0 [O2] [M] [O3P], [O2] = 0.2095 [M]. O(3P) comes out
      // about 4.8 times too low; ozone hardly changes, since nearly every
      // O(3P) becomes ozone either way. Kept as the mechanism specifies it
      // (stored results rely on it): a rate factor of 0.2095 on R27 gives
      // the physical rate.
      return 6.0E-34 * c_m * std::pow(temp / 300.0, -2.3);
    case mech::Law::ho2_self:
      // A bimolecular channel and a third-body-assisted one.
      return 1.7E-33 * c_m * std::exp(1000.0 / temp) + 2.3E-13 * std::exp(600.0 / temp);
    case mech::Law::ho2_self_h2o:
      // The water-vapour enhancement of HO2 + HO2 (water vapour is a factor
      // of the rate, so this coefficient is termolecular).
      return 2.38E-54 * c_m * std::exp(3200.0 / temp) + 3.22E-34 * std::exp(2800.0 / temp);
    case mech::Law::co_oh:
      // CO + HO speeds up with pressure through the HOCO intermediate.
      return 1.5E-13 * (1.0 + 2.439E-20 * c_m);
  }
  return 0.0;
}

// Many reactions share an activation temperature B, and so the factor
// exp(0 - B/T) of their Arrhenius-type laws; several share all four
// parameters of a fall-off law (a formation and the decomposition paired
// with it, or analogous peroxy-acyl nitrates). Each distinct factor is
// evaluated once per call and used by every reaction that has it: the same
// operations on the same numbers, so the same bits as evaluating each
// reaction on its own, with about half the exponentials and powers. The
// reactions are grouped by law at compile time, so that the evaluation is a
// few short loops instead of a dispatch per reaction.
struct SharedTerm {
  int reaction;  // 0-based
  int shared;    // index of its shared factor (and, for troee, `falloff`)
  int falloff;
};

struct Plan {
  std::array<double, nreact> activation{};  // distinct B
  int n_activation = 0;
  std::array<std::array<double, 4>, nreact> falloff{};  // distinct k0, n, kinf, m
  int n_falloff = 0;
  // Reactions by law, each list in reaction order.
  std::array<SharedTerm, nreact> arr2{}, arr2_share{}, thermal_t2{}, troe{}, troee{};
  int n_arr2 = 0, n_arr2_share = 0, n_thermal_t2 = 0, n_troe = 0, n_troee = 0;
  std::array<int, nreact> photolysis{}, constant{}, other{};
  int n_photolysis = 0, n_constant = 0, n_other = 0;
};

constexpr Plan plan = [] {
  Plan s;
  auto activation_index = [&s](double b) {
    for (int k = 0; k < s.n_activation; ++k)
      if (s.activation[static_cast<std::size_t>(k)] == b) return k;
    s.activation[static_cast<std::size_t>(s.n_activation)] = b;
    return s.n_activation++;
  };
  auto falloff_index = [&s](const std::array<double, 4>& q) {
    for (int k = 0; k < s.n_falloff; ++k)
      if (s.falloff[static_cast<std::size_t>(k)] == q) return k;
    s.falloff[static_cast<std::size_t>(s.n_falloff)] = q;
    return s.n_falloff++;
  };
  auto add = [](auto& list, int& count, auto item) { list[static_cast<std::size_t>(count++)] = item; };
  for (int n = 1; n <= nreact; ++n) {
    const mech::RateLaw& r = mech::reactions[at(n)].law;
    const auto& p = r.p;
    const int i = n - 1;
    switch (r.law) {
      case mech::Law::photolysis: add(s.photolysis, s.n_photolysis, i); break;
      case mech::Law::constant: add(s.constant, s.n_constant, i); break;
      case mech::Law::arr2: add(s.arr2, s.n_arr2, SharedTerm{i, activation_index(p[1]), 0}); break;
      case mech::Law::arr2_share:
        add(s.arr2_share, s.n_arr2_share, SharedTerm{i, activation_index(p[1]), 0});
        break;
      case mech::Law::thermal_t2:
        add(s.thermal_t2, s.n_thermal_t2, SharedTerm{i, activation_index(p[1]), 0});
        break;
      case mech::Law::troe:
        add(s.troe, s.n_troe, SharedTerm{i, falloff_index({p[0], p[1], p[2], p[3]}), 0});
        break;
      case mech::Law::troee:
        add(s.troee, s.n_troee,
            SharedTerm{i, activation_index(p[1]), falloff_index({p[2], p[3], p[4], p[5]})});
        break;
      default: add(s.other, s.n_other, i); break;
    }
  }
  return s;
}();

const mech::RateLaw& law(int reaction) { return mech::reactions[static_cast<std::size_t>(reaction)].law; }

}  // namespace

double racm_rate_coefficient(int n, const double* j, double c_m, double temp) noexcept {
  return coefficient(mech::reactions[at(n)].law, j, c_m, temp);
}

void racm_update_rconst(const double* j, double* rconst, double c_m, double temp) noexcept {
  // exp(0 - B/T) as arr2 forms it, and the fall-off coefficients as troe does.
  std::array<double, plan.n_activation> e;
  for (std::size_t k = 0; k < e.size(); ++k) e[k] = std::exp(0.0 - plan.activation[k] / temp);
  std::array<double, plan.n_falloff> tr;
  for (std::size_t k = 0; k < tr.size(); ++k) {
    const auto& q = plan.falloff[k];
    tr[k] = troe(q[0], q[1], q[2], q[3], temp, c_m);
  }
  const auto each = [](const auto& list, int count, auto&& set) {
    for (int i = 0; i < count; ++i) set(list[static_cast<std::size_t>(i)]);
  };
  const auto ex = [&e](int k) { return e[static_cast<std::size_t>(k)]; };
  const auto fo = [&tr](int k) { return tr[static_cast<std::size_t>(k)]; };
  each(plan.photolysis, plan.n_photolysis,
       [&](int n) { rconst[n] = j[at(law(n).slot)]; });
  each(plan.constant, plan.n_constant, [&](int n) { rconst[n] = law(n).p[0]; });
  // A exp(-B/T)
  each(plan.arr2, plan.n_arr2,
       [&](const SharedTerm& s) { rconst[s.reaction] = law(s.reaction).p[0] * ex(s.shared); });
  // The same, times the share of M that reacts.
  each(plan.arr2_share, plan.n_arr2_share, [&](const SharedTerm& s) {
    rconst[s.reaction] = law(s.reaction).p[0] * ex(s.shared) * law(s.reaction).p[2];
  });
  // C T^2 exp(-D/T)
  each(plan.thermal_t2, plan.n_thermal_t2, [&](const SharedTerm& s) {
    rconst[s.reaction] = law(s.reaction).p[0] * (temp * temp) * ex(s.shared);
  });
  each(plan.troe, plan.n_troe,
       [&](const SharedTerm& s) { rconst[s.reaction] = fo(s.shared); });
  // A exp(-B/T) times the formation's fall-off coefficient.
  each(plan.troee, plan.n_troee, [&](const SharedTerm& s) {
    rconst[s.reaction] = law(s.reaction).p[0] * ex(s.shared) * fo(s.falloff);
  });
  each(plan.other, plan.n_other,
       [&](int n) { rconst[n] = coefficient(law(n), j, c_m, temp); });
}

void racm_update_photolysis(const double* j, double* rconst) noexcept {
  for (int i = 0; i < plan.n_photolysis; ++i) {
    const int n = plan.photolysis[static_cast<std::size_t>(i)];
    rconst[n] = j[at(law(n).slot)];
  }
}

void RateCoefficientCache::update(const double* j, double* rconst, double c_m, double temp) noexcept {
  // Compared bit for bit: the same numbers give the same coefficients (a
  // NaN with them), and -0.0 is not taken for 0.0.
  const bool same = valid_ && std::memcmp(&c_m, &c_m_, sizeof c_m) == 0 &&
                    std::memcmp(&temp, &temp_, sizeof temp) == 0;
  if (!same) {
    racm_update_rconst(j, k_.data(), c_m, temp);
    c_m_ = c_m;
    temp_ = temp;
    valid_ = true;
    ++evaluations_;
  }
  std::copy(k_.begin(), k_.end(), rconst);
  racm_update_photolysis(j, rconst);
}

}  // namespace box
