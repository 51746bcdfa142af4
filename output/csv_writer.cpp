#include "output/csv_writer.hpp"

#include <stdexcept>
#include <string>
#include <utility>

#include "common/format.hpp"
#include "common/one_based.hpp"
#include "mechanism/species_lookup.hpp"
#include "output/species_selection.hpp"

namespace box {
namespace {

constexpr double ppb = 1e9;
constexpr double boltzmann = 1.380649e-23;  // J K-1

void append_number(std::string& line, double value) { line += full_precision(value); }

}  // namespace

std::string csv_header_start(bool day_column) { return day_column ? "day,time_h" : "time_h"; }

std::string csv_row_start(const OutputSample& sample, bool day_column) {
  std::string row = day_column ? std::to_string(sample.day) + "," : "";
  append_number(row, sample.time_h);
  return row;
}

CsvSpeciesWriter::CsvSpeciesWriter(std::filesystem::path directory, std::vector<int> species, bool day_column,
                                   bool number_densities, std::vector<std::string> names)
    : file_(std::move(directory) / file_name),
      species_(std::move(species)),
      day_column_(day_column),
      number_densities_(number_densities),
      names_(std::move(names)) {
  if (names_.empty()) check_species_indices(species_);
  else if (names_.size() != species_.size()) throw std::invalid_argument("a name for every species");
}

void CsvSpeciesWriter::begin(const RunDescription&) {
  file_.create();
  std::string header = csv_header_start(day_column_);
  for (std::size_t k = 0; k < species_.size(); ++k) {
    header += ',';
    header += names_.empty() ? std::string(species_name(species_[k])) : names_[k];
  }
  file_.write(header + '\n');
}

void CsvSpeciesWriter::sample(const OutputSample& sample) {
  std::string row = csv_row_start(sample, day_column_);
  // molecules cm-3 from mole fractions: the air's p / (k_B T), m-3 to cm-3.
  const double scale = number_densities_ ? sample.pressure / (boltzmann * sample.temperature) * 1e-6 : ppb;
  for (int ind : species_) {
    row += ',';
    append_number(row, sample.mole_fraction[at(ind)] * scale);
  }
  file_.write(row + '\n');
}

void CsvSpeciesWriter::finish() { file_.finish(); }

CsvPhotolysisWriter::CsvPhotolysisWriter(std::filesystem::path directory, bool day_column)
    : file_(std::move(directory) / file_name), day_column_(day_column) {}

void CsvPhotolysisWriter::begin(const RunDescription& d) {
  file_.create();
  std::string header = csv_header_start(day_column_);
  for (const std::string& name : d.photolysis_channels) header += ',' + name;
  file_.write(header + '\n');
}

void CsvPhotolysisWriter::sample(const OutputSample& sample) {
  std::string row = csv_row_start(sample, day_column_);
  for (double j : sample.photolysis) {
    row += ',';
    append_number(row, j);
  }
  file_.write(row + '\n');
}

void CsvPhotolysisWriter::finish() { file_.finish(); }

}  // namespace box
