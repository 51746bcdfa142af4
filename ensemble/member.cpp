#include "ensemble/member.hpp"

#include <algorithm>
#include <cfenv>
#include <memory>
#include <optional>
#include <string_view>

#include "common/errors.hpp"
#include "common/one_based.hpp"
#include "mechanism/species_lookup.hpp"
#include "run/file_box.hpp"
#include "run/fp_environment.hpp"
#include "run/run.hpp"
#include "run/scenario_run.hpp"
#include "run/session.hpp"
#include "run/spin_up.hpp"
#include "integrator/controls.hpp"
#include "output/sample_writers.hpp"
#include "output/species_selection.hpp"

namespace box::ensemble {
namespace {

// Keeps the selected species of every sample.
class Collector final : public RunObserver {
 public:
  Collector(MemberResult& result, const std::vector<int>& species) : result_(result), species_(species) {}
  void sample(const OutputSample& s) override {
    result_.time_h.push_back(s.time_h);
    result_.elapsed_s.push_back(s.elapsed_s);
    for (int ind : species_) result_.values.push_back(s.mole_fraction[at(ind)]);
  }

 private:
  MemberResult& result_;
  const std::vector<int>& species_;
};

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

EnsembleSpecies ensemble_output_species(const Definition& d) {
  const Scenario base = parse_scenario(d.base_text, d.base.generic_string(), d.base.parent_path(),
                                       output_overrides(d));
  std::shared_ptr<const LoadedMechanism> loaded = d.mechanism;
  // The species listing needs no machine code.
  if (!loaded && !base.chemistry.builtin_mechanism()) loaded = load_mechanism(*base.chemistry.mechanism_file, false);
  OutputSpecies selected = output_species(base, catalogue(loaded.get()));
  EnsembleSpecies out;
  out.species = std::move(selected.species);
  out.names = std::move(selected.names);
  out.builtin = base.chemistry.builtin_mechanism();
  return out;
}

std::vector<int> ensemble_species(const Definition& d) { return ensemble_output_species(d).species; }

std::size_t samples_of(const Scenario& s) {
  const int steps = s.total_steps();
  const int every = s.steps_per_output();
  return static_cast<std::size_t>((steps + every - 1) / every) + 1;
}

namespace {

// One member's run in a session that keeps its faults: what the flags show
// after each part of a step is gathered, and a stopping exception ends the
// member after that step, where a trap would have stopped the single run.
// Every fault stays with its member.
class MemberRun {
 public:
  MemberRun(const Definition& d, std::size_t index, const std::vector<int>& species, TextOutput& discard)
      : species_(species), collector_(result_, species), session_(RunSession::Faults::contain) {
    result_.index = index;
    session_.guard([&] {
      std::feclearexcept(FE_ALL_EXCEPT);
      Scenario scenario = member_scenario(d, index);
      SiteData site = load_site(scenario);
      check_floating_point(FloatingPointStop::Stage::inputs);
      // The base's mechanism file, read once; a member naming another
      // file has it read by its run. The member writes nothing of its own.
      const bool base_file = d.mechanism != nullptr && scenario.chemistry.mechanism_file == d.mechanism->file;
      ScenarioRunOptions options;
      options.write_outputs = false;
      options.after_spin_up_step = [this](int day, const Run& run) { spin_up_step(day, run); };
      scenario_run_.emplace(std::move(scenario), base_file ? d.mechanism : nullptr, std::move(site), discard,
                            std::move(options));
      spin_up_member();
      run_ = &scenario_run_->run();
      if (const std::optional<SpinUpOutcome>& spun = scenario_run_->spun()) {
        result_.spin_up_days = spun->days;
        if (!spun->converged) spin_up_message_ = not_converged_message(run_->scenario(), *spun);
      }
      run_->add_observer(collector_);
      session_.attach(*run_);
    });
    // The run goes on after a failed integration, as the single run does,
    // so the values are the single run's; the member is marked.
    session_.set_after_step([this](const Run& run) {
      if (!run.last_step().ok() && result_.ok())
        fail(MemberStatus::integration,
             "integration failed in step " + std::to_string(run.steps_done()) + " of " +
                 std::to_string(run.total_steps()) + ": " + std::string(trimmed(ierr_names(run.last_step().status))));
    });
    if (!session_.attached()) return;
    session_.start();
    if (!session_.running()) return;
    const std::size_t samples = samples_of(run_->scenario());
    result_.time_h.reserve(samples);
    result_.elapsed_s.reserve(samples);
    result_.values.reserve(samples * species_.size());
  }

  RunSession& session() { return session_; }

  MemberResult take() {
    session_.finish();
    // Not converged, the member ran on from the last day's state as the
    // single run does: its values are complete, its status says so unless
    // a fault of its own says more.
    if (result_.ok() && !spin_up_message_.empty()) fail(MemberStatus::spin_up, spin_up_message_);
    std::feclearexcept(FE_ALL_EXCEPT);
    if (const std::exception_ptr fault = session_.fault()) {
      try {
        std::rethrow_exception(fault);
      } catch (const FloatingPointStop& e) {
        fail(MemberStatus::floating_point, e.exception() + where(e) + "; the member is stopped");
      } catch (const ImpossibleState& e) {
        // Stopped as the single run stops, with the status of the overflow
        // that would have followed.
        fail(MemberStatus::floating_point, e.what());
      } catch (const std::exception& e) {
        fail(MemberStatus::input, e.what());
      }
    }
    return std::move(result_);
  }

 private:
  // The member's own spin-up ([spin_up]), before its run: the days are
  // stepped alone (not in lanes), with the flags tested as in the run; a
  // step the integrator gives up on marks the member as in the run.
  void spin_up_step(int day, const Run& run) {
    spin_up_day_ = run.steps_done() == run.total_steps() ? day + 1 : day;
    if (!run.last_step().ok() && result_.ok())
      fail(MemberStatus::integration, "integration failed in the spin-up's day " + std::to_string(day) + ", step " +
                                          std::to_string(run.steps_done()) + " of " +
                                          std::to_string(run.total_steps()) + ": " +
                                          std::string(trimmed(ierr_names(run.last_step().status))));
  }
  void spin_up_member() {
    spin_up_day_ = 1;
    try {
      scenario_run_->spin_up();
    } catch (...) {
      in_spin_up_ = true;
      throw;
    }
  }

  std::string where(const FloatingPointStop& e) const {
    if (in_spin_up_)
      return " in step " + std::to_string(e.steps_done) + " of " + std::to_string(e.total_steps) +
             " of the spin-up's day " + std::to_string(spin_up_day_);
    switch (e.stage) {
      case FloatingPointStop::Stage::inputs: return " while reading the inputs";
      case FloatingPointStop::Stage::start: return " while starting";
      case FloatingPointStop::Stage::finish: return " at the end of the run";
      case FloatingPointStop::Stage::step: break;
    }
    return " in step " + std::to_string(e.steps_done) + " of " + std::to_string(e.total_steps);
  }
  void fail(MemberStatus status, std::string message) {
    result_.status = status;
    result_.message = std::move(message);
  }

  const std::vector<int>& species_;
  MemberResult result_;
  std::string spin_up_message_;  // the spin-up did not converge
  int spin_up_day_ = 0;          // the spin-up's day being taken
  bool in_spin_up_ = false;      // a fault stopped the member in its spin-up
  Collector collector_;
  std::optional<ScenarioRun> scenario_run_;
  Run* run_ = nullptr;
  RunSession session_;
};

}  // namespace

MemberResult run_member(const Definition& d, std::size_t index, const std::vector<int>& species,
                        TextOutput& discard) {
  MemberRun m(d, index, species, discard);
  RunSession* const one[] = {&m.session()};
  step_together(one, nullptr);
  return m.take();
}

std::vector<MemberResult> run_member_group(const Definition& d, std::span<const std::size_t> indices,
                                           const std::vector<int>& species, TextOutput& discard,
                                           LaneIntegrator* lanes) {
  std::vector<std::unique_ptr<MemberRun>> members;
  std::vector<RunSession*> sessions;
  for (const std::size_t index : indices) {
    members.push_back(std::make_unique<MemberRun>(d, index, species, discard));
    sessions.push_back(&members.back()->session());
  }
  step_together(sessions, lanes);
  std::vector<MemberResult> results;
  for (auto& m : members) results.push_back(m->take());
  return results;
}

}  // namespace box::ensemble
