#pragma once
// Rate laws of the mechanism and the routine that evaluates all rate
// coefficients. Temperatures in K, number densities in molecules cm-3,
// coefficients in cm3 molecule-1 s-1 (s-1 for first order, cm6 molecule-2
// s-1 for the two termolecular reactions). The operations are written in the
// order that fixes their rounding.
#include <cmath>

namespace box {

// Arrhenius: A exp(-B/T).
inline double arr2(double a0, double b0, double temp) noexcept {
  return a0 * std::exp(0.0 - b0 / temp);
}

// Three-body association in the fall-off regime between the low-pressure
// limit k0 (proportional to the air density) and the high-pressure limit
// kinf, with the broadening factor 0.6 and reference temperature 300 K.
inline double troe(double k0_300k, double n, double kinf_300k, double m, double temp,
                   double cair) noexcept {
  const double zt_help = 300.0 / temp;
  const double k0_t = k0_300k * std::pow(zt_help, n) * cair;
  const double kinf_t = kinf_300k * std::pow(zt_help, m);
  const double k_ratio = k0_t / kinf_t;
  const double lg = std::log10(k_ratio);
  return k0_t / (1.0 + k_ratio) * std::pow(0.6, 1.0 / (1.0 + lg * lg));
}

// Thermal decomposition of an association product: the forward fall-off
// rate divided by the equilibrium constant K = exp(b/T) / a.
inline double troee(double a, double b, double k0_300k, double n, double kinf_300k, double m,
                    double temp, double cair) noexcept {
  return a * std::exp(0.0 - b / temp) * troe(k0_300k, n, kinf_300k, m, temp, cair);
}

// Modified Arrhenius: C T^2 exp(-D/T).
inline double thermal_t2(double c, double d, double temp) noexcept {
  return c * (temp * temp) * std::exp(0.0 - d / temp);
}

// HNO3 + HO, which proceeds through an HNO3-HO complex. The pressure
// dependence of the complex channel is deliberately left out: k3 enters
// without the air density, so c_m is accepted and not used.
inline double k46(double temp, [[maybe_unused]] double c_m) noexcept {
  const double k0 = 7.2E-15 * std::exp(785.0 / temp);
  const double k2 = 4.1E-16 * std::exp(1440.0 / temp);
  const double k3 = 1.9E-33 * std::exp(725.0 / temp);
  return k0 + k3 / (1.0 + k3 / k2);
}

// Fills all nreact rate coefficients for temperature temp and air density
// c_m. j holds the nphot photolysis frequencies (s-1) by slot, j[at(pj_x)].
// Water vapour enters as a reactant, not through a coefficient.
void racm_update_rconst(const double* j, double* rconst, double c_m, double temp) noexcept;

// The coefficient of reaction n (1-based) alone, from its rate law: the
// value racm_update_rconst stores for it, bit for bit.
double racm_rate_coefficient(int n, const double* j, double c_m, double temp) noexcept;

}  // namespace box
