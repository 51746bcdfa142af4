// A mechanism read at run time integrated by the Rosenbrock step loop with
// its sizes known only at run time: A -> B -> C against its closed form and
// against the same system sized at compile time, and the shipped methane
// subset over a sunlit hour against a tight-tolerance integration, and a
// photolysis frequency that follows time against its closed form; the
// machine code's fallbacks (a routine past the size limit, a system that
// refuses executable memory) take the same steps to the same bits.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "chemistry/runtime_mechanism_system.hpp"
#include "io/mechanism_file.hpp"
#include "mechanism/native_kernels.hpp"

namespace box {
namespace {

// The same system with its sizes as compile-time constants: the step loop
// then keeps its storage in arrays.
struct CompileTimeAbc : RuntimeMechanismSystem {
  static constexpr int n = 3;
  static constexpr int nnz = 9;
  using RuntimeMechanismSystem::RuntimeMechanismSystem;
};
static_assert(CompileTimeSize<CompileTimeAbc> && !RunTimeSize<CompileTimeAbc>);
static_assert(RunTimeSize<RuntimeMechanismSystem> && !CompileTimeSize<RuntimeMechanismSystem>);

TEST(RuntimeMechanismSystem, ConsecutiveReactionsFollowTheirClosedForm) {
  // k1 = 2e-3 s-1 at 300 K (written through TEMP), k2 = 5e-4 s-1.
  const Mechanism m = read_mechanism_text(
      "VARIABLE A B C ;\nKA = 2.0D-3*TEMP/300 ;\n% KA : A = B ;\n% 5.0D-4 : B = C ;", "abc.fac");
  const MechanismDerivation d = derive(m);
  ASSERT_LE(d.lu_entries(), CompileTimeAbc::nnz);
  RuntimeMechanismSystem system(m, d);
  const MechanismAir air{300.0, 2.5e19, 0.0, 1013.25, 0.0};
  system.set_conditions(air, {});
  auto integrator = std::make_unique<Rosenbrock<RuntimeMechanismSystem>>();
  double y[3] = {1.0e10, 0.0, 0.0};
  IntegratorOptions options;
  options.method = 5;  // RODAS-4
  options.rtol = 1.0e-8;
  options.atol = 1.0e-2;
  options.autonomous = true;
  const double t = 3600.0;
  const IntegrationResult result = integrator->integrate(system, 0.0, t, y, options);
  ASSERT_TRUE(result.ok());
  const double k1 = 2.0e-3, k2 = 5.0e-4;
  const double a = 1.0e10 * std::exp(-k1 * t);
  const double b = 1.0e10 * k1 / (k2 - k1) * (std::exp(-k1 * t) - std::exp(-k2 * t));
  EXPECT_NEAR(y[0], a, 1.0e-6 * a);
  EXPECT_NEAR(y[1], b, 1.0e-6 * b);
  EXPECT_NEAR(y[2], 1.0e10 - a - b, 1.0e-6 * 1.0e10);
  EXPECT_NEAR(y[0] + y[1] + y[2], 1.0e10, 1.0);  // the atoms are kept

  // Sized at compile time, the same system takes the same steps to the
  // same bits: one step loop serves both.
  CompileTimeAbc fixed(m, d);
  fixed.set_conditions(air, {});
  auto fixed_integrator = std::make_unique<Rosenbrock<CompileTimeAbc>>();
  double z[3] = {1.0e10, 0.0, 0.0};
  const IntegrationResult same = fixed_integrator->integrate(fixed, 0.0, t, z, options);
  EXPECT_EQ(std::memcmp(y, z, sizeof y), 0);
  EXPECT_EQ(std::memcmp(&result.counters, &same.counters, sizeof same.counters), 0);
  EXPECT_EQ(result.h_last, same.h_last);
}

// A photolysis frequency that grows in time, J4 = c t / 2, through a named
// coefficient: A -> B at 2 J4 over [t0, t1] of the clock leaves
// A0 exp(-c (t1^2 - t0^2) / 2) = A0 / e, which the frequency held at its
// starting value would miss by 40 %. The reaction's integral through the
// stages (with the df/dt term of the non-autonomous method) is what A
// lost.
TEST(RuntimeMechanismSystem, FrequenciesInTimeFollowTheirClosedForm) {
  const Mechanism m = read_mechanism_text("VARIABLE A B ;\nKJ = 2*J<4> ;\n% KJ : A = B ;", "ab.fac");
  const MechanismDerivation d = derive(m);
  RuntimeMechanismSystem system(m, d);
  const double t0 = 3600.0, t1 = 7200.0, c = 2.0 / (t1 * t1 - t0 * t0);
  system.set_time_dependent_photolysis([&](double t, std::span<double> j) { j[0] = 0.5 * c * t; });
  system.set_conditions(MechanismAir{}, std::vector<double>{0.5 * c * t0});
  Rosenbrock<RuntimeMechanismSystem> integrator;
  IntegratorOptions options;
  options.method = 5;  // RODAS-4
  options.rtol = 1.0e-9;
  options.atol = 1.0e-3;
  double y[2] = {1.0e10, 0.0};
  ProcessIntegrals processes(1);
  ASSERT_TRUE(integrator.integrate(system, t0, t1, y, options, &processes).ok());
  const double a = 1.0e10 * std::exp(-1.0);
  EXPECT_NEAR(y[0], a, 1.0e-7 * a);
  EXPECT_NEAR(processes.values()[0], 1.0e10 - y[0], 1.0e-10 * 1.0e10);
}

// The shipped MCM methane subset (29 species) with constant photolysis
// frequencies over an hour of polluted noon air: ROS-3 at the model's
// tolerances, then the same integrator object (its storage sized for
// another system in between) against RODAS-4 at rtol 1e-10.
TEST(RuntimeMechanismSystem, MethaneSubsetFollowsATightReference) {
  const Mechanism m =
      read_mechanism_file(std::filesystem::path(BOXMODEL_SOURCE_DIR) / "tests/data/mcm/mcm331-methane.fac");
  const MechanismDerivation d = derive(m);
  const int n = d.n;
  ASSERT_EQ(n, 29);
  RuntimeMechanismSystem system(m, d);
  // Noon frequencies, s-1: O3 -> O(1D) (J1), NO2 (J4), the others small.
  std::vector<double> j(m.photolysis_channels.size(), 1.0e-5);
  for (std::size_t s = 0; s < j.size(); ++s) {
    if (m.photolysis_channels[s] == 1) j[s] = 3.0e-5;
    if (m.photolysis_channels[s] == 4) j[s] = 8.0e-3;
  }
  const double air = 2.46e19;
  system.set_conditions(MechanismAir{298.0, air, 3.9e17, 1013.25, 50.0}, j);
  const auto ppb = [&](const char* name, double value, std::vector<double>& y) {
    const auto it = std::find(m.species.begin(), m.species.end(), name);
    ASSERT_NE(it, m.species.end()) << name;
    y[static_cast<std::size_t>(it - m.species.begin())] = value * 1.0e-9 * air;
  };
  std::vector<double> y0(static_cast<std::size_t>(n), 0.0);
  ppb("CH4", 1900.0, y0);
  ppb("CO", 150.0, y0);
  ppb("O3", 40.0, y0);
  ppb("NO", 2.0, y0);
  ppb("NO2", 8.0, y0);
  ppb("HCHO", 2.0, y0);
  ppb("H2", 500.0, y0);
  ppb("SO2", 1.0, y0);

  Rosenbrock<RuntimeMechanismSystem> integrator;
  IntegratorOptions model;  // ROS-3
  model.rtol = 1.0e-4;
  model.atol = 1.0e-2;
  model.autonomous = true;
  std::vector<double> y = y0;
  const IntegrationResult run = integrator.integrate(system, 0.0, 3600.0, y.data(), model);
  ASSERT_TRUE(run.ok());
  EXPECT_GT(run.counters.nacc, 10);

  // Another size in between: the storage follows the system.
  const Mechanism small = read_mechanism_text("% 1.0D-3 : A = B ;", "ab.fac");
  const MechanismDerivation ds = derive(small);
  RuntimeMechanismSystem other(small, ds);
  other.set_conditions(MechanismAir{}, {});
  double ab[2] = {1.0, 0.0};
  IntegratorOptions unit = model;
  unit.atol = 1.0e-8;
  ASSERT_TRUE(integrator.integrate(other, 0.0, 1000.0, ab, unit).ok());
  EXPECT_NEAR(ab[0], std::exp(-1.0), 1.0e-3 * std::exp(-1.0));

  IntegratorOptions tight = model;
  tight.method = 5;  // RODAS-4
  tight.rtol = 1.0e-10;
  tight.atol = 1.0e-6;
  std::vector<double> reference = y0;
  ASSERT_TRUE(integrator.integrate(system, 0.0, 3600.0, reference.data(), tight).ok());

  // Every species above 1e3 molecules cm-3 within 1 % of the reference,
  // and the chemistry has moved: OH made, NO2 photolysed toward its
  // steady state with NO and O3.
  for (int s = 0; s < n; ++s) {
    const auto i = static_cast<std::size_t>(s);
    SCOPED_TRACE(m.species[i]);
    if (reference[i] > 1.0e3) {
      EXPECT_NEAR(y[i], reference[i], 1.0e-2 * reference[i]);
    }
    EXPECT_GE(y[i], -1.0e-2 * reference[i] - 1.0);
  }
  const auto at_name = [&](const char* name, const std::vector<double>& v) {
    return v[static_cast<std::size_t>(std::find(m.species.begin(), m.species.end(), name) - m.species.begin())];
  };
  EXPECT_GT(at_name("OH", reference), 1.0e5);
  EXPECT_LT(at_name("NO2", reference), at_name("NO2", y0));
}

// Stand-ins for the system's protection call: one that refuses every
// routine, as a system forbidding written memory to execute does, and one
// that makes f executable and refuses the Jacobian's routine after it.
int protection_calls = 0;
bool refuse(const void*, std::size_t) {
  ++protection_calls;
  return false;
}
bool refuse_after_the_first(const void* code, std::size_t bytes) {
  if (++protection_calls > 1) return false;
  return mprotect(const_cast<void*>(code), bytes, PROT_READ | PROT_EXEC) == 0;
}

// Where no machine code is kept (a routine past the size limit, executable
// memory refused, at once or after a routine was made executable), write()
// gives nothing and the loops serve: the methane subset's sunlit hour then
// takes the machine code's steps to its bits.
TEST(RuntimeMechanismSystem, LoopsWhereNoMachineCodeIsKeptGiveTheMachineCodeBits) {
  if (!NativeKernels::supported()) GTEST_SKIP() << "this build writes no machine code";
  const Mechanism m =
      read_mechanism_file(std::filesystem::path(BOXMODEL_SOURCE_DIR) / "tests/data/mcm/mcm331-methane.fac");
  const MechanismDerivation d = derive(m);
  const std::unique_ptr<const NativeKernels> native = NativeKernels::write(d);
  ASSERT_NE(native, nullptr);
  // The limit bounds each routine, not their sum: at the sum all are kept,
  // at 256 bytes (less than f alone: 2 loads and a store per reaction)
  // none is.
  EXPECT_NE(NativeKernels::write(d, {.max_routine_bytes = native->code_bytes()}), nullptr);
  EXPECT_EQ(NativeKernels::write(d, {.max_routine_bytes = 256}), nullptr);
  protection_calls = 0;
  EXPECT_EQ(NativeKernels::write(d, {.make_executable = refuse}), nullptr);
  EXPECT_EQ(protection_calls, 1);  // writing stops at the first refusal
  protection_calls = 0;
  EXPECT_EQ(NativeKernels::write(d, {.make_executable = refuse_after_the_first}), nullptr);
  EXPECT_EQ(protection_calls, 2);

  const auto hour = [&](const NativeKernels* kernels, IntegrationResult& result) {
    RuntimeMechanismSystem system(m, d, kernels);
    EXPECT_EQ(system.machine_code(), kernels != nullptr);
    std::vector<double> j(m.photolysis_channels.size(), 1.0e-5);
    for (std::size_t s = 0; s < j.size(); ++s)
      if (m.photolysis_channels[s] == 4) j[s] = 8.0e-3;
    system.set_conditions(MechanismAir{298.0, 2.46e19, 3.9e17, 1013.25, 50.0}, j);
    std::vector<double> y(static_cast<std::size_t>(d.n), 0.0);
    for (std::size_t s = 0; s < y.size(); ++s) y[s] = 1.0e7 * static_cast<double>(s % 7 + 1) * (s % 3 == 0 ? 1e3 : 1.0);
    Rosenbrock<RuntimeMechanismSystem> integrator;
    IntegratorOptions options;  // ROS-3
    options.rtol = 1.0e-4;
    options.atol = 1.0e-2;
    options.autonomous = true;
    result = integrator.integrate(system, 0.0, 3600.0, y.data(), options);
    return y;
  };
  IntegrationResult with_code, with_loops;
  const std::vector<double> y_code = hour(native.get(), with_code);
  const std::vector<double> y_loops = hour(NativeKernels::write(d, {.max_routine_bytes = 256}).get(), with_loops);
  ASSERT_TRUE(with_code.ok());
  EXPECT_GT(with_code.counters.nacc, 10);
  EXPECT_EQ(std::memcmp(y_code.data(), y_loops.data(), y_code.size() * sizeof(double)), 0);
  EXPECT_EQ(std::memcmp(&with_code.counters, &with_loops.counters, sizeof with_code.counters), 0);
}

}  // namespace
}  // namespace box
