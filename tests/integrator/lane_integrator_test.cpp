// The lane integrator against the one-box integrator: four different
// parcels stepped together end every step with the bits and the counters
// of the same parcels stepped alone; and the same for a small system of
// its own, written against the lane interface alone.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "integrator/lane_integrator.hpp"
#include "mechanism/lane_kernels.hpp"
#include "tests/chemistry/parcel.hpp"
#include "tests/integrator/test_systems.hpp"

namespace box {
namespace {

using testing::Parcel;

struct Case {
  Parcel parcel;
  StepSettings settings;
};

// A warm polluted afternoon; a cold dark night; a hot parcel with tight
// tolerances; and a long step through a NO plume with loose ones, which
// makes the controller reject.
std::vector<Case> four_cases() {
  std::vector<Case> c(4);
  c[1].parcel.t = 258.0;
  c[1].parcel.rho = 1.35;
  c[1].parcel.moist = 0.001;
  c[1].parcel.ph.fill(0.0);
  c[2].parcel.t = 312.0;
  c[2].parcel.moist = 0.025;
  c[2].settings.rtol = 1.0e-5;
  c[2].settings.atol = 1.0e-3;
  c[3].parcel.dt = 1800.0;
  c[3].parcel.vc[at(lno)] = 200e-9;
  c[3].settings.rtol = 3.0e-2;
  c[3].settings.rate_factors = {{1, 2.0}};
  return c;
}

bool same_bits(const void* a, const void* b, std::size_t bytes) { return std::memcmp(a, b, bytes) == 0; }

// Each test runs with every lane form this processor runs.
class LaneIntegratorTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    const auto forms = runnable_lane_kernels();
    if (static_cast<std::size_t>(GetParam()) >= forms.size()) GTEST_SKIP() << "this processor has no such lane form";
    kernels = forms[static_cast<std::size_t>(GetParam())];
  }
  const LaneKernels* kernels = nullptr;
};
INSTANTIATE_TEST_SUITE_P(Forms, LaneIntegratorTest, ::testing::Values(0, 1));

TEST_P(LaneIntegratorTest, FourParcelsTogetherAreEachTheParcelAlone) {
  SCOPED_TRACE(kernels->name);
  std::vector<Case> alone = four_cases(), together = four_cases();
  std::vector<ChemistryStep> step_alone, step_together;
  for (const Case& c : alone) step_alone.emplace_back(LineSink{}, c.settings);
  for (const Case& c : together) step_together.emplace_back(LineSink{}, c.settings);
  LaneIntegrator lanes(*kernels);
  RosenbrockCounters sum{};
  for (int step = 0; step < 12; ++step) {
    SCOPED_TRACE(step);
    std::vector<LaneBox> boxes;
    for (std::size_t b = 0; b < 4; ++b) {
      Parcel& p = together[b].parcel;
      step_together[b].begin(p.vc.data(), p.dt, air_of_density(p.t, p.rho, p.moist), p.radicals, p.ph);
      boxes.push_back(step_together[b].lane_box());
    }
    ASSERT_TRUE(lanes.integrate(boxes));
    for (std::size_t b = 0; b < 4; ++b) {
      SCOPED_TRACE(b);
      Parcel& p = together[b].parcel;
      const StepResult r = step_together[b].finish(p.vc.data(), p.radicals, ros_success, boxes[b].counters);
      Parcel& q = alone[b].parcel;
      const StepResult s = step_alone[b].advance(q.vc.data(), q.dt, air_of_density(q.t, q.rho, q.moist), q.radicals, q.ph);
      ASSERT_EQ(s.status, ros_success);
      EXPECT_EQ(r.status, s.status);
      EXPECT_TRUE(same_bits(&r.counters, &s.counters, sizeof s.counters));
      EXPECT_TRUE(same_bits(p.vc.data(), q.vc.data(), sizeof(double) * p.vc.size()));
      EXPECT_TRUE(same_bits(&p.radicals, &q.radicals, sizeof p.radicals));
      sum.nrej += s.counters.nrej;
      sum.nstp += s.counters.nstp - s.counters.nacc;
    }
  }
  EXPECT_GT(sum.nstp, 0) << "no parcel had a step rejected";
}

// Fewer boxes than lanes, and boxes the lanes leave to the one-box
// integrator (another method in one of them): nothing is changed then.
TEST_P(LaneIntegratorTest, TakesFewerBoxesAndRefusesMixedMethods) {
  std::vector<Case> c = four_cases();
  std::vector<ChemistryStep> steps;
  for (const Case& x : c) steps.emplace_back(LineSink{}, x.settings);
  std::vector<LaneBox> boxes;
  for (std::size_t b = 0; b < 2; ++b) {
    Parcel& p = c[b].parcel;
    steps[b].begin(p.vc.data(), p.dt, air_of_density(p.t, p.rho, p.moist), p.radicals, p.ph);
    boxes.push_back(steps[b].lane_box());
  }
  LaneIntegrator lanes(*kernels);
  ChemistryStep reference;
  Parcel q = c[1].parcel;
  const StepResult s = reference.advance(q.vc.data(), q.dt, air_of_density(q.t, q.rho, q.moist), q.radicals, q.ph);
  ASSERT_TRUE(lanes.integrate(boxes));
  Parcel& p = c[1].parcel;
  ChemistryStep& chem = steps[1];
  const StepResult r = chem.finish(p.vc.data(), p.radicals, ros_success, boxes[1].counters);
  EXPECT_TRUE(same_bits(p.vc.data(), q.vc.data(), sizeof(double) * p.vc.size()));
  EXPECT_EQ(r.counters.nstp, s.counters.nstp);

  StepSettings rodas;
  rodas.method = 5;
  ChemistryStep other(LineSink{}, rodas);
  Parcel o;
  other.begin(o.vc.data(), o.dt, air_of_density(o.t, o.rho, o.moist), o.radicals, o.ph);
  std::vector<LaneBox> mixed{steps[0].lane_box(), other.lane_box()};
  const std::vector<double> before(mixed[0].var, mixed[0].var + nvar);
  EXPECT_FALSE(lanes.integrate(mixed));
  EXPECT_TRUE(same_bits(before.data(), mixed[0].var, sizeof(double) * nvar));
}

// Robertson's reactions with their rate constants as the box's constants
// (rconst), one box at a time and in lanes whose kernels run the one-box
// code on each lane's gathered values.
struct RobertsonRates : testing::DenseLayout<3> {
  const double* k;
  void fun(double, const double* y, double* f) const {
    const double r1 = k[0] * y[0];
    const double r2 = k[1] * y[1] * y[2];
    const double r3 = k[2] * y[1] * y[1];
    f[0] = -r1 + r2;
    f[1] = r1 - r2 - r3;
    f[2] = r3;
  }
  void jac(double, const double* y, double* j) const {
    const double m[9] = {0.0 - k[0], k[1] * y[2], k[1] * y[1],
                         k[0], 0.0 - k[1] * y[2] - 2.0 * k[2] * y[1], 0.0 - k[1] * y[1],
                         0.0, 2.0 * k[2] * y[1], 0.0};
    for (int i = 0; i < 9; ++i) j[i] = m[i];
  }
};

constexpr int kL = 4;
template <int size>
std::array<double, size> lane_of(const double* x, int b) {
  std::array<double, size> v;
  for (int i = 0; i < size; ++i) v[static_cast<std::size_t>(i)] = x[i * kL + b];
  return v;
}
template <int size>
void to_lane(const std::array<double, size>& v, double* x, int b) {
  for (int i = 0; i < size; ++i) x[i * kL + b] = v[static_cast<std::size_t>(i)];
}
void robertson_fun(const double* y, const double*, const double* k, double* f) noexcept {
  for (int b = 0; b < kL; ++b) {
    std::array<double, 3> out;
    RobertsonRates{{}, lane_of<3>(k, b).data()}.fun(0.0, lane_of<3>(y, b).data(), out.data());
    to_lane<3>(out, f, b);
  }
}
void robertson_jac(const double* y, const double*, const double* k, double* j) noexcept {
  for (int b = 0; b < kL; ++b) {
    std::array<double, 9> out;
    const std::array<double, 3> kb = lane_of<3>(k, b);
    RobertsonRates{{}, kb.data()}.jac(0.0, lane_of<3>(y, b).data(), out.data());
    to_lane<9>(out, j, b);
  }
}
// What the one-box integrator does without a shifted factorisation: the
// stage matrix 0 - J plus the shift on the diagonal, then decomp.
void robertson_decomp_shifted(const double* jac, const double* shift, double* lu, int* ier) noexcept {
  for (int b = 0; b < kL; ++b) {
    std::array<double, 9> a = lane_of<9>(jac, b);
    for (double& x : a) x = 0.0 - x;
    for (int i = 0; i < 3; ++i) a[RobertsonRates::diag(i)] = a[RobertsonRates::diag(i)] + shift[b];
    ier[b] = RobertsonRates::decomp(a.data());
    to_lane<9>(a, lu, b);
  }
}
void robertson_solve(const double* lu, double* x) noexcept {
  for (int b = 0; b < kL; ++b) {
    std::array<double, 3> v = lane_of<3>(x, b);
    RobertsonRates::solve(lane_of<9>(lu, b).data(), v.data());
    to_lane<3>(v, x, b);
  }
}

TEST(LaneInterface, ASystemOfItsOwnGetsTheOneBoxBitsInEveryLane) {
  const LaneKernels kernels{kL, "test", robertson_fun, robertson_jac, robertson_decomp_shifted,
                            robertson_solve, 3, 9, 0, 3};
  // Four boxes with their own rates, states, tolerances and intervals.
  std::array<std::array<double, 3>, 4> k{{{0.04, 1.0e4, 3.0e7}, {0.08, 1.0e4, 3.0e7},
                                          {0.04, 3.0e3, 1.0e7}, {0.02, 2.0e4, 6.0e7}}};
  std::array<std::array<double, 3>, 4> y{{{1.0, 0.0, 0.0}, {0.9, 1.0e-5, 0.1},
                                          {1.0, 0.0, 0.0}, {0.5, 0.0, 0.5}}};
  std::array<double, 4> rtol{1.0e-3, 1.0e-5, 1.0e-2, 1.0e-4}, tend{40.0, 10.0, 400.0, 1.0e3};
  std::array<std::array<double, 3>, 4> atol_v, rtol_v;
  IntControls icntrl{};
  icntrl[at(1)] = 1;  // autonomous
  icntrl[at(3)] = 2;  // ROS-3
  RealControls rcntrl{};
  rcntrl[at(3)] = 1.0;  // a first step far too long for the fast transient: rejected
  std::array<std::array<double, 3>, 4> alone = y;
  std::vector<LaneBox> boxes(4);
  for (std::size_t b = 0; b < 4; ++b) {
    atol_v[b].fill(1.0e-8);
    rtol_v[b].fill(rtol[b]);
    boxes[b] = {y[b].data(), nullptr, k[b].data(), tend[b], atol_v[b].data(), rtol_v[b].data(),
                &icntrl, &rcntrl, {}};
  }
  LaneIntegrator lanes(kernels);
  ASSERT_TRUE(lanes.integrate(boxes));
  int rejected = 0;
  for (std::size_t b = 0; b < 4; ++b) {
    SCOPED_TRACE(b);
    Rosenbrock<RobertsonRates> one;
    IntControls istatus{};
    RealControls rstatus{};
    int ierr = 0;
    one.integrate(RobertsonRates{{}, k[b].data()}, 0.0, tend[b], alone[b].data(), atol_v[b].data(),
                  rtol_v[b].data(), &icntrl, &rcntrl, &istatus, &rstatus, &ierr);
    ASSERT_EQ(ierr, ros_success);
    EXPECT_TRUE(same_bits(alone[b].data(), y[b].data(), sizeof y[b]));
    EXPECT_TRUE(same_bits(&one.counters(), &boxes[b].counters, sizeof boxes[b].counters));
    rejected += one.counters().nstp - one.counters().nacc;
  }
  EXPECT_GT(rejected, 0) << "no box had a step rejected";
}

}  // namespace
}  // namespace box
