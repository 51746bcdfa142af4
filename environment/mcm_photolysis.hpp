#pragma once
// Clear-sky photolysis frequencies of the MCM v3.3.1 parameterisation:
//
//   J = l · cos(χ)^m · exp(−n · sec χ)      (s-1, χ the solar zenith angle)
//
// fitted per channel to radiative-transfer results for a clear sky at the
// ground. cos(χ)^m carries the slant path through the absorbing column of
// the wavelengths that matter (m small for the visible NO2 and NO3 bands,
// near 2 for the O3 → O(1D) band that lives on the ultraviolet edge), and
// exp(−n sec χ) the extinction along that path. With the sun at or below
// the horizon there is no light: J = 0.
#include <span>

namespace box {

struct McmParameters {
  int channel = 0;  // MCM channel number n of J<n>
  double l = 0;     // s-1, the frequency's scale
  double m = 0;     // exponent of cos χ
  double n = 0;     // coefficient of sec χ
};

// The MCM v3.3.1 channels (environment/data/mcm-photolysis-v3.3.1.csv,
// compiled in), by increasing channel number.
std::span<const McmParameters> mcm_parameters();

// The parameters of channel J<channel>, or null when the MCM has none.
const McmParameters* find_mcm_channel(int channel);

// J (s-1) of the channel with the sun at zenith cosine `cos_zenith`; 0 for
// cos_zenith at or below zero (and below 1e-12, where exp(−n sec χ) is
// zero in double precision anyway and sec χ could overflow).
double mcm_frequency(const McmParameters& p, double cos_zenith);

}  // namespace box
