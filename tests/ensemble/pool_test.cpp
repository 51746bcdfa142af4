// The ordered pool and the results that travel between processes.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "run/fp_environment.hpp"
#include "ensemble/pool.hpp"
#include "ensemble/transport.hpp"

namespace box::ensemble {
namespace {

TEST(OrderedPool, DeliversInOrderAndHoldsNoMoreThanItsWindow) {
  constexpr std::size_t length = 300, window = 6;
  std::atomic<int> started{0};
  std::atomic<std::size_t> consumed{0};
  std::atomic<bool> ran_ahead{false};
  OrderedPool pool(length, 4, window, nullptr, [&](std::size_t p) {
    // No member starts more than `window` places ahead of the consumer
    // (which counts a result as consumed just after next() returns it).
    if (p >= consumed.load() + window + 1) ran_ahead = true;
    ++started;
    // Uneven work, so that later members often finish first.
    std::this_thread::sleep_for(std::chrono::microseconds((p * 7919) % 5 * 100));
    MemberResult r;
    r.index = p;
    r.values = {static_cast<double>(p)};
    return r;
  });
  for (std::size_t p = 0; p < length; ++p) {
    const MemberResult r = pool.next();
    ASSERT_EQ(r.index, p);
    consumed = p + 1;
  }
  EXPECT_FALSE(ran_ahead);
  EXPECT_EQ(started.load(), static_cast<int>(length));
}

// Chunks (the lane groups): consecutive positions, a short last one, each
// computed once, the results still handed out one by one in order.
TEST(OrderedPool, ChunksCoverTheSequenceOnceAndDeliverInOrder) {
  constexpr std::size_t length = 23, chunk = 4;
  std::vector<std::atomic<int>> computed(length);
  OrderedPool pool(length, 3, 8, nullptr, chunk, [&](std::size_t first, std::size_t count) {
    EXPECT_EQ(first % chunk, 0u);
    EXPECT_EQ(count, std::min(chunk, length - first));
    std::vector<MemberResult> out(count);
    for (std::size_t k = 0; k < count; ++k) {
      ++computed[first + k];
      out[k].index = first + k;
    }
    std::this_thread::sleep_for(std::chrono::microseconds((first * 7919) % 3 * 200));
    return out;
  });
  for (std::size_t p = 0; p < length; ++p) ASSERT_EQ(pool.next().index, p);
  for (std::size_t p = 0; p < length; ++p) EXPECT_EQ(computed[p].load(), 1) << p;
}

TEST(OrderedPool, AnEmptySequenceAndMoreThreadsThanWork) {
  { OrderedPool none(0, 4, 4, nullptr, [](std::size_t) { return MemberResult{}; }); }
  OrderedPool two(2, 16, 1, nullptr, [](std::size_t p) {
    MemberResult r;
    r.index = p;
    return r;
  });
  EXPECT_EQ(two.next().index, 0u);
  EXPECT_EQ(two.next().index, 1u);
}

// Denormals-are-zero is per thread: a worker that did not set it would
// compute other bits from a denormal operand than the main thread.
TEST(OrderedPool, WorkersComputeWithTheMainThreadsDenormalMode) {
  set_floating_point_modes();
  volatile double tiny = std::numeric_limits<double>::denorm_min() * 4;
  const double here = tiny * 1e300;
  OrderedPool pool(1, 1, 1, [] { set_floating_point_modes(); }, [&](std::size_t) {
    MemberResult r;
    r.values = {tiny * 1e300};
    return r;
  });
  const double there = pool.next().values[0];
  EXPECT_EQ(here, 0.0);  // the operand was read as zero
  EXPECT_EQ(std::bit_cast<std::uint64_t>(here), std::bit_cast<std::uint64_t>(there));
}

TEST(Transport, ResultsCrossAsBytesUnchanged) {
  MemberResult r;
  r.index = 123456789012ULL;
  r.status = MemberStatus::floating_point;
  r.message = "floating-point exception: overflow in step 4 of 12; the member is stopped";
  r.time_h = {5.0, 6.0};
  r.elapsed_s = {0.0, 3600.0};
  r.values = {1e-9, std::numeric_limits<double>::denorm_min(), -0.0, 3.0000000000000004e-8};
  const MemberResult back = unpack(pack(r));
  EXPECT_EQ(back.index, r.index);
  EXPECT_EQ(back.status, r.status);
  EXPECT_EQ(back.message, r.message);
  EXPECT_EQ(back.time_h, r.time_h);
  EXPECT_EQ(back.elapsed_s, r.elapsed_s);
  ASSERT_EQ(back.values.size(), r.values.size());
  for (std::size_t k = 0; k < r.values.size(); ++k)
    EXPECT_EQ(std::bit_cast<std::uint64_t>(back.values[k]), std::bit_cast<std::uint64_t>(r.values[k]));
  std::vector<char> cut = pack(r);
  cut.pop_back();
  EXPECT_THROW(unpack(cut), std::runtime_error);
}

}  // namespace
}  // namespace box::ensemble
