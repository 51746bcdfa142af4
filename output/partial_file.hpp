#pragma once
// Every output of a run (species table, CSV, NetCDF, budget files, the
// ensemble's files) is written under a temporary name, the final name plus
// ".partial", and given its final name only when the run is complete: a
// file with the final name is always whole, and a run that fails or is
// interrupted leaves the complete outputs of an earlier run as they were,
// its own as far as they got under the temporary names.
#include <filesystem>

namespace box {

// "species.csv" -> "species.csv.partial", in the same directory (so that the
// final rename stays within one file system and is atomic).
std::filesystem::path partial_path(const std::filesystem::path& final_path);

// Renames `partial` to `final_path`, replacing an older file of that name.
// Throws OutputError naming both files on failure.
void publish(const std::filesystem::path& partial, const std::filesystem::path& final_path);

}  // namespace box
