#include "base/unit_interval.h"

#include <gtest/gtest.h>

#include <limits>

namespace tessarin {
namespace {

TEST(UnitIntervalFromBits, CoversZeroUpToButExcludingOne) {
  EXPECT_EQ(UnitIntervalFromBits(0), 0.0);
  EXPECT_EQ(UnitIntervalFromBits(std::uint64_t{1} << 63), 0.5);
  // The 11 low bits are dropped; the smallest step is 2^-53.
  EXPECT_EQ(UnitIntervalFromBits(0x7FF), 0.0);
  EXPECT_EQ(UnitIntervalFromBits(0x800), 0x1.0p-53);
  EXPECT_EQ(UnitIntervalFromBits(std::numeric_limits<std::uint64_t>::max()), 1.0 - 0x1.0p-53);
}

}  // namespace
}  // namespace tessarin
