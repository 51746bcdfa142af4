#pragma once
// A text output (standard output or a file) that notices every failed
// write. Each call writes whole lines and flushes them, so that what a run
// has written is on disk even if the run stops later, and a full disk or
// a closed pipe is reported at the line that failed.
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "common/line_item.hpp"

namespace box {

class TextOutput {
 public:
  // Standard output of the process (not closed by the destructor).
  static TextOutput standard_output();
  // Creates or truncates the file; throws OutputError if it cannot.
  static TextOutput create(const std::filesystem::path& path, std::string name);

  TextOutput(TextOutput&& other) noexcept;
  TextOutput& operator=(TextOutput&&) = delete;
  TextOutput(const TextOutput&) = delete;
  TextOutput& operator=(const TextOutput&) = delete;
  ~TextOutput();

  // Writes `line` and a newline. Throws OutputError on failure.
  void write_line(std::string_view line);
  // Writes the items as free-format lines. Throws OutputError on failure.
  void write_free(std::span<const LineItem> items);
  // A sink that writes each line it receives with write_free, in program
  // order with everything else written here. The output must outlive it.
  LineSink line_sink();
  // Closes a file output, reporting a failure of the last write-back.
  void close();

  const std::string& name() const { return name_; }

 private:
  TextOutput(std::FILE* file, bool owned, std::string name);
  void write_text(std::string_view text);
  [[noreturn]] void fail(int error) const;

  std::FILE* file_;
  bool owned_;
  std::string name_;
};

}  // namespace box
