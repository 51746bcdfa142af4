#pragma once
// The built-in mechanism's rate coefficients of the last air state. Within
// an hour of site records the temperature and air density of successive
// chemistry steps are the same numbers while the sun moves: the thermal
// coefficients (exponentials, powers and fall-off laws, most of the work)
// are then those of the previous step and only the photolysis frequencies
// are copied in again. The coefficients depend on nothing else (water
// vapour is a reactant, not a variable of a rate law), so the values are
// those of a full evaluation, bit for bit.
#include <array>

#include "mechanism/parameters.hpp"

namespace box {

// Copies the photolysis frequencies j (by slot) into their reactions'
// coefficients and leaves every other coefficient as it is.
void racm_update_photolysis(const double* j, double* rconst) noexcept;

class RateCoefficientCache {
 public:
  // rconst := racm_update_rconst(j, c_m, temp), the thermal part taken from
  // the last call when temp and c_m are the same bits as then.
  void update(const double* j, double* rconst, double c_m, double temp) noexcept;

  // Evaluations of the thermal coefficients so far (calls that found the
  // air changed).
  long long evaluations() const noexcept { return evaluations_; }

 private:
  bool valid_ = false;
  double c_m_ = 0.0;
  double temp_ = 0.0;
  long long evaluations_ = 0;
  std::array<double, nreact> k_{};
};

}  // namespace box
