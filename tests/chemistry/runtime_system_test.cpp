// A mechanism read at run time integrated by the Rosenbrock step loop:
// A -> B -> C with rates from named coefficients, against its closed form.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "chemistry/runtime_mechanism_system.hpp"
#include "io/mechanism_file.hpp"

namespace box {
namespace {

TEST(RuntimeMechanismSystem, ConsecutiveReactionsFollowTheirClosedForm) {
  // k1 = 2e-3 s-1 at 300 K (written through TEMP), k2 = 5e-4 s-1.
  const Mechanism m = read_mechanism_text(
      "VARIABLE A B C ;\nKA = 2.0D-3*TEMP/300 ;\n% KA : A = B ;\n% 5.0D-4 : B = C ;", "abc.fac");
  const MechanismDerivation d = derive(m);
  using System = SizedRuntimeSystem<3, 9>;
  System system(m, d);
  system.set_conditions(MechanismAir{300.0, 2.5e19, 0.0, 1013.25, 0.0}, {});
  auto integrator = std::make_unique<Rosenbrock<System>>();
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
  EXPECT_THROW((SizedRuntimeSystem<4, 16>(m, d)), std::invalid_argument);
}

}  // namespace
}  // namespace box
