#pragma once
// Every output of a run (species table, CSV, NetCDF, budget files, the
// ensemble's files) is written under a temporary name, the final name plus
// ".partial", and given its final name only when the run is complete: a
// file with the final name is always whole, and a run that fails or is
// interrupted leaves the complete outputs of an earlier run as they were,
// its own as far as they got under the temporary names.
#include <cstdio>
#include <filesystem>
#include <string>

namespace box {

// "species.csv" -> "species.csv.partial", in the same directory (so that the
// final rename stays within one file system and is atomic).
std::filesystem::path partial_path(const std::filesystem::path& final_path);

// Renames `partial` to `final_path`, replacing an older file of that name.
// Throws OutputError naming both files on failure.
void publish(const std::filesystem::path& partial, const std::filesystem::path& final_path);

// A text file written line by line under its partial name (each write is
// on disk when it returns) and published by finish(). Not finished, it
// stays as far as it got.
class PartialTextFile {
 public:
  explicit PartialTextFile(std::filesystem::path final_path);
  PartialTextFile(const PartialTextFile&) = delete;
  PartialTextFile& operator=(const PartialTextFile&) = delete;
  ~PartialTextFile();

  // Each throws OutputError naming the file when it cannot create, write,
  // close or rename it.
  void create();
  void write(const std::string& text);
  void finish();

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::filesystem::path partial_;
  std::FILE* file_ = nullptr;
};

}  // namespace box
