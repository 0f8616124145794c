#pragma once

#include <chrono>
#include <cstdint>
#include <random>

#include "ports/random.h"

namespace tessarin::win32_platform {

// Seeded afresh on every run from the clock and the system's entropy source.
class Win32Random : public ports::Random {
 public:
  Win32Random()
      : generator_(static_cast<std::uint64_t>(
                       std::chrono::high_resolution_clock::now().time_since_epoch().count()) ^
                   std::random_device{}()) {}
  // 53 random bits scaled into [0, 1): never 1.
  double Uniform() override { return static_cast<double>(generator_() >> 11) * 0x1.0p-53; }

 private:
  std::mt19937_64 generator_;
};

}  // namespace tessarin::win32_platform
