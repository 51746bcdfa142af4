#include "chemistry/builtin_photolysis.hpp"

#include <algorithm>
#include <cassert>
#include <stdexcept>

#include "chemistry/photolysis.hpp"
#include "common/one_based.hpp"

namespace box {
namespace {

// OP2 (higher organic hydroperoxides) is driven by the slot named after
// acetone, but its specified value is that of CH3OOH, and the MCM
// photolyses every ROOH with J41, as it does the peracids (PAA). ONIT, the
// lumped organic nitrate, gives ketones, HO2 and NO2 like 2-propyl nitrate
// (J54); KET and the hydroxy ketones HKET break like MEK and hydroxyacetone
// (both J22 in the MCM). Glyoxal's first slot is the molecular channel
// (J31, 2 CO + H2), its second the radical and HCHO channels (J32 + J33);
// methacrolein's slot takes both MCM channels (J18 + J19).
constexpr BuiltinChannel map[] = {
    {pj_o31d, "O3 -> O1D", {1, 0}},
    {pj_o33p, "O3 -> O3P", {2, 0}},
    {pj_no2, "NO2 -> O3P + NO", {4, 0}},
    {pj_no3o2, "NO3 -> NO", {5, 0}},
    {pj_no3o, "NO3 -> O3P + NO2", {6, 0}},
    {pj_hno2, "HONO -> HO + NO", {7, 0}},
    {pj_hno3, "HNO3 -> HO + NO2", {8, 0}},
    {pj_hno4, "HNO4 -> 0.65 HO2 + 0.35 NO3 + 0.35 HO + 0.65 NO2", {0, 0}},
    {pj_h2o2, "H2O2 -> 2 HO", {3, 0}},
    {pj_ch2or, "HCHO -> CO + 2 HO2", {11, 0}},
    {pj_ch2om, "HCHO -> CO", {12, 0}},
    {pj_ch3cho, "ALD -> CO + HO2 + MO2", {13, 0}},
    {pj_ch3coch3, "OP2 -> ALD + HO2 + HO", {41, 0}},
    {pj_ch3coc2h5, "KET -> ETHP + ACO3; HKET -> HCHO + ACO3 + HO2", {22, 0}},
    {pj_hcocho, "GLY -> 1.87 CO + 0.13 HCHO", {31, 0}},
    {pj_ch3cocho, "MGLY -> CO + ACO3 + HO2", {34, 0}},
    {pj_hcochest, "DCB -> TCO3 + HO2", {0, 0}},
    {pj_ch3o2h, "OP1 -> HCHO + HO2 + HO", {41, 0}},
    {pj_ch3coo2h, "PAA -> MO2 + HO", {41, 0}},
    {pj_ch3ono2, "ONIT -> 0.8 KET + 0.2 ALD + HO2 + NO2", {54, 0}},
    {pj_hcochob, "GLY -> 1.55 CO + 0.45 HCHO + 0.8 HO2", {32, 33}},
    {pj_macr, "MACR -> CO + HCHO + ACO3 + HO2", {18, 19}},
    {pj_hobr, "HOBR -> BR + HO", {0, 0}},
    {pj_br2, "BR2 -> 2 BR", {0, 0}},
    {pj_bro, "BRO -> BR + O3P", {0, 0}},
};
static_assert(std::size(map) == 25);

constexpr int position(int channel) {
  if (channel == 0) return -1;
  for (std::size_t k = 0; k < builtin_mcm_channels.size(); ++k)
    if (builtin_mcm_channels[k] == channel) return static_cast<int>(k);
  throw std::logic_error("an MCM channel of the map is not among builtin_mcm_channels");
}

constexpr bool every_channel_used() {
  for (int c : builtin_mcm_channels) {
    bool used = false;
    for (const BuiltinChannel& b : map) used = used || b.mcm[0] == c || b.mcm[1] == c;
    if (!used) return false;
  }
  return true;
}
static_assert(every_channel_used(), "builtin_mcm_channels lists a channel no slot reads");

}  // namespace

std::span<const BuiltinChannel> builtin_channel_map() { return map; }

int builtin_file_channel(int slot) {
  constexpr int above_mcm = 100;  // builtin_channel_offset of the file
  const PhotolysisRates specified = photolysis_arguments(reload_photoj(base_photolysis_table()));
  for (std::size_t k = 0; k < std::size(map); ++k) {
    if (map[k].slot != slot) continue;
    const int n = map[k].mcm[0];
    if (n == 0) return above_mcm + slot;
    for (std::size_t e = 0; e < k; ++e)
      if (map[e].mcm[0] == n && specified[at(map[e].slot)] != specified[at(slot)]) return above_mcm + slot;
    return n;
  }
  return above_mcm + slot;
}

std::optional<int> specified_channel_slot(int channel) {
  for (const BuiltinChannel& b : map) {
    if (builtin_file_channel(b.slot) == channel) return b.slot;
  }
  for (const BuiltinChannel& b : map)
    if (b.mcm[1] == channel) return 0;
  return std::nullopt;
}

std::optional<double> specified_channel_frequency(const PhotolysisRates& rates, int channel) {
  const std::optional<int> slot = specified_channel_slot(channel);
  if (!slot) return std::nullopt;
  return *slot != 0 ? rates[at(*slot)] : 0.0;
}

BuiltinPhotolysisMap::BuiltinPhotolysisMap() {
  // The specified overhead-sun table by slot (per minute; only ratios are
  // taken).
  const PhotolysisRates specified = photolysis_arguments(reload_photoj(base_photolysis_table()));
  for (std::size_t k = 0; k < terms_.size(); ++k) {
    const BuiltinChannel& b = map[k];
    terms_[k] = {b.slot, position(b.mcm[0]), position(b.mcm[1]),
                 specified[at(b.slot)] / specified[at(pj_no2)]};
  }
}

PhotolysisRates BuiltinPhotolysisMap::rates(std::span<const double, builtin_mcm_channels.size()> j) const {
  constexpr auto j4 = static_cast<std::size_t>(position(4));
  PhotolysisRates r{};
  for (const Term& t : terms_) {
    double v = 0.0;
    if (t.first < 0) v = t.ratio * j[j4];
    else if (t.second < 0) v = j[static_cast<std::size_t>(t.first)];
    else v = j[static_cast<std::size_t>(t.first)] + j[static_cast<std::size_t>(t.second)];
    r[at(t.slot)] = v;
  }
  return r;
}

PhotolysisRates BuiltinPhotolysisMap::rates(const PhotolysisFrequencies& f, const LightAt& light) const {
  assert(std::ranges::equal(f.channels(), builtin_mcm_channels));
  std::array<double, builtin_mcm_channels.size()> j{};
  f.evaluate(light, j);
  return rates(j);
}

}  // namespace box
