#include "output/partial_file.hpp"

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

#include "common/errors.hpp"

namespace box {

std::filesystem::path partial_path(const std::filesystem::path& final_path) {
  std::filesystem::path partial = final_path;
  partial += ".partial";
  return partial;
}

void publish(const std::filesystem::path& partial, const std::filesystem::path& final_path) {
  std::error_code error;
  std::filesystem::rename(partial, final_path, error);
  if (error)
    throw OutputError(final_path.string() + ": cannot rename the complete file from " +
                      partial.string() + ": " + error.message());
}

namespace {

std::string error_text(int error) { return error != 0 ? std::strerror(error) : "unknown error"; }

}  // namespace

PartialTextFile::PartialTextFile(std::filesystem::path final_path)
    : path_(std::move(final_path)), partial_(partial_path(path_)) {}

PartialTextFile::~PartialTextFile() {
  if (file_ != nullptr) std::fclose(file_);
}

void PartialTextFile::create() {
  if (file_ != nullptr) std::fclose(file_);
  errno = 0;
  file_ = std::fopen(partial_.c_str(), "w");
  if (file_ == nullptr) throw OutputError(partial_.string() + ": cannot create the file: " + error_text(errno));
}

void PartialTextFile::write(const std::string& text) {
  if (file_ == nullptr) throw OutputError(path_.string() + ": written before it was begun");
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::fflush(file_) != 0)
    throw OutputError(partial_.string() + ": write failed: " + error_text(errno));
}

void PartialTextFile::finish() {
  if (file_ == nullptr) throw OutputError(path_.string() + ": finished before it was begun");
  errno = 0;
  const int status = std::fclose(file_);
  file_ = nullptr;
  if (status != 0) throw OutputError(partial_.string() + ": write failed: " + error_text(errno));
  publish(partial_, path_);
}

}  // namespace box
