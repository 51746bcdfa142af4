#include "app/program.hpp"

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "common/errors.hpp"
#include "run/fp_environment.hpp"
#include "run/run.hpp"
#include "run/scenario_run.hpp"
#include "run/session.hpp"
#include "run/spin_up.hpp"
#include "output/sample_writers.hpp"
#include "output/terminal_progress.hpp"
#include "output/text_output.hpp"

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

// A scenario run writes its outputs under temporary names; stopped by a
// signal it says so, and that an earlier run's complete outputs stand.
void on_interrupt(int signal) {
  constexpr const char* text =
      "boxmodel: interrupted: this run's outputs are left incomplete under their .partial names; "
      "any complete outputs of an earlier run are as they were\n";
  const ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
  static_cast<void>(ignored);
  ::_exit(128 + signal);
}

void report_interrupts() {
  for (int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, on_interrupt);
}

// After a scenario run that failed: which of its outputs it left, under
// their temporary names, and that those of an earlier run are untouched.
void report_unfinished(const std::filesystem::path& dir, std::filesystem::file_time_type since) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
    if (entry.path().extension() != ".partial") continue;
    std::error_code ignored;
    const auto written = std::filesystem::last_write_time(entry.path(), ignored);
    if (!ignored && written >= since) names.push_back(entry.path().filename().string());
  }
  if (names.empty()) return;
  std::sort(names.begin(), names.end());
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
  report("the run's outputs are left incomplete as " + list + " in " + dir.generic_string() +
         "; any complete outputs of an earlier run are as they were");
}

// Runs `work`, reporting an input or output failure or an impossible state
// with its exit status (0: none).
template <class F>
int guarded(F&& work) {
  try {
    work();
  } catch (const InputError& e) {
    report(e.what());
    return exit_input_error;
  } catch (const OutputError& e) {
    report(e.what());
    return exit_output_error;
  } catch (const ImpossibleState& e) {
    report(e.what());
    return exit_fp_trap;
  }
  return 0;
}

// Runs to the end, reporting an input or output failure with its position.
int run_to_end(Run& run) {
  const int status = guarded([&] {
    RunSession session(run);
    run_session(session);
  });
  if (status == exit_input_error || status == exit_output_error) report_position(run);
  return status;
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
  std::shared_ptr<const LoadedMechanism> mechanism;
  // Everything is read and checked before the first output is created.
  try {
    scenario = scenario_file ? read_scenario_file(*scenario_file, overrides)
                             : scenario_from_overrides(overrides);
    check_sample_formats(scenario);
    // What reading the scenario found worth saying, before anything runs.
    for (const std::string& note : scenario.notes) report(note);
    if (!scenario.chemistry.builtin_mechanism()) {
      mechanism = load_mechanism(*scenario.chemistry.mechanism_file, scenario.chemistry.machine_code());
      // What reading the file found worth saying: declared species no
      // reaction uses, species named by the reactions alone, rate
      // coefficients taken from the MCM's generic set.
      for (const std::string& note : mechanism->mechanism.notes)
        report(note.starts_with("warning: ") ? note : "note: " + note);
      check_mechanism_scenario(scenario, mechanism->mechanism);
      if (const std::string note = unset_rate_parameters_note(scenario, mechanism->mechanism); !note.empty())
        report(note);
    }
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
  const std::filesystem::path output_dir = scenario.output.dir;
  // File times may lag the clock by a tick of the kernel's.
  const auto started = std::filesystem::file_time_type::clock::now() - std::chrono::seconds(1);
  report_interrupts();
  // On a terminal, a bar on standard error for a run that takes a while,
  // unless the progress lines are off (--quiet) or show it themselves on
  // the same terminal.
  StepProgress bar(scenario.output.progress_lines && isatty(STDOUT_FILENO) != 1);
  ScenarioRun scenario_run(std::move(scenario), std::move(mechanism), std::move(*site), out);
  // Spin-up: the days first.
  if (const int status = guarded([&] { scenario_run.spin_up(); }); status != 0) {
    report("the run stopped in the spin-up");
    report_unfinished(output_dir, started);
    return status;
  }
  const std::optional<SpinUpOutcome>& spun = scenario_run.spun();
  if (spun)
    report("spin-up: " + std::to_string(spun->days) + (spun->days == 1 ? " day" : " days") +
           (spun->converged ? " to the diel steady state" : ", not converged"));
  Run* run = nullptr;
  if (const int made = guarded([&] { run = &scenario_run.run(); }); made != 0) return made;
  run->set_warning_sink([](const std::string& message) { report(message); });
  run->add_observer(bar);
  int status = run_to_end(*run);
  if (status == 0) status = guarded([&] { scenario_run.finish(); });
  if (status != 0) {
    report_unfinished(output_dir, started);
    return status;
  }
  if (spun && !spun->converged) {
    report(not_converged_message(run->scenario(), *spun));
    return exit_spin_up_not_converged;
  }
  return 0;
}

}  // namespace box
