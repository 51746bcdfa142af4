// Replays the fuzz corpus (the seeds and every input the fuzzer ever found
// a fault with) through the fuzz target, so that each stays a regression
// test in builds without libFuzzer. Arguments: files or directories.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  int inputs = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path arg = argv[i];
    if (std::filesystem::is_directory(arg)) {
      for (const auto& entry : std::filesystem::directory_iterator(arg))
        if (entry.is_regular_file()) {
          replay(entry.path());
          ++inputs;
        }
    } else {
      replay(arg);
      ++inputs;
    }
  }
  std::printf("%d inputs replayed without a finding\n", inputs);
  return inputs > 0 ? 0 : 1;
}
