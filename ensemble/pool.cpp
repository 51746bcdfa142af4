#include "ensemble/pool.hpp"

#include <algorithm>
#include <memory>

#include "integrator/lane_integrator.hpp"
#include "run/fp_environment.hpp"

namespace box::ensemble {
namespace {

// The lane integrator of this worker thread: its working storage (a few
// hundred kB) is allocated once, not for every group.
LaneIntegrator& worker_lanes(const LaneKernels& kernels) {
  thread_local std::unique_ptr<LaneIntegrator> lanes;
  if (!lanes || &lanes->kernels() != &kernels) lanes = std::make_unique<LaneIntegrator>(kernels);
  return *lanes;
}

}  // namespace

MemberPool::MemberPool(const Definition& d, const std::vector<int>& species, std::size_t count, unsigned threads,
                       const LaneKernels* kernels, std::function<std::size_t(std::size_t)> index_of)
    : lanes_(kernels != nullptr ? static_cast<std::size_t>(kernels->lanes) : 1),
      pool_(count, threads, 4 * static_cast<std::size_t>(threads) * lanes_ + 8, [] { set_floating_point_modes(); },
            lanes_, [&d, &species, kernels, index_of = std::move(index_of)](std::size_t first, std::size_t n) {
              TextOutput discard = TextOutput::create("/dev/null", "/dev/null");
              std::vector<std::size_t> indices;
              for (std::size_t p = first; p < first + n; ++p) indices.push_back(index_of(p));
              return run_member_group(d, indices, species, discard,
                                      kernels != nullptr && n > 1 ? &worker_lanes(*kernels) : nullptr);
            }) {}

OrderedPool::OrderedPool(std::size_t length, unsigned threads, std::size_t window,
                         std::function<void()> setup, std::function<MemberResult(std::size_t)> work)
    : OrderedPool(length, threads, window, std::move(setup), 1,
                  [work = std::move(work)](std::size_t first, std::size_t) {
                    std::vector<MemberResult> one;
                    one.push_back(work(first));
                    return one;
                  }) {}

OrderedPool::OrderedPool(std::size_t length, unsigned threads, std::size_t window, std::function<void()> setup,
                         std::size_t chunk,
                         std::function<std::vector<MemberResult>(std::size_t, std::size_t)> work)
    : length_(length),
      window_(std::max<std::size_t>(window, std::max<std::size_t>(chunk, 1))),
      setup_(std::move(setup)),
      chunk_(std::max<std::size_t>(chunk, 1)),
      work_(std::move(work)) {
  const std::size_t chunks = (length + chunk_ - 1) / chunk_;
  const unsigned n = std::max(1u, std::min<unsigned>(threads, static_cast<unsigned>(std::max<std::size_t>(chunks, 1))));
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
      position = taken_;
      taken_ = std::min(length_, taken_ + chunk_);
    }
    std::vector<MemberResult> results = work_(position, std::min(chunk_, length_ - position));
    {
      std::lock_guard lock(mutex_);
      for (std::size_t k = 0; k < results.size(); ++k) done_.emplace(position + k, std::move(results[k]));
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
