#include "driver/program.hpp"

#include <csignal>
#include <cstdio>
#include <exception>
#include <string>

#include "driver/errors.hpp"
#include "driver/fp_environment.hpp"
#include "driver/run.hpp"
#include "driver/text_output.hpp"

namespace box {
namespace {

void report(const std::string& message) { std::fprintf(stderr, "boxmodel: %s\n", message.c_str()); }

// Where the run stood when it stopped, so a user can match the message
// with the last lines written.
void report_position(const Run& run) {
  if (!run.started()) return;
  report("the run stopped in step " + std::to_string(run.steps_done() + 1) + " of " +
         std::to_string(run.total_steps()) + ", after " + std::to_string(run.steps_done()) +
         " completed steps");
}

}  // namespace

int run_program(const std::filesystem::path& dir) {
  install_floating_point_traps();
  // Past a file-size limit (ulimit -f) the system would kill the process
  // without a word; ignored, the signal turns into a failed write, which is
  // reported like a full disk, with the lines written before it kept.
  std::signal(SIGXFSZ, SIG_IGN);
  TextOutput out = TextOutput::standard_output();
  Run run(dir, out);
  try {
    run.run_day();
  } catch (const InputError& e) {
    report(e.what());
    report_position(run);
    return exit_input_error;
  } catch (const OutputError& e) {
    report(e.what());
    report_position(run);
    return exit_output_error;
  }
  return 0;
}

}  // namespace box
