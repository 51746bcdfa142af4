#pragma once
// Observers of a run step by step (the model's species table and progress
// lines) and the read-only view of the run's state they are handed: what a
// step has just set up or computed, never the run itself.
#include <span>
#include <string>

#include "chemistry/concentration_slots.hpp"
#include "chemistry/photolysis.hpp"
#include "environment/solar.hpp"
#include "io/input_files.hpp"
#include "output/text_output.hpp"

namespace box {

struct StepView {
  int steps_done = 0;
  int total_steps = 0;
  double timloc = 0;  // local time at the start of the step, hours
  double timin = 0;   // time stamp of the hour's site record
  double averad = 0;  // observed radiation of the hour, W m-2
  double coszen = 0;
  double ratiod = 0;  // observed / clear-sky radiation
  double temperature = 0;  // K
  double pressure = 0;     // Pa
  double air_density = 0;  // kg m-3
  double moisture = 0;     // water vapour mass mixing ratio, kg/kg
  const PhotolysisTable& photoj;
  const PhotolysisRates& photolysis;
  const ConcentrationVector& vc;
  const SolarState& solar;
  // A mechanism file's species: names and mole fractions in file order
  // (empty for the built-in mechanism, whose state is `vc`).
  std::span<const std::string> species_names;
  std::span<const double> mole_fractions;
  // Where the run's lines for standard output go.
  TextOutput& out;
};

class StepObserver {
 public:
  virtual ~StepObserver() = default;
  // At the very start, before any input is opened.
  virtual void starting(const StepView&) {}
  // Once the inputs are read and the initial state is set.
  virtual void started(const StepView&) {}
  // A site record was taken at the first step of an hour.
  virtual void record_taken(const StepView&, const SiteRecord&) {}
  virtual void before_chemistry(const StepView&) {}
  virtual void after_chemistry(const StepView&) {}
  // After the last step.
  virtual void finished(const StepView&) {}
};

}  // namespace box
