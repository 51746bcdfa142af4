#pragma once
// Runs a sequence of members on worker threads, taking the next member as
// soon as a worker is free, and hands the results back in sequence order.
// A worker does not start a member more than `window` places ahead of the
// one the consumer waits for, so at most `window` results are held however
// long the sequence is.
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "ensemble/member.hpp"
#include "mechanism/lane_kernels.hpp"

namespace box::ensemble {

class OrderedPool {
 public:
  // `work(position)` computes the result at that position of the sequence
  // (0 .. length-1); `setup` runs first on each worker thread.
  OrderedPool(std::size_t length, unsigned threads, std::size_t window,
              std::function<void()> setup, std::function<MemberResult(std::size_t)> work);
  // The positions in chunks of `chunk` consecutive ones (the last may be
  // shorter): `work(first, count)` computes the results at first ..
  // first+count-1, in that order.
  OrderedPool(std::size_t length, unsigned threads, std::size_t window, std::function<void()> setup,
              std::size_t chunk, std::function<std::vector<MemberResult>(std::size_t, std::size_t)> work);
  ~OrderedPool();
  OrderedPool(const OrderedPool&) = delete;
  OrderedPool& operator=(const OrderedPool&) = delete;

  // The result at the next position, waiting for it.
  MemberResult next();

 private:
  void worker();

  std::size_t length_;
  std::size_t window_;
  std::function<void()> setup_;
  std::size_t chunk_ = 1;
  std::function<std::vector<MemberResult>(std::size_t, std::size_t)> work_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t taken_ = 0;      // next position to start
  std::size_t delivered_ = 0;  // next position to hand out
  bool stopping_ = false;
  std::map<std::size_t, MemberResult> done_;
  std::vector<std::thread> threads_;
};

// The members of an ensemble run as `boxmodel ensemble` runs them, results
// in order: positions 0 .. count-1 are members index_of(position); each
// worker runs them in groups as wide as `kernels`' lanes (null: one at a
// time), their chemistry steps integrated together (run_member_group).
class MemberPool {
 public:
  MemberPool(const Definition& d, const std::vector<int>& species, std::size_t count, unsigned threads,
             const LaneKernels* kernels, std::function<std::size_t(std::size_t)> index_of);
  MemberResult next() { return pool_.next(); }
  // Boxes per group.
  std::size_t lanes() const { return lanes_; }

 private:
  std::size_t lanes_;
  OrderedPool pool_;
};

}  // namespace box::ensemble
