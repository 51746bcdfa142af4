#include "mechanism/runtime_mechanism.hpp"

#include <algorithm>
#include <cctype>

#include <charconv>

namespace box {

std::optional<int> Mechanism::find_species(std::string_view name) const {
  const auto same = [](char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
  };
  for (std::size_t s = 0; s < species.size(); ++s) {
    const std::string& x = species[s];
    if (x.size() == name.size() && std::equal(x.begin(), x.end(), name.begin(), same))
      return static_cast<int>(s);
  }
  return std::nullopt;
}

namespace {
std::string yield_text(double v) {
  char buf[32];
  const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;  // shortest exact form
  return std::string(buf, end);
}
}  // namespace

std::string Mechanism::equation(int reaction) const {
  const RuntimeReaction& r = reactions[static_cast<std::size_t>(reaction)];
  std::string out;
  for (std::size_t i = 0; i < r.reactants.size(); ++i) {
    if (i > 0) out += " + ";
    out += species[static_cast<std::size_t>(r.reactants[i])];
  }
  out += " =";
  for (std::size_t i = 0; i < r.products.size(); ++i) {
    out += i > 0 ? " + " : " ";
    if (r.products[i].coefficient != 1.0) out += yield_text(r.products[i].coefficient) + " ";
    out += species[static_cast<std::size_t>(r.products[i].species)];
  }
  return out;
}

MechanismAir dry_air(double temp, double m) {
  MechanismAir air;
  air.temp = temp;
  air.m = m;
  air.press = m * 1e6 * 1.380649e-23 * temp / 100.0;  // p = n k_B T, k_B in J K-1
  return air;
}

std::array<double, air_variable_count> air_values(const MechanismAir& air) {
  return {air.temp, air.m, 0.2095 * air.m, 0.7809 * air.m, air.h2o, air.press, air.rh};
}

}  // namespace box
