#include "chemistry/chemistry_step.hpp"

namespace box {

// Stand-in until the mechanism and integrator are coupled: leaves the state
// unchanged.
void ChemistryStep::racm_interface(int, double*, int, double, double, double,
                                   double, double, const double*, int,
                                   RadicalSlots&, const PhotolysisRates&) {}

}  // namespace box
