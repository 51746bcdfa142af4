#include "output/csv_writer.hpp"

#include <string>
#include <utility>

#include "common/format.hpp"
#include "common/one_based.hpp"
#include "mechanism/species_lookup.hpp"
#include "output/species_selection.hpp"

namespace box {
namespace {

constexpr double ppb = 1e9;

void append_number(std::string& line, double value) { line += full_precision(value); }

}  // namespace

CsvSpeciesWriter::CsvSpeciesWriter(std::filesystem::path directory, std::vector<int> species, bool day_column)
    : file_(std::move(directory) / file_name), species_(std::move(species)), day_column_(day_column) {
  check_species_indices(species_);
}

void CsvSpeciesWriter::begin(const RunDescription&) {
  file_.create();
  std::string header = day_column_ ? "day,time_h" : "time_h";
  for (int ind : species_) {
    header += ',';
    header += species_name(ind);
  }
  file_.write(header + '\n');
}

void CsvSpeciesWriter::sample(const OutputSample& sample) {
  std::string row = day_column_ ? std::to_string(sample.day) + "," : "";
  append_number(row, sample.time_h);
  for (int ind : species_) {
    row += ',';
    append_number(row, sample.mole_fraction[at(ind)] * ppb);
  }
  file_.write(row + '\n');
}

void CsvSpeciesWriter::finish() { file_.finish(); }

}  // namespace box
