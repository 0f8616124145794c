#pragma once

#include <cstdint>

namespace tessarin {

// 64 random bits as a uniform number in [0, 1): the top 53 bits, scaled, so
// every value is a double exactly and 1 is never reached, unlike some library
// helpers that round up to it.
constexpr double UnitIntervalFromBits(std::uint64_t bits) {
  return static_cast<double>(bits >> 11) * 0x1.0p-53;
}

}  // namespace tessarin
