#include "environment/photolysis_frequencies.hpp"

#include <algorithm>
#include <cassert>
#include <stdexcept>

#include "common/errors.hpp"

namespace box {

PhotolysisMethod photolysis_method_from_name(std::string_view name, std::string_view where) {
  if (name == "specified") return PhotolysisMethod::specified;
  if (name == "mcm") return PhotolysisMethod::mcm;
  if (name == "file") return PhotolysisMethod::file;
  if (name == "none") return PhotolysisMethod::none;
  throw InputError(std::string(where) +
                   ": expected \"specified\", \"mcm\", \"file\" or \"none\", found \"" +
                   std::string(name) + "\"");
}

double PhotolysisCorrections::multiplier(const LightAt& at, double calculated_j4) const {
  double m = factor;
  if (cloud_correction) m *= std::clamp(at.clear_sky_ratio, 0.0, 1.5);
  if (observed_j4 && at.cos_zenith > 0.0) {
    // Near the horizon the calculated J4 falls by tens of orders of
    // magnitude (exp(-n sec chi)) while a measurement still sees twilight:
    // their ratio would multiply the channels whose n is smaller than
    // NO2's by as much, up to overflow. Below a ten-thousandth of a noon
    // J4 nothing is scaled.
    constexpr double least_scaled_j4 = 1e-6;  // s-1
    const double j4 = calculated_j4 * m;
    if (j4 >= least_scaled_j4) m *= observed_j4->at(at.time_h, interpolation) / j4;
  }
  return m;
}

namespace {

std::string channel_name(int n) { return "J" + std::to_string(n); }

}  // namespace

PhotolysisFrequencies::PhotolysisFrequencies(const PhotolysisSetup& setup)
    : method_(setup.method),
      channels_(setup.channels),
      interpolation_(setup.interpolation),
      corrections_(setup.corrections) {
  const auto position = std::find(channels_.begin(), channels_.end(), 4);
  if (position != channels_.end())
    j4_position_ = static_cast<std::size_t>(position - channels_.begin());
  switch (method_) {
    case PhotolysisMethod::specified:
      throw std::logic_error("the specified photolysis table is scaled by the run, not here");
    case PhotolysisMethod::none:
      break;
    case PhotolysisMethod::mcm:
      for (int n : channels_) {
        const McmParameters* p = find_mcm_channel(n);
        if (p == nullptr)
          throw InputError((setup.method_chosen_at.empty() ? "" : setup.method_chosen_at + ": ") +
                           setup.channels_of + ": photolysis channel " + channel_name(n) +
                           " has no MCM v3.3.1 parameters (method \"mcm\")");
        mcm_.push_back(*p);
      }
      mcm_j4_ = *find_mcm_channel(4);
      break;
    case PhotolysisMethod::file: {
      if (setup.file == nullptr) throw std::logic_error("photolysis method file without its file");
      const TimeSeries& f = *setup.file;
      try {
        for (int n : channels_) {
          const TimeSeriesColumn& c =
              f.column(channel_name(n), "photolysis channel " + channel_name(n) + " of " + setup.channels_of);
          f.require_covers(c, setup.first_h, setup.last_h);
          columns_.push_back(c);
        }
        if (corrections_.observed_j4 && !j4_position_) {
          const TimeSeriesColumn& c = f.column("J4", "[photolysis] scale_to_observed, to compare with");
          f.require_covers(c, setup.first_h, setup.last_h);
          file_j4_ = c;
        }
      } catch (const InputError& e) {
        // The file's message (its name, the column) after the key that named it.
        if (setup.file_named_at.empty()) throw;
        throw InputError(setup.file_named_at + ": " + e.what());
      }
      break;
    }
  }
}

double PhotolysisFrequencies::uncorrected(std::size_t k, const LightAt& at) const {
  if (method_ == PhotolysisMethod::mcm) return mcm_frequency(mcm_[k], at.cos_zenith);
  return columns_[k].at(at.time_h, interpolation_);
}

double PhotolysisFrequencies::uncorrected_j4(const LightAt& at) const {
  if (method_ == PhotolysisMethod::mcm) return mcm_frequency(mcm_j4_, at.cos_zenith);
  return file_j4_->at(at.time_h, interpolation_);
}

void PhotolysisFrequencies::evaluate(const LightAt& at, std::span<double> j) const {
  assert(j.size() == channels_.size());
  if (method_ == PhotolysisMethod::none) {
    std::fill(j.begin(), j.end(), 0.0);
    return;
  }
  for (std::size_t k = 0; k < j.size(); ++k) j[k] = uncorrected(k, at);
  double m = corrections_.factor;
  if (corrections_.cloud_correction || corrections_.observed_j4) {
    // Only scale_to_observed compares with J4.
    const double j4 = !corrections_.observed_j4 ? 0.0
                      : j4_position_            ? j[*j4_position_]
                                                : uncorrected_j4(at);
    m = corrections_.multiplier(at, j4);
  }
  for (double& v : j) v *= m;
}

}  // namespace box
