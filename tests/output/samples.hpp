#pragma once
// Output samples whose numbers are hard to carry exactly: mole fractions
// with all 53 bits in use, spanning from 1e-296 to 1, so that any rounding
// on the way to a file and back shows.
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "common/errors.hpp"
#include "common/one_based.hpp"
#include "mechanism/parameters.hpp"
#include "output/observer.hpp"

namespace box::testing {

inline RunDescription sample_run() {
  RunDescription run;
  run.year = 2023;
  run.day_of_year = 243;
  run.start_hour = 5.0;
  run.step_seconds = 600;
  run.hours = 1;
  run.scenario = {{"time.start_hour", "5.0"}, {"output.formats", "[\"csv\", \"netcdf\"]"}};
  run.program_version = "0.1";
  return run;
}

inline std::vector<OutputSample> samples() {
  std::vector<OutputSample> list;
  for (int n = 0; n < 3; ++n) {
    OutputSample s;
    s.elapsed_s = 1800.0 * n;
    s.time_h = 5.0 + s.elapsed_s / 3600.0 + (n == 2 ? 1.0 / 3.0 : 0.0);
    s.temperature = 288.15 + n / 7.0;
    s.pressure = 101325.0 - n / 3.0;
    s.coszen = std::cos(0.3 + n / 11.0);
    for (int ind = 1; ind <= nspec; ++ind)
      s.mole_fraction[at(ind)] = std::pow(10.0, -ind * 3.7) * (1.0 + (n + 1) / 3.0) / 7.0;
    s.mole_fraction[at(ind_m)] = 1.0;
    list.push_back(s);
  }
  return list;
}

// The message of the OutputError that begin() of a `Writer` of the table
// species in `directory` throws; "" if it throws none.
template <class Writer>
std::string begin_error(const std::filesystem::path& directory) {
  try {
    Writer writer(directory, {ind_o3, ind_no});
    writer.begin(sample_run());
  } catch (const OutputError& e) {
    return e.what();
  }
  return "";
}

}  // namespace box::testing
