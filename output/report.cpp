#include "output/report.hpp"

#include <array>

#include "common/format.hpp"
#include "common/one_based.hpp"

namespace box {
namespace {

constexpr int table_width = 9;
constexpr int table_decimals = 3;
constexpr int progress_width = 7;
constexpr int startup_width = 28;
constexpr int startup_digits = 7;

constexpr double ppb = 1e9;
constexpr double ppt = 1e12;

struct SpeciesColumn {
  std::string_view label;
  int slot;
  double scale;  // mole fraction to ppb or ppt
};

// The 15 species columns after local time and time stamp.
constexpr std::array<SpeciesColumn, 15> species_columns{{
    {"O3=", lo3, ppb},
    {"NO=", lno, ppb},
    {"NO2=", lno2, ppb},
    {"HCHO=", lhcho, ppb},
    {"Lim=", llim, ppb},
    {"NO3", lno3, ppb},
    {"HNO3", lhno3, ppb},
    {"HBr", lhbr, ppb},
    {"Brppt", lbr, ppt},
    {"Br2", lbr2, ppb},
    {"HOBr", lhobr, ppb},
    {"OHppt", lho, ppt},
    {"BrOppt", lbro, ppt},
    {"PAN", lpan, ppb},
    {"HO2", lho2, ppb},
}};

}  // namespace

std::string species_table_header() {
  std::string line = label_field("timloc=", table_width) + label_field("timin", table_width);
  for (const SpeciesColumn& c : species_columns) line += label_field(c.label, table_width);
  return line;
}

std::string species_table_row(double timloc, double timin, const ConcentrationVector& vc) {
  std::string line = fixed_field(timloc, table_width, table_decimals) +
                     fixed_field(timin, table_width, table_decimals);
  for (const SpeciesColumn& c : species_columns)
    line += fixed_field(vc[at(c.slot)] * c.scale, table_width, table_decimals);
  return line;
}

std::string progress_line(std::initializer_list<ProgressPair> pairs) {
  std::string line;
  for (const auto& [label, value] : pairs) {
    line += label;
    line += ' ';
    line += fixed_field(value, progress_width, table_decimals);
    line += ' ';
  }
  return line;
}

std::string startup_line(std::string_view label, double a, double b, double c) {
  std::string line(label);
  for (double v : {a, b, c}) line += exponent_field(v, startup_width, startup_digits);
  return line;
}

}  // namespace box
