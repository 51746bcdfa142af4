#include "output/sample_writers.hpp"

#include "output/csv_writer.hpp"
#include "output/diagnostics_writer.hpp"
#include "output/netcdf_writer.hpp"
#include "output/species_selection.hpp"

namespace box {

std::vector<int> selected_species(const SpeciesSelection& s) {
  switch (s.kind) {
    case SpeciesSelection::Kind::table: return table_species();
    case SpeciesSelection::Kind::all: return all_species();
    case SpeciesSelection::Kind::list: break;
  }
  return s.list;
}

OutputSpecies output_species(const Scenario& scenario, const MechanismCatalogue& catalogue) {
  const SpeciesSelection& selection = scenario.output.species;
  OutputSpecies out;
  if (selection.kind == SpeciesSelection::Kind::list) {
    for (const std::string& name : selection.names)
      out.species.push_back(catalogue.index(name, scenario.source + ": output.species"));
  } else if (selection.kind == SpeciesSelection::Kind::table && !catalogue.table.empty()) {
    out.species = catalogue.table;
  } else {
    for (int k = 1; k <= catalogue.species_count(); ++k) out.species.push_back(k);
  }
  for (const int k : out.species) out.names.push_back(catalogue.name(k));
  return out;
}

std::vector<std::unique_ptr<RunObserver>> sample_writers(const Scenario& scenario,
                                                         const MechanismCatalogue& catalogue) {
  const OutputSettings& o = scenario.output;
  const auto [species, names] = output_species(scenario, catalogue);
  std::vector<std::unique_ptr<RunObserver>> writers;
  const bool days = scenario.spin_up.enabled && scenario.spin_up.output_all;
  if (o.wants(OutputFormat::csv))
    writers.push_back(std::make_unique<CsvSpeciesWriter>(o.dir, species, days,
                                                         o.units == ConcentrationUnit::molecules_cm3, names));
  if (o.diagnostics) writers.push_back(std::make_unique<DiagnosticsWriter>(o.dir, days));
  if (o.wants(OutputFormat::netcdf))
    writers.push_back(std::make_unique<NetcdfSpeciesWriter>(o.dir, species, o.diagnostics, days, names));
  if (o.photolysis) writers.push_back(std::make_unique<CsvPhotolysisWriter>(o.dir, days));
  return writers;
}

void check_sample_formats(const Scenario& scenario) {
  if (scenario.output.wants(OutputFormat::netcdf) && !netcdf_available())
    throw ScenarioError(scenario.source +
                        ": output.formats: \"netcdf\" needs the netCDF library, and " +
                        netcdf_unavailable_reason());
}

}  // namespace box
