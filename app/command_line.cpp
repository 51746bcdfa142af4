// The command line of the boxmodel program.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "common/errors.hpp"
#include "common/version.hpp"
#include "app/program.hpp"
#include "app/ensemble_program.hpp"

namespace box {
namespace {

// "a,b, c" -> {"a", "b", "c"}
std::vector<std::string> comma_list(const std::string& text) {
  std::vector<std::string> out;
  std::string item;
  for (char c : text + ",") {
    if (c == ',') {
      const auto first = item.find_first_not_of(' ');
      const auto last = item.find_last_not_of(' ');
      if (first != std::string::npos) out.push_back(item.substr(first, last - first + 1));
      item.clear();
    } else {
      item += c;
    }
  }
  return out;
}

struct RunOptions {
  std::string scenario;
  double start_hour = 0, rtol = 0, atol = 0;
  double step = 0, hours = 0;
  std::string output_dir, species, format, method;
  bool quiet = false;
  bool budgets = false;
};

void add_run_options(CLI::App& run, RunOptions& o) {
  run.add_option("scenario", o.scenario, "Scenario file (TOML); without one, the default scenario");
  run.add_option("--start-hour", o.start_hour, "Local time of the first step, hours (time.start_hour)");
  run.add_option("--step", o.step, "Step length in seconds, a divisor of 3600 (time.step_seconds)");
  run.add_option("--hours", o.hours, "Length of the run in hours (time.hours)");
  run.add_option("--output-dir", o.output_dir, "Folder for the output files (output.dir)");
  run.add_option("--species", o.species,
                 "Species of the CSV and NetCDF outputs: table, all, or names separated by commas "
                 "(output.species)");
  run.add_option("--format", o.format, "Outputs, separated by commas: table, csv, netcdf (output.formats)");
  run.add_option("--method", o.method, "Integration method: ros2, ros3, ros4, rodas3, rodas4 (chemistry.method)");
  run.add_option("--rtol", o.rtol, "Relative tolerance (chemistry.rtol)");
  run.add_option("--atol", o.atol, "Absolute tolerance, molecules cm-3 (chemistry.atol)");
  run.add_flag("--quiet,-q", o.quiet, "No progress lines on standard output (output.progress_lines = false)");
  run.add_flag("--budgets", o.budgets,
               "Integrated reaction rates and species budgets per output interval (output.budgets = true)");
}

std::vector<KeyOverride> run_overrides(const CLI::App& run, const RunOptions& o) {
  std::vector<KeyOverride> v;
  const auto given = [&](const char* name) { return run.get_option(name)->count() > 0; };
  const auto add = [&](const char* option, const char* key, KeyOverride::Value value) {
    v.push_back({key, std::move(value), std::string("command line ") + option});
  };
  if (given("--start-hour")) add("--start-hour", "time.start_hour", o.start_hour);
  if (given("--step")) add("--step", "time.step_seconds", o.step);
  if (given("--hours")) add("--hours", "time.hours", o.hours);
  if (given("--output-dir")) add("--output-dir", "output.dir", o.output_dir);
  if (given("--species")) {
    if (o.species == "table" || o.species == "all") add("--species", "output.species", o.species);
    else add("--species", "output.species", comma_list(o.species));
  }
  if (given("--format")) add("--format", "output.formats", comma_list(o.format));
  if (given("--method")) add("--method", "chemistry.method", o.method);
  if (given("--rtol")) add("--rtol", "chemistry.rtol", o.rtol);
  if (given("--atol")) add("--atol", "chemistry.atol", o.atol);
  if (o.quiet) add("--quiet", "output.progress_lines", false);
  if (o.budgets) add("--budgets", "output.budgets", true);
  return v;
}

}  // namespace

int main_program(int argc, char** argv) {
  // Without arguments: the model's own day in the working directory.
  if (argc <= 1) return run_program(".");

  CLI::App app{
      "A box model of atmospheric gas-phase chemistry (78 species, 249 reactions).\n"
      "Without arguments it runs its own day in the working directory, reading \"inputn\" and the\n"
      "site file and writing \"TS_species.txt\"; 'boxmodel run' runs a scenario.",
      "boxmodel"};
  app.set_version_flag("--version", std::string("boxmodel ") + program_version());
  app.require_subcommand(1);
  app.failure_message(CLI::FailureMessage::help);

  CLI::App* run = app.add_subcommand("run", "Run a scenario (a TOML file; every key optional)");
  RunOptions run_options;
  add_run_options(*run, run_options);

  CLI::App* ensemble = app.add_subcommand("ensemble", "Run an ensemble of scenarios (a TOML file) on every core");
  std::string ensemble_file;
  ensemble::Options ensemble_options;
  ensemble->add_option("ensemble", ensemble_file, "Ensemble file (TOML)")->required();
  ensemble->add_option("--threads", ensemble_options.threads, "Worker threads per process (default: every core)")
      ->check(CLI::PositiveNumber);
  ensemble->add_option("--lanes", ensemble_options.lanes, "Boxes integrated together per vector register (1: one at a time)")
      ->check(CLI::PositiveNumber);
  std::size_t print_member = 0;
  ensemble->add_option("--print-member", print_member,
                       "Print member K's scenario (TOML, for 'boxmodel run') and run nothing");

  // A first word that is neither an option nor a command is a mistake, not
  // a request for the default day.
  const std::string first = argv[1];
  if (!first.empty() && first[0] != '-' && first != "run" && first != "ensemble") {
    std::fprintf(stderr, "boxmodel: unknown command \"%s\"\n%s", first.c_str(), app.help().c_str());
    return exit_input_error;
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : exit_input_error;
  }

  if (run->parsed()) {
    std::optional<std::filesystem::path> file;
    if (!run_options.scenario.empty()) file = run_options.scenario;
    return run_scenario_program(file, run_overrides(*run, run_options));
  }
  if (ensemble->parsed() && ensemble->get_option("--print-member")->count() > 0)
    return ensemble::print_member_program(ensemble_file, print_member);
  if (ensemble->parsed()) return ensemble::run_ensemble_program(ensemble_file, ensemble_options);
  return exit_input_error;
}

}  // namespace box
