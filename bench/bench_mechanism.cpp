// Time per call of the mechanism kernels at a daytime state, and of the
// loop form of the factorisation and solve beside their straight-line form.
// The factorisation works in place, so each iteration first copies the
// iteration matrix; BM_copy_matrix measures that copy alone.
#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "mechanism/lane_kernels.hpp"
#include "mechanism/mechanism.hpp"
#include "mechanism/sparse_lu_loop.hpp"
#include "tests/mechanism/daytime_state.hpp"

namespace {

using namespace box;
using Matrix = std::array<double, lu_nonzero>;

struct Day {
  test::State v = test::daytime_state();
  test::Fixed f = test::daytime_fixed();
  test::Rates r = test::daytime_rates();
  Matrix jac{};
  double shift = 1.0 / (60.0 * 0.43586652150845899);  // 60 s step, third-order method
  Matrix iteration{};  // I/(h gamma) - J
  Matrix factors{};

  Day() {
    racm_jac_sp(v.data(), f.data(), r.data(), jac.data());
    for (std::size_t k = 0; k < jac.size(); ++k) iteration[k] = 0.0 - jac[k];
    for (int i = 1; i <= nvar; ++i) iteration[at(lu_diag[at(i)])] += shift;
    factors = iteration;
    int ier = 0;
    decomp_racm(factors.data(), ier);
  }
};

const Day& day() {
  static const Day d;
  return d;
}

void BM_racm_fun(benchmark::State& state) {
  const Day& d = day();
  test::State vdot;
  for (auto _ : state) {
    racm_fun(d.v.data(), d.f.data(), d.r.data(), vdot.data());
    benchmark::DoNotOptimize(vdot.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_racm_fun);

void BM_racm_update_rconst(benchmark::State& state) {
  const auto j = test::daytime_photolysis();
  test::Rates r;
  double temp = test::temp_day;
  for (auto _ : state) {
    benchmark::DoNotOptimize(temp);
    racm_update_rconst(j.data(), r.data(), test::c_m_day, temp);
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_racm_update_rconst);

void BM_racm_jac_sp(benchmark::State& state) {
  const Day& d = day();
  Matrix jvs;
  for (auto _ : state) {
    racm_jac_sp(d.v.data(), d.f.data(), d.r.data(), jvs.data());
    benchmark::DoNotOptimize(jvs.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_racm_jac_sp);

void BM_copy_matrix(benchmark::State& state) {
  const Day& d = day();
  Matrix a;
  for (auto _ : state) {
    a = d.iteration;
    benchmark::DoNotOptimize(a.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_copy_matrix);

template <void (*Decomp)(double*, int&) noexcept>
void BM_decomp(benchmark::State& state) {
  const Day& d = day();
  Matrix a;
  int ier = 0;
  for (auto _ : state) {
    a = d.iteration;
    Decomp(a.data(), ier);
    benchmark::DoNotOptimize(a.data());
    benchmark::DoNotOptimize(ier);
    benchmark::ClobberMemory();
  }
}
BENCHMARK_TEMPLATE(BM_decomp, decomp_racm)->Name("BM_decomp_racm");
BENCHMARK_TEMPLATE(BM_decomp, decomp_racm_loop)->Name("BM_decomp_racm_loop");

// The integrator's factorisation: the stage matrix formed from J as it goes
// (no copy needed: J is only read).
void BM_decomp_racm_shifted(benchmark::State& state) {
  const Day& d = day();
  Matrix a;
  int ier = 0;
  for (auto _ : state) {
    decomp_racm_shifted(d.jac.data(), d.shift, a.data(), ier);
    benchmark::DoNotOptimize(a.data());
    benchmark::DoNotOptimize(ier);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_decomp_racm_shifted);

template <void (*Solve)(const double*, double*) noexcept>
void BM_solve(benchmark::State& state) {
  const Day& d = day();
  test::State x;
  for (auto _ : state) {
    x = d.v;
    Solve(d.factors.data(), x.data());
    benchmark::DoNotOptimize(x.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK_TEMPLATE(BM_solve, racm_solve)->Name("BM_racm_solve");
BENCHMARK_TEMPLATE(BM_solve, racm_solve_loop)->Name("BM_racm_solve_loop");

// The lane forms (mechanism/lane_kernels.hpp) on four copies of the day's
// box: the time per call covers four boxes, to set beside four calls of the
// one-box kernels above.
struct LaneDay {
  static constexpr int L = 4;
  alignas(64) std::array<double, nvar * L> v{}, vdot{}, x{};
  alignas(64) std::array<double, nfix * L> f{};
  alignas(64) std::array<double, nreact * L> r{};
  alignas(64) std::array<double, lu_nonzero * L> jac{}, lu{};
  alignas(32) std::array<double, L> shift{};
  LaneDay() {
    const Day& d = day();
    for (int b = 0; b < L; ++b) {
      for (int k = 0; k < nvar; ++k) v[static_cast<std::size_t>(k * L + b)] = d.v[static_cast<std::size_t>(k)];
      for (int k = 0; k < nfix; ++k) f[static_cast<std::size_t>(k * L + b)] = d.f[static_cast<std::size_t>(k)];
      for (int k = 0; k < nreact; ++k) r[static_cast<std::size_t>(k * L + b)] = d.r[static_cast<std::size_t>(k)];
      for (int k = 0; k < lu_nonzero; ++k) jac[static_cast<std::size_t>(k * L + b)] = d.jac[static_cast<std::size_t>(k)];
      shift[static_cast<std::size_t>(b)] = d.shift;
    }
  }
};

// Argument: the form, 0 the widest instruction set this processor runs.
template <int kernel>
void BM_lanes(benchmark::State& state) {
  const auto forms = runnable_lane_kernels();
  if (static_cast<std::size_t>(state.range(0)) >= forms.size()) {
    state.SkipWithError("no such lane form on this processor");
    return;
  }
  const LaneKernels* k = forms[static_cast<std::size_t>(state.range(0))];
  static LaneDay d;
  std::array<int, LaneDay::L> ier{};
  k->decomp_shifted(d.jac.data(), d.shift.data(), d.lu.data(), ier.data());
  for (auto _ : state) {
    if constexpr (kernel == 0) k->fun(d.v.data(), d.f.data(), d.r.data(), d.vdot.data());
    if constexpr (kernel == 1) k->jac(d.v.data(), d.f.data(), d.r.data(), d.jac.data());
    if constexpr (kernel == 2) k->decomp_shifted(d.jac.data(), d.shift.data(), d.lu.data(), ier.data());
    if constexpr (kernel == 3) {
      d.x = d.v;
      k->solve(d.lu.data(), d.x.data());
    }
    benchmark::ClobberMemory();
  }
  state.SetLabel(std::string(k->name) + ", 4 boxes per call");
}
BENCHMARK_TEMPLATE(BM_lanes, 0)->Name("BM_lanes_racm_fun")->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(BM_lanes, 1)->Name("BM_lanes_racm_jac_sp")->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(BM_lanes, 2)->Name("BM_lanes_decomp_racm_shifted")->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(BM_lanes, 3)->Name("BM_lanes_racm_solve")->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
