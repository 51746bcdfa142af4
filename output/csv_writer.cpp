#include "output/csv_writer.hpp"

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

// The file's partial form opened afresh (an earlier one closed).
std::FILE* create_partial(std::FILE* earlier, const std::filesystem::path& partial) {
  if (earlier != nullptr) std::fclose(earlier);
  errno = 0;
  std::FILE* file = std::fopen(partial.c_str(), "w");
  if (file == nullptr) throw OutputError(partial.string() + ": cannot create the file: " + error_text(errno));
  return file;
}

// Closes the partial file and gives it its final name.
void close_and_publish(std::FILE*& file, const std::filesystem::path& path, const std::filesystem::path& partial) {
  if (file == nullptr) throw OutputError(path.string() + ": finished before it was begun");
  errno = 0;
  const int status = std::fclose(file);
  file = nullptr;
  if (status != 0) throw OutputError(partial.string() + ": write failed: " + error_text(errno));
  publish(partial, path);
}

// Text onto the file, flushed: each row is on disk once written.
void write_flushed(std::FILE* file, const std::string& text, const std::filesystem::path& path,
                   const std::filesystem::path& partial) {
  if (file == nullptr) throw OutputError(path.string() + ": written before it was begun");
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), file) != text.size() || std::fflush(file) != 0)
    throw OutputError(partial.string() + ": write failed: " + error_text(errno));
}

}  // namespace

CsvSpeciesWriter::CsvSpeciesWriter(std::filesystem::path directory, std::vector<int> species, bool number_densities)
    : path_(std::move(directory) / file_name),
      partial_(partial_path(path_)),
      species_(std::move(species)),
      number_densities_(number_densities) {
  check_species_indices(species_);
}

CsvSpeciesWriter::~CsvSpeciesWriter() {
  // Not finished: the run failed. The .partial file stays as far as it got.
  if (file_ != nullptr) std::fclose(file_);
}

void CsvSpeciesWriter::begin(const RunDescription&) {
  file_ = create_partial(file_, partial_);
  std::string header = "time_h";
  for (int ind : species_) {
    header += ',';
    header += species_name(ind);
  }
  write(header + '\n');
}

void CsvSpeciesWriter::sample(const OutputSample& sample) {
  std::string row;
  append_number(row, sample.time_h);
  // molecules cm-3 from mole fractions: the air's p / (k_B T), m-3 to cm-3.
  const double scale = number_densities_ ? sample.pressure / (1.380649e-23 * sample.temperature) * 1e-6 : ppb;
  for (int ind : species_) {
    row += ',';
    append_number(row, sample.mole_fraction[at(ind)] * scale);
  }
  write(row + '\n');
}

void CsvSpeciesWriter::finish() { close_and_publish(file_, path_, partial_); }

void CsvSpeciesWriter::write(const std::string& text) { write_flushed(file_, text, path_, partial_); }

CsvPhotolysisWriter::CsvPhotolysisWriter(std::filesystem::path directory)
    : path_(std::move(directory) / file_name), partial_(partial_path(path_)) {}

CsvPhotolysisWriter::~CsvPhotolysisWriter() {
  if (file_ != nullptr) std::fclose(file_);
}

void CsvPhotolysisWriter::begin(const RunDescription& d) {
  file_ = create_partial(file_, partial_);
  std::string header = "time_h";
  for (const std::string& name : d.photolysis_channels) header += ',' + name;
  write(header + '\n');
}

void CsvPhotolysisWriter::sample(const OutputSample& sample) {
  std::string row;
  append_number(row, sample.time_h);
  for (double j : sample.photolysis) {
    row += ',';
    append_number(row, j);
  }
  write(row + '\n');
}

void CsvPhotolysisWriter::finish() { close_and_publish(file_, path_, partial_); }

void CsvPhotolysisWriter::write(const std::string& text) { write_flushed(file_, text, path_, partial_); }

}  // namespace box
