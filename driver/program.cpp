#include "driver/program.hpp"

#include <csignal>
#include <cstdio>
#include <exception>
#include <string>

#include "common/errors.hpp"
#include "driver/fp_environment.hpp"
#include "driver/run.hpp"
#include "driver/sample_writers.hpp"
#include "driver/text_output.hpp"

namespace box {
namespace {

void report(const std::string& message) { std::fprintf(stderr, "boxmodel: %s\n", message.c_str()); }

// Where the run stood when it stopped, so a user can match the message
// with the last lines written.
void report_position(const Run& run) {
  if (!run.started()) return;
  if (run.steps_done() == run.total_steps()) {
    report("the run stopped after its last step, while finishing its outputs");
    return;
  }
  report("the run stopped in step " + std::to_string(run.steps_done() + 1) + " of " +
         std::to_string(run.total_steps()) + ", after " + std::to_string(run.steps_done()) +
         " completed steps");
}

void prepare_process() {
  install_floating_point_traps();
  // Past a file-size limit (ulimit -f) the system would kill the process
  // without a word; ignored, the signal turns into a failed write, which is
  // reported like a full disk, with the lines written before it kept.
  std::signal(SIGXFSZ, SIG_IGN);
}

// Runs to the end, reporting an input or output failure with its position.
int run_to_end(Run& run) {
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
  } catch (const ImpossibleState& e) {
    report(e.what());
    return exit_fp_trap;
  }
  return 0;
}

}  // namespace

int run_program(const std::filesystem::path& dir) {
  prepare_process();
  TextOutput out = TextOutput::standard_output();
  Run run(dir, out);
  run.set_warning_sink([](const std::string& message) { report(message); });
  return run_to_end(run);
}

int run_scenario_program(const std::optional<std::filesystem::path>& scenario_file,
                         const std::vector<KeyOverride>& overrides) {
  prepare_process();
  Scenario scenario;
  std::optional<SiteData> site;
  // Everything is read and checked before the first output is created.
  try {
    scenario = scenario_file ? read_scenario_file(*scenario_file, overrides)
                             : scenario_from_overrides(overrides);
    check_sample_formats(scenario);
    site = load_site(scenario, report);
  } catch (const InputError& e) {
    report(e.what());
    return exit_input_error;
  }
  std::error_code error;
  std::filesystem::create_directories(scenario.output.dir, error);
  if (error) {
    report(scenario.output.dir.generic_string() + ": cannot create the output folder: " + error.message());
    return exit_output_error;
  }
  TextOutput out = TextOutput::standard_output();
  std::optional<Run> run;
  try {
    run.emplace(std::move(scenario), out, std::move(site));
  } catch (const OutputError& e) {
    report(e.what());
    return exit_output_error;
  }
  return run_to_end(*run);
}

}  // namespace box
