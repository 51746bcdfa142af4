#include "ensemble/progress.hpp"

#include <unistd.h>

namespace box::ensemble {

Progress::Progress(std::size_t total, bool show)
    : total_(total), show_(show && isatty(STDERR_FILENO) == 1),
      start_(std::chrono::steady_clock::now()), last_(start_) {}

double Progress::seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void Progress::update(std::size_t done) {
  if (!show_) return;
  const auto now = std::chrono::steady_clock::now();
  if (done < total_ && now - last_ < std::chrono::milliseconds(200)) return;
  last_ = now;
  const double elapsed = seconds();
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
  std::fprintf(stderr, "\r[%s] %zu/%zu members, %.1f members/s, %s left\033[K", bar.c_str(), done, total_,
               rate, left);
  std::fflush(stderr);
  drawn_ = true;
}

void Progress::clear() {
  if (!drawn_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  drawn_ = false;
}

}  // namespace box::ensemble
