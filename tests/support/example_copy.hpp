#pragma once
// A scratch directory holding a copy of the example day's two input files,
// removed with the object: runs in tests and benchmarks never write into
// the committed example.
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace box::testing {

class ExampleCopy {
 public:
  ExampleCopy() {
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "boxmodel-example-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
    const fs::path example = fs::path(BOXMODEL_SOURCE_DIR) / "examples" / "day";
    for (const char* name : {"inputn", "ValuesAtSite_extractedFromWRFchemAug31.txt_test"})
      fs::copy_file(example / name, dir_ / name);
  }
  ~ExampleCopy() {
    // A test may have taken its own permissions away to provoke a fault.
    std::error_code ignored;
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(dir_, ignored);
  }
  ExampleCopy(const ExampleCopy&) = delete;
  ExampleCopy& operator=(const ExampleCopy&) = delete;

  const std::filesystem::path& dir() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

}  // namespace box::testing
