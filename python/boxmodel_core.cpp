// boxmodel._core: the C++ model as a Python extension. It holds scenarios as
// the model's own values, runs them with the model's own run loop and hands
// the samples back as numpy arrays; the package boxmodel (boxmodel/*.py)
// turns them into xarray datasets and pandas tables. Nothing of the model is
// implemented a second time here.
//
// The run gives the same bits as the program: it runs in the calling thread
// with the program's floating-point mode (denormal operands read as zero)
// for its duration and the caller's mode restored afterwards. The program's
// traps on invalid operations, division by zero and overflow would end the
// interpreter, so instead the sticky exception flags are tested after every
// step: a raised flag stops the run where the program would have stopped.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <unistd.h>

#include <cfenv>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "chemistry/photolysis.hpp"
#include "common/errors.hpp"
#include "common/one_based.hpp"
#include "common/version.hpp"
#include "budget/files.hpp"
#include "run/spin_up.hpp"
#include "run/fp_environment.hpp"
#include "run/file_box.hpp"
#include "run/run.hpp"
#include "run/scenario_run.hpp"
#include "run/session.hpp"
#include "output/sample_writers.hpp"
#include "output/text_output.hpp"
#include "ensemble/definition.hpp"
#include "ensemble/isopleths.hpp"
#include "ensemble/member.hpp"
#include "ensemble/outputs.hpp"
#include "ensemble/pool.hpp"
#include "io/v1_mechanism.hpp"
#include "mechanism/lane_kernels.hpp"
#include "mechanism/mechanism.hpp"
#include "mechanism/reaction_text.hpp"
#include "mechanism/species_lookup.hpp"
#include "output/netcdf_writer.hpp"
#include "output/variable_attributes.hpp"
#include "scenario/scenario_file.hpp"
#include "scenario/schema.hpp"

namespace py = pybind11;
namespace fs = std::filesystem;

namespace box {
namespace {

// Ctrl-C (or another signal whose Python handler raised) during a run; the
// Python exception is set and waits to be raised.
struct Interrupted {};

// Maps the model's exceptions onto those of boxmodel/_errors.py, whose
// messages are the program's without its "boxmodel: " prefix.
void translate(std::exception_ptr p) {
  const auto raise = [](const char* name, const char* what) {
    const py::object type = py::module_::import("boxmodel._errors").attr(name);
    PyErr_SetString(type.ptr(), what);
  };
  try {
    if (p) std::rethrow_exception(p);
  } catch (const ScenarioError& e) {
    raise("ScenarioError", e.what());
  } catch (const InputError& e) {
    raise("InputFileError", e.what());
  } catch (const OutputError& e) {
    raise("OutputFileError", e.what());
  } catch (const FloatingPointStop& e) {
    // The program's message, and where a run that stopped in its steps
    // stood.
    std::string message = e.exception() + "; the run is stopped";
    if (e.steps_done > 0)
      message += "\nthe run stopped in step " + std::to_string(e.steps_done) + " of " +
                 std::to_string(e.total_steps) + ", after " + std::to_string(e.steps_done - 1) +
                 " completed steps";
    raise("IntegrationError", message.c_str());
  } catch (const ImpossibleState& e) {
    raise("IntegrationError", e.what());
  }
}

// ---------------------------------------------------------------- scenarios

// A Python value as a scenario key's value: True/False, an integer (one
// beyond 64 bits as the nearest double, so that the reader's range check
// speaks), a float, a string, or a list of strings. Anything else is a
// TypeError; the package turns that into the reader's own message.
KeyOverride::Value key_value(py::handle v) {
  if (PyBool_Check(v.ptr())) return v.ptr() == Py_True;
  if (PyLong_Check(v.ptr())) {
    int overflow = 0;
    const long long i = PyLong_AsLongLongAndOverflow(v.ptr(), &overflow);
    if (overflow == 0) return static_cast<std::int64_t>(i);
    const double d = PyLong_AsDouble(v.ptr());
    if (d == -1.0 && PyErr_Occurred() != nullptr) {
      // Past the doubles: infinite, which the reader calls not finite.
      PyErr_Clear();
      return overflow * std::numeric_limits<double>::infinity();
    }
    return d;
  }
  if (PyFloat_Check(v.ptr())) return PyFloat_AsDouble(v.ptr());
  if (PyUnicode_Check(v.ptr())) return v.cast<std::string>();
  if (PyList_Check(v.ptr()) || PyTuple_Check(v.ptr())) {
    std::vector<std::string> items;
    for (py::handle item : v) {
      if (!PyUnicode_Check(item.ptr())) throw py::type_error("not a list of strings");
      items.push_back(item.cast<std::string>());
    }
    return items;
  }
  throw py::type_error("not a scenario value");
}

// (key, value, origin) triples from Python.
std::vector<KeyOverride> overrides_from(const py::list& items) {
  std::vector<KeyOverride> out;
  for (py::handle item : items) {
    const auto t = item.cast<py::tuple>();
    if (t.size() != 3) throw py::value_error("an override is (key, value, origin)");
    out.push_back({t[0].cast<std::string>(), key_value(t[1]), t[2].cast<std::string>()});
  }
  return out;
}

// Checks that a Python value can be a key's value at all (for the package's
// messages about other types).
bool is_key_value(py::handle v) {
  try {
    static_cast<void>(key_value(v));
    return true;
  } catch (const py::type_error&) {
    return false;
  }
}

std::vector<std::string> species_names_of(const std::vector<int>& indices) {
  std::vector<std::string> names;
  for (int ind : indices) names.emplace_back(species_name(ind));
  return names;
}

// ---------------------------------------------------------------------- runs

// Collects every output sample of a run into columns.
class SampleCollector final : public RunObserver {
 public:
  explicit SampleCollector(std::vector<int> species) : species_(std::move(species)) {}

  void begin(const RunDescription& d) override { description = d; }
  void sample(const OutputSample& s) override {
    elapsed_s.push_back(s.elapsed_s);
    time_h.push_back(s.time_h);
    temperature.push_back(s.temperature);
    pressure.push_back(s.pressure);
    coszen.push_back(s.coszen);
    day.push_back(s.day);
    for (int ind : species_) mole_fraction.push_back(s.mole_fraction[at(ind)]);
    if (s.diagnostics) {
      const std::vector<double> values = diagnostic_values(*s.diagnostics);
      diagnostics.resize(values.size());
      for (std::size_t k = 0; k < values.size(); ++k) diagnostics[k].push_back(values[k]);
    }
    photolysis.resize(s.photolysis.size());
    for (std::size_t k = 0; k < s.photolysis.size(); ++k) photolysis[k].push_back(s.photolysis[k]);
  }

  const std::vector<int>& species() const { return species_; }

  RunDescription description;
  std::vector<double> elapsed_s, time_h, temperature, pressure, coszen;
  std::vector<int> day;  // with [spin_up] output = "all": the day of each sample
  std::vector<double> mole_fraction;  // samples x species, row by row
  std::vector<std::vector<double>> diagnostics;  // per diagnostic variable, with [output] diagnostics
  std::vector<std::vector<double>> photolysis;   // per channel, with [output] photolysis

 private:
  std::vector<int> species_;
};

// Lines the run would print besides its progress lines (the integrator's
// reports), kept in a temporary file while the run writes nothing else.
class CapturedLines {
 public:
  CapturedLines() {
    std::string name = (fs::temp_directory_path() / "boxmodel-messages-XXXXXX").string();
    const int fd = ::mkstemp(name.data());
    if (fd < 0) throw OutputError(name + ": cannot create a temporary file for the run's messages");
    ::close(fd);
    path_ = name;
  }
  CapturedLines(const CapturedLines&) = delete;
  CapturedLines& operator=(const CapturedLines&) = delete;
  ~CapturedLines() {
    std::error_code ignored;
    fs::remove(path_, ignored);
  }
  const fs::path& path() const { return path_; }
  std::string text() const {
    std::ifstream in(path_);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

 private:
  fs::path path_;
};

struct RunResult {
  std::vector<int> species;  // mechanism indices (a mechanism file's: 1-based, file order)
  std::vector<std::string> species_names;
  bool file_mechanism = false;
  SampleCollector samples{{}};
  std::vector<std::pair<int, int>> failed_steps;  // (step, integrator status)
  std::string messages;
  int spin_up_days = -1;        // with [spin_up]
  bool all_days = false;        // [spin_up] output = "all": every day's samples
  std::string spin_up_message;  // not converged: which species, by how much
  // With output.budgets: the integrated process rates of every interval.
  bool budgets = false;
  std::vector<std::string> process_names, equations;
  std::vector<double> start_h, end_h, integrals;  // integrals: interval-major, ppb
};

// A folder of its own for files the run must write but the caller did not
// ask for (the budget files of a run from Python), removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string name = (fs::temp_directory_path() / "boxmodel-run-XXXXXX").string();
    if (::mkdtemp(name.data()) == nullptr) throw OutputError(name + ": cannot create a scratch folder");
    path_ = name;
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Whether a Python signal handler asked to stop; checked at most every
// `interval` of wall time, with the interpreter's lock held briefly.
class SignalCheck {
 public:
  explicit SignalCheck(double interval_s) : interval_(std::chrono::duration<double>(interval_s)) {}
  void operator()() {
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < interval_) return;
    last_ = now;
    const py::gil_scoped_acquire gil;
    const bool raised = PyErr_CheckSignals() != 0;
    // Flags raised by a Python signal handler are none of the run's; the
    // step before was checked already.
    std::feclearexcept(FE_ALL_EXCEPT);
    if (raised) throw Interrupted{};
  }

 private:
  std::chrono::duration<double> interval_;
  std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

// The run as `boxmodel run` does it: inputs read and checked first, then
// every step. The caller holds no interpreter lock.
void run_steps(const Scenario& given, bool write_outputs, double signal_interval_s, RunResult& result) {
  Scenario scenario = given;
  std::optional<ScratchFolder> scratch;
  if (!write_outputs) {
    scenario.output.formats.clear();
    scenario.output.progress_lines = false;
    if (scenario.output.budgets) scenario.output.dir = scratch.emplace().path();
  }
  // A mechanism file is read and its names checked before anything runs.
  std::shared_ptr<const LoadedMechanism> mechanism;
  if (!scenario.chemistry.builtin_mechanism()) {
    mechanism = load_mechanism(*scenario.chemistry.mechanism_file, scenario.chemistry.machine_code());
    check_mechanism_scenario(scenario, mechanism->mechanism);
    result.file_mechanism = true;
  }
  OutputSpecies selected = output_species(scenario, catalogue(mechanism.get()));
  result.species = std::move(selected.species);
  result.species_names = std::move(selected.names);
  result.samples = SampleCollector(result.species);

  const ScopedRunModes fp;
  if (write_outputs) check_sample_formats(scenario);
  std::optional<SiteData> site = load_site(scenario);
  check_floating_point(FloatingPointStop::Stage::inputs);
  if (write_outputs) {
    std::error_code error;
    fs::create_directories(scenario.output.dir, error);
    if (error)
      throw OutputError(scenario.output.dir.generic_string() +
                        ": cannot create the output folder: " + error.message());
  }
  std::optional<CapturedLines> captured;
  if (!write_outputs) captured.emplace();
  TextOutput out = write_outputs ? TextOutput::standard_output()
                                 : TextOutput::create(captured->path(), "the run's messages");

  // [spin_up]: the days first. With output = "all" every day's samples are
  // returned (and written, the writers shared by the days and the run),
  // each with its day; otherwise the scenario's run alone.
  // The collector takes each day's description in turn: the run's is last.
  // Without outputs the run writes none of the formats' files (diagnostics.csv
  // included: the diagnostics are still computed for the dataset).
  result.all_days = scenario.spin_up.enabled && scenario.spin_up.output_all;
  ScenarioRun scenario_run(std::move(scenario), std::move(mechanism), std::move(*site), out,
                           {.write_outputs = write_outputs, .observers = {&result.samples}, .after_spin_up_step = {}});
  scenario_run.spin_up();
  Run& run = scenario_run.run();
  if (const std::optional<SpinUpOutcome>& spun = scenario_run.spun()) {
    result.spin_up_days = spun->days;
    if (!spun->converged) result.spin_up_message = not_converged_message(run.scenario(), *spun);
  }
  SignalCheck signals(signal_interval_s);
  RunSession session(run);
  session.set_after_step([&](const Run& r) {
    if (!r.last_step().ok()) result.failed_steps.emplace_back(r.steps_done(), r.last_step().status);
    signals();
  });
  run_session(session);
  scenario_run.finish();
  if (const budget::BudgetFiles* files = run.budget_files()) {
    result.budgets = true;
    result.process_names = budget::process_names(files->processes());
    result.equations = budget::process_equations(files->processes());
    for (const budget::IntervalIntegrals& i : files->intervals()) {
      result.start_h.push_back(i.start_h);
      result.end_h.push_back(i.end_h);
      result.integrals.insert(result.integrals.end(), i.process.begin(), i.process.end());
    }
  }
  // The record of the run is the scenario as given, formats and all.
  result.samples.description.scenario = describe_scenario(given);
  if (captured) {
    out.close();
    result.messages = captured->text();
  }
}

template <class T>
py::array_t<T> to_array(std::vector<T> v) {
  py::array_t<T> a(static_cast<py::ssize_t>(v.size()));
  std::copy(v.begin(), v.end(), a.mutable_data());
  return a;
}

py::dict attributes_dict(const Attributes& a) {
  py::dict d;
  for (const auto& [name, value] : a) d[py::str(name)] = value;
  return d;
}

py::dict run_scenario(const Scenario& scenario, bool write_outputs, double signal_interval_s) {
  RunResult r;
  try {
    const py::gil_scoped_release nogil;
    run_steps(scenario, write_outputs, signal_interval_s, r);
  } catch (const Interrupted&) {
    throw py::error_already_set();
  }
  const SampleCollector& s = r.samples;
  const auto n_samples = static_cast<py::ssize_t>(s.elapsed_s.size());
  const auto n_species = static_cast<py::ssize_t>(r.species.size());
  py::array_t<double> x({n_samples, n_species});
  std::copy(s.mole_fraction.begin(), s.mole_fraction.end(), x.mutable_data());

  py::dict out;
  out["elapsed_s"] = to_array(s.elapsed_s);
  out["time_h"] = to_array(s.time_h);
  if (r.all_days) out["day"] = to_array(s.day);
  py::dict time_attrs = attributes_dict(time_attributes(s.description));
  // A number, as species.nc holds it.
  if (s.description.utc_offset_hours) time_attrs["utc_offset_hours"] = *s.description.utc_offset_hours;
  out["time_attributes"] = time_attrs;
  out["species"] = r.species_names;
  out["mole_fraction"] = x;
  py::list species_attrs;
  if (r.species_names.size() == r.species.size() && r.file_mechanism) {
    for (const std::string& name : r.species_names) species_attrs.append(attributes_dict(species_attributes(name)));
  } else {
    for (int ind : r.species) species_attrs.append(attributes_dict(species_attributes(species_name(ind))));
  }
  out["species_attributes"] = species_attrs;
  const std::vector<double>* air_columns[] = {&s.temperature, &s.pressure, &s.coszen};
  py::list air;
  for (std::size_t k = 0; k < air_variables().size(); ++k)
    air.append(py::make_tuple(air_variables()[k].name, to_array(*air_columns[k]),
                              attributes_dict(air_variables()[k].attributes)));
  out["air"] = air;
  py::list diagnostics;
  for (std::size_t k = 0; k < s.diagnostics.size(); ++k)
    diagnostics.append(py::make_tuple(diagnostic_variables()[k].name, to_array(s.diagnostics[k]),
                                      attributes_dict(diagnostic_variables()[k].attributes)));
  out["diagnostics"] = diagnostics;
  // With [output] photolysis: J<n> in s-1, as species.nc holds them.
  py::list photolysis;
  for (std::size_t k = 0; k < s.photolysis.size() && k < s.description.photolysis_channels.size(); ++k) {
    const std::string& channel = s.description.photolysis_channels[k];
    photolysis.append(py::make_tuple(channel, to_array(s.photolysis[k]),
                                     attributes_dict({{"long_name", "photolysis frequency " + channel}, {"units", "s-1"}})));
  }
  out["photolysis"] = photolysis;
  // A site by keys: its place and the air's number density, as species.nc.
  if (s.description.utc_offset_hours) {
    std::vector<double> density(s.pressure.size());
    for (std::size_t k = 0; k < density.size(); ++k)
      density[k] = s.pressure[k] / (1.380649e-23 * s.temperature[k]) * 1e-6;
    py::dict place;
    place["latitude"] = s.description.latitude;
    place["longitude"] = s.description.longitude_east;
    place["number_density_of_air"] = to_array(std::move(density));
    out["place"] = place;
  }
  py::dict globals = attributes_dict(global_attributes(s.description));
  if (r.spin_up_days >= 0) globals["spin_up_days"] = r.spin_up_days;
  out["global_attributes"] = globals;
  out["spin_up_message"] = r.spin_up_message;
  if (r.budgets) {
    py::dict b;
    const auto n_intervals = static_cast<py::ssize_t>(r.start_h.size());
    const auto n_processes = static_cast<py::ssize_t>(r.process_names.size());
    py::array_t<double> integrals({n_intervals, n_processes});
    std::copy(r.integrals.begin(), r.integrals.end(), integrals.mutable_data());
    b["start_h"] = to_array(r.start_h);
    b["end_h"] = to_array(r.end_h);
    b["names"] = r.process_names;
    b["equations"] = r.equations;
    b["integrals"] = integrals;
    out["budgets"] = b;
  } else {
    out["budgets"] = py::none();
  }
  out["failed_steps"] = r.failed_steps;
  out["messages"] = r.messages;
  return out;
}

// ----------------------------------------------------------------- ensembles

// Members of `base` (its TOML text) with the rows of a table of dotted keys
// and, optionally, random rate factors, run on `threads` worker threads
// (0: every core) as `boxmodel ensemble` runs them: each member's values
// are the bits of its single run, its faults its own.
py::dict run_ensemble(const Scenario& base, const std::vector<std::string>& keys, const py::list& rows,
                      const std::vector<std::string>& labels,
                      std::size_t monte_carlo_members, std::uint64_t seed, double default_uncertainty,
                      const std::vector<std::pair<int, double>>& uncertainty, unsigned threads) {
  using namespace ensemble;
  Definition d;
  d.file = "boxmodel.ensemble";
  d.base = "boxmodel.Scenario";
  d.base_text = scenario_to_toml(base);
  if (!keys.empty()) {
    MembersTable t;
    t.file = "members";
    t.keys = keys;
    t.header_line = 0;
    int line = 1;
    for (py::handle row : rows) {
      MembersTable::Row r;
      r.line = ++line;
      // Rows are named as pandas names them: position and index label.
      if (static_cast<std::size_t>(line - 2) < labels.size()) r.label = labels[static_cast<std::size_t>(line - 2)];
      for (py::handle cell : row.cast<py::list>()) r.cells.push_back(key_value(cell));
      if (r.cells.size() != keys.size()) throw py::value_error("a members row has the wrong number of cells");
      t.rows.push_back(std::move(r));
    }
    d.table = std::move(t);
  }
  load_base_mechanism(d);
  if (default_uncertainty > 0.0 || !uncertainty.empty())
    d.monte_carlo = MonteCarlo{monte_carlo_members, seed,
                               uncertainty_factors(reaction_count(d), default_uncertainty, uncertainty,
                                                   "boxmodel.ensemble: monte_carlo.uncertainty")};
  if (d.members() == 0) throw ScenarioError("boxmodel.ensemble: no members (an empty table and no Monte-Carlo members)");
  check_table_columns(d);
  const Layout layout = make_layout(d);
  const std::vector<int>& species = layout.species;
  const std::size_t members = d.members();
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());

  std::vector<MemberResult> results;
  results.reserve(members);
  try {
    const py::gil_scoped_release nogil;
    const ScopedRunModes fp;
    MemberPool pool(d, species, members, threads, lane_kernels(0), [](std::size_t p) { return p; });
    SignalCheck signals(0.1);
    for (std::size_t i = 0; i < members; ++i) {
      results.push_back(pool.next());
      signals();
    }
  } catch (const Interrupted&) {
    throw py::error_already_set();
  }

  std::size_t samples = 0;
  for (const MemberResult& r : results) samples = std::max(samples, r.samples());
  const auto m = static_cast<py::ssize_t>(members);
  const auto t = static_cast<py::ssize_t>(samples);
  const auto n = static_cast<py::ssize_t>(species.size());
  const double nan = std::numeric_limits<double>::quiet_NaN();
  py::array_t<double> values({m, t, n});
  py::array_t<double> time_h({m, t});
  py::array_t<double> elapsed({m, t});
  std::fill(values.mutable_data(), values.mutable_data() + values.size(), nan);
  std::fill(time_h.mutable_data(), time_h.mutable_data() + time_h.size(), nan);
  std::fill(elapsed.mutable_data(), elapsed.mutable_data() + elapsed.size(), nan);
  std::vector<int> status, spin_up_days;
  std::vector<std::string> messages;
  for (std::size_t i = 0; i < members; ++i) {
    const MemberResult& r = results[i];
    status.push_back(static_cast<int>(r.status));
    spin_up_days.push_back(r.spin_up_days);
    messages.push_back(r.message);
    std::copy(r.values.begin(), r.values.end(), values.mutable_data() + i * samples * species.size());
    std::copy(r.time_h.begin(), r.time_h.end(), time_h.mutable_data() + i * samples);
    std::copy(r.elapsed_s.begin(), r.elapsed_s.end(), elapsed.mutable_data() + i * samples);
  }
  py::dict out;
  out["species"] = layout.species_names;
  py::list species_attrs;
  for (std::size_t k = 0; k < species.size(); ++k)
    species_attrs.append(attributes_dict(species_attributes(layout.species_names[k])));
  out["species_attributes"] = species_attrs;
  out["values"] = values;
  out["time_h"] = time_h;
  out["elapsed_s"] = elapsed;
  // The time axis of ensemble.nc: the base's sample times (and on, for
  // members that run longer), in its units.
  std::vector<double> time_s = layout.time_s;
  const double every = time_s.size() > 1 ? time_s[1] - time_s[0] : 0.0;
  time_s.resize(std::min(time_s.size(), samples));
  while (time_s.size() < samples) time_s.push_back(static_cast<double>(time_s.size()) * every);
  out["time_s"] = to_array(time_s);
  out["time_units"] = layout.time_units;
  out["status"] = to_array(status);
  out["message"] = messages;
  if (layout.spin_up) out["spin_up_days"] = to_array(spin_up_days);
  return out;
}

// The isopleth diagram of `base` for `diagram_text` (TOML text of nox, voc and
// ozone, as an isopleth file has them), its grid points run on `threads`
// worker threads (0: every core) as `boxmodel isopleths` runs them.
py::dict run_isopleths(const Scenario& base, const std::string& diagram_text, unsigned threads) {
  using namespace ensemble;
  Definition d;
  d.file = "boxmodel.isopleths";
  d.base = "boxmodel.Scenario";
  d.base_text = scenario_to_toml(base);
  const Isopleths iso = make_isopleths(diagram_text, std::move(d));
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  IsoplethResult r;
  try {
    const py::gil_scoped_release nogil;
    const ScopedRunModes fp;
    SignalCheck signals(0.1);
    r = ensemble::run_isopleths(iso, threads, lane_kernels(0), [&signals](std::size_t) { signals(); });
  } catch (const Interrupted&) {
    throw py::error_already_set();
  }
  const auto grid = [&](const auto& values) {
    using T = typename std::decay_t<decltype(values)>::value_type;
    py::array_t<T> a({static_cast<py::ssize_t>(iso.nox.factors.size()), static_cast<py::ssize_t>(iso.voc.factors.size())});
    std::copy(values.begin(), values.end(), a.mutable_data());
    return a;
  };
  std::vector<int> status;
  for (const MemberStatus m : r.status) status.push_back(static_cast<int>(m));
  py::dict out;
  out["nox_factor"] = to_array(iso.nox.factors);
  out["voc_factor"] = to_array(iso.voc.factors);
  out["o3_ppb"] = grid(r.o3_ppb);
  out["status"] = grid(status);
  out["message"] = r.messages;
  out["ridge_nox_factor"] = to_array(ridge_nox_factors(iso, r.o3_ppb));
  out["nox_species"] = iso.nox.species;
  out["voc_species"] = iso.voc.species;
  out["nox_of"] = iso.nox.of == ScaledAmount::emissions ? "emissions" : "initial";
  out["voc_of"] = iso.voc.of == ScaledAmount::emissions ? "emissions" : "initial";
  out["ozone"] = iso.ozone.text();
  return out;
}

// ----------------------------------------------------------------- mechanism

const char* law_name(mech::Law law) {
  switch (law) {
    case mech::Law::photolysis: return "photolysis";
    case mech::Law::constant: return "constant";
    case mech::Law::arr2: return "arrhenius";
    case mech::Law::arr2_share: return "arrhenius_share";
    case mech::Law::troe: return "troe";
    case mech::Law::troee: return "troe_equilibrium";
    case mech::Law::thermal_t2: return "thermal_t2";
    case mech::Law::hno3_oh: return "hno3_oh";
    case mech::Law::ozone_formation: return "ozone_formation";
    case mech::Law::ho2_self: return "ho2_self";
    case mech::Law::ho2_self_h2o: return "ho2_self_h2o";
    case mech::Law::co_oh: return "co_oh";
  }
  return "";
}

// The two tables' columns as dictionaries of lists.
py::dict mechanism_dict(py::list names, py::list indices, py::list kinds, py::list numbers, py::list equations,
                        py::list laws, py::list orders, py::list units) {
  py::dict species, reactions, out;
  species["name"] = names;
  species["index"] = indices;
  species["kind"] = kinds;
  reactions["number"] = numbers;
  reactions["equation"] = equations;
  reactions["rate_law"] = laws;
  reactions["order"] = orders;
  reactions["unit"] = units;
  out["species"] = species;
  out["reactions"] = reactions;
  return out;
}

py::dict mechanism_tables() {
  py::list names, kinds;
  py::list indices;
  for (int ind = 1; ind <= nspec; ++ind) {
    names.append(std::string(species_name(ind)));
    indices.append(ind);
    kinds.append(mech::is_fixed(ind) ? "fixed" : "integrated");
  }
  py::list numbers, equations, laws, units, orders;
  for (const mech::Reaction& r : mech::reactions) {
    numbers.append(r.number);
    equations.append(mech::reaction_equation(r));
    laws.append(law_name(r.law.law));
    units.append(mech::coefficient_unit(r));
    orders.append(r.n_factors);
  }
  return mechanism_dict(names, indices, kinds, numbers, equations, laws, orders, units);
}

// The same tables for a mechanism file: every species integrated, the rate
// law the expression as written, and the line each reaction starts on.
py::dict mechanism_file_tables(const std::string& path) {
  const Mechanism m = read_any_mechanism_file(path);
  py::list names, kinds, indices;
  for (int s = 0; s < m.species_count(); ++s) {
    names.append(m.species[static_cast<std::size_t>(s)]);
    indices.append(s + 1);
    kinds.append("integrated");
  }
  py::list numbers, equations, laws, units, orders, lines;
  for (int k = 0; k < m.reaction_count(); ++k) {
    const RuntimeReaction& r = m.reactions[static_cast<std::size_t>(k)];
    const std::size_t order = r.reactants.size();
    numbers.append(k + 1);
    equations.append(m.equation(k));
    laws.append(r.rate_text);
    orders.append(order);
    units.append(order == 1 ? "s-1" : order == 2 ? "cm3 molecule-1 s-1" : order == 3 ? "cm6 molecule-2 s-1"
                                                                                     : "cm3(n-1) molecule-(n-1) s-1");
    lines.append(r.line);
  }
  py::dict out = mechanism_dict(names, indices, kinds, numbers, equations, laws, orders, units);
  out["reactions"].cast<py::dict>()["line"] = lines;
  return out;
}

// The coefficients as boxmodel-rates prints them: the model's own
// photolysis table for an overhead sun when asked, dark otherwise.
py::array_t<double> rate_coefficients(double temp, double c_m, bool photolysis) {
  const PhotolysisRates j = photolysis ? overhead_sun_photolysis() : PhotolysisRates{};
  py::array_t<double> k(nreact);
  racm_update_rconst(j.data(), k.mutable_data(), c_m, temp);
  return k;
}

}  // namespace
}  // namespace box

PYBIND11_MODULE(_core, m) {
  using namespace box;
  m.doc() = "The box model's C++ core (used by the boxmodel package).";
  py::register_exception_translator(translate);

  py::class_<Scenario>(m, "CoreScenario")
      .def_readonly("source", &Scenario::source)
      .def("to_toml", [](const Scenario& s) { return scenario_to_toml(s); })
      .def("describe", [](const Scenario& s) { return describe_scenario(s); })
      .def("output_species",
           [](const Scenario& s) { return species_names_of(selected_species(s.output.species)); })
      .def("total_steps", &Scenario::total_steps);

  m.def("is_key_value", &is_key_value);
  m.def("scenario_keys", [] {
    // (name, type, default, is_path, doc, option), in schema order.
    static const char* const type_names[] = {"boolean", "number", "whole number", "text", "path", "names",
                                             "species selection", "numbers by species", "numbers by reaction", "numbers by name",
                                             "names by family", "family constraints"};
    py::list keys;
    for (const ScenarioKey& k : scenario_keys())
      keys.append(py::make_tuple(std::string(k.name), type_names[static_cast<int>(k.type)],
                                 std::string(k.default_value), k.is_path, std::string(k.doc),
                                 std::string(k.option)));
    return keys;
  });
  m.def("scenario_sections", &scenario_sections);
  m.def(
      "read_scenario_file",
      [](const fs::path& path, const py::list& overrides) { return read_scenario_file(path, overrides_from(overrides)); },
      py::arg("path"), py::arg("overrides"));
  m.def(
      "parse_scenario",
      [](const std::string& text, const std::string& source, const fs::path& base_dir, const py::list& overrides,
         const std::vector<std::string>& replaced) {
        return parse_scenario(text, source, base_dir, overrides_from(overrides), replaced);
      },
      py::arg("text"), py::arg("source"), py::arg("base_dir"), py::arg("overrides"),
      py::arg("replaced") = std::vector<std::string>{});
  m.def(
      "scenario_from_overrides", [](const py::list& overrides) { return scenario_from_overrides(overrides_from(overrides)); },
      py::arg("overrides"));
  m.def("run", &run_scenario, py::arg("scenario"), py::arg("write_outputs"), py::arg("signal_interval_s") = 0.1);
  m.def("ensemble", &run_ensemble, py::arg("base"), py::arg("keys"), py::arg("rows"), py::arg("labels"),
        py::arg("monte_carlo_members"), py::arg("seed"), py::arg("default_uncertainty"), py::arg("uncertainty"),
        py::arg("threads"));
  m.def("isopleths", &run_isopleths, py::arg("base"), py::arg("diagram_text"), py::arg("threads"));
  m.def("mechanism", &mechanism_tables);
  m.def("mechanism_file", &mechanism_file_tables, py::arg("path"));
  m.def("rate_coefficients", &rate_coefficients, py::arg("temp"), py::arg("cm"), py::arg("photolysis"));
  m.def("netcdf_available", &netcdf_available);
  m.attr("version") = program_version();
  m.attr("nreact") = nreact;
  m.attr("nspec") = nspec;
}
