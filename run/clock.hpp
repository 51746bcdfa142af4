#pragma once
// A run's clock: the local time at the start of each step and the steps
// taken. The clock moves through seconds of the day: a step's end is its
// start in seconds plus the step length, and the next step's local time
// that end in hours, so that a day of 288 five-minute steps ends at the
// hour the model always reached. Knows no mechanism.
#include "common/reciprocals.hpp"

namespace box {

class RunClock {
 public:
  RunClock() = default;
  RunClock(double start_hour, double step_seconds, int total_steps)
      : start_hour_(start_hour), timloc_(start_hour), step_seconds_(step_seconds), total_steps_(total_steps) {}

  // Local time at the start of the current step, hours (past 24 on later
  // days).
  double local_time() const { return timloc_; }
  double step_seconds() const { return step_seconds_; }
  int total_steps() const { return total_steps_; }
  int steps_done() const { return steps_done_; }
  bool done() const { return steps_done_ >= total_steps_; }
  // The time of the outputs, counted from the start: start hour plus the
  // steps taken (no rounding of the clock's own sums carried in).
  double hours() const { return start_hour_ + steps_done_ * step_seconds_ / 3600.0; }
  double elapsed_seconds() const { return static_cast<double>(steps_done_) * step_seconds_; }
  // Whether the step about to begin is the first of an hour of
  // `steps_per_hour` steps (or of an output interval of that many).
  bool first_of(int steps_per_period) const { return steps_done_ % steps_per_period == 0; }

  // The step begins: its end in seconds of the day is fixed.
  void begin_step() { step_end_s_ = timloc_ * 3600.0 + step_seconds_; }
  // The step ends: local time moves to its end.
  void end_step() {
    timloc_ = step_end_s_ * hours_per_second;
    ++steps_done_;
  }

 private:
  double start_hour_ = 5.0;
  double timloc_ = 5.0;         // hours
  double step_seconds_ = 300.0;
  int total_steps_ = 0;
  int steps_done_ = 0;
  double step_end_s_ = 0;  // end of the step begun, seconds of the day
};

}  // namespace box
