#pragma once
// One model day at one site: the clock, the state that lives from step to
// step, and the order of work in every step.
//
// The run starts at 05:00 local time and takes 204 chemistry steps of
// 300 s. At the first step of each hour it reads a site record (air
// temperature and pressure drive the chemistry; the observed gases are only
// echoed) and writes a row of the species table; every step it places the
// sun, scales the photolysis frequencies, calls the chemistry step and
// writes two progress lines.
#include <array>
#include <filesystem>
#include <optional>

#include "chemistry/chemistry_step.hpp"
#include "chemistry/concentration_slots.hpp"
#include "chemistry/photolysis.hpp"
#include "driver/input_files.hpp"
#include "driver/solar.hpp"
#include "driver/text_output.hpp"

namespace box {

inline constexpr const char* species_table_name = "TS_species.txt";

class Run {
 public:
  // Input files are read from, and the species table written into, `dir`;
  // all other lines (start-up, echo, progress, warnings and the chemistry
  // step's messages) go to `out`, which must outlive the run.
  // `settings` choose how the chemistry is integrated; the model's run uses
  // the defaults, other settings serve reference days.
  Run(std::filesystem::path dir, TextOutput& out, StepSettings settings = {});

  // Start-up: the two start-up lines, the site file opened and its header
  // skipped, "inputn" read, the initial state built and the species table
  // created. Throws InputError or OutputError.
  void start();
  // One step; start() must have run and steps_done() < total_steps().
  void step();
  // start() and every step.
  void run_day();
  // Closes the species table, reporting a failed final write-back.
  void finish();

  bool started() const { return started_; }
  int steps_done() const { return itime_; }
  int total_steps() const { return ntimes_; }
  double timloc() const { return timloc_; }
  const ConcentrationVector& vc() const { return vc_; }
  const RadicalSlots& radicals() const { return radicals_; }
  const SiteParameters& parameters() const { return parameters_; }
  const SolarState& solar() const { return solar_; }
  const PhotolysisRates& photolysis() const { return ph_; }
  const ChemistryStep& chemistry() const { return chemistry_; }
  // Air state handed to the chemistry in the last step.
  double temperature() const { return tt_; }
  double pressure() const { return pp_; }
  double air_density() const { return rho_phy_; }
  double moisture() const { return moist_; }
  double step_length() const { return deltim_; }

 private:
  void read_hour();
  void write_progress_before();
  void write_progress_after();

  std::filesystem::path dir_;
  TextOutput& out_;
  std::optional<SiteFile> site_;
  std::optional<TextOutput> table_;
  ChemistryStep chemistry_;
  bool started_ = false;

  // Clock.
  double timloc_ = 5.0;    // local time at the start of the step, hours
  double deltim_ = 300.0;  // step length, s
  int ntimes_ = 0;         // number of steps
  int itime_ = 0;          // steps completed

  // Site and sun.
  SiteParameters parameters_;
  SolarState solar_;
  double timin_ = 0;   // time stamp of the current hourly record
  double averad_ = 0;  // observed radiation of the hour, W m-2
  double tt_ = 0;      // air temperature, K
  double pp_ = 0;      // air pressure, Pa
  double coszen_ = 0;
  double ratiod_ = 0;  // observed / clear-sky radiation (0 until first computed)

  // Chemistry state and the step's inputs.
  ConcentrationVector vc_{};
  RadicalSlots radicals_;
  PhotolysisTable phot1_{};
  PhotolysisTable photoj_{};
  PhotolysisRates ph_{};
  std::array<double, 17> vdrog3_{};  // accepted by the step, never set
  double extf_ = 1.0;
  double rho_phy_ = 0;  // air density, kg m-3
  double moist_ = 0;    // water vapour mass mixing ratio, kg/kg
  int id_ = 0;          // grid-cell identifier, unused by the step
};

}  // namespace box
