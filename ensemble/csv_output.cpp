// ensemble.csv: the long format, one row per sample of every member.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/errors.hpp"
#include "ensemble/outputs.hpp"
#include "mechanism/species_lookup.hpp"
#include "output/partial_file.hpp"

namespace box::ensemble {
namespace {

constexpr double ppb = 1e9;

class CsvFile final : public OutputFile {
 public:
  CsvFile(const std::filesystem::path& dir, const Layout& layout)
      : path_(dir / csv_name), partial_(partial_path(path_)), species_(layout.species) {
    errno = 0;
    file_ = std::fopen(partial_.c_str(), "w");
    if (file_ == nullptr) fail("cannot create the file");
    std::string header = "member,time_h";
    for (const std::string& name : layout.species_names) header += "," + name;
    write(header + "\n");
  }
  ~CsvFile() override {
    if (file_ != nullptr) std::fclose(file_);
  }

  void member(const MemberResult& r, const std::vector<VariedValue>&) override {
    std::string text;
    char number[32];
    const std::size_t n = species_.size();
    for (std::size_t k = 0; k < r.samples(); ++k) {
      text += std::to_string(r.index);
      std::snprintf(number, sizeof number, ",%.17g", r.time_h[k]);
      text += number;
      for (std::size_t s = 0; s < n; ++s) {
        std::snprintf(number, sizeof number, ",%.17g", r.values[k * n + s] * ppb);
        text += number;
      }
      text += '\n';
    }
    write(text);
  }

  void finish() override {
    errno = 0;
    const int status = std::fclose(file_);
    file_ = nullptr;
    if (status != 0) fail("write failed");
    publish(partial_, path_);
  }

 private:
  [[noreturn]] void fail(const char* what) const {
    throw OutputError(partial_.string() + ": " + what + ": " + (errno != 0 ? std::strerror(errno) : "unknown error"));
  }
  void write(const std::string& text) {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) fail("write failed");
  }

  std::filesystem::path path_, partial_;
  std::vector<int> species_;
  std::FILE* file_ = nullptr;
};

}  // namespace

std::unique_ptr<OutputFile> open_csv(const std::filesystem::path& dir, const Layout& layout) {
  return std::make_unique<CsvFile>(dir, layout);
}

}  // namespace box::ensemble
