#include "output/variable_attributes.hpp"

#include <string_view>

#include "common/format.hpp"
#include "environment/calendar.hpp"
#include "mechanism/species_lookup.hpp"
#include "output/netcdf_writer.hpp"
#include "output/time_units.hpp"

namespace box {

Attributes time_attributes(const RunDescription& run) {
  if (run.utc_offset_hours) {
    // A site by keys: the axis counts from the first step in UTC; the
    // clock's offset says how to read it as local time.
    const Date start = add_days(Date{run.year, 1, 1}, run.day_of_year - 1);
    const CivilTime utc = utc_from_local(civil_time(start, run.start_hour), *run.utc_offset_hours);
    return {{"standard_name", "time"},
            {"long_name", "time (UTC)"},
            {"units", seconds_since_units(utc.date.year, day_of_year(utc.date), utc.hour)},
            {"calendar", "standard"},
            {"axis", "T"},
            {"utc_offset_hours", full_precision(*run.utc_offset_hours)},
            {"comment", "local time = UTC + utc_offset_hours"}};
  }
  return {{"standard_name", "time"},
          {"long_name", "local time"},
          {"units", seconds_since_units(run.year, run.day_of_year, run.start_hour)},
          {"calendar", "standard"},
          {"axis", "T"}};
}

Attributes species_attributes(std::string_view name) {
  Attributes a = {{"long_name", "mole fraction of " + std::string(name) + " in air"}, {"units", "mol mol-1"}};
  const std::string_view standard = cf_mole_fraction_name(name);
  if (!standard.empty()) a.emplace_back("standard_name", std::string(standard));
  if (name == "M") a.emplace_back("comment", "M is the air itself, the third body of termolecular reactions");
  return a;
}

const std::vector<SampledVariable>& air_variables() {
  static const std::vector<SampledVariable> variables = {
      {"temperature", {{"standard_name", "air_temperature"}, {"long_name", "air temperature"}, {"units", "K"}}},
      {"pressure", {{"standard_name", "air_pressure"}, {"long_name", "air pressure"}, {"units", "Pa"}}},
      {"cos_solar_zenith_angle", {{"long_name", "cosine of the solar zenith angle"}, {"units", "1"}}},
  };
  return variables;
}

const std::vector<SampledVariable>& diagnostic_variables() {
  static const std::vector<SampledVariable> variables = {
      {"oh_reactivity", {{"long_name", "OH reactivity: sum of k [X] over the reactions of HO with X"}, {"units", "s-1"}}},
      {"ro2", {{"long_name", "sum of the organic peroxy radicals"}, {"units", "mol mol-1"}}},
      {"p_o3",
       {{"long_name", "chemical production of ozone: HO2 + NO and RO2 + NO"},
        {"units", "mol mol-1 s-1"},
        {"comment", "mean over the output interval ending here where budgets run, else at the output time"}}},
      {"l_o3",
       {{"long_name", "chemical loss of ozone: O1D + H2O, O3 + HO, O3 + HO2, O3 + alkenes, NO2 + HO"},
        {"units", "mol mol-1 s-1"},
        {"comment", "mean over the output interval ending here where budgets run, else at the output time"}}},
  };
  return variables;
}

std::vector<double> diagnostic_values(const SampleDiagnostics& d) {
  constexpr double per_ppb = 1e-9, per_ppb_h = 1e-9 / 3600.0;
  return {d.oh_reactivity, d.ro2 * per_ppb, d.p_o3 * per_ppb_h, d.l_o3 * per_ppb_h};
}

Attributes global_attributes(const RunDescription& run) {
  const std::string program = "boxmodel " + run.program_version;
  Attributes a = {{"title", "Box model run: mole fractions of the chemical species"},
                  {"Conventions", "CF-1.8"},
                  {"source", program},
                  {"history", "written by " + program}};
  if (!run.kernels.empty()) a.emplace_back("kernels", run.kernels);
  for (const auto& [key, value] : run.scenario) a.emplace_back("scenario." + key, value);
  return a;
}

}  // namespace box
