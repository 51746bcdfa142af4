#include "mechanism/runtime_rates.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

namespace box {
namespace {
constexpr std::size_t sz(int i) { return static_cast<std::size_t>(i); }
}  // namespace

RuntimeRates::RuntimeRates(const Mechanism& mechanism)
    : mechanism_(&mechanism),
      air_(air_variable_count, std::numeric_limits<double>::quiet_NaN()),
      photolysis_(mechanism.photolysis_channels.size(), std::numeric_limits<double>::quiet_NaN()),
      values_(mechanism.coefficients.size(), 0.0),
      k_(mechanism.reactions.size(), 0.0) {
  ExpressionInputs none{air_.data(), 0.0, photolysis_.data(), values_.data()};
  for (std::size_t c = 0; c < mechanism.coefficients.size(); ++c) {
    const Expression& e = mechanism.coefficients[c].value;
    if (mechanism.coefficients[c].supplied) continue;  // an input: 0 until set_parameters
    if (e.depends == depends_on_nothing) values_[c] = e.evaluate(none);
    else if (e.depends & depends_on_ro2) ro2_names_.push_back(static_cast<int>(c));
    else varying_names_.push_back(static_cast<int>(c));
  }
  for (std::size_t j = 0; j < mechanism.reactions.size(); ++j) {
    const Expression& e = mechanism.reactions[j].rate;
    if (e.depends == depends_on_nothing) k_[j] = e.evaluate(none);
    else if (e.depends & depends_on_ro2) ro2_reactions_.push_back(static_cast<int>(j));
    else varying_reactions_.push_back(static_cast<int>(j));
  }
}

void RuntimeRates::evaluate(const std::vector<int>& names, const std::vector<int>& reactions,
                            unsigned mask) {
  const ExpressionInputs in{air_.data(), ro2_, photolysis_.data(), values_.data()};
  for (int c : names) {
    const Expression& e = mechanism_->coefficients[sz(c)].value;
    if ((e.depends & mask) == 0) continue;
    values_[sz(c)] = e.evaluate(in);
    ++evaluations_;
  }
  for (int j : reactions) {
    const Expression& e = mechanism_->reactions[sz(j)].rate;
    if ((e.depends & mask) == 0) continue;
    k_[sz(j)] = factor_.empty() ? e.evaluate(in) : e.evaluate(in) * factor_[sz(j)];
    ++evaluations_;
  }
}

void RuntimeRates::set_conditions(const MechanismAir& air, std::span<const double> photolysis) {
  // Compared bit for bit: an unchanged air state is the same numbers. On
  // the stack: this runs once per evaluation time.
  const std::array<double, air_variable_count> a = air_values(air);
  const bool air_changed = first_ || std::memcmp(a.data(), air_.data(), a.size() * sizeof(double)) != 0;
  bool j_changed = first_;
  for (std::size_t s = 0; s < photolysis_.size(); ++s) {
    const double v = s < photolysis.size() ? photolysis[s] : 0.0;
    if (std::memcmp(&v, &photolysis_[s], sizeof v) != 0) j_changed = true;
    photolysis_[s] = v;
  }
  std::copy(a.begin(), a.end(), air_.begin());
  const bool first = first_;
  first_ = false;
  // The first time, what uses the supplied parameters too (set or 0).
  const unsigned mask = (air_changed ? unsigned{depends_on_air} : 0u) | (j_changed ? unsigned{depends_on_photolysis} : 0u) |
                        (first ? unsigned{depends_on_parameter} : 0u);
  if (mask != 0) evaluate(varying_names_, varying_reactions_, mask);
}

void RuntimeRates::set_parameters(std::span<const std::pair<int, double>> values) {
  bool changed = false;
  for (const auto& [c, v] : values) {
    if (c < 0 || sz(c) >= values_.size() || !mechanism_->coefficients[sz(c)].supplied)
      throw std::invalid_argument("rate parameter " + std::to_string(c) + " is no supplied coefficient");
    if (std::memcmp(&v, &values_[sz(c)], sizeof v) != 0) changed = true;
    values_[sz(c)] = v;
  }
  // Before the first conditions the air is not known: set_conditions
  // evaluates everything then.
  if (!changed || first_) return;
  evaluate(varying_names_, varying_reactions_, depends_on_parameter);
  evaluate(ro2_names_, ro2_reactions_, depends_on_parameter);
}

void RuntimeRates::update_ro2(const double* y) {
  double sum = 0.0;
  for (int s : mechanism_->ro2) sum = sum + y[s];
  ro2_ = sum;
  evaluate(ro2_names_, ro2_reactions_, depends_on_ro2);
}

void RuntimeRates::set_rate_factors(std::span<const std::pair<int, double>> factors) {
  if (factors.empty()) return;
  const ExpressionInputs none{air_.data(), 0.0, photolysis_.data(), values_.data()};
  factor_.assign(k_.size(), 1.0);
  for (const auto& [reaction, factor] : factors) {
    if (reaction < 1 || sz(reaction) > k_.size())
      throw std::invalid_argument("rate factor of reaction " + std::to_string(reaction) + " of " +
                                  std::to_string(k_.size()));
    factor_[sz(reaction - 1)] = factor;
  }
  // The constant coefficients were evaluated once, without factors.
  for (std::size_t j = 0; j < k_.size(); ++j)
    if (mechanism_->reactions[j].rate.depends == depends_on_nothing)
      k_[j] = mechanism_->reactions[j].rate.evaluate(none) * factor_[j];
}

int RuntimeRates::first_bad_reaction() const {
  for (std::size_t j = 0; j < k_.size(); ++j)
    // Quiet comparisons: a NaN is found without raising the invalid flag.
    if (!(std::isgreaterequal(k_[j], 0.0) && std::islessequal(k_[j], std::numeric_limits<double>::max())))
      return static_cast<int>(j);
  return -1;
}

}  // namespace box
