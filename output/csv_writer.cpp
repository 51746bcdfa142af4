#include "output/csv_writer.hpp"

#include <stdexcept>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "common/errors.hpp"
#include "common/format.hpp"
#include "common/one_based.hpp"
#include "mechanism/species_lookup.hpp"
#include "output/partial_file.hpp"
#include "output/species_selection.hpp"

namespace box {
namespace {

constexpr double ppb = 1e9;

void append_number(std::string& line, double value) { line += full_precision(value); }

std::string error_text(int error) { return error != 0 ? std::strerror(error) : "unknown error"; }

}  // namespace

CsvSpeciesWriter::CsvSpeciesWriter(std::filesystem::path directory, std::vector<int> species,
                                    std::vector<std::string> names)
    : path_(std::move(directory) / file_name),
      partial_(partial_path(path_)),
      species_(std::move(species)),
      names_(std::move(names)) {
  if (names_.empty()) check_species_indices(species_);
  else if (names_.size() != species_.size()) throw std::invalid_argument("a name for every species");
}

CsvSpeciesWriter::~CsvSpeciesWriter() {
  // Not finished: the run failed. The .partial file stays as far as it got.
  if (file_ != nullptr) std::fclose(file_);
}

void CsvSpeciesWriter::begin(const RunDescription&) {
  if (file_ != nullptr) std::fclose(file_);
  errno = 0;
  file_ = std::fopen(partial_.c_str(), "w");
  if (file_ == nullptr)
    throw OutputError(partial_.string() + ": cannot create the file: " + error_text(errno));
  std::string header = "time_h";
  for (std::size_t k = 0; k < species_.size(); ++k) {
    header += ',';
    header += names_.empty() ? std::string(species_name(species_[k])) : names_[k];
  }
  write(header + '\n');
}

void CsvSpeciesWriter::sample(const OutputSample& sample) {
  std::string row;
  append_number(row, sample.time_h);
  for (int ind : species_) {
    row += ',';
    append_number(row, sample.mole_fraction[at(ind)] * ppb);
  }
  write(row + '\n');
}

void CsvSpeciesWriter::finish() {
  if (file_ == nullptr) throw OutputError(path_.string() + ": finished before it was begun");
  errno = 0;
  const int status = std::fclose(file_);
  file_ = nullptr;
  if (status != 0) throw OutputError(partial_.string() + ": write failed: " + error_text(errno));
  publish(partial_, path_);
}

void CsvSpeciesWriter::write(const std::string& text) {
  if (file_ == nullptr) throw OutputError(path_.string() + ": written before it was begun");
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::fflush(file_) != 0)
    throw OutputError(partial_.string() + ": write failed: " + error_text(errno));
}

}  // namespace box
