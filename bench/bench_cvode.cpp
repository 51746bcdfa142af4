// The example day's chemistry side by side: the model's Rosenbrock
// integrator with the run's settings (ROS-3, rtol 1e-3, atol 1 molecule
// cm-3) against a general-purpose variable-order BDF code with Newton
// iteration and a sparse direct solver (SUNDIALS CVODE with KLU) on the
// same right-hand side and analytic Jacobian at the same tolerances. Both
// are restarted at every 300 s chemistry step, with the rate coefficients
// evaluated once per step, and both hand back their result clipped at zero
// as the chemistry step does.
//
// Accuracy is the largest relative error of the 15 species of the hourly
// table, at the 17 hourly rows and at the end of the day, against a
// reference day integrated with RODAS-4 at rtol 1e-10 (values below
// 1e-3 ppb left out). After the timings the program prints one table with
// the work counters, the error and the ratio of the times.
#include <benchmark/benchmark.h>
#include <cvode/cvode.h>
#include <nvector/nvector_serial.h>
#include <sunlinsol/sunlinsol_klu.h>
#include <sunmatrix/sunmatrix_sparse.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/example_day.hpp"
#include "chemistry/species_map.hpp"
#include "chemistry/unit_conversion.hpp"
#include "mechanism/mechanism.hpp"
#include "mechanism/structure.hpp"

namespace {

using namespace box;
using namespace box::bench;

constexpr double run_rtol = 1.0e-3;
constexpr double run_atol = 1.0;  // molecules cm-3

// The Jacobian's own positions (962, every diagonal included) in row order:
// the LU layout's fill-in is left to the sparse solver, which orders the
// matrix for itself. Entry e of the compressed-row matrix takes the value
// of LU-layout position lu_of[e].
struct JacobianPattern {
  std::array<sunindextype, nvar + 1> row_start{};
  std::array<sunindextype, nonzero> column{};
  std::array<int, nonzero> lu_of{};
};

const JacobianPattern& jacobian_pattern() {
  static const JacobianPattern p = [] {
    JacobianPattern q;
    int e = 0;
    for (int i = 0; i < nvar; ++i) {
      q.row_start[static_cast<std::size_t>(i)] = e;
      for (int j = 0; j < nvar; ++j) {
        if (!mech::jacobian_positions[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)])
          continue;
        q.column[static_cast<std::size_t>(e)] = j;
        q.lu_of[static_cast<std::size_t>(e)] = at(mech::pattern.position[at(i + 1)][at(j + 1)]);
        ++e;
      }
    }
    if (e != nonzero) throw std::logic_error("Jacobian pattern size");
    q.row_start[nvar] = e;
    return q;
  }();
  return p;
}

struct CvodeStatistics {
  long steps = 0, nfun = 0, njac = 0, nsetups = 0, nnewton = 0, nerrfail = 0, nconvfail = 0;
  long failures = 0;  // integrations that returned an error
};

// One chemistry step as the model takes it, with CVODE in place of the
// Rosenbrock integrator.
class CvodeDayStep {
 public:
  CvodeDayStep(double rtol, double atol) {
    check(SUNContext_Create(nullptr, &ctx_) == 0, "SUNContext_Create");
    y_ = N_VNew_Serial(nvar, ctx_);
    a_ = SUNSparseMatrix(nvar, nvar, nonzero, CSR_MAT, ctx_);
    check(y_ != nullptr && a_ != nullptr, "vector or matrix");
    N_VConst(0.0, y_);
    ls_ = SUNLinSol_KLU(y_, a_, ctx_);
    mem_ = CVodeCreate(CV_BDF, ctx_);  // Newton iteration is the default
    check(ls_ != nullptr && mem_ != nullptr, "CVodeCreate or KLU");
    check(CVodeInit(mem_, rhs, 0.0, y_) == CV_SUCCESS, "CVodeInit");
    check(CVodeSetUserData(mem_, this) == CV_SUCCESS, "CVodeSetUserData");
    check(CVodeSStolerances(mem_, rtol, atol) == CV_SUCCESS, "CVodeSStolerances");
    check(CVodeSetLinearSolver(mem_, ls_, a_) == CV_SUCCESS, "CVodeSetLinearSolver");
    check(CVodeSetJacFn(mem_, jacobian) == CV_SUCCESS, "CVodeSetJacFn");
    check(CVodeSetMaxNumSteps(mem_, 100000) == CV_SUCCESS, "CVodeSetMaxNumSteps");
  }
  ~CvodeDayStep() {
    CVodeFree(&mem_);
    SUNLinSolFree(ls_);
    SUNMatDestroy(a_);
    N_VDestroy(y_);
    SUNContext_Free(&ctx_);
  }
  CvodeDayStep(const CvodeDayStep&) = delete;
  CvodeDayStep& operator=(const CvodeDayStep&) = delete;

  // The chemistry step's conversions, clipping and coefficient evaluation,
  // then one restarted integration over [0, dt] that stops exactly at dt.
  void step(double* vc, RadicalSlots& radicals, const StepInputs& s) {
    fix_[at(indf_m)] = s.rho * unit_conversion::dens2con_a;
    fix_[at(indf_h2o)] = s.moist * unit_conversion::dens2con_w * s.rho;
    const double conv = s.rho * unit_conversion::dens2con_a;
    const double oconv = 1 / conv;
    double* var = N_VGetArrayPointer(y_);
    for (std::size_t k = 0; k < species_map.size(); ++k)
      var[k] = non_negative(place(species_map[k], vc, radicals)) * conv;
    racm_update_rconst(s.ph.data(), rconst_.data(), fix_[at(indf_m)],
                       s.t);

    check(CVodeReInit(mem_, 0.0, y_) == CV_SUCCESS, "CVodeReInit");
    check(CVodeSetStopTime(mem_, s.dt) == CV_SUCCESS, "CVodeSetStopTime");
    double t = 0.0;
    if (CVode(mem_, s.dt, y_, &t, CV_NORMAL) < 0) ++stats_.failures;
    accumulate();

    for (std::size_t k = 0; k < species_map.size(); ++k)
      place(species_map[k], vc, radicals) = non_negative(oconv * var[k]);
  }

  const CvodeStatistics& statistics() const { return stats_; }

 private:
  static void check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string("CVODE set-up failed: ") + what);
  }
  static double non_negative(double x) { return x > 0.0 ? x : 0.0; }
  static double& place(const SpeciesSource& s, double* vc, RadicalSlots& radicals) {
    return s.vc_slot != 0 ? vc[at(s.vc_slot)] : radicals.*(s.radical);
  }

  static int rhs(sunrealtype, N_Vector y, N_Vector ydot, void* self) {
    const auto* me = static_cast<const CvodeDayStep*>(self);
    racm_fun(N_VGetArrayPointer(y), me->fix_.data(), me->rconst_.data(), N_VGetArrayPointer(ydot));
    return 0;
  }

  // J = df/dy; the solver forms I - gamma J itself.
  static int jacobian(sunrealtype, N_Vector y, N_Vector, SUNMatrix jm, void* self, N_Vector,
                      N_Vector, N_Vector) {
    auto* me = static_cast<CvodeDayStep*>(self);
    racm_jac_sp(N_VGetArrayPointer(y), me->fix_.data(), me->rconst_.data(), me->jvs_.data());
    const JacobianPattern& p = jacobian_pattern();
    // The solver clears the structure before asking for a new Jacobian.
    std::copy(p.row_start.begin(), p.row_start.end(), SUNSparseMatrix_IndexPointers(jm));
    std::copy(p.column.begin(), p.column.end(), SUNSparseMatrix_IndexValues(jm));
    double* data = SUNSparseMatrix_Data(jm);
    for (std::size_t e = 0; e < p.lu_of.size(); ++e)
      data[e] = me->jvs_[static_cast<std::size_t>(p.lu_of[e])];
    return 0;
  }

  // The counters restart with every CVodeReInit: sum them over the day.
  void accumulate() {
    const auto add = [this](int (*get)(void*, long*), long& total) {
      long v = 0;
      get(mem_, &v);
      total += v;
    };
    add(CVodeGetNumSteps, stats_.steps);
    add(CVodeGetNumRhsEvals, stats_.nfun);
    add(CVodeGetNumJacEvals, stats_.njac);
    add(CVodeGetNumLinSolvSetups, stats_.nsetups);
    add(CVodeGetNumNonlinSolvIters, stats_.nnewton);
    add(CVodeGetNumErrTestFails, stats_.nerrfail);
    add(CVodeGetNumNonlinSolvConvFails, stats_.nconvfail);
  }

  SUNContext ctx_ = nullptr;
  N_Vector y_ = nullptr;
  SUNMatrix a_ = nullptr;
  SUNLinearSolver ls_ = nullptr;
  void* mem_ = nullptr;
  std::array<double, nfix> fix_{};
  std::array<double, nreact> rconst_{};
  std::array<double, lu_nonzero> jvs_{};
  CvodeStatistics stats_;
};

// ---------------------------------------------------------------------------
// Accuracy, computed once per integrator and tolerance.

const std::vector<TableRow>& reference_table() {
  static const std::vector<TableRow> rows = [] {
    RosenbrockDayStep rodas4(StepSettings{5, run_atol, 1.0e-10});
    return hourly_table(example_day(), rodas4);
  }();
  return rows;
}

const TableError& rosenbrock_error() {
  static const TableError e = [] {
    RosenbrockDayStep ours;
    return table_error(hourly_table(example_day(), ours), reference_table());
  }();
  return e;
}

TableError cvode_error(double rtol) {
  static std::map<double, TableError> known;
  const auto it = known.find(rtol);
  if (it != known.end()) return it->second;
  CvodeDayStep cvode(rtol, run_atol);
  return known[rtol] = table_error(hourly_table(example_day(), cvode), reference_table());
}

// How good the reference itself is: the same day ten times tighter.
TableError reference_check() {
  RosenbrockDayStep tighter(StepSettings{5, run_atol, 1.0e-11});
  return table_error(hourly_table(example_day(), tighter), reference_table());
}

// ---------------------------------------------------------------------------
// The days, timed.

struct Work {
  double steps = 0, rejected = 0, nfun = 0, njac = 0, ndec = 0, nsol = 0;
  TableError error;
};
constexpr const char* ours_name = "day/rosenbrock_ros3";
constexpr const char* cvode_name = "day/cvode_bdf_klu";
constexpr const char* cvode_tight_name = "day/cvode_bdf_klu_rtol1e-4";
std::map<std::string, Work>& work() {
  static std::map<std::string, Work> w;
  return w;
}

void record_work(benchmark::State& state, const std::string& name, const Work& w) {
  state.counters["steps"] = w.steps;
  state.counters["rejected"] = w.rejected;
  state.counters["nfun"] = w.nfun;
  state.counters["njac"] = w.njac;
  state.counters["factorisations"] = w.ndec;
  state.counters["solves"] = w.nsol;
  state.counters["max_rel_err"] = w.error.worst;
  work()[name] = w;
}

void BM_DayRosenbrock(benchmark::State& state) {
  const Day& day = example_day();
  StepStatistics last{};
  for (auto _ : state) {
    RosenbrockDayStep chemistry;
    replay_day(day, chemistry, [](std::size_t, const DayState& s) { benchmark::DoNotOptimize(s); });
    last = chemistry.statistics();
  }
  record_work(state, ours_name,
              {static_cast<double>(last.nstp), static_cast<double>(last.nstp - last.nacc),
               static_cast<double>(last.nfun), static_cast<double>(last.njac),
               static_cast<double>(last.ndec), static_cast<double>(last.nsol), rosenbrock_error()});
}

// CVODE at the run's tolerances, and ten times tighter in rtol for its cost
// at an accuracy closer to the Rosenbrock day's.
void BM_DayCvodeKlu(benchmark::State& state, const char* name, double rtol) {
  const Day& day = example_day();
  CvodeStatistics last{};
  for (auto _ : state) {
    CvodeDayStep chemistry(rtol, run_atol);
    replay_day(day, chemistry, [](std::size_t, const DayState& s) { benchmark::DoNotOptimize(s); });
    last = chemistry.statistics();
  }
  if (last.failures > 0) state.SkipWithError("CVODE failed in some chemistry steps");
  record_work(state, name,
              {static_cast<double>(last.steps), static_cast<double>(last.nerrfail + last.nconvfail),
               static_cast<double>(last.nfun), static_cast<double>(last.njac),
               static_cast<double>(last.nsetups), static_cast<double>(last.nnewton),
               cvode_error(rtol)});
}

void register_benchmarks() {
  benchmark::RegisterBenchmark(ours_name, BM_DayRosenbrock)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(cvode_name, BM_DayCvodeKlu, cvode_name, run_rtol)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(cvode_tight_name, BM_DayCvodeKlu, cvode_tight_name, 0.1 * run_rtol)
      ->Unit(benchmark::kMillisecond);
}

// Keeps the fastest CPU time per day of each benchmark for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const double ms = run.GetAdjustedCPUTime();  // in the benchmark's unit
      auto [it, added] = best_ms.try_emplace(run.benchmark_name(), ms);
      if (!added) it->second = std::min(it->second, ms);
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> best_ms;
};

void print_summary(const SummaryReporter& reporter) {
  std::printf("\nThe example day's chemistry, 204 restarted steps of 300 s\n");
  std::printf("%-28s %9s %7s %6s %7s %7s %7s %7s %10s %-12s\n", "", "ms/day", "steps", "rej",
              "nfun", "njac", "factor", "solves", "max rel", "(where)");
  for (const auto& [name, ms] : reporter.best_ms) {
    const auto w = work().find(name);
    if (w == work().end()) continue;
    const Work& k = w->second;
    char where[32];
    std::snprintf(where, sizeof where, "%s %02.0f:00", k.error.species, k.error.hour);
    std::printf("%-28s %9.3f %7.0f %6.0f %7.0f %7.0f %7.0f %7.0f %10.3e %-12s\n", name.c_str(), ms,
                k.steps, k.rejected, k.nfun, k.njac, k.ndec, k.nsol, k.error.worst, where);
  }
  const auto ours = reporter.best_ms.find(ours_name);
  for (const char* other : {cvode_name, cvode_tight_name}) {
    const auto cvode = reporter.best_ms.find(other);
    if (ours == reporter.best_ms.end() || cvode == reporter.best_ms.end()) continue;
    std::printf("%s / %s: time ratio %.1f (target at least 20), errors %.3e / %.3e\n", other,
                ours_name, cvode->second / ours->second, work()[other].error.worst,
                work()[ours_name].error.worst);
  }
  std::printf("reference day (RODAS-4, rtol 1e-10) against rtol 1e-11: %.3e\n",
              reference_check().worst);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  register_benchmarks();
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  print_summary(reporter);
  benchmark::Shutdown();
  return 0;
}
