#pragma once
// The one way a run is taken through its steps, with the floating-point
// policy of the program: the program's day and scenario runs, ensemble
// members (one or several in lock-step, their chemistry in the lanes of the
// vector registers) and the Python module all step their runs here.
//
// The program traps an invalid operation, a division by zero and an
// overflow, and a trap stops the process. Where a trap cannot be used (a
// worker thread of an ensemble, whose trap would stop every member; the
// Python interpreter) the sticky exception flags are tested instead: after
// every part of a step the stopping flags raised are gathered and cleared,
// and at the end of the step they stop the run where the trap would have.
// With the traps installed the flags are never found raised, so the
// program's runs are stepped the same way.
#include <cstddef>
#include <exception>
#include <functional>
#include <span>
#include <string>

#include "integrator/lane_integrator.hpp"
#include "run/run.hpp"

namespace box {

// A stopping floating-point exception, found in the flags where a trapped
// run would have stopped.
class FloatingPointStop : public std::runtime_error {
 public:
  enum class Stage { inputs, start, step, finish };
  FloatingPointStop(int flags, Stage stage, int steps_done, int total_steps);
  int flags;
  Stage stage;
  int steps_done;   // steps completed when it was found (the step it was found in, for Stage::step)
  int total_steps;
  // The trap's words: "floating-point exception: overflow".
  std::string exception() const;
};

// Throws FloatingPointStop (with `stage` and the run's position) when a
// stopping exception has been raised since the flags were last cleared;
// clears them.
void check_floating_point(FloatingPointStop::Stage stage, const Run* run = nullptr);

class RunSession {
 public:
  // How a fault of the run (an exception out of any part) is handled:
  // `propagate` lets it out of the step loop (a single run reports it and
  // ends); `contain` keeps it with the session, whose run then stops while
  // the others of its group go on.
  enum class Faults { propagate, contain };

  // A session of `run`, which must outlive it.
  explicit RunSession(Run& run, Faults faults = Faults::propagate) : run_(&run), faults_(faults) {}
  // A session whose run is made under its guard (a fault in making it,
  // such as an input not valid, is the session's) and then attached.
  explicit RunSession(Faults faults) : faults_(faults) {}
  void attach(Run& run) { run_ = &run; }

  // Called after every step (with the step's flags checked): the caller's
  // look at the outcome (a failed integration, an interrupt). What it
  // throws is a fault of the run.
  void set_after_step(std::function<void(const Run&)> after_step) { after_step_ = std::move(after_step); }

  // start(), with the flags cleared before and checked after.
  void start();
  // Steps are left to take and no fault has stopped the run.
  bool running() const {
    return fault_ == nullptr && run_ != nullptr && run_->started() && run_->steps_done() < run_->total_steps();
  }
  bool lanes_possible() const { return running() && run_->lanes_possible(); }
  // The parts of a step, as Run has them, each followed by a gathering of
  // the flags; end_step() checks them.
  void begin_step();
  void chemistry_step();
  LaneBox begin_lane_chemistry();
  void finish_lane_chemistry(const RosenbrockCounters& counters);
  void end_step();
  // The run's end, with the flags cleared before and checked after (unless
  // a fault stopped it).
  void finish();

  // Runs `work` under the session's fault policy.
  template <class F>
  void guard(F&& work);

  // The run; only once attached.
  Run& run() { return *run_; }
  const Run& run() const { return *run_; }
  bool attached() const { return run_ != nullptr; }
  // The fault that stopped the run (contain only), or null.
  std::exception_ptr fault() const { return fault_; }

 private:
  void gather();

  Run* run_ = nullptr;
  Faults faults_;
  std::function<void(const Run&)> after_step_;
  std::exception_ptr fault_;
  int raised_ = 0;
};

template <class F>
void RunSession::guard(F&& work) {
  if (fault_ != nullptr) return;
  if (faults_ == Faults::propagate) {
    work();
    return;
  }
  try {
    work();
  } catch (...) {
    fault_ = std::current_exception();
  }
}

// Takes every session (started, or stopped by a fault) to its last step in
// lock-step: each step begins for all, then the chemistry of those that
// allow it is integrated together when `lanes` is given, in groups of one
// kind (the built-in mechanism in `lanes`; one mechanism file, its light
// following time or not, in that file's FileLanes) of two or more, the
// others' one box at a time, then each step ends. A stopping
// exception in the lanes (whichever lane raised it) sends them all to the
// one-box integration, which gives each its own bits and flags. Each
// session's values are those it has stepped alone, bit for bit.
void step_together(std::span<RunSession* const> sessions, LaneIntegrator* lanes);

// One session alone: start, every step, finish.
void run_session(RunSession& session);

}  // namespace box
