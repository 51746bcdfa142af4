#pragma once
// The files a scenario asks for that are written from the run's samples:
// the species as CSV and as NetCDF.
#include <memory>
#include <vector>

#include "output/observer.hpp"
#include "scenario/scenario.hpp"

namespace box {

// The mechanism indices (ind_x) a selection names, in output order.
std::vector<int> selected_species(const SpeciesSelection& selection);

// One observer per sampled output format of the scenario (none for the
// species table alone).
std::vector<std::unique_ptr<RunObserver>> sample_writers(const Scenario& scenario);

// Throws ScenarioError when the scenario asks for a format this build
// cannot write (NetCDF without the netCDF library).
void check_sample_formats(const Scenario& scenario);

}  // namespace box
