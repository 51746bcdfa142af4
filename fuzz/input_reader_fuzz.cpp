// Fuzz target for the reader of the two input files. The same bytes are
// read as the parameter file "inputn" and as the site time series (header
// skipped, then records until the bytes run out), the way the program reads
// them from disk.
//
// Whatever the bytes, a read must either succeed with finite values (and a
// kmax the canopy arrays can hold) or end in an InputError whose message
// names the file and the line and is one printable line of modest length.
// Any other exception, a crash, a hang, a leak, a floating-point trap (the
// run reads its files with traps on) or undefined behaviour is a finding.
#include <cfenv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "common/errors.hpp"
#include "io/input_files.hpp"

namespace {

// More records than any day reads; the bytes run out long before.
constexpr int max_records = 1000;
constexpr std::size_t max_message = 400;

[[noreturn]] void finding(const char* what, std::string_view detail = {}) {
  std::fprintf(stderr, "input reader fuzz: %s %.*s\n", what, static_cast<int>(detail.size()),
               detail.data());
  std::abort();
}

void check_finite(double value, const char* name) {
  if (!std::isfinite(value)) finding("a read value is not finite:", name);
}

void check_message(const box::InputError& e, std::string_view file) {
  const std::string_view message = e.what();
  if (message.substr(0, file.size() + 2) != std::string(file) + ": ")
    finding("the message does not start with the file name:", message);
  if (message.size() > max_message) finding("the message is too long:", message.substr(0, 80));
  for (const char c : message)
    if (c < 0x20 || c >= 0x7f) finding("the message holds an unprintable byte");
}

// The floating-point traps of a run, on for one input.
class Traps {
 public:
  Traps() {
    std::feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
  }
  ~Traps() {
    fedisableexcept(FE_ALL_EXCEPT);
    std::feclearexcept(FE_ALL_EXCEPT);
  }
  Traps(const Traps&) = delete;
  Traps& operator=(const Traps&) = delete;
};

void read_as_parameter_file(const std::string& bytes) {
  std::istringstream in(bytes);
  try {
    const box::SiteParameters p = box::read_parameters(in, "inputn");
    for (const double v : {p.xlat, p.xlong, p.stdlng, p.canopy.hcpy, p.canopy.clump,
                           p.canopy.factir})
      check_finite(v, "inputn");
    if (p.canopy.kmax < 0 || p.canopy.kmax > box::max_wavebands) finding("kmax accepted outside 0..3");
    for (const auto* values : {&p.canopy.rsoil, &p.canopy.rleaf, &p.canopy.tleaf})
      for (const double v : *values) check_finite(v, "read 13");
  } catch (const box::InputError& e) {
    check_message(e, "inputn");
  }
}

void read_as_site_file(const std::string& bytes) {
  box::SiteFile site(std::make_unique<std::istringstream>(bytes), "site");
  try {
    site.skip_header();
    for (int i = 0; i < max_records; ++i) {
      const box::SiteRecord r = site.next();
      for (const double v : {r.timin, r.averad, r.tt, r.pp, r.q2, r.ozone_read, r.no_read,
                             r.no2_read, r.co_read, r.hcho_read, r.nox_obs_read,
                             r.averad_obs_read, r.observed_radiation})
        check_finite(v, "site record");
    }
  } catch (const box::InputError& e) {
    check_message(e, "site");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const Traps traps;
  read_as_parameter_file(bytes);
  read_as_site_file(bytes);
  return 0;
}
