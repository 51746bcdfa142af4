#pragma once
// The ensemble's files, written member by member in member order as the
// members complete, so that nothing holds more than a few members' results
// and the bytes do not depend on how many threads or processes ran them.
//
// ensemble.nc (CF-1.8, 64-bit offset format; no creation time):
//   dimensions member (one per member), time (the samples of the longest
//   member)
//   member(member)            the member's number, 0 for the table's first row
//   time(time)                the base scenario's sample times (seconds since
//                             its start, as a CF time when no member changes
//                             the start or the site's day)
//   time_h(member, time)      each member's local time of its samples, hours
//   <species>(member, time)   mole fraction, mol mol-1; NaN where a member has
//                             no sample (failed, or a shorter run)
//   <key>(member)             each varied scenario key in dotted form
//                             ("initial.O3", "chemistry.rate_factors.R23"):
//                             numbers as doubles, text as characters
//   status(member)            0 success, 1 input, 3 floating-point exception,
//                             4 integration failure, with [spin_up] 5 spin-up
//                             not converged (flag_values/meanings)
//   spin_up_days(member)      with [spin_up]: the days the member's spin-up
//                             took (-1: it failed before its run)
//   message(member)           the reason of a failure, "" for success
// ensemble.csv (long format): member,time_h,<species...> in ppb, %.17g, the
//   rows of every sample of every member in member order.
//
// Each is written as <name>.partial and renamed when the last member is in.
#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "ensemble/definition.hpp"
#include "ensemble/member.hpp"

namespace box::ensemble {

// A scenario key the members vary, and where its values come from.
struct VariedKey {
  std::string key;
  bool text = false;
  std::size_t column = static_cast<std::size_t>(-1);  // in the table, if it is there
  int reaction = 0;           // > 0: a random rate factor of this reaction
  double base_factor = 1.0;   // the base's factor of that reaction
  std::size_t width = 1;      // longest text value
};

using VariedValue = std::variant<double, std::string>;

// What both files need to know before the first member.
struct Layout {
  std::size_t members = 0;
  std::size_t times = 0;
  std::vector<int> species;
  std::vector<std::string> species_names;  // in the order of species
  bool builtin_species = true;             // else a mechanism file's
  std::vector<double> time_s;      // the base's sample times, seconds since its start
  std::string time_units = "s";    // or CF "seconds since ..."
  std::vector<VariedKey> varied;
  bool spin_up = false;  // the base or a member's row has [spin_up]
  std::vector<std::pair<std::string, std::string>> attributes;  // global: ensemble and base scenario
};

// The layout of the ensemble `d` (reads every member's scenario when the
// table changes its clock, to find the longest). Throws InputError when
// the base scenario is not valid.
Layout make_layout(const Definition& d);

// The values of the layout's varied keys for member `index`, in order.
std::vector<VariedValue> varied_values(const Definition& d, const Layout& layout, std::size_t index);

class OutputFile {
 public:
  virtual ~OutputFile() = default;
  // Each throws OutputError naming the file.
  virtual void member(const MemberResult& r, const std::vector<VariedValue>& varied) = 0;
  virtual void finish() = 0;
};

std::unique_ptr<OutputFile> open_csv(const std::filesystem::path& dir, const Layout& layout);
// Throws OutputError when this build has no NetCDF.
std::unique_ptr<OutputFile> open_netcdf(const std::filesystem::path& dir, const Layout& layout);

inline constexpr const char* csv_name = "ensemble.csv";
inline constexpr const char* netcdf_name = "ensemble.nc";

}  // namespace box::ensemble
