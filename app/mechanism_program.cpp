#include "app/mechanism_program.hpp"

#include <cstdio>
#include <string>

#include "chemistry/builtin_mechanism_file.hpp"
#include "common/errors.hpp"
#include "io/v1_mechanism.hpp"
#include "mechanism/mechanism_report.hpp"

namespace box {
namespace {

int write(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "boxmodel: cannot write to standard output\n");
    return exit_output_error;
  }
  return 0;
}

}  // namespace

int export_mechanism_program() { return write(builtin_mechanism_file()); }

int check_mechanism_program(const std::filesystem::path& file, const MechanismAir& air) {
  std::string report;
  try {
    report = mechanism_check_report(read_any_mechanism_file(file), air);
  } catch (const InputError& e) {
    std::fprintf(stderr, "boxmodel: %s\n", e.what());
    return exit_input_error;
  }
  return write(report);
}

}  // namespace box
