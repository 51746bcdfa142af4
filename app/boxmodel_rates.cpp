// boxmodel-rates: lists the rate coefficients of all reactions at a given
// temperature and air density, so that they can be checked against the
// kinetics literature.
//
//   boxmodel-rates --temp 298 --cm 2.5e19 [--photolysis]
//
// One line per reaction: its number, the reaction, and the coefficient with
// its unit. Photolysis coefficients are 0 unless --photolysis asks for the
// frequencies of an overhead sun.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "chemistry/photolysis.hpp"
#include "mechanism/mechanism.hpp"
#include "mechanism/reaction_text.hpp"

namespace {

using namespace box;

constexpr const char* usage =
    "usage: boxmodel-rates --temp T --cm C_M [--photolysis]\n"
    "  --temp T       temperature in K (> 0)\n"
    "  --cm C_M       air number density in molecules cm-3 (> 0)\n"
    "  --photolysis   include the photolysis frequencies of an overhead sun\n"
    "Prints the rate coefficient of every reaction, one reaction per line.\n";

// A positive, finite number filling the whole argument.
bool parse_positive(const char* text, double& value) {
  errno = 0;
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0' && errno == 0 && std::isfinite(value) && value > 0.0;
}

int fail(const std::string& message) {
  std::fprintf(stderr, "boxmodel-rates: %s\n%s", message.c_str(), usage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  double temp = 0.0, c_m = 0.0;
  bool have_temp = false, have_cm = false, photolysis = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(usage, stdout);
      return 0;
    }
    if (arg == "--photolysis") {
      photolysis = true;
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
