// The lane forms of the kernels against the one-box kernels: four
// different boxes in one call, each lane bit for bit what the scalar
// kernel gives that box alone.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "mechanism/lane_kernels.hpp"
#include "mechanism/mechanism.hpp"
#include "tests/mechanism/daytime_state.hpp"

namespace box {
namespace {

constexpr int L = 4;

// Entry-major, box-minor storage of `entries` values for L boxes.
struct Lanes {
  explicit Lanes(int entries) : n(entries), data(static_cast<std::size_t>(entries) * L + 8) {}
  double* get() {
    auto p = reinterpret_cast<std::uintptr_t>(data.data());
    return data.data() + ((32 - p % 32) % 32) / sizeof(double);
  }
  void put(int box, const double* x) {
    for (int k = 0; k < n; ++k) get()[k * L + box] = x[k];
  }
  std::vector<double> box_values(int box) {
    std::vector<double> out(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) out[static_cast<std::size_t>(k)] = get()[k * L + box];
    return out;
  }
  int n;
  std::vector<double> data;
};

bool same_bits(const std::vector<double>& a, const double* b) {
  return std::memcmp(a.data(), b, sizeof(double) * a.size()) == 0;
}

struct Box {
  test::State v;
  test::Fixed f;
  test::Rates r;
  double shift;
};

// Four boxes far apart: the polluted afternoon, a cold night (no
// photolysis), a hot one with random concentrations over many decades,
// and one with some species exactly zero.
std::array<Box, L> four_boxes() {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> decades(-6.0, 12.0);
  std::array<Box, L> b;
  b[0] = {test::daytime_state(), test::daytime_fixed(), test::daytime_rates(), 1.0 / (3.0 * 0.43586652150845899)};
  const std::array<double, nphot> dark{};
  b[1].v = test::daytime_state();
  for (double& x : b[1].v) x *= 0.3;
  b[1].f = {0.002 * 2.9e19, 2.9e19};
  racm_update_rconst(dark.data(), b[1].r.data(), 2.9e19, 255.0);
  b[1].shift = 1.0 / 0.17;
  for (double& x : b[2].v) x = std::pow(10.0, decades(rng));
  b[2].f = {0.03 * 2.3e19, 2.3e19};
  const auto j = test::daytime_photolysis();
  racm_update_rconst(j.data(), b[2].r.data(), 2.3e19, 315.0);
  b[2].shift = 1.0e-3;
  b[3] = b[0];
  for (int k = 0; k < nvar; k += 3) b[3].v[static_cast<std::size_t>(k)] = 0.0;
  b[3].shift = 2.5e4;
  return b;
}

// Each test runs with every form this processor runs.
class LaneKernelsTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    const auto forms = runnable_lane_kernels();
    if (static_cast<std::size_t>(GetParam()) >= forms.size()) GTEST_SKIP() << "this processor has no such lane form";
    kernels = forms[static_cast<std::size_t>(GetParam())];
    ASSERT_EQ(kernels->lanes, L);
  }
  const LaneKernels* kernels = nullptr;
};
INSTANTIATE_TEST_SUITE_P(Forms, LaneKernelsTest, ::testing::Values(0, 1));

TEST_P(LaneKernelsTest, EveryKernelGivesEachLaneTheScalarBits) {
  SCOPED_TRACE(kernels->name);
  const auto boxes = four_boxes();
  Lanes v(nvar), f(nfix), r(nreact), vdot(nvar), jac(lu_nonzero), lu(lu_nonzero), x(nvar);
  alignas(32) std::array<double, L> shift{};
  for (int b = 0; b < L; ++b) {
    v.put(b, boxes[b].v.data());
    f.put(b, boxes[b].f.data());
    r.put(b, boxes[b].r.data());
    shift[b] = boxes[b].shift;
  }
  kernels->fun(v.get(), f.get(), r.get(), vdot.get());
  kernels->jac(v.get(), f.get(), r.get(), jac.get());
  std::array<int, L> ier{-1, -1, -1, -1};
  kernels->decomp_shifted(jac.get(), shift.data(), lu.get(), ier.data());
  // The right-hand side of the solve: f itself, as in a stage.
  std::memcpy(x.get(), vdot.get(), sizeof(double) * nvar * L);
  kernels->solve(lu.get(), x.get());

  for (int b = 0; b < L; ++b) {
    SCOPED_TRACE(b);
    std::array<double, nvar> sv{}, sx{};
    std::array<double, lu_nonzero> sj{}, slu{};
    racm_fun(boxes[b].v.data(), boxes[b].f.data(), boxes[b].r.data(), sv.data());
    racm_jac_sp(boxes[b].v.data(), boxes[b].f.data(), boxes[b].r.data(), sj.data());
    int sier = -1;
    decomp_racm_shifted(sj.data(), boxes[b].shift, slu.data(), sier);
    sx = sv;
    racm_solve(slu.data(), sx.data());
    EXPECT_TRUE(same_bits(vdot.box_values(b), sv.data()));
    EXPECT_TRUE(same_bits(jac.box_values(b), sj.data()));
    EXPECT_EQ(ier[b], sier);
    EXPECT_EQ(sier, 0);
    EXPECT_TRUE(same_bits(lu.box_values(b), slu.data()));
    EXPECT_TRUE(same_bits(x.box_values(b), sx.data()));
  }
}

// A box whose factorisation fails reports the scalar kernel's row, and the
// other boxes (one failing later, two not at all) are not disturbed: their
// factors are the scalar bits.
TEST_P(LaneKernelsTest, ASingularBoxReportsItsRowAndLeavesTheOthersAlone) {
  SCOPED_TRACE(kernels->name);
  const auto boxes = four_boxes();
  Lanes v(nvar), f(nfix), r(nreact), jac(lu_nonzero), lu(lu_nonzero);
  alignas(32) std::array<double, L> shift{};
  std::array<std::array<double, lu_nonzero>, L> sj{};
  for (int b = 0; b < L; ++b) {
    racm_jac_sp(boxes[b].v.data(), boxes[b].f.data(), boxes[b].r.data(), sj[b].data());
    shift[b] = boxes[b].shift;
  }
  // Box 1's stage matrix has a zero pivot in row 24, box 3's a not-a-number
  // in the last row (as supplied: shift cancels the Jacobian's diagonal).
  sj[1][at(lu_diag[at(24)])] = shift[1];
  sj[3][at(lu_diag[at(nvar)])] = std::numeric_limits<double>::quiet_NaN();
  for (int b = 0; b < L; ++b) jac.put(b, sj[b].data());
  std::array<int, L> ier{-1, -1, -1, -1};
  kernels->decomp_shifted(jac.get(), shift.data(), lu.get(), ier.data());
  for (int b = 0; b < L; ++b) {
    SCOPED_TRACE(b);
    std::array<double, lu_nonzero> slu{};
    int sier = -1;
    decomp_racm_shifted(sj[b].data(), shift[b], slu.data(), sier);
    EXPECT_EQ(ier[b], sier);
    if (sier == 0) {
      EXPECT_TRUE(same_bits(lu.box_values(b), slu.data()));
    }
  }
  EXPECT_EQ(ier[1], 24);
  EXPECT_EQ(ier[3], nvar);
}

TEST(LaneKernelChoice, OneLaneAsksForNoForm) {
  int available = 0;
  EXPECT_EQ(lane_kernels(1, &available), nullptr);
  EXPECT_TRUE(available == 1 || available == 4);
  EXPECT_EQ(lane_kernels(3), nullptr);
  if (available == 4) {
    EXPECT_EQ(lane_kernels(4), lane_kernels(0));
    EXPECT_EQ(lane_kernels(0), runnable_lane_kernels().front());
  }
}

}  // namespace
}  // namespace box
