#pragma once
// An ozone isopleth diagram: the peak ozone of a scenario over a grid of
// scalings of its NOx and its VOC, each grid point a member of an ensemble
// whose scaled species' emissions (or initial values) are the base's times
// the point's factors.
//
//   base = "scenario.toml"        relative to the isopleth file
//   nox = { species = ["NO", "NO2"], of = "emissions", from = 0.1, to = 10.0, points = 21 }
//   voc = { species = ["C5H8"], of = "initial", from = 0.1, to = 10.0, points = 21 }
//   ozone = "max"                 "max", "mean8h", or a local hour (15.0)
//   [output]
//   dir = "iso-out"               relative to the isopleth file; default: the base's
//
// Every key but base is optional. Left out, `of` is "emissions", the grid
// 21 factors from 0.1 to 10, and the species those of the defaults the
// base emits (or initialises): NOx is NO and NO2; VOC is, for the built-in
// mechanism, its primary anthropogenic and biogenic VOCs (ETH, HC3, HC5,
// HC8, ETE, OLT, OLI, DIEN, TOL, XYL, CSL, ISO, API, LIM; ISO when the base
// has none of them), for a mechanism file isoprene C5H8.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ensemble/definition.hpp"
#include "ensemble/member.hpp"
#include "mechanism/lane_kernels.hpp"

namespace box::ensemble {

enum class ScaledAmount { emissions, initial };

// One axis of the diagram: which species it scales, what of them, and the
// factors.
struct IsoplethAxis {
  std::string name;                   // "nox" or "voc"
  ScaledAmount of = ScaledAmount::emissions;
  std::vector<std::string> species;   // the mechanism's names
  std::vector<std::string> keys;      // the scenario key each scales ("emissions.NO")
  std::vector<double> base_values;    // the base's value of each key
  std::vector<double> factors;        // log_grid(from, to, points)
};

// What of each member's ozone the diagram shows.
struct OzoneMetric {
  enum class Kind { max, mean8h, hour } kind = Kind::max;
  double hour = 0.0;       // Kind::hour: local time, hours since the first day's midnight
  std::size_t window = 0;  // Kind::mean8h: consecutive samples in 8 hours
  // "max", "mean8h" or "hour 15".
  std::string text() const;
};

struct Isopleths {
  std::filesystem::path file;
  IsoplethAxis nox, voc;
  OzoneMetric ozone;
  // The members: grid point (i, j) of NOx factor i and VOC factor j is
  // member i * voc.factors.size() + j; they write O3 alone.
  Definition ensemble;

  std::size_t points() const { return nox.factors.size() * voc.factors.size(); }
};

// A factor or hour for messages and labels ("%.6g").
std::string format_factor(double v);

// `points` factors from `from` to `to` (0 < from < to, points >= 2), evenly
// spaced in their logarithm; the ends are `from` and `to` exactly, and a
// grid symmetric about 1 (0.1 to 10 with an odd count) has 1 exactly.
std::vector<double> log_grid(double from, double to, int points);

// Reads and checks the isopleth file and its base scenario. Throws
// InputError (ScenarioError) naming the file, the line and the key.
Isopleths read_isopleths(const std::filesystem::path& file);

// The isopleths of `diagram_text` (TOML text of nox, voc and ozone as the file
// has them, nothing else) over the base scenario of `base` (its file, base
// and base_text set; `base.file` names the diagram's file in messages, which give no
// line numbers), writing into the base's [output] dir. Throws as
// read_isopleths().
Isopleths make_isopleths(const std::string& diagram_text, Definition base);

// Every grid point's ozone, in member order.
struct IsoplethResult {
  std::vector<double> o3_ppb;         // NaN where the point failed
  std::vector<MemberStatus> status;
  std::vector<std::string> messages;  // "<file>: grid point ...: why", "" for success
  std::size_t failed = 0;
  std::size_t lanes = 1;              // boxes per group
};

// Runs the grid points as `boxmodel ensemble` runs members: on `threads`
// worker threads, in groups as wide as `kernels`' lanes (null: one at a
// time); `after_each(done)` is called on this thread after each point, in
// order.
IsoplethResult run_isopleths(const Isopleths& iso, unsigned threads, const LaneKernels* kernels,
                             const std::function<void(std::size_t)>& after_each = {});

// The metric of one member's O3 samples (ppb, at local times `time_h`):
// the largest sample, the largest mean of `window` consecutive samples, or
// the value at `hour` on the line between the samples either side. NaN
// when the samples do not reach that far.
double ozone_metric(const OzoneMetric& metric, std::span<const double> time_h, std::span<const double> o3_ppb);

// The metric of a member's result (its only species O3); NaN for a member
// that failed.
double member_ozone(const Isopleths& iso, const MemberResult& r);

// The NOx factor of the largest ozone for each VOC factor (the ridge
// between the VOC-limited and the NOx-limited regime): o3_ppb is
// nox-major, as the members.
std::vector<double> ridge_nox_factors(const Isopleths& iso, const std::vector<double>& o3_ppb);

inline constexpr const char* isopleths_csv_name = "isopleths.csv";
inline constexpr const char* isopleths_netcdf_name = "isopleths.nc";
inline constexpr const char* isopleths_png_name = "isopleths.png";

// isopleths.csv: nox_factor,voc_factor,o3_ppb, one row per grid point in
// member order, %.17g. Throws OutputError.
void write_isopleths_csv(const std::filesystem::path& dir, const Isopleths& iso, const std::vector<double>& o3_ppb);

// isopleths.nc (CF-1.8): o3_ppb(nox_factor, voc_factor) with the factors as
// coordinates. Throws OutputError (also when this build has no NetCDF).
void write_isopleths_netcdf(const std::filesystem::path& dir, const Isopleths& iso,
                            const std::vector<double>& o3_ppb);

}  // namespace box::ensemble
