// Mechanisms read at run time at the full MCM's size: loading and deriving
// (target at most 2 s and 1 GB), the fill-in, and one f + J + LU + solve.
// The mechanism is the shipped isoprene subset with renamed copies of
// itself (species and named coefficients suffixed per copy), one RO2 sum
// over all copies and a few reactions across copies.
//
// Then whole runs through the program's Run: a 24-hour day of the isoprene
// subset and of the full-size mechanism (one core, no outputs, the MCM's
// clear-sky photolysis), and the example day of the built-in mechanism
// against the same day of its exported file read at run time, per
// chemistry step.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "chemistry/builtin_mechanism_file.hpp"
#include "io/mechanism_file.hpp"
#include "mechanism/derivation.hpp"
#include "mechanism/loop_kernels.hpp"
#include "mechanism/native_kernels.hpp"
#include "mechanism/runtime_rates.hpp"
#include "output/text_output.hpp"
#include "run/run.hpp"
#include "scenario/scenario_file.hpp"
#include "tests/support/example_copy.hpp"

namespace {

using namespace box;

std::string suffixed(const std::string& text, const Mechanism& m, const std::string& suffix) {
  std::string out;
  for (std::size_t p = 0; p < text.size();) {
    if (!std::isalpha(static_cast<unsigned char>(text[p])) && text[p] != '_') {
      // Numbers with exponents (1.0D-31) stay whole.
      if (std::isdigit(static_cast<unsigned char>(text[p])) || text[p] == '.') {
        const auto n = read_number(std::string_view(text).substr(p));
        out += text.substr(p, n->second);
        p += n->second;
      } else {
        out += text[p++];
      }
      continue;
    }
    std::size_t e = p;
    while (e < text.size() && (std::isalnum(static_cast<unsigned char>(text[e])) || text[e] == '_')) ++e;
    const std::string word = text.substr(p, e - p);
    out += word;
    for (const NamedCoefficient& c : m.coefficients)
      if (c.name == word) out += suffix;
    p = e;
  }
  return out;
}

std::string full_size_text(int copies) {
  const Mechanism iso =
      read_mechanism_file(std::string(BOXMODEL_SOURCE_DIR) + "/tests/data/mcm/mcm331-isoprene.fac");
  std::string out = "* The isoprene subset of the MCM v3.3.1 and renamed copies of it ;\n";
  std::string ro2 = "RO2 =";
  for (int c = 0; c < copies; ++c) {
    const std::string sfx = "_" + std::to_string(c);
    for (const NamedCoefficient& k : iso.coefficients)
      out += k.name + sfx + " = " + suffixed(k.text, iso, sfx) + " ;\n";
    out += "VARIABLE";
    for (const std::string& s : iso.species) out += " " + s + sfx;
    out += " ;\n";
    for (int s : iso.ro2) ro2 += (ro2.size() > 5 ? " + " : " ") + iso.species[static_cast<std::size_t>(s)] + sfx;
    for (const RuntimeReaction& r : iso.reactions) {
      out += "% " + suffixed(r.rate_text, iso, sfx) + " :";
      for (std::size_t i = 0; i < r.reactants.size(); ++i)
        out += (i ? " + " : " ") + iso.species[static_cast<std::size_t>(r.reactants[i])] + sfx;
      out += " =";
      for (std::size_t i = 0; i < r.products.size(); ++i)
        out += (i ? " + " : " ") + std::to_string(r.products[i].coefficient) + " " +
               iso.species[static_cast<std::size_t>(r.products[i].species)] + sfx;
      out += " ;\n";
    }
  }
  out += ro2 + " ;\n";
  for (int c = 0; c + 1 < copies; ++c) {
    const std::string a = "_" + std::to_string(c), b = "_" + std::to_string(c + 1);
    out += "% 1.0D-10 : OH" + a + " + C5H8" + b + " = ISOPAO2" + a + " ;\n";
    out += "% KRO2NO" + a + " : ISOPAO2" + b + " + NO" + a + " = NO2" + a + " + HO2" + b + " ;\n";
  }
  return out;
}

constexpr int copies = 9;  // 5,490 species, 17,782 reactions

void BM_LoadAndDeriveFullSize(benchmark::State& state) {
  const std::string text = full_size_text(copies);
  int lu = 0, jac = 0, species = 0, reactions = 0;
  for (auto _ : state) {
    const Mechanism m = read_mechanism_text(text, "full.fac");
    const MechanismDerivation d = derive(m);
    // As load_mechanism() does: at this size no routine is kept (each is
    // given up once past the size limit).
    const std::unique_ptr<const NativeKernels> native = NativeKernels::write(d);
    benchmark::DoNotOptimize(native.get());
    lu = d.lu_entries();
    jac = d.jacobian_entries;
    species = m.species_count();
    reactions = m.reaction_count();
    benchmark::DoNotOptimize(d.update_target.data());
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["species"] = species;
  state.counters["reactions"] = reactions;
  state.counters["jacobian_entries"] = jac;
  state.counters["lu_entries"] = lu;
  state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_LoadAndDeriveFullSize)->Unit(benchmark::kMillisecond);

// Writing the machine code of a mechanism's kernels (done once, when a
// file is loaded).
void BM_WriteMachineCodeIsoprene(benchmark::State& state) {
  const MechanismDerivation d =
      derive(read_mechanism_file(std::string(BOXMODEL_SOURCE_DIR) + "/tests/data/mcm/mcm331-isoprene.fac"));
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::unique_ptr<const NativeKernels> native = NativeKernels::write(d);
    bytes = native ? native->code_bytes() : 0;
  }
  state.counters["machine_code_kB"] = static_cast<double>(bytes) / 1024.0;
}
BENCHMARK(BM_WriteMachineCodeIsoprene)->Unit(benchmark::kMillisecond);

// The kernels a run uses: machine code where it is written (f, J and the
// solve of mechanisms small enough), the loops otherwise.
void kernels(benchmark::State& state, const Mechanism& m) {
  const MechanismDerivation d = derive(m);
  const std::unique_ptr<const NativeKernels> native = NativeKernels::write(d);
  std::vector<double> y(static_cast<std::size_t>(d.n));
  for (std::size_t s = 0; s < y.size(); ++s) y[s] = 1.0e6 * static_cast<double>(1 + s % 97);
  RuntimeRates rates(m);
  std::vector<double> j(m.photolysis_channels.size(), 1.0e-4);
  rates.set_conditions(MechanismAir{290.0, 2.4e19, 3.0e17, 1000.0, 60.0}, j);
  std::vector<double> r(static_cast<std::size_t>(d.reactions)), f(y.size()), x(y.size());
  std::vector<double> partial(d.partial_reaction.size()), jac(static_cast<std::size_t>(d.lu_entries())), lu = jac;
  for (auto _ : state) {
    rates.update_ro2(y.data());
    if (native) {
      native->fun(rates.k().data(), y.data(), r.data(), f.data());
      native->jac(rates.k().data(), y.data(), partial.data(), jac.data());
    } else {
      loop_fun(d, rates.k().data(), y.data(), r.data(), f.data());
      loop_jac(d, rates.k().data(), y.data(), partial.data(), jac.data());
    }
    benchmark::DoNotOptimize(loop_decomp_shifted(d, jac.data(), 1.0 / 30.0, lu.data()));
    x = f;
    if (native) native->solve(lu.data(), x.data());
    else loop_solve(d, lu.data(), x.data());
    benchmark::DoNotOptimize(x.data());
  }
  state.counters["species"] = d.n;
  state.counters["lu_entries"] = d.lu_entries();
  state.counters["jacobian_entries"] = d.jacobian_entries;
  state.counters["lu_divisions"] = static_cast<double>(d.lower.size());
  state.counters["lu_updates"] = static_cast<double>(d.update_target.size());
  state.counters["machine_code_kB"] = native ? static_cast<double>(native->code_bytes()) / 1024.0 : 0.0;
}

void BM_FunJacLuSolveFullSize(benchmark::State& state) {
  kernels(state, read_mechanism_text(full_size_text(copies), "full.fac"));
}
BENCHMARK(BM_FunJacLuSolveFullSize)->Unit(benchmark::kMicrosecond);

void BM_FunJacLuSolveIsoprene(benchmark::State& state) {
  kernels(state, read_mechanism_file(std::string(BOXMODEL_SOURCE_DIR) + "/tests/data/mcm/mcm331-isoprene.fac"));
}
BENCHMARK(BM_FunJacLuSolveIsoprene)->Unit(benchmark::kMicrosecond);

void BM_FunJacLuSolveExportedBuiltin(benchmark::State& state) {
  kernels(state, read_mechanism_text(builtin_mechanism_file(), "model.fac"));
}
BENCHMARK(BM_FunJacLuSolveExportedBuiltin)->Unit(benchmark::kMicrosecond);

// A day of `file` in the scenario `keys` (site, time, initial values), no
// outputs: chemistry steps, Rosenbrock steps and the time per chemistry
// step. The file is read once, outside the timing, as an ensemble does.
void run_day(benchmark::State& state, const std::filesystem::path& dir, const std::string& file,
             const std::string& keys, bool machine_code = true) {
  const std::string toml = keys + (file.empty() ? "" : "[chemistry]\nmechanism = \"" + file + "\"\n") +
                           "[output]\nformats = []\nprogress_lines = false\n";
  TextOutput out = TextOutput::create("/dev/null", "/dev/null");
  const Scenario base = parse_scenario(toml, "bench.toml", dir);
  std::shared_ptr<LoadedMechanism> mechanism;
  if (!base.chemistry.builtin_mechanism()) {
    mechanism = load_mechanism(*base.chemistry.mechanism_file, base.chemistry.machine_code());
    if (!machine_code) mechanism->native.reset();
  }
  long long steps = 0, ros = 0;
  for (auto _ : state) {
    Run run(base, out, std::nullopt, mechanism);
    run.start();
    steps = 0;
    ros = 0;
    while (run.steps_done() < run.total_steps()) {
      run.step();
      ++steps;
      ros += run.last_step().counters.nstp;
    }
    run.finish();
  }
  state.counters["chem_steps"] = static_cast<double>(steps);
  state.counters["ros_steps"] = static_cast<double>(ros);
  state.counters["per_chem_step_us"] = benchmark::Counter(
      static_cast<double>(steps) * 1e-6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The two-day example's site from midnight: 24 hours of sun and night.
std::string day_keys(const std::string& initial) {
  const std::string two_day = std::string(BOXMODEL_SOURCE_DIR) + "/examples/two-day/";
  return "[site]\nparameters = \"" + two_day + "inputn\"\nrecords = \"" + two_day +
         "ValuesAtSite_two_days.txt\"\n[time]\nstart_hour = 0.0\nhours = 24\n[initial]\n" + initial;
}

void BM_IsopreneSubsetDay(benchmark::State& state) {
  run_day(state, ".", std::string(BOXMODEL_SOURCE_DIR) + "/tests/data/mcm/mcm331-isoprene.fac",
          day_keys("O3 = 30.0\nNO = 1.0\nNO2 = 5.0\nC5H8 = 2.0\n"));
}
BENCHMARK(BM_IsopreneSubsetDay)->Unit(benchmark::kMillisecond);

void BM_FullSizeDay(benchmark::State& state) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "bench_full_size.fac";
  std::ofstream(path) << full_size_text(copies);
  std::string initial;
  for (int c = 0; c < copies; ++c) {
    const std::string k = "_" + std::to_string(c);
    initial += "O3" + k + " = 30.0\nNO" + k + " = 1.0\nNO2" + k + " = 5.0\nC5H8" + k + " = 2.0\n";
  }
  run_day(state, ".", path.string(), day_keys(initial));
  std::filesystem::remove(path);
}
BENCHMARK(BM_FullSizeDay)->Unit(benchmark::kMillisecond)->Iterations(1);

// The example day (17 hours) of the built-in mechanism, compiled kernels
// against its exported file read at run time with the same photolysis.
const std::string example_keys = "[site]\nparameters = \"inputn\"\nrecords = \"" + std::string(site_file_name) + "\"\n";

void BM_ExampleDayCompiled(benchmark::State& state) {
  const testing::ExampleCopy example;
  run_day(state, example.dir(), "", example_keys);
}
BENCHMARK(BM_ExampleDayCompiled)->Unit(benchmark::kMillisecond);

void BM_ExampleDayExportedFile(benchmark::State& state) {
  const testing::ExampleCopy example;
  std::ofstream(example.dir() / "model.fac") << builtin_mechanism_file();
  run_day(state, example.dir(), "model.fac", example_keys + "[photolysis]\nmethod = \"specified\"\n");
}
BENCHMARK(BM_ExampleDayExportedFile)->Unit(benchmark::kMillisecond);

// The same on the loop kernels alone (no machine code written).
void BM_ExampleDayExportedFileLoops(benchmark::State& state) {
  const testing::ExampleCopy example;
  std::ofstream(example.dir() / "model.fac") << builtin_mechanism_file();
  run_day(state, example.dir(), "model.fac", example_keys + "[photolysis]\nmethod = \"specified\"\n", false);
}
BENCHMARK(BM_ExampleDayExportedFileLoops)->Unit(benchmark::kMillisecond);

void BM_IsopreneSubsetDayLoops(benchmark::State& state) {
  run_day(state, ".", std::string(BOXMODEL_SOURCE_DIR) + "/tests/data/mcm/mcm331-isoprene.fac",
          day_keys("O3 = 30.0\nNO = 1.0\nNO2 = 5.0\nC5H8 = 2.0\n"), false);
}
BENCHMARK(BM_IsopreneSubsetDayLoops)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
