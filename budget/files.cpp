#include "budget/files.hpp"

#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "budget/table.hpp"
#include "common/errors.hpp"
#include "common/format.hpp"
#include "output/partial_file.hpp"

namespace box::budget {
namespace {

std::string number(double x) { return full_precision(x); }

// A CSV field, quoted when it holds a comma or a quote.
std::string field(const std::string& text) {
  if (text.find_first_of(",\"\n") == std::string::npos) return text;
  std::string q = "\"";
  for (char c : text) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

}  // namespace

std::vector<std::string> default_budget_species() {
  return {"O3", "NO", "NO2", "HO", "HO2", "BRO"};
}

std::vector<std::string> process_names(const ProcessList& processes) {
  std::vector<std::string> names;
  for (int n = 1; n <= processes.reactions->count(); ++n) names.push_back(reaction_name(n));
  for (const NamedProcess& p : processes.named) names.push_back(p.term + "_" + processes.reactions->name(p.species));
  return names;
}

std::vector<std::string> reaction_equations(const MechanismCatalogue& reactions) { return reactions.equations; }

std::vector<std::string> process_equations(const ProcessList& processes) {
  std::vector<std::string> labels = reaction_equations(*processes.reactions);
  for (const NamedProcess& p : processes.named) labels.push_back(p.term + " of " + processes.reactions->name(p.species));
  return labels;
}

BudgetFiles::BudgetFiles(std::filesystem::path folder, const std::vector<std::string>& species,
                         ProcessList processes, Families families)
    : folder_(std::move(folder)),
      processes_(std::move(processes)),
      families_(std::move(families)),
      accumulator_(processes_.size(), processes_.reactions->integrated) {
  const int integrated = processes_.reactions->integrated;
  for (const std::string& name : species) {
    const int index = processes_.reactions->find(name);
    if (index == 0 || index > integrated)
      throw std::invalid_argument("[output] budget_species: \"" + name +
                                  "\" is not an integrated species of the mechanism "
                                  "(expected a name such as \"O3\" or \"HO2\")");
    species_.push_back(index);
  }
  for (const NamedProcess& p : processes_.named)
    if (p.species < 1 || p.species > integrated)
      throw std::invalid_argument("budget process \"" + p.term + "\": species index " +
                                  std::to_string(p.species) + " is not an integrated species");
}

BudgetFiles::~BudgetFiles() {
  for (File* f : {&rates_, &budgets_})
    if (f->stream != nullptr) std::fclose(f->stream);
}

void BudgetFiles::open(File& f, const std::string& name, const std::string& header) {
  f.final_path = folder_ / name;
  f.temporary = partial_path(f.final_path);
  f.stream = std::fopen(f.temporary.c_str(), "wb");
  if (f.stream == nullptr)
    throw OutputError("cannot create " + f.temporary.string() + ": " +
                             std::error_code(errno, std::generic_category()).message());
  write(f, header);
}

void BudgetFiles::write(File& f, const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), f.stream) != text.size())
    throw OutputError("cannot write " + f.temporary.string());
}

void BudgetFiles::begin(const RunDescription&) {
  std::string header = "start_h,end_h";
  for (const std::string& name : process_names(processes_)) header += "," + field(name);
  open(rates_, "reaction_rates.csv", header + "\n");
  open(budgets_, "budgets.csv", "start_h,end_h,species,reaction,equation,production,loss\n");
}

void BudgetFiles::sample(const OutputSample& s) {
  if (!started_) {
    accumulator_.start(s.time_h);
    started_ = true;
    return;
  }
  if (accumulator_.current().steps == 0 && s.time_h == accumulator_.current().start_h) return;
  IntervalIntegrals interval = accumulator_.close(s.time_h);
  write_interval(interval);
  intervals_.push_back(std::move(interval));
}

void BudgetFiles::add_step(std::span<const double> process_ppb,
                           std::span<const double> clipping_ppb) {
  accumulator_.add_step(process_ppb, clipping_ppb);
}

void BudgetFiles::add_adjustment(const std::string& term, std::span<const double> ppb) {
  accumulator_.add_adjustment(term, ppb);
}

void BudgetFiles::write_interval(const IntervalIntegrals& interval) {
  const std::string times = number(interval.start_h) + "," + number(interval.end_h);
  std::string line = times;
  for (double v : interval.process) line += "," + number(v);
  write(rates_, line + "\n");
  std::string rows;
  const auto put = [&](const std::string& name, const std::vector<BudgetRow>& budget) {
    for (const BudgetRow& r : budget)
      rows += times + "," + field(name) + "," + field(r.name) + "," + field(r.equation) + "," +
              number(r.production) + "," + number(r.loss) + "\n";
  };
  for (int s : species_)
    put(processes_.reactions->name(s), species_budget(s, interval, processes_));
  for (const Family& f : families_.list) put(f.name, family_budget(f, interval, processes_));
  write(budgets_, rows);
}

void BudgetFiles::finish() {
  for (File* f : {&rates_, &budgets_}) {
    if (f->stream == nullptr) continue;
    const bool ok = std::fflush(f->stream) == 0 && std::ferror(f->stream) == 0;
    const bool closed = std::fclose(f->stream) == 0;
    f->stream = nullptr;
    if (!ok || !closed) throw OutputError("cannot write " + f->temporary.string());
    publish(f->temporary, f->final_path);
  }
}

}  // namespace box::budget
