#include "run/session.hpp"

#include <algorithm>
#include <cfenv>
#include <vector>

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
  const LaneBox box = run_->begin_lane_chemistry();
  gather();
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

void step_together(std::span<RunSession* const> sessions, LaneIntegrator* lanes) {
  std::vector<RunSession*> together;
  std::vector<LaneBox> boxes;
  for (;;) {
    bool any = false;
    for (RunSession* s : sessions)
      if (s->running()) {
        any = true;
        s->begin_step();
      }
    if (!any) break;
    together.clear();
    boxes.clear();
    if (lanes != nullptr)
      for (RunSession* s : sessions)
        if (s->lanes_possible()) together.push_back(s);
    if (together.size() >= 2) {
      for (RunSession* s : together) boxes.push_back(s->begin_lane_chemistry());
      // No stopping flag is set here (each session's parts clear theirs).
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
