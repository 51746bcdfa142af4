#include <gtest/gtest.h>

#include "common/one_based.hpp"

TEST(OneBased, FirstEntryIsOffsetZero) {
  EXPECT_EQ(box::at(1), 0u);
  EXPECT_EQ(box::at(82), 81u);
}
