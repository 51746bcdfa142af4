#include "mechanism/reaction_rates.hpp"

#include <array>
#include <cstddef>

namespace box {
namespace {

// The table flattened for the loops: 0-based indices into one array of the
// nvar variable and nfix fixed concentrations.
struct Factors {
  std::array<int, mech::max_factors> index{};
  int count = 0;
};

inline constexpr std::array<Factors, nreact> factors = [] {
  std::array<Factors, nreact> out{};
  for (const mech::Reaction& r : mech::reactions) {
    Factors& f = out[at(r.number)];
    for (int k = 0; k < r.n_factors; ++k) f.index[static_cast<std::size_t>(k)] = r.factors[static_cast<std::size_t>(k)] - 1;
    f.count = r.n_factors;
  }
  return out;
}();

struct VariablePartial {
  int reaction = 0;  // 0-based
  int species = 0;   // 0-based variable species
  bool twice = false;
  std::array<int, mech::max_factors - 1> rest{};  // 0-based, as in Factors
  int n_rest = 0;
};

inline constexpr std::array<VariablePartial, n_rate_partials> variable_partials = [] {
  std::array<VariablePartial, n_rate_partials> out{};
  std::size_t k = 0;
  for (const mech::Partial& d : mech::partials) {
    if (mech::is_fixed(d.species)) continue;
    VariablePartial& p = out[k++];
    p.reaction = d.reaction - 1;
    p.species = d.species - 1;
    p.twice = d.twice;
    for (int m = 0; m < d.n_rest; ++m) p.rest[static_cast<std::size_t>(m)] = d.rest[static_cast<std::size_t>(m)] - 1;
    p.n_rest = d.n_rest;
  }
  return out;
}();

// Concentration k of the combined list: variable species, then H2O and M.
inline double concentration(const double* v, const double* f, int k) {
  return k < nvar ? v[k] : f[k - nvar];
}

}  // namespace

void racm_reaction_rates(const double* v, const double* f, const double* rct,
                         double* rate) noexcept {
  for (std::size_t n = 0; n < factors.size(); ++n) {
    const Factors& fac = factors[n];
    double r = rct[n];
    for (int k = 0; k < fac.count; ++k) r = r * concentration(v, f, fac.index[static_cast<std::size_t>(k)]);
    rate[n] = r;
  }
}

void racm_rate_partials(const double* v, const double* f, const double* rct,
                        double* partials) noexcept {
  for (std::size_t k = 0; k < variable_partials.size(); ++k) {
    const VariablePartial& d = variable_partials[k];
    double b = d.twice ? 2.0 * rct[d.reaction] : rct[d.reaction];
    for (int m = 0; m < d.n_rest; ++m) b = b * concentration(v, f, d.rest[static_cast<std::size_t>(m)]);
    partials[k] = b;
  }
}

void racm_rate_jvp(const double* partials, const double* x, double* out) noexcept {
  for (int n = 0; n < nreact; ++n) out[n] = 0.0;
  for (std::size_t k = 0; k < variable_partials.size(); ++k) {
    const VariablePartial& d = variable_partials[k];
    out[d.reaction] = out[d.reaction] + partials[k] * x[d.species];
  }
}

}  // namespace box
