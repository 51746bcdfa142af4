#include "output/text_output.hpp"

#include <cerrno>
#include <cstring>
#include <utility>

#include "common/format.hpp"
#include "common/errors.hpp"

namespace box {

TextOutput::TextOutput(std::FILE* file, bool owned, std::string name)
    : file_(file), owned_(owned), name_(std::move(name)) {}

TextOutput::TextOutput(TextOutput&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)),
      owned_(other.owned_),
      name_(std::move(other.name_)) {}

TextOutput::~TextOutput() {
  if (owned_ && file_ != nullptr) std::fclose(file_);
}

TextOutput TextOutput::standard_output() {
  return TextOutput(stdout, false, "standard output");
}

TextOutput TextOutput::create(const std::filesystem::path& path, std::string name) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) {
    const int error = errno;
    throw OutputError(name + ": cannot create the file: " + std::strerror(error));
  }
  return TextOutput(file, true, std::move(name));
}

void TextOutput::fail(int error) const {
  throw OutputError(name_ + ": write failed: " +
                    (error != 0 ? std::strerror(error) : "unknown error"));
}

void TextOutput::write_text(std::string_view text) {
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) fail(errno);
  if (std::fflush(file_) != 0 || std::ferror(file_) != 0) fail(errno);
}

void TextOutput::write_line(std::string_view line) {
  std::string text(line);
  text += '\n';
  write_text(text);
}

void TextOutput::write_free(std::span<const LineItem> items) { write_text(free_lines(items)); }

LineSink TextOutput::line_sink() {
  return [this](std::span<const LineItem> items) { write_free(items); };
}

void TextOutput::close() {
  if (!owned_ || file_ == nullptr) return;
  std::FILE* file = std::exchange(file_, nullptr);
  errno = 0;
  if (std::fclose(file) != 0) fail(errno);
}

}  // namespace box
