#include "ensemble/member.hpp"

#include <algorithm>
#include <cfenv>
#include <memory>
#include <optional>
#include <string_view>

#include "common/errors.hpp"
#include "common/one_based.hpp"
#include "run/fp_environment.hpp"
#include "run/run.hpp"
#include "integrator/controls.hpp"
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

// Thrown when the flags show what a trap would have stopped on.
struct Stopped {
  std::string message;
};

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

std::vector<int> ensemble_species(const Definition& d) {
  const Scenario base = parse_scenario(d.base_text, d.base.generic_string(), d.base.parent_path(),
                                       output_overrides(d));
  switch (base.output.species.kind) {
    case SpeciesSelection::Kind::table: return table_species();
    case SpeciesSelection::Kind::all: return all_species();
    case SpeciesSelection::Kind::list: break;
  }
  return base.output.species.list;
}

std::size_t samples_of(const Scenario& s) {
  const int steps = s.total_steps();
  const int every = s.steps_per_output();
  return static_cast<std::size_t>((steps + every - 1) / every) + 1;
}

namespace {

// One member's run, step by step, with the flags of a trapped run: what
// the flags show after each part of a step is gathered, and a stopping
// exception ends the member after that step, where a trap would have
// stopped the single run. Every fault stays with its member.
class MemberRun {
 public:
  MemberRun(const Definition& d, std::size_t index, const std::vector<int>& species, TextOutput& discard)
      : species_(species), collector_(result_, species) {
    result_.index = index;
    guard([&] {
      std::feclearexcept(FE_ALL_EXCEPT);
      Scenario scenario = member_scenario(d, index);
      SiteData site = load_site(scenario);
      check_flags("while reading the inputs");
      run_.emplace(std::move(scenario), discard, std::move(site));
      run_->add_observer(collector_);
      run_->start();
      check_flags("while starting");
      const std::size_t samples = samples_of(run_->scenario());
      result_.time_h.reserve(samples);
      result_.elapsed_s.reserve(samples);
      result_.values.reserve(samples * species_.size());
    });
  }

  // Steps are left to take.
  bool running() const { return !done_ && run_->steps_done() < run_->total_steps(); }
  bool lanes_possible() const { return running() && run_->lanes_possible(); }

  void begin_step() {
    guard([&] {
      run_->begin_step();
      gather();
    });
  }
  void chemistry_step() {
    guard([&] {
      run_->chemistry_step();
      gather();
    });
  }
  LaneBox begin_lane_chemistry() {
    const LaneBox box = run_->begin_lane_chemistry();
    gather();
    return box;
  }
  void finish_lane_chemistry(const RosenbrockCounters& counters) {
    run_->finish_lane_chemistry(counters);
    gather();
  }
  void end_step() {
    guard([&] {
      run_->end_step();
      gather();
      check_flags("");
      // The run goes on after a failed integration, as the single run
      // does, so the values are the single run's; the member is marked.
      if (!run_->last_step().ok() && result_.ok())
        fail(MemberStatus::integration,
             "integration failed in step " + std::to_string(run_->steps_done()) + " of " +
                 std::to_string(run_->total_steps()) + ": " +
                 std::string(trimmed(ierr_names(run_->last_step().status))));
    });
  }

  MemberResult take() {
    guard([&] {
      std::feclearexcept(FE_ALL_EXCEPT);
      run_->finish();
      check_flags("at the end of the run");
    });
    std::feclearexcept(FE_ALL_EXCEPT);
    return std::move(result_);
  }

 private:
  template <class F>
  void guard(F&& work) {
    if (done_) return;
    try {
      work();
    } catch (const Stopped& s) {
      stop(MemberStatus::floating_point, s.message);
    } catch (const ImpossibleState& e) {
      // Stopped as the single run stops, with the status of the overflow
      // that would have followed.
      stop(MemberStatus::floating_point, e.what());
    } catch (const std::exception& e) {
      stop(MemberStatus::input, e.what());
    }
  }
  void fail(MemberStatus status, std::string message) {
    result_.status = status;
    result_.message = std::move(message);
  }
  void stop(MemberStatus status, std::string message) {
    fail(status, std::move(message));
    done_ = true;
  }
  // Adds the stopping exceptions raised since the last gather to the
  // step's, and clears them: between the parts of a step no stopping flag
  // is ever left set, so each part's are its own without clearing the
  // flags before it (clearing costs more than testing).
  void gather() {
    const int raised = stopping_exceptions(std::fetestexcept(FE_ALL_EXCEPT));
    if (raised == 0) return;
    raised_ |= raised;
    std::feclearexcept(FE_ALL_EXCEPT);
  }
  // What a trapped run would have stopped on since the step (or the part
  // of the run) began.
  void check_flags(const char* where) {
    gather();
    const int raised = raised_;
    raised_ = 0;
    if (raised == 0) return;
    std::string message = std::string("floating-point exception: ") + exception_name(raised);
    if (*where != '\0') message += std::string(" ") + where;
    else message += " in step " + std::to_string(run_->steps_done()) + " of " + std::to_string(run_->total_steps());
    throw Stopped{message + "; the member is stopped"};
  }

  const std::vector<int>& species_;
  MemberResult result_;
  Collector collector_;
  std::optional<Run> run_;
  bool done_ = false;
  int raised_ = 0;
};

}  // namespace

MemberResult run_member(const Definition& d, std::size_t index, const std::vector<int>& species,
                        TextOutput& discard) {
  MemberRun m(d, index, species, discard);
  while (m.running()) {
    m.begin_step();
    m.chemistry_step();
    m.end_step();
  }
  return m.take();
}

std::vector<MemberResult> run_member_group(const Definition& d, std::span<const std::size_t> indices,
                                           const std::vector<int>& species, TextOutput& discard,
                                           LaneIntegrator* lanes) {
  std::vector<std::unique_ptr<MemberRun>> members;
  for (const std::size_t index : indices) members.push_back(std::make_unique<MemberRun>(d, index, species, discard));
  std::vector<MemberRun*> together;
  std::vector<LaneBox> boxes;
  for (;;) {
    bool any = false;
    for (auto& m : members)
      if (m->running()) {
        any = true;
        m->begin_step();
      }
    if (!any) break;
    // The chemistry of the members that allow it in the lanes; a stopping
    // exception there (whichever lane raised it) or a box the lanes leave
    // alone sends all of them to the one-box integration, which gives each
    // its own bits and flags.
    together.clear();
    boxes.clear();
    for (auto& m : members)
      if (lanes != nullptr && m->lanes_possible()) together.push_back(m.get());
    if (together.size() >= 2) {
      for (MemberRun* m : together) boxes.push_back(m->begin_lane_chemistry());
      // No stopping flag is set here (each member's parts clear theirs).
      bool integrated = lanes->integrate(boxes);
      if (stopping_exceptions(std::fetestexcept(FE_ALL_EXCEPT)) != 0) {
        std::feclearexcept(FE_ALL_EXCEPT);
        integrated = false;
      }
      if (integrated)
        for (std::size_t k = 0; k < together.size(); ++k) together[k]->finish_lane_chemistry(boxes[k].counters);
      else
        together.clear();
    } else {
      together.clear();
    }
    for (auto& m : members)
      if (m->running() && std::find(together.begin(), together.end(), m.get()) == together.end()) m->chemistry_step();
    for (auto& m : members)
      if (m->running()) m->end_step();
  }
  std::vector<MemberResult> results;
  for (auto& m : members) results.push_back(m->take());
  return results;
}

}  // namespace box::ensemble
