#include "run/file_lanes.hpp"

#include <algorithm>

namespace box {
namespace {

constexpr int L = loop_lanes;
constexpr std::size_t lane(int entry, int l) {
  return static_cast<std::size_t>(entry) * L + static_cast<std::size_t>(l);
}

}  // namespace

FileLanes::FileLanes(const LoadedMechanism& loaded)
    : loaded_(&loaded),
      shape_{L, "loop", nullptr, nullptr, nullptr, nullptr, loaded.derivation.n, loaded.derivation.lu_entries(), 0, 0},
      k_(static_cast<std::size_t>(loaded.derivation.reactions) * L, 0.0),
      one_(static_cast<std::size_t>(loaded.derivation.n), 0.0),
      rates_(static_cast<std::size_t>(loaded.derivation.reactions) * L, 0.0),
      partial_(loaded.derivation.partial_reaction.size() * L, 0.0),
      integrator_(shape_, *this) {
  const std::vector<RuntimeReaction>& reactions = loaded.mechanism.reactions;
  for (std::size_t j = 0; j < reactions.size(); ++j) {
    const unsigned depends = reactions[j].rate.depends;
    if (depends & depends_on_ro2) ro2_reactions_.push_back(static_cast<int>(j));
    if (depends & (depends_on_ro2 | depends_on_photolysis)) varying_reactions_.push_back(static_cast<int>(j));
  }
}

bool FileLanes::integrate(std::span<const FileBox* const> members, std::span<LaneBox> boxes) {
  if (members.empty() || members.size() > static_cast<std::size_t>(L) || members.size() != boxes.size()) return false;
  for (int l = 0; l < L; ++l) lane_[static_cast<std::size_t>(l)] = members[std::min<std::size_t>(l, members.size() - 1)];
  refreshed_ = members.front()->system().time_dependent() ? &varying_reactions_ : &ro2_reactions_;
  // The coefficients that do not follow the concentrations (or the time),
  // as each box's step set them.
  const int reactions = derivation().reactions;
  for (int l = 0; l < L; ++l) {
    const std::vector<double>& k = lane_[static_cast<std::size_t>(l)]->system().rates().k();
    for (int j = 0; j < reactions; ++j) k_[lane(j, l)] = k[static_cast<std::size_t>(j)];
  }
  return integrator_.integrate(boxes);
}

void FileLanes::coefficients(const double* t, const double* y) {
  if (refreshed_->empty()) return;
  const std::vector<int>& members = loaded_->mechanism.ro2;
  for (int l = 0; l < L; ++l) {
    for (const int s : members) one_[static_cast<std::size_t>(s)] = y[lane(s, l)];
    const double* k = lane_[static_cast<std::size_t>(l)]->system().coefficients_at(t[l], one_.data());
    for (const int j : *refreshed_) k_[lane(j, l)] = k[j];
  }
}

void FileLanes::fun(const double* t, const double* y, const double*, const double*, double* f) {
  coefficients(t, y);
  loop_fun_lanes(derivation(), k_.data(), y, rates_.data(), f);
  // The open boxes' exchange, f_k + S_k - L_k y_k, and their held species.
  const int n = derivation().n;
  for (int l = 0; l < L; ++l) {
    const FileBox& b = *lane_[static_cast<std::size_t>(l)];
    if (!b.open()) continue;
    const double* source = b.sources().data();
    const double* loss = b.losses().data();
    for (int k = 0; k < n; ++k) f[lane(k, l)] = f[lane(k, l)] + source[k] - loss[k] * y[lane(k, l)];
    for (const int k : b.exchange().held) f[lane(k, l)] = 0.0;
  }
}

void FileLanes::jac(const double* t, const double* y, const double*, const double*, double* jac) {
  coefficients(t, y);
  loop_jac_lanes(derivation(), k_.data(), y, partial_.data(), jac);
  const MechanismDerivation& d = derivation();
  for (int l = 0; l < L; ++l) {
    const FileBox& b = *lane_[static_cast<std::size_t>(l)];
    if (!b.open()) continue;
    const double* loss = b.losses().data();
    for (int k = 0; k < d.n; ++k) {
      double& diagonal = jac[lane(d.species_diagonal[static_cast<std::size_t>(k)], l)];
      diagonal -= loss[k];
    }
    for (const std::size_t p : b.exchange().held_entries) jac[lane(static_cast<int>(p), l)] = 0.0;
  }
}

void FileLanes::decomp_shifted(const double* jac, const double* shift, double* lu, int* ier) {
  std::array<double, L> s{};
  std::copy_n(shift, L, s.begin());
  const LaneStatus status = loop_decomp_shifted_lanes(derivation(), jac, s, lu);
  std::copy(status.begin(), status.end(), ier);
}

void FileLanes::solve(const double* lu, double* x) { loop_solve_lanes(derivation(), lu, x); }

}  // namespace box
