#pragma once
// The example day's chemistry without the driver: the air state and
// photolysis rates that the driver hands to each of the 204 chemistry steps
// are recorded once, then any chemistry step can replay the day with no file
// or text output.
#include <array>
#include <filesystem>
#include <vector>

#include "chemistry/chemistry_step.hpp"
#include "chemistry/concentration_slots.hpp"
#include "run/run.hpp"
#include "run/session.hpp"
#include "output/text_output.hpp"
#include "tests/support/example_copy.hpp"

namespace box::bench {

struct StepInputs {
  double dt, p, t, rho, moist;
  PhotolysisRates ph;
};

struct Day {
  ConcentrationVector vc0{};
  std::vector<StepInputs> steps;
};

// Walks the example day once with the driver to collect what each
// chemistry step receives.
inline Day record_example_day() {
  const testing::ExampleCopy example;
  Day day;
  TextOutput out = TextOutput::create("/dev/null", "/dev/null");
  Run run(example.dir(), out);
  RunSession session(run);
  session.set_after_step([&day](const Run& r) {
    day.steps.push_back({r.step_length(), r.pressure(), r.temperature(), r.air_density(), r.moisture(),
                         r.photolysis()});
  });
  session.start();
  day.vc0 = run.vc();
  RunSession* const one[] = {&session};
  step_together(one, nullptr);
  session.finish();
  return day;
}

// The day recorded once per program.
inline const Day& example_day() {
  static const Day day = record_example_day();
  return day;
}

// The driver's state: the concentration vector and the radicals it keeps.
struct DayState {
  ConcentrationVector vc{};
  RadicalSlots radicals;
};

// Replays the day with `chemistry`, which offers
//   step(double* vc, RadicalSlots&, const StepInputs&)
// and calls record(step_index, state) before every step and once after the
// last (step_index = number of steps done).
template <class Chemistry, class Record>
void replay_day(const Day& day, Chemistry& chemistry, Record&& record) {
  DayState state;
  state.vc = day.vc0;
  for (std::size_t n = 0; n < day.steps.size(); ++n) {
    record(n, state);
    chemistry.step(state.vc.data(), state.radicals, day.steps[n]);
  }
  record(day.steps.size(), state);
}

// The model's own chemistry step with the given settings, in replay form.
class RosenbrockDayStep {
 public:
  explicit RosenbrockDayStep(StepSettings settings = {}) : chemistry_({}, settings) {}
  void step(double* vc, RadicalSlots& radicals, const StepInputs& s) {
    chemistry_.racm_interface(vc, s.dt, s.t, s.rho, s.moist,
                              radicals, s.ph);
  }
  const StepStatistics& statistics() const { return chemistry_.statistics(); }

 private:
  ChemistryStep chemistry_;
};

// The species of the hourly table, with their driver slots.
struct TableSpecies {
  int slot;
  const char* name;
};
inline constexpr std::array<TableSpecies, 15> table_species{{
    {lo3, "O3"},     {lno, "NO"},   {lno2, "NO2"}, {lhcho, "HCHO"}, {llim, "LIM"},
    {lno3, "NO3"},   {lhno3, "HNO3"}, {lhbr, "HBR"}, {lbr, "BR"},     {lbr2, "BR2"},
    {lhobr, "HOBR"}, {lho, "HO"},   {lbro, "BRO"}, {lpan, "PAN"},   {lho2, "HO2"}}};

// The 15 table species at the first step of every hour (the rows of the
// species table) and at the end of the day, in mole fractions.
using TableRow = std::array<double, table_species.size()>;

template <class Chemistry>
std::vector<TableRow> hourly_table(const Day& day, Chemistry& chemistry) {
  std::vector<TableRow> rows;
  replay_day(day, chemistry, [&](std::size_t n, const DayState& s) {
    if (n % 12 != 0 && n != day.steps.size()) return;
    TableRow row{};
    for (std::size_t c = 0; c < table_species.size(); ++c) row[c] = s.vc[at(table_species[c].slot)];
    rows.push_back(row);
  });
  return rows;
}

// The largest relative difference from a reference table, over the values
// the reference puts at 1e-3 ppb or more, and where it occurs.
struct TableError {
  double worst = 0;
  const char* species = "";
  double hour = 0;  // local time of the row (22 is the end of the day)
};

inline TableError table_error(const std::vector<TableRow>& rows,
                              const std::vector<TableRow>& reference) {
  TableError e;
  for (std::size_t h = 0; h < rows.size() && h < reference.size(); ++h) {
    for (std::size_t c = 0; c < table_species.size(); ++c) {
      const double ref = reference[h][c];
      if (ref * 1e9 < 1e-3) continue;
      const double rel = rows[h][c] / ref - 1;
      const double mag = rel < 0 ? -rel : rel;
      if (mag > e.worst) {
        e.worst = mag;
        e.species = table_species[c].name;
        e.hour = 5.0 + static_cast<double>(h);
      }
    }
  }
  return e;
}

}  // namespace box::bench
