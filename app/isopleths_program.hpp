#pragma once
#include <filesystem>

#include "app/ensemble_program.hpp"

namespace box::ensemble {

// `boxmodel isopleths FILE`: every grid point run as an ensemble member on
// every core, isopleths.csv, isopleths.nc and (`plot`, with a python3 that
// has matplotlib) isopleths.png written, a summary on standard error.
// Returns the exit status: 0 every point succeeded; exit_members_failed
// some failed (their o3_ppb is NaN); 1 the isopleth file or its base
// scenario are not valid (nothing written); 2 an output could not be
// written.
int run_isopleths_program(const std::filesystem::path& file, const Options& options, bool plot);

}  // namespace box::ensemble
