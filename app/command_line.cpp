// The command line of the boxmodel program.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "common/errors.hpp"
#include "common/version.hpp"
#include "app/program.hpp"
#include "app/ensemble_program.hpp"
#include "app/isopleths_program.hpp"
#include "app/mechanism_program.hpp"
#include "scenario/schema.hpp"

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

// The keys the command line of `boxmodel run` sets, as the scenario schema
// names them, with the value each option was given.
struct KeyOption {
  const ScenarioKey* key = nullptr;
  std::string name;  // "--quiet" of "--quiet,-q"
  double number = 0;
  std::string text;
  bool flag = false;
  CLI::Option* option = nullptr;
};

// A value that is no number at all ("--step abc"), refused in one line
// naming the option; the scenario reader judges the number itself (its
// range, whether it is whole) and names the option and the key.
CLI::Validator number_text(const std::string& what) {
  return CLI::Validator(
      [what](std::string& text) -> std::string {
        char* end = nullptr;
        static_cast<void>(std::strtod(text.c_str(), &end));
        if (!text.empty() && end != text.c_str() && *end == '\0') return {};
        return "expected " + what + ", found \"" + text + "\"";
      },
      "", "");
}

struct RunOptions {
  std::string scenario;
  std::vector<KeyOption> keys;
};

void add_run_options(CLI::App& run, RunOptions& o) {
  run.add_option("scenario", o.scenario, "Scenario file (TOML); without one, the default scenario");
  for (const ScenarioKey& k : scenario_keys())
    if (!k.option.empty()) {
      KeyOption& ko = o.keys.emplace_back();
      ko.key = &k;
      ko.name = k.option.substr(0, k.option.find(','));
    }
  for (KeyOption& ko : o.keys) {
    const ScenarioKey& k = *ko.key;
    const std::string names(k.option);
    const std::string help(k.option_help);
    const std::string key(k.name);
    switch (k.type) {
      case KeyType::boolean:
        // A flag sets the opposite of the key's default.
        ko.option = run.add_flag(names, ko.flag,
                                 help + " (" + key + " = " + (k.default_value == "true" ? "false" : "true") + ")");
        break;
      case KeyType::number:
      case KeyType::whole_number:
        ko.option = run.add_option(names, ko.number, help + " (" + key + ")")
                        ->check(number_text(k.type == KeyType::whole_number ? "a whole number" : "a number"));
        break;
      default:
        ko.option = run.add_option(names, ko.text, help + " (" + key + ")");
        break;
    }
  }
}

std::vector<KeyOverride> run_overrides(const RunOptions& o) {
  std::vector<KeyOverride> v;
  for (const KeyOption& ko : o.keys) {
    if (ko.option->count() == 0) continue;
    const ScenarioKey& k = *ko.key;
    KeyOverride::Value value;
    switch (k.type) {
      case KeyType::boolean: value = k.default_value != "true"; break;
      case KeyType::number:
      case KeyType::whole_number: value = ko.number; break;
      case KeyType::names: value = comma_list(ko.text); break;
      case KeyType::species_selection:
        if (ko.text == "table" || ko.text == "all") value = ko.text;
        else value = comma_list(ko.text);
        break;
      default: value = ko.text; break;
    }
    v.push_back({std::string(k.name), std::move(value), "command line " + ko.name});
  }
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
  // [chemistry] kernels for the base and every member, as `boxmodel run`
  // takes it.
  const ScenarioKey& kernels_key = *find_scenario_key("chemistry.kernels");
  std::string ensemble_kernels;
  CLI::Option* kernels_option = ensemble->add_option(std::string(kernels_key.option), ensemble_kernels,
                                                     std::string(kernels_key.option_help) + " (chemistry.kernels)");
  std::size_t print_member = 0;
  ensemble->add_option("--print-member", print_member,
                       "Print member K's scenario (TOML, for 'boxmodel run') and run nothing");

  CLI::App* isopleths = app.add_subcommand(
      "isopleths", "Run the ozone isopleth diagram of a scenario (a TOML file): NOx x VOC scalings on every core");
  std::string isopleths_file;
  ensemble::Options isopleths_options;
  bool no_plot = false;
  isopleths->add_option("isopleths", isopleths_file, "Isopleth file (TOML)")->required();
  isopleths->add_option("--threads", isopleths_options.threads, "Worker threads (default: every core)")
      ->check(CLI::PositiveNumber);
  isopleths->add_option("--lanes", isopleths_options.lanes,
                        "Boxes integrated together per vector register (1: one at a time)")
      ->check(CLI::PositiveNumber);
  isopleths->add_flag("--no-plot", no_plot, "Write isopleths.csv and isopleths.nc only, no isopleths.png");

  CLI::App* mechanism = app.add_subcommand("mechanism", "The built-in mechanism as a file, and checks of mechanism files");
  mechanism->require_subcommand(1);
  mechanism->add_subcommand("export", "Write the built-in mechanism in the mechanism file format on standard output");
  CLI::App* check = mechanism->add_subcommand(
      "check", "Read a mechanism file and list what it holds, its warnings and its rate coefficients");
  std::string check_file;
  MechanismAir air;
  check->add_option("file", check_file, "Mechanism file (FACSIMILE-style text, as the MCM exports)")->required();
  check->add_option("--temp", air.temp, "Temperature for the rate coefficients, K")->capture_default_str()
      ->check(CLI::PositiveNumber);
  check->add_option("--cm", air.m, "Air number density for the rate coefficients, molecules cm-3")
      ->capture_default_str()->check(CLI::PositiveNumber);

  // A first word that is neither an option nor a command is a mistake, not
  // a request for the default day.
  const std::string first = argv[1];
  if (!first.empty() && first[0] != '-' && first != "run" && first != "ensemble" && first != "isopleths" &&
      first != "mechanism") {
    std::fprintf(stderr, "boxmodel: unknown command \"%s\"\n%s", first.c_str(), app.help().c_str());
    return exit_input_error;
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::ValidationError& e) {
    // A value an option refuses: the option and why, not the whole help.
    std::fprintf(stderr, "boxmodel: %s\n", e.what());
    return exit_input_error;
  } catch (const CLI::ConversionError& e) {
    std::fprintf(stderr, "boxmodel: %s\n", e.what());
    return exit_input_error;
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : exit_input_error;
  }

  if (run->parsed()) {
    std::optional<std::filesystem::path> file;
    if (!run_options.scenario.empty()) file = run_options.scenario;
    return run_scenario_program(file, run_overrides(run_options));
  }
  if (kernels_option->count() > 0) ensemble_options.kernels = ensemble_kernels;
  if (ensemble->parsed() && ensemble->get_option("--print-member")->count() > 0)
    return ensemble::print_member_program(ensemble_file, print_member, ensemble_options);
  if (ensemble->parsed()) return ensemble::run_ensemble_program(ensemble_file, ensemble_options);
  if (isopleths->parsed()) return ensemble::run_isopleths_program(isopleths_file, isopleths_options, !no_plot);
  if (check->parsed()) return check_mechanism_program(check_file, dry_air(air.temp, air.m));
  if (mechanism->parsed()) return export_mechanism_program();
  return exit_input_error;
}

}  // namespace box
