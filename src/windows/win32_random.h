#pragma once

#include <chrono>
#include <cstdint>
#include <random>

#include "base/unit_interval.h"
#include "ports/random.h"

namespace tessarin::windows_platform {

// Seeded afresh on every run from the clock and the system's entropy source.
class Win32Random : public ports::Random {
 public:
  Win32Random()
      : generator_(static_cast<std::uint64_t>(
                       std::chrono::high_resolution_clock::now().time_since_epoch().count()) ^
                   std::random_device{}()) {}
  double Uniform() override { return UnitIntervalFromBits(generator_()); }

 private:
  std::mt19937_64 generator_;
};

}  // namespace tessarin::windows_platform
