#pragma once
// A realistic polluted-daytime state of the mechanism with every species
// present, shared by the mechanism tests.
#include <array>
#include <utility>

#include "mechanism/mechanism.hpp"

namespace box::test {

inline constexpr double c_m_day = 2.5e19;  // molecules cm-3, about 1013 hPa and 298 K
inline constexpr double temp_day = 298.0;

using State = std::array<double, nvar>;
using Fixed = std::array<double, nfix>;
using Rates = std::array<double, nreact>;

// Mole fractions of a summer afternoon at a suburban site; species not
// named sit at 0.1 ppb (stable) or 1 ppt (peroxy radicals).
inline State daytime_state() {
  State v{};
  v.fill(1e-10);
  const std::pair<int, double> mix[] = {
      {ind_co2, 390e-6}, {ind_ch4, 1.8e-6}, {ind_co, 150e-9},  {ind_o3, 40e-9},   {ind_no, 0.5e-9},
      {ind_no2, 2e-9},   {ind_no3, 1e-13},  {ind_n2o5, 1e-11}, {ind_ho, 1e-13},   {ind_ho2, 2e-11},
      {ind_o1d, 1e-18},  {ind_o3p, 1e-15},  {ind_hno3, 2e-9},  {ind_hno4, 1e-11}, {ind_hono, 1e-10},
      {ind_h2o2, 1e-9},  {ind_so2, 2e-9},   {ind_sulf, 1e-9},  {ind_hcho, 2e-9},  {ind_ald, 1e-9},
      {ind_iso, 1e-9},   {ind_pan, 0.5e-9}, {ind_tpan, 1e-11}, {ind_aco3, 1e-11}, {ind_mo2, 1e-11},
      {ind_br, 1e-13},   {ind_bro, 1e-12},  {ind_br2, 1e-12},  {ind_hobr, 2e-12}, {ind_hbr, 1e-12},
      {ind_pho, 1e-14},  {ind_addt, 1e-14}, {ind_addx, 1e-14}, {ind_addc, 1e-14}, {ind_etep, 1e-12},
      {ind_oltp, 1e-12}, {ind_olip, 1e-12}, {ind_cslp, 1e-12}, {ind_limp, 1e-12}, {ind_hc5p, 1e-12},
      {ind_hc8p, 1e-12}, {ind_tolp, 1e-12}, {ind_xylp, 1e-12}, {ind_apip, 1e-12}, {ind_isop, 1e-12},
      {ind_xo2, 1e-12},  {ind_tco3, 1e-12}, {ind_ethp, 1e-12}, {ind_ketp, 1e-12}, {ind_hc3p, 1e-12},
      {ind_olnn, 1e-12}, {ind_olnd, 1e-12}, {ind_hc3, 3e-9},   {ind_eth, 2e-9},   {ind_tol, 1e-9},
      {ind_ket, 1e-9},
  };
  for (const auto& [index, x] : mix) v[at(index)] = x;
  for (double& x : v) x *= c_m_day;
  return v;
}

inline Fixed daytime_fixed() { return {0.015 * c_m_day, c_m_day}; }

// Photolysis frequencies of a high sun (s-1) in the slots that drive
// reactions; the others stay 0.
inline std::array<double, nphot> daytime_photolysis() {
  std::array<double, nphot> j{};
  for (int k = 1; k <= pj_bro; ++k) j[at(k)] = 1e-4 * k;
  j[at(pj_no2)] = 9e-3;
  j[at(pj_no3o)] = 0.2;
  j[at(pj_br2)] = 0.03;
  return j;
}

inline Rates daytime_rates() {
  Rates r{};
  const auto j = daytime_photolysis();
  racm_update_rconst(j.data(), r.data(), c_m_day, temp_day);
  return r;
}

}  // namespace box::test

namespace box::test {

// Per species, the sum of the magnitudes of all reaction terms of its
// derivative: the scale of the rounding error in racm_fun's result.
inline State gross_rates(const State& v, const Fixed& f, const Rates& r) {
  State g{}, d{};
  for (int n = 1; n <= nreact; ++n) {
    Rates one{};
    one[at(n)] = r[at(n)];
    racm_fun(v.data(), f.data(), one.data(), d.data());
    for (int s = 1; s <= nvar; ++s) g[at(s)] += d[at(s)] < 0 ? -d[at(s)] : d[at(s)];
  }
  return g;
}

}  // namespace box::test
