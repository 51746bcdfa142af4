#include "output/terminal_progress.hpp"

#include <unistd.h>

#include <cstdio>

namespace box {

TerminalProgress::TerminalProgress(std::size_t total, std::string unit, bool show, double delay_s)
    : total_(total), unit_(std::move(unit)), show_(show && isatty(STDERR_FILENO) == 1), delay_s_(delay_s),
      start_(std::chrono::steady_clock::now()), last_(start_) {}

double TerminalProgress::seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void TerminalProgress::update(std::size_t done) {
  if (!show_) return;
  const auto now = std::chrono::steady_clock::now();
  if (done < total_ && now - last_ < std::chrono::milliseconds(200)) return;
  const double elapsed = seconds();
  if (elapsed < delay_s_) return;
  last_ = now;
  const double rate = elapsed > 0 ? static_cast<double>(done) / elapsed : 0.0;
  constexpr int width = 30;
  const int filled = total_ > 0 ? static_cast<int>(width * done / total_) : width;
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.resize(width, '.');
  char left[32] = "--:--";
  if (rate > 0) {
    const long s = static_cast<long>(static_cast<double>(total_ - done) / rate + 0.5);
    std::snprintf(left, sizeof left, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  }
  std::fprintf(stderr, "\r[%s] %zu/%zu %s, %.1f %s/s, %s left\033[K", bar.c_str(), done, total_, unit_.c_str(), rate,
               unit_.c_str(), left);
  std::fflush(stderr);
  drawn_ = true;
}

void TerminalProgress::clear() {
  if (!drawn_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  drawn_ = false;
}

void StepProgress::after_chemistry(const StepView& run) {
  if (!bar_) bar_ = std::make_unique<TerminalProgress>(static_cast<std::size_t>(run.total_steps), "steps", show_);
  // The step just taken counts as done.
  bar_->update(static_cast<std::size_t>(run.steps_done + 1));
}

void StepProgress::finished(const StepView&) {
  if (bar_) bar_->clear();
}

}  // namespace box
