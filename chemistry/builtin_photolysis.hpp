#pragma once
// The built-in mechanism's photolysis channels and their MCM counterparts.
//
// Each of the 25 slots that drive a reaction takes the sum of the MCM
// channels that photolyse the same molecule to the same (or the lumped)
// products; a slot with two MCM channels lumps two of them, so that the
// molecule's total loss is the MCM's. The slots without an MCM counterpart
// (HNO4, the unsaturated dicarbonyls DCB, the bromine species) keep their
// specified overhead-sun value in proportion to NO2's: their frequency is
// J4 times the ratio of their specified value to the specified NO2 value,
// i.e. their specified value scaled by the NO2 channel's ratio of MCM (or
// file) to specified. The table is in docs/photolysis.md.
#include <array>
#include <optional>
#include <span>
#include <string_view>

#include "chemistry/step_inputs.hpp"
#include "environment/photolysis_frequencies.hpp"

namespace box {

struct BuiltinChannel {
  int slot = 0;                // photolysis slot pj_x of the mechanism
  std::string_view reactions;  // the reactions it drives
  std::array<int, 2> mcm{};    // MCM channels summed (0: none); {0, 0} = no counterpart
};

// The 25 slots that drive reactions, in slot order.
std::span<const BuiltinChannel> builtin_channel_map();

// The MCM channels the built-in mechanism reads, ascending (J4 among them).
inline constexpr std::array<int, 20> builtin_mcm_channels{1,  2,  3,  4,  5,  6,  7,  8,  11, 12,
                                                          13, 18, 19, 22, 31, 32, 33, 34, 41, 54};

// The channel J<n> of a built-in slot in the mechanism file of the
// built-in mechanism (chemistry/builtin_mechanism_file.hpp): its first MCM
// channel, unless an earlier slot of the map already reads that channel
// with another specified frequency (PAA's hydroperoxide channel, which the
// MCM shares with OP1 and OP2 as J41) or it has no MCM counterpart; then
// 100 + the slot, above the MCM's numbering.
int builtin_file_channel(int slot);

// The specified frequency (s-1) of file channel `channel` among the
// built-in slots' `rates`, for a mechanism file run with photolysis method
// "specified": the slot whose builtin_file_channel() it is; 0 for the
// second channel of a lumped pair (the file writes J<a>+J<b>, and the slot's
// value plus 0 is the slot's value). No value for a channel the built-in
// mechanism does not know.
std::optional<double> specified_channel_frequency(const PhotolysisRates& rates, int channel);
// The slot whose frequency specified_channel_frequency() gives for
// `channel`, 0 where it gives 0 (the second channel of a lumped pair), and
// no value where it gives none: worked out once for a run, so that each
// step only reads the slots.
std::optional<int> specified_channel_slot(int channel);

class BuiltinPhotolysisMap {
 public:
  BuiltinPhotolysisMap();

  // The 51 photolysis arguments (s-1) from the frequencies of
  // builtin_mcm_channels (in that order); slots 26 to 51 stay 0.
  PhotolysisRates rates(std::span<const double, builtin_mcm_channels.size()> j) const;

  // The same from a method built for builtin_mcm_channels, at `at`.
  PhotolysisRates rates(const PhotolysisFrequencies& f, const LightAt& at) const;

 private:
  struct Term {
    int slot;
    int first;     // position in builtin_mcm_channels, or -1: NO2-scaled
    int second;    // -1 when the slot takes one channel
    double ratio;  // NO2-scaled: specified / specified NO2
  };
  std::array<Term, 25> terms_{};
};

}  // namespace box
