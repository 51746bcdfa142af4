#pragma once
// A scratch directory holding a copy of the example day's two input files,
// removed with the object: runs in tests and benchmarks never write into
// the committed example.
#include <filesystem>

#include "tests/support/scratch_dir.hpp"

namespace box::testing {

class ExampleCopy : public ScratchDir {
 public:
  ExampleCopy() {
    const std::filesystem::path example =
        std::filesystem::path(BOXMODEL_SOURCE_DIR) / "examples" / "day";
    for (const char* name : {"inputn", "ValuesAtSite_extractedFromWRFchemAug31.txt_test"})
      std::filesystem::copy_file(example / name, dir() / name);
  }
};

}  // namespace box::testing
