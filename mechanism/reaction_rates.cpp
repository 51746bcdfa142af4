#include "mechanism/reaction_rates.hpp"

#include "mechanism/reaction_table.hpp"

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

// The variable and fixed concentrations in one array, so that a factor is
// read by its index alone.
struct Concentrations {
  std::array<double, nspec> c;
  Concentrations(const double* v, const double* f) {
    for (int k = 0; k < nvar; ++k) c[static_cast<std::size_t>(k)] = v[k];
    for (int k = 0; k < nfix; ++k) c[static_cast<std::size_t>(nvar + k)] = f[k];
  }
  double operator[](int k) const { return c[static_cast<std::size_t>(k)]; }
};

}  // namespace

void racm_reaction_rates(const double* v, const double* f, const double* rct,
                         double* rate) noexcept {
  const Concentrations c(v, f);
  for (std::size_t n = 0; n < factors.size(); ++n) {
    const Factors& fac = factors[n];
    double r = rct[n] * c[fac.index[0]];
    if (fac.count > 1) r = r * c[fac.index[1]];
    if (fac.count > 2) r = r * c[fac.index[2]];
    rate[n] = r;
  }
}

void racm_reaction_rates_jvp(const double* v, const double* f, const double* rct,
                             const double* x, double* out) noexcept {
  const Concentrations c(v, f);
  // The direction, zero for the fixed species.
  std::array<double, nspec> d{};
  for (int k = 0; k < nvar; ++k) d[static_cast<std::size_t>(k)] = x[k];
  for (std::size_t n = 0; n < factors.size(); ++n) {
    const Factors& fac = factors[n];
    const auto i0 = static_cast<std::size_t>(fac.index[0]);
    const auto i1 = static_cast<std::size_t>(fac.index[1]);
    const auto i2 = static_cast<std::size_t>(fac.index[2]);
    double r = 0.0;
    switch (fac.count) {
      case 1:
        r = rct[n] * d[i0];
        break;
      case 2:
        r = rct[n] * (d[i0] * c.c[i1] + c.c[i0] * d[i1]);
        break;
      default:
        r = rct[n] * ((d[i0] * c.c[i1] * c.c[i2] + c.c[i0] * d[i1] * c.c[i2]) +
                      c.c[i0] * c.c[i1] * d[i2]);
    }
    out[n] = r;
  }
}

}  // namespace box
