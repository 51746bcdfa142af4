#pragma once
// The members of an ensemble that run the same mechanism file, integrated
// four at a time by the lane integrator (integrator/lane_integrator.hpp)
// with the loop kernels' lane form (mechanism/loop_kernels.hpp). Each lane
// is one box as FileBox::advance() integrates it alone: its own rate
// coefficients (its air, light and rate factors), their RO2 parts formed
// from its own concentrations at every evaluation, and, for an open box,
// its own sources, losses and held species, each added with the one-box
// system's operations in its order. So every box gets the bits it would
// get alone. When the light follows time within each step (photolysis
// methods mcm and file), each lane's frequencies are those at its own time
// of every evaluation, as they are for the box alone.
#include <array>
#include <span>
#include <vector>

#include "integrator/lane_integrator.hpp"
#include "mechanism/loop_kernels.hpp"
#include "run/file_box.hpp"

namespace box {

class FileLanes final : public LaneSystem {
 public:
  // The boxes integrated must all run `loaded`, which must outlive this.
  explicit FileLanes(const LoadedMechanism& loaded);
  FileLanes(const FileLanes&) = delete;
  FileLanes& operator=(const FileLanes&) = delete;

  const LoadedMechanism& loaded() const { return *loaded_; }

  // Integrates the steps begun by FileBox::begin_lanes() of 1 to 4 boxes
  // (`boxes[b]` of `members[b]`), as LaneIntegrator::integrate() does:
  // false leaves every box unchanged, to be integrated alone.
  bool integrate(std::span<const FileBox* const> members, std::span<LaneBox> boxes);

  void fun(const double* t, const double* y, const double* fix, const double* rconst, double* ydot) override;
  void jac(const double* t, const double* y, const double* fix, const double* rconst, double* jac) override;
  void decomp_shifted(const double* jac, const double* shift, double* lu, int* ier) override;
  void solve(const double* lu, double* x) override;

 private:
  // Each lane's coefficients at its time and its concentrations in y
  // (lane-major).
  void coefficients(const double* t, const double* y);
  const MechanismDerivation& derivation() const { return loaded_->derivation; }

  const LoadedMechanism* loaded_;
  LaneKernels shape_;
  std::array<const FileBox*, loop_lanes> lane_{};  // lanes past the boxes repeat the first
  // The reactions whose coefficients follow RO2, and those that follow RO2
  // or the light: what each evaluation forms again, with the light held
  // over the step or following time.
  std::vector<int> ro2_reactions_, varying_reactions_;
  const std::vector<int>* refreshed_ = &ro2_reactions_;
  std::vector<double> k_;                          // coefficients, lane-major
  std::vector<double> one_;                        // one lane's RO2 members, by species
  std::vector<double> rates_, partial_;            // the kernels' work
  LaneIntegrator integrator_;
};

}  // namespace box
