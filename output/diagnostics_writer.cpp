#include "output/diagnostics_writer.hpp"

#include <utility>

#include "common/errors.hpp"
#include "common/format.hpp"
#include "output/csv_writer.hpp"

namespace box {

DiagnosticsWriter::DiagnosticsWriter(std::filesystem::path directory, bool day_column)
    : file_(std::move(directory) / file_name), day_column_(day_column) {}

void DiagnosticsWriter::begin(const RunDescription&) {
  file_.create();
  file_.write(csv_header_start(day_column_) + ",oh_reactivity,ro2,p_o3,l_o3\n");
}

void DiagnosticsWriter::sample(const OutputSample& sample) {
  if (!sample.diagnostics) throw OutputError(file_.path().string() + ": a sample without diagnostics");
  const SampleDiagnostics& d = *sample.diagnostics;
  std::string row = csv_row_start(sample, day_column_);
  for (const double v : {d.oh_reactivity, d.ro2, d.p_o3, d.l_o3}) {
    row += ',';
    row += full_precision(v);
  }
  file_.write(row + '\n');
}

void DiagnosticsWriter::finish() { file_.finish(); }

}  // namespace box
