#include "ensemble/pool.hpp"

#include <algorithm>

namespace box::ensemble {

OrderedPool::OrderedPool(std::size_t length, unsigned threads, std::size_t window,
                         std::function<void()> setup, std::function<MemberResult(std::size_t)> work)
    : length_(length), window_(std::max<std::size_t>(window, 1)), setup_(std::move(setup)), work_(std::move(work)) {
  const unsigned n = std::max(1u, std::min<unsigned>(threads, static_cast<unsigned>(std::max<std::size_t>(length, 1))));
  threads_.reserve(n);
  for (unsigned k = 0; k < n; ++k) threads_.emplace_back([this] { worker(); });
}

OrderedPool::~OrderedPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void OrderedPool::worker() {
  if (setup_) setup_();
  for (;;) {
    std::size_t position = 0;
    {
      std::unique_lock lock(mutex_);
      // The position the consumer waits for is always being worked on, so
      // waiting for it to move cannot stall every worker.
      changed_.wait(lock, [&] { return stopping_ || taken_ >= length_ || taken_ < delivered_ + window_; });
      if (stopping_ || taken_ >= length_) return;
      position = taken_++;
    }
    MemberResult result = work_(position);
    {
      std::lock_guard lock(mutex_);
      done_.emplace(position, std::move(result));
    }
    changed_.notify_all();
  }
}

MemberResult OrderedPool::next() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return done_.count(delivered_) != 0; });
  auto node = done_.extract(delivered_);
  ++delivered_;
  lock.unlock();
  changed_.notify_all();
  return std::move(node.mapped());
}

}  // namespace box::ensemble
