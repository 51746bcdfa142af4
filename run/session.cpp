#include "run/session.hpp"

#include <algorithm>
#include <cfenv>
#include <memory>
#include <utility>
#include <vector>

#include "run/file_lanes.hpp"
#include "run/fp_environment.hpp"

namespace box {

FloatingPointStop::FloatingPointStop(int flags_raised, Stage stage_found, int done, int total)
    : std::runtime_error(std::string("floating-point exception: ") + exception_name(flags_raised)),
      flags(flags_raised),
      stage(stage_found),
      steps_done(done),
      total_steps(total) {}

std::string FloatingPointStop::exception() const { return what(); }

void check_floating_point(FloatingPointStop::Stage stage, const Run* run) {
  const int raised = stopping_exceptions(std::fetestexcept(FE_ALL_EXCEPT));
  if (raised == 0) return;
  std::feclearexcept(FE_ALL_EXCEPT);
  throw FloatingPointStop(raised, stage, run != nullptr ? run->steps_done() : 0,
                          run != nullptr ? run->total_steps() : 0);
}

// Adds the stopping exceptions raised since the last gather to the step's,
// and clears them: between the parts of a step no stopping flag is ever
// left set, so each part's are its own without clearing the flags before
// it (clearing costs more than testing).
void RunSession::gather() {
  const int raised = stopping_exceptions(std::fetestexcept(FE_ALL_EXCEPT));
  if (raised == 0) return;
  raised_ |= raised;
  std::feclearexcept(FE_ALL_EXCEPT);
}

void RunSession::start() {
  guard([&] {
    std::feclearexcept(FE_ALL_EXCEPT);
    run_->start();
    check_floating_point(FloatingPointStop::Stage::start, run_);
  });
}

void RunSession::begin_step() {
  guard([&] {
    run_->begin_step();
    gather();
  });
}

void RunSession::chemistry_step() {
  guard([&] {
    run_->chemistry_step();
    gather();
  });
}

LaneBox RunSession::begin_lane_chemistry() {
  // A mechanism file's step refuses a bad rate here, as chemistry_step()
  // would: a fault of the run.
  LaneBox box;
  guard([&] {
    box = run_->begin_lane_chemistry();
    gather();
  });
  return box;
}

void RunSession::finish_lane_chemistry(const RosenbrockCounters& counters) {
  run_->finish_lane_chemistry(counters);
  gather();
}

void RunSession::end_step() {
  guard([&] {
    run_->end_step();
    gather();
    const int raised = raised_;
    raised_ = 0;
    if (raised != 0)
      throw FloatingPointStop(raised, FloatingPointStop::Stage::step, run_->steps_done(), run_->total_steps());
    if (after_step_) after_step_(*run_);
  });
}

void RunSession::finish() {
  if (run_ == nullptr) return;
  guard([&] {
    std::feclearexcept(FE_ALL_EXCEPT);
    run_->finish();
    check_floating_point(FloatingPointStop::Stage::finish, run_);
  });
}

namespace {

// The mechanism file a session's run integrates, or null for the built-in
// mechanism.
const LoadedMechanism* mechanism_of(RunSession* s) {
  const FileBox* file = s->run().file_box();
  return file != nullptr ? &file->loaded() : nullptr;
}

// What sessions integrated together must share: the mechanism, and
// whether its light follows time within the step (the lanes integrate
// either an autonomous system or a non-autonomous one).
std::pair<const LoadedMechanism*, bool> lane_kind(RunSession* s) {
  const FileBox* file = s->run().file_box();
  return {mechanism_of(s), file != nullptr && file->system().time_dependent()};
}

// Integrates the steps of `group` (begun, all of one mechanism) together;
// those integrated are moved to `done`.
void integrate_lanes(std::vector<RunSession*>& group, LaneIntegrator& builtin, std::vector<std::unique_ptr<FileLanes>>& files,
                     std::vector<LaneBox>& boxes, std::vector<RunSession*>& done) {
  boxes.clear();
  for (RunSession* s : group) boxes.push_back(s->begin_lane_chemistry());
  // A run stopped by a fault in beginning its step is left out.
  std::size_t kept = 0;
  for (std::size_t k = 0; k < group.size(); ++k)
    if (group[k]->running()) {
      group[kept] = group[k];
      boxes[kept++] = boxes[k];
    }
  group.resize(kept);
  boxes.resize(kept);
  if (group.empty()) return;
  // No stopping flag is set here (each session's parts clear theirs).
  bool integrated = false;
  if (const LoadedMechanism* m = mechanism_of(group.front())) {
    auto lanes = std::find_if(files.begin(), files.end(), [&](const auto& f) { return &f->loaded() == m; });
    if (lanes == files.end()) lanes = files.insert(files.end(), std::make_unique<FileLanes>(*m));
    std::vector<const FileBox*> members;
    for (RunSession* s : group) members.push_back(s->run().file_box());
    integrated = (*lanes)->integrate(members, boxes);
  } else {
    integrated = builtin.integrate(boxes);
  }
  if (stopping_exceptions(std::fetestexcept(FE_ALL_EXCEPT)) != 0) {
    std::feclearexcept(FE_ALL_EXCEPT);
    integrated = false;
  }
  if (!integrated) return;
  for (std::size_t k = 0; k < group.size(); ++k) {
    group[k]->finish_lane_chemistry(boxes[k].counters);
    done.push_back(group[k]);
  }
}

}  // namespace

void step_together(std::span<RunSession* const> sessions, LaneIntegrator* lanes) {
  std::vector<RunSession*> lane_ready, group, together;
  std::vector<LaneBox> boxes;
  std::vector<std::unique_ptr<FileLanes>> files;  // the lanes of each mechanism file met
  const std::size_t width = lanes != nullptr ? static_cast<std::size_t>(lanes->lanes()) : 1;
  for (;;) {
    bool any = false;
    for (RunSession* s : sessions)
      if (s->running()) {
        any = true;
        s->begin_step();
      }
    if (!any) break;
    lane_ready.clear();
    together.clear();
    if (lanes != nullptr)
      for (RunSession* s : sessions)
        if (s->lanes_possible()) lane_ready.push_back(s);
    // Those of one kind, in their order, in groups as wide as the lanes; a
    // session alone in its group integrates alone.
    while (lane_ready.size() >= 2) {
      const auto kind = lane_kind(lane_ready.front());
      group.clear();
      std::size_t kept = 0;
      for (RunSession* s : lane_ready) {
        if (group.size() < width && lane_kind(s) == kind) group.push_back(s);
        else lane_ready[kept++] = s;
      }
      lane_ready.resize(kept);
      if (group.size() >= 2) integrate_lanes(group, *lanes, files, boxes, together);
    }
    for (RunSession* s : sessions)
      if (s->running() && std::find(together.begin(), together.end(), s) == together.end()) s->chemistry_step();
    for (RunSession* s : sessions)
      if (s->running()) s->end_step();
  }
}

void run_session(RunSession& session) {
  session.start();
  RunSession* const one[] = {&session};
  step_together(one, nullptr);
  session.finish();
}

}  // namespace box
