#pragma once
// The ensemble's progress on standard error: a bar redrawn in place when
// standard error is a terminal (members done, members per second, time
// left), nothing otherwise; and the closing summary line either way.
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>

namespace box::ensemble {

class Progress {
 public:
  Progress(std::size_t total, bool show);
  void update(std::size_t done);
  // Clears the bar; the summary follows.
  void clear();
  double seconds() const;

 private:
  std::size_t total_;
  bool show_;
  std::chrono::steady_clock::time_point start_, last_;
  bool drawn_ = false;
};

}  // namespace box::ensemble
