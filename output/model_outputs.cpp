#include "output/model_outputs.hpp"

#include <cstdio>
#include <string_view>

#include "common/one_based.hpp"
#include "common/text.hpp"
#include "mechanism/photolysis_slots.hpp"
#include "output/report.hpp"
#include "output/partial_file.hpp"

namespace box {
namespace {

constexpr double ppb = 1e9;

}  // namespace

void ProgressLines::starting(const StepView& run) {
  // The start-up lines show two photolysis arguments that nothing assigns
  // and a third plus one: 0, 0 and 1.
  const PhotolysisRates& ph = run.photolysis;
  const double ph_acetp = ph[at(pj_acetp)];
  const double ph_o31d = ph[at(pj_o31d)];
  const double ph_xooh = ph[at(pj_xooh)];
  TextOutput& out = run.out;
  out.write_line(startup_line("ph_acetp=", ph_acetp, ph_o31d, ph_xooh + 1.0));
  const LineItem free_startup[] = {std::string_view("ph_acetp="), ph_acetp, ph_o31d, ph_xooh};
  out.write_free(free_startup);
}

void ProgressLines::record_taken(const StepView& run, const SiteRecord& r) {
  const LineItem echo[] = {std::string_view("Ozone_read, NO_read, NO2_read"), r.ozone_read,
                           r.no_read, r.no2_read};
  run.out.write_free(echo);
}

// "photoj" is the NO2 frequency the step uses, s-1: the specified table's
// (its first entry, scaled to the sun) or that of the photolysis method in
// use (0 with "none").
void ProgressLines::before_chemistry(const StepView& run) {
  const ConcentrationVector& vc = run.vc;
  run.out.write_line(progress_line({{"working on timloc before=", run.timloc},
                                              {"timin", run.timin},
                                              {"averad=", run.averad},
                                              {"NO=", vc[at(lno)] * ppb},
                                              {"HBr=", vc[at(lhbr)] * ppb},
                                              {"BrO=", vc[at(lbro)] * ppb},
                                              {"Br=", vc[at(lbr)] * ppb},
                                              {"photoj", run.photolysis[at(pj_no2)]},
                                              {"coszen", run.coszen},
                                              {"ratiod", run.ratiod}}));
}

void ProgressLines::after_chemistry(const StepView& run) {
  const ConcentrationVector& vc = run.vc;
  run.out.write_line(progress_line({{"working on timloc after=", run.timloc},
                                              {"timin", run.timin},
                                              {"O3=", vc[at(lo3)] * ppb},
                                              {"NO=", vc[at(lno)] * ppb},
                                              {"HBr=", vc[at(lhbr)] * ppb},
                                              {"BrO=", vc[at(lbro)] * ppb},
                                              {"Br=", vc[at(lbr)] * ppb},
                                              {"photoj", run.photolysis[at(pj_no2)]},
                                              {"coszen", run.coszen}}));
}

MechanismProgressLines::MechanismProgressLines(const std::vector<std::string>& species) {
  const auto find = [&](std::string_view name) -> std::optional<std::size_t> {
    for (std::size_t k = 0; k < species.size(); ++k)
      if (same_name(species[k], name)) return k;
    return std::nullopt;
  };
  for (const std::string_view name : {"O3", "NO", "NO2", "OH", "HO2"}) {
    std::optional<std::size_t> k = find(name);
    if (!k && name == "OH") k = find("HO");  // the hydroxyl radical by either name
    if (k) shown_.emplace_back(species[*k], *k);
  }
  if (!shown_.empty()) return;
  for (std::size_t k = 0; k < species.size() && k < 5; ++k) shown_.emplace_back(species[k], k);
}

void MechanismProgressLines::after_chemistry(const StepView& run) {
  char head[96];
  const double t = run.timloc;
  std::snprintf(head, sizeof head, "time %7.3f h  step %6d of %6d ", t, run.steps_done + 1, run.total_steps);
  std::string line = head;
  for (const auto& [name, k] : shown_) {
    char value[64];
    std::snprintf(value, sizeof value, " %s= %10.4g", name.c_str(), run.mole_fractions[k] * 1e9);
    line += value;
  }
  run.out.write_line(line + " ppb");
}

void SpeciesTable::started(const StepView&) {
  const std::filesystem::path path = dir_ / species_table_name;
  if (whole_file_only_) table_.emplace(TextOutput::create(partial_path(path), partial_path(species_table_name).string()));
  else table_.emplace(TextOutput::create(path, species_table_name));
}

void SpeciesTable::record_taken(const StepView& run, const SiteRecord&) {
  if (!header_written_) {
    table_->write_line(species_table_header());
    header_written_ = true;
  }
  table_->write_line(species_table_row(run.timloc, run.timin, run.vc));
}

void SpeciesTable::finished(const StepView&) {
  if (!table_) return;
  table_->close();
  if (whole_file_only_) publish(partial_path(dir_ / species_table_name), dir_ / species_table_name);
}

}  // namespace box
