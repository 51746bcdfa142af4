#pragma once
// An output is written under a temporary name and given its final name only
// when it is complete, so that a file with the final name is always whole.
// A run that fails leaves at most the temporary file, which says by its
// name that it is not complete.
#include <filesystem>

namespace box {

// "species.csv" -> "species.csv.partial", in the same directory (so that the
// final rename stays within one file system and is atomic).
std::filesystem::path partial_path(const std::filesystem::path& final_path);

// Removes a file `final_path` left by an earlier run, so that a run that
// fails does not leave an older complete output looking like its own.
// Throws OutputError if it exists and cannot be removed.
void remove_earlier(const std::filesystem::path& final_path);

// Renames `partial` to `final_path`, replacing an older file of that name.
// Throws OutputError naming both files on failure.
void publish(const std::filesystem::path& partial, const std::filesystem::path& final_path);

}  // namespace box
