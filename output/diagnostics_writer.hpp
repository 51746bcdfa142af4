#pragma once
// diagnostics.csv: one row per output time with the campaign diagnostics
// (docs/diagnostics.md), every number at full precision:
//
//   time_h,oh_reactivity,ro2,p_o3,l_o3
//
// OH reactivity in s-1 and the RO2 sum in ppb at the output time; P(O3)
// and L(O3) in ppb h-1, the means over the interval ending at the row's
// time where budgets run (the first row, with no interval before it, and
// runs without budgets: the rates at the output time). With [spin_up]
// output = "all" a first column `day` says the day. Written as
// diagnostics.csv.partial and renamed by finish(), as species.csv is.
#include <filesystem>
#include <string>
#include <string_view>

#include "output/observer.hpp"
#include "output/partial_file.hpp"

namespace box {

class DiagnosticsWriter final : public RunObserver {
 public:
  static constexpr std::string_view file_name = "diagnostics.csv";

  DiagnosticsWriter(std::filesystem::path directory, bool day_column = false);
  DiagnosticsWriter(const DiagnosticsWriter&) = delete;
  DiagnosticsWriter& operator=(const DiagnosticsWriter&) = delete;

  // Each throws OutputError naming the file when it cannot create, write,
  // close or rename it; sample() also when the sample has no diagnostics.
  void begin(const RunDescription&) override;
  void sample(const OutputSample& sample) override;
  void finish() override;

 private:
  PartialTextFile file_;
  bool day_column_ = false;
};

}  // namespace box
