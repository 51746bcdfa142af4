// The lane integrator against the one-box integrator: four different
// parcels stepped together end every step with the bits and the counters
// of the same parcels stepped alone.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "integrator/lane_integrator.hpp"
#include "tests/chemistry/parcel.hpp"

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
      step_together[b].begin(p.vc.data(), p.dt, p.t, p.rho, p.moist, p.radicals, p.ph);
      boxes.push_back(step_together[b].lane_box());
    }
    ASSERT_TRUE(lanes.integrate(boxes));
    for (std::size_t b = 0; b < 4; ++b) {
      SCOPED_TRACE(b);
      Parcel& p = together[b].parcel;
      const StepResult r = step_together[b].finish(p.vc.data(), p.radicals, ros_success, boxes[b].counters);
      Parcel& q = alone[b].parcel;
      const StepResult s = step_alone[b].advance(q.vc.data(), q.dt, q.t, q.rho, q.moist, q.radicals, q.ph);
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
    steps[b].begin(p.vc.data(), p.dt, p.t, p.rho, p.moist, p.radicals, p.ph);
    boxes.push_back(steps[b].lane_box());
  }
  LaneIntegrator lanes(*kernels);
  ChemistryStep reference;
  Parcel q = c[1].parcel;
  const StepResult s = reference.advance(q.vc.data(), q.dt, q.t, q.rho, q.moist, q.radicals, q.ph);
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
  other.begin(o.vc.data(), o.dt, o.t, o.rho, o.moist, o.radicals, o.ph);
  std::vector<LaneBox> mixed{steps[0].lane_box(), other.lane_box()};
  const std::vector<double> before(mixed[0].var, mixed[0].var + nvar);
  EXPECT_FALSE(lanes.integrate(mixed));
  EXPECT_TRUE(same_bits(before.data(), mixed[0].var, sizeof(double) * nvar));
}

}  // namespace
}  // namespace box
