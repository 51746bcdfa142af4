#pragma once
// Progress on standard error for work that takes a while: a bar redrawn in
// place (done of total, the rate, the time left), only when standard error
// is a terminal, and only once the work has taken longer than a moment, so
// that short runs, pipes and logs never see it.
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "output/step_observer.hpp"

namespace box {

class TerminalProgress {
 public:
  // `unit`: what is counted, plural ("members", "steps"). `show`: false
  // draws nothing (--quiet); true draws when standard error is a terminal
  // and `delay_s` seconds have passed since construction.
  TerminalProgress(std::size_t total, std::string unit, bool show, double delay_s = 1.5);
  void update(std::size_t done);
  // Clears the bar; whatever is written next starts a clean line.
  void clear();
  double seconds() const;

 private:
  std::size_t total_;
  std::string unit_;
  bool show_;
  double delay_s_;
  std::chrono::steady_clock::time_point start_, last_;
  bool drawn_ = false;
};

// A run's steps as a TerminalProgress, cleared when the run ends.
class StepProgress : public StepObserver {
 public:
  explicit StepProgress(bool show) : show_(show) {}
  void after_chemistry(const StepView& run) override;
  void finished(const StepView& run) override;

 private:
  bool show_;
  std::unique_ptr<TerminalProgress> bar_;
};

}  // namespace box
