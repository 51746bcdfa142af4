#pragma once
// The files a scenario asks for that are written from the run's samples:
// the species as CSV and as NetCDF.
#include <memory>
#include <vector>

#include <string>

#include "mechanism/catalogue.hpp"
#include "output/observer.hpp"
#include "scenario/scenario.hpp"

namespace box {

// The mechanism indices (ind_x) a selection names, in output order.
std::vector<int> selected_species(const SpeciesSelection& selection);

// The output species of a scenario run of a mechanism, 1-based in its
// order, with its names: those listed (any case), the species table's for
// "table" (every species of a mechanism without one), or every species.
// Throws InputError naming output.species and the close names.
struct OutputSpecies {
  std::vector<int> species;
  std::vector<std::string> names;
};
OutputSpecies output_species(const Scenario& scenario, const MechanismCatalogue& catalogue);

// One observer per sampled output format of the scenario (none for the
// species table alone), for any mechanism.
std::vector<std::unique_ptr<RunObserver>> sample_writers(const Scenario& scenario,
                                                         const MechanismCatalogue& catalogue);

// Throws ScenarioError when the scenario asks for a format this build
// cannot write (NetCDF without the netCDF library).
void check_sample_formats(const Scenario& scenario);

}  // namespace box
