// Time per call of the mechanism kernels at a daytime state, and of the
// loop form of the factorisation and solve beside their straight-line form.
// The factorisation works in place, so each iteration first copies the
// iteration matrix; BM_copy_matrix measures that copy alone.
#include <benchmark/benchmark.h>

#include <array>

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
    racm_update_rconst(j.data(), nphot, r.data(), test::c_m_day, 0.0, temp);
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

}  // namespace

BENCHMARK_MAIN();
