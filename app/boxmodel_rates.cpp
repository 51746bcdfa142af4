// boxmodel-rates: lists the rate coefficients of all reactions at a given
// temperature and air density, so that they can be checked against the
// kinetics literature.
//
//   boxmodel-rates --temp 298 --cm 2.5e19 [--photolysis]
//   boxmodel-rates --mechanism FILE [--temp 298] [--cm 2.5e19] [--photolysis]
//
// One line per reaction: its number, the reaction, and the coefficient with
// its unit. Photolysis coefficients are 0 unless --photolysis asks for the
// frequencies of an overhead sun. With --mechanism the reactions are those
// of a mechanism file, its frequencies the MCM parameterisation's, and the
// air that `boxmodel mechanism check` takes where --temp or --cm is not
// given.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>
#include <string_view>

#include "chemistry/photolysis.hpp"
#include "common/errors.hpp"
#include "environment/photolysis_frequencies.hpp"
#include "io/v1_mechanism.hpp"
#include "mechanism/mechanism.hpp"
#include "mechanism/reaction_text.hpp"
#include "mechanism/runtime_rates.hpp"

namespace {

using namespace box;

std::string usage() {
  const MechanismAir defaults;
  char text[800];
  std::snprintf(text, sizeof text,
                "usage: boxmodel-rates --temp T --cm C_M [--photolysis]\n"
                "       boxmodel-rates --mechanism FILE [--temp T] [--cm C_M] [--photolysis]\n"
                "  --temp T          temperature in K (> 0; with --mechanism %g if not given)\n"
                "  --cm C_M          air number density in molecules cm-3 (> 0; with --mechanism %g\n"
                "                    if not given)\n"
                "  --photolysis      include the photolysis frequencies of an overhead sun\n"
                "  --mechanism FILE  a mechanism file instead of the built-in mechanism\n"
                "Prints the rate coefficient of every reaction, one reaction per line.\n",
                defaults.temp, defaults.m);
  return text;
}

// A positive, finite number filling the whole argument.
bool parse_positive(const char* text, double& value) {
  errno = 0;
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0' && errno == 0 && std::isfinite(value) && value > 0.0;
}

int fail(const std::string& message) {
  std::fprintf(stderr, "boxmodel-rates: %s\n%s", message.c_str(), usage().c_str());
  return 2;
}

const char* unit_of_order(std::size_t reactants) {
  return reactants == 1 ? "s-1" : reactants == 2 ? "cm3 molecule-1 s-1"
         : reactants == 3 ? "cm6 molecule-2 s-1" : "cm3(n-1) molecule-(n-1) s-1";
}

// The coefficients of a mechanism file; photolysis by the MCM
// parameterisation with the sun overhead (a channel without MCM parameters
// stays 0 and is named in the heading).
int file_rates(const std::string& path, double temp, double c_m, bool photolysis) {
  Mechanism m;
  try {
    m = read_any_mechanism_file(path);
  } catch (const InputError& e) {
    std::fprintf(stderr, "boxmodel-rates: %s\n", e.what());
    return exit_input_error;
  }
  std::vector<double> j(m.photolysis_channels.size(), 0.0);
  std::string dark;
  if (photolysis) {
    for (std::size_t k = 0; k < j.size(); ++k) {
      PhotolysisSetup setup;
      setup.channels = {m.photolysis_channels[k]};
      try {
        PhotolysisFrequencies f(setup);
        f.evaluate(LightAt{12.0, 1.0, 1.0}, std::span<double>(&j[k], 1));
      } catch (const InputError&) {
        dark += " J<" + std::to_string(m.photolysis_channels[k]) + ">";
      }
    }
  }
  RuntimeRates rates(m);
  rates.set_conditions(dry_air(temp, c_m), j);
  const std::vector<double> zero(m.species.size(), 0.0);
  rates.update_ro2(zero.data());
  std::printf("# %s: rate coefficients at T = %g K, M = %g molecules cm-3, H2O = 0, RO2 = 0%s%s\n",
              m.source.c_str(), temp, c_m, photolysis ? ", overhead sun (MCM)" : ", dark",
              dark.empty() ? "" : ("; no MCM parameters, 0:" + dark).c_str());
  for (int r = 0; r < m.reaction_count(); ++r)
    std::printf("%3d  %-60s  %.6e  %s\n", r + 1, m.equation(r).c_str(), rates.k()[static_cast<std::size_t>(r)],
                unit_of_order(m.reactions[static_cast<std::size_t>(r)].reactants.size()));
  return std::ferror(stdout) ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  // A mechanism file's air where not given: `boxmodel mechanism check`'s.
  const MechanismAir defaults;
  double temp = defaults.temp, c_m = defaults.m;
  bool have_temp = false, have_cm = false, photolysis = false;
  std::string mechanism;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(usage().c_str(), stdout);
      return 0;
    }
    if (arg == "--photolysis") {
      photolysis = true;
    } else if (arg == "--mechanism") {
      if (i + 1 >= argc) return fail("--mechanism needs a file");
      mechanism = argv[++i];
    } else if (arg == "--temp" || arg == "--cm") {
      if (i + 1 >= argc) return fail(std::string(arg) + " needs a value");
      double& target = arg == "--temp" ? temp : c_m;
      if (!parse_positive(argv[++i], target))
        return fail(std::string(arg) + ": expected a positive number, got '" + argv[i] + "'");
      (arg == "--temp" ? have_temp : have_cm) = true;
    } else {
      return fail("unknown argument '" + std::string(arg) + "'");
    }
  }
  if (!mechanism.empty()) return file_rates(mechanism, temp, c_m, photolysis);
  if (!have_temp || !have_cm) return fail("both --temp and --cm are required");

  // The model's own photolysis table, scaled for an overhead sun (coszen 1).
  const PhotolysisRates j = photolysis ? overhead_sun_photolysis() : PhotolysisRates{};
  double rconst[nreact];
  racm_update_rconst(j.data(), rconst, c_m, temp);

  std::printf("# rate coefficients at T = %g K, M = %g molecules cm-3%s\n", temp, c_m,
              photolysis ? ", overhead sun" : ", dark");
  for (const mech::Reaction& r : mech::reactions)
    std::printf("%3d  %-60s  %.6e  %s\n", r.number, mech::reaction_equation(r).c_str(),
                rconst[at(r.number)], mech::coefficient_unit(r));
  return std::ferror(stdout) ? 1 : 0;
}
