#pragma once
// Photolysis frequencies as functions of time: the methods a run can
// choose besides the built-in mechanism's specified table (which the run
// keeps, scaled per step as before).
//
//   mcm   the MCM v3.3.1 clear-sky parameterisation of each channel;
//   file  frequencies measured or calculated elsewhere, one column J<n> of
//         a time series per channel, interpolated in time;
//   none  no light at all (a dark chamber): every channel 0.
//
// Corrections of mcm and file frequencies, all multiplicative and applied
// to every channel alike: `factor`; `cloud_correction`, the site's observed
// over clear-sky radiation bounded to [0, 1.5]; `scale_to_observed`, the
// measured J4 over the J4 so far (so the J4 used is the measured one and the
// other channels follow it; factor and cloud correction then cancel in
// every channel). With the sun at or below the horizon, or a J4 so far
// below 1e-6 s-1, nothing is scaled to the observation (a measured
// night-time J4 is noise over zero; at twilight the ratio to the
// calculated J4 is no cloud factor and grows without bound).
//
// Evaluation is pure: the frequencies are a function of the time, the
// sun's zenith cosine and the clear-sky ratio at that time, and of the
// inputs read when the object was built; nothing is cached between calls,
// so an integrator may evaluate them at any stage time in any order.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "environment/mcm_photolysis.hpp"
#include "environment/time_series.hpp"

namespace box {

enum class PhotolysisMethod { specified, mcm, file, none };

// "specified", "mcm", "file" or "none"; anything else is an InputError
// "<where>: ..." listing them.
PhotolysisMethod photolysis_method_from_name(std::string_view name, std::string_view where);

// What the run knows at a time the frequencies are wanted.
struct LightAt {
  double time_h = 0;           // local hours of the run's clock
  double cos_zenith = 0;       // the sun at time_h
  double clear_sky_ratio = 1;  // observed / clear-sky radiation (read with cloud_correction only)
};

struct PhotolysisCorrections {
  double factor = 1.0;
  bool cloud_correction = false;
  // scale_to_observed: the measured J4 (s-1), and how it is interpolated.
  std::optional<TimeSeriesColumn> observed_j4;
  Interpolation interpolation = Interpolation::linear;

  // The multiplier of every calculated frequency at `at`, `calculated_j4`
  // being the J4 (s-1) before any correction. With no light (cos_zenith <=
  // 0) or no calculated J4 (<= 0) nothing is scaled to the observation.
  double multiplier(const LightAt& at, double calculated_j4) const;
};

struct PhotolysisSetup {
  PhotolysisMethod method = PhotolysisMethod::mcm;  // mcm, file or none
  std::vector<int> channels;         // the MCM channels n of J<n> the mechanism reads
  std::string channels_of = "the mechanism";  // who reads them, for messages
  // Where the method was chosen ("s.toml: line 9: photolysis.method"): the
  // start of the message about a channel it does not have.
  std::string method_chosen_at;
  const TimeSeries* file = nullptr;  // method file: the frequencies, s-1
  // Where the file was named ("s.toml: line 7: photolysis.file"): the
  // start of every message about the file.
  std::string file_named_at;
  Interpolation interpolation = Interpolation::linear;  // of the file's columns
  PhotolysisCorrections corrections;
  double first_h = 0;  // the run's span (local hours): files must cover it
  double last_h = 0;
};

class PhotolysisFrequencies {
 public:
  // Checks everything once: an MCM channel that does not exist (mcm), a
  // channel missing from the file or a file or observed J4 that does not
  // cover the run (InputError naming the file, the channel or the span).
  // The file's columns are copied: the object stands alone.
  explicit PhotolysisFrequencies(const PhotolysisSetup& setup);

  PhotolysisMethod method() const { return method_; }
  std::span<const int> channels() const { return channels_; }

  // The channels' frequencies (s-1) at `at` into j (size channels().size()).
  void evaluate(const LightAt& at, std::span<double> j) const;

 private:
  double uncorrected(std::size_t k, const LightAt& at) const;
  double uncorrected_j4(const LightAt& at) const;

  PhotolysisMethod method_;
  std::vector<int> channels_;
  std::vector<McmParameters> mcm_;         // mcm: per channel
  std::vector<TimeSeriesColumn> columns_;  // file: per channel
  Interpolation interpolation_;
  PhotolysisCorrections corrections_;
  // The J4 that scale_to_observed compares with: the channel's position in
  // channels_, or else its own source.
  std::optional<std::size_t> j4_position_;
  McmParameters mcm_j4_;
  std::optional<TimeSeriesColumn> file_j4_;
};

}  // namespace box
