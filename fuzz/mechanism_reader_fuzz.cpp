// Fuzz target for the reader of mechanism files, the way a run loads one:
// the bytes are read as a file, then the derivation (pattern, order,
// fill-in, index lists) is made and the rate coefficients are evaluated
// once, as a check of the file does; the machine code a run writes for the
// mechanism must give the loop kernels' bits.
//
// Whatever the bytes, the read must either give a mechanism whose indices
// all lie inside it, or end in an InputError whose message names the file,
// line and column and is one line. The reading and the derivation run with
// the floating-point traps of a run on: a constant expression such as 1/0
// is folded when compiled and must not stop the program there (its rate is
// refused at the first step). Any other exception, a crash, a hang, a leak
// or undefined behaviour is a finding.
#include <cfenv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/errors.hpp"
#include "io/mechanism_file.hpp"
#include "mechanism/derivation.hpp"
#include "mechanism/loop_kernels.hpp"
#include "mechanism/native_kernels.hpp"
#include "mechanism/runtime_rates.hpp"

namespace {

constexpr std::string_view file = "mechanism.fac";

[[noreturn]] void finding(const char* what, std::string_view detail = {}) {
  std::fprintf(stderr, "mechanism reader fuzz: %s %.*s\n", what, static_cast<int>(detail.size()),
               detail.data());
  std::abort();
}

void check_message(const box::InputError& e) {
  const std::string_view message = e.what();
  if (message.substr(0, file.size() + 1) != std::string(file) + ":")
    finding("the message does not start with the file name:", message.substr(0, 200));
  // file:line:column: what
  std::size_t p = file.size() + 1;
  for (int field = 0; field < 2; ++field) {
    const std::size_t digits = p;
    while (p < message.size() && message[p] >= '0' && message[p] <= '9') ++p;
    if (p == digits || p >= message.size() || message[p] != ':')
      finding("the message does not give line and column:", message.substr(0, 200));
    ++p;
  }
  // Quoted text of the file is shortened: a message stays readable.
  if (message.size() > 1000) finding("the message is too long:", message.substr(0, 200));
  for (const char c : message)
    if (c == '\n' || c == '\r' || c == '\0') finding("the message is not one line:", message.substr(0, 200));
}

void check_mechanism(const box::Mechanism& m) {
  const int n = m.species_count();
  if (n == 0 || m.reaction_count() == 0) finding("a mechanism without species or reactions was accepted");
  const auto inside = [n](int s) { return s >= 0 && s < n; };
  for (const box::RuntimeReaction& r : m.reactions) {
    if (r.reactants.empty()) finding("a reaction without reactants was accepted");
    for (int s : r.reactants)
      if (!inside(s)) finding("a reactant index outside the species");
    for (const box::ProductTerm& t : r.products)
      if (!inside(t.species)) finding("a product index outside the species");
  }
  for (int s : m.ro2)
    if (!inside(s)) finding("an RO2 member outside the species");
}

// The machine code a run writes for the mechanism gives the loop kernels'
// bits: f, J, and the solve with the loops' factors.
void check_machine_code(const box::MechanismDerivation& d, const std::vector<double>& k) {
  const std::unique_ptr<const box::NativeKernels> native = box::NativeKernels::write(d);
  if (!native) return;
  const auto sz = [](int i) { return static_cast<std::size_t>(i); };
  std::vector<double> y(sz(d.n));
  for (std::size_t s = 0; s < y.size(); ++s) y[s] = 1.0e6 * static_cast<double>(1 + s % 7);
  const auto same = [](const std::vector<double>& a, const std::vector<double>& b, const char* what) {
    if (std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) != 0)
      finding("the machine code's result differs from the loop kernels':", what);
  };
  std::vector<double> r1(sz(d.reactions)), r2 = r1, f1(y.size()), f2 = f1;
  box::loop_fun(d, k.data(), y.data(), r1.data(), f1.data());
  native->fun(k.data(), y.data(), r2.data(), f2.data());
  same(r1, r2, "r");
  same(f1, f2, "f");
  std::vector<double> p1(d.partial_reaction.size()), p2 = p1, j1(sz(d.lu_entries())), j2 = j1;
  box::loop_jac(d, k.data(), y.data(), p1.data(), j1.data());
  native->jac(k.data(), y.data(), p2.data(), j2.data());
  same(p1, p2, "partial");
  same(j1, j2, "J");
  std::vector<double> lu(j1.size());
  if (box::loop_decomp_shifted(d, j1.data(), 1.0, lu.data()) != 0) return;
  std::vector<double> x1 = f1, x2 = f1;
  box::loop_solve(d, lu.data(), x1.data());
  native->solve(lu.data(), x2.data());
  same(x1, x2, "the solve");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  box::Mechanism m;
  box::MechanismDerivation d;
  {
    std::feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    try {
      m = box::read_mechanism_text(bytes, std::string(file));
    } catch (const box::InputError& e) {
      fedisableexcept(FE_ALL_EXCEPT);
      check_message(e);
      return 0;
    }
    check_mechanism(m);
    d = box::derive(m);
    fedisableexcept(FE_ALL_EXCEPT);
    std::feclearexcept(FE_ALL_EXCEPT);
  }
  if (d.n != m.species_count() || static_cast<int>(d.order.size()) != d.n)
    finding("the derivation does not cover the species");
  // The coefficients at an ordinary air state, as `mechanism check` shows
  // them (traps off: a file may well give an infinite rate here).
  box::RuntimeRates rates(m);
  rates.set_conditions(box::MechanismAir{}, {});
  const std::vector<double> zero(static_cast<std::size_t>(m.species_count()), 0.0);
  rates.update_ro2(zero.data());
  (void)rates.first_bad_reaction();
  check_machine_code(d, rates.k());
  return 0;
}
