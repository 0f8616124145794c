#pragma once

#include <cstdint>
#include <random>

#include "ports/random.h"

namespace tessarin::linux_platform {

// Seeded from the system's entropy source at every run.
class LinuxRandom : public ports::Random {
 public:
  LinuxRandom() : generator_(std::random_device{}()) {}
  // 53 random bits scaled into [0, 1): never 1, unlike some library helpers.
  double Uniform() override { return static_cast<double>(generator_() >> 11) * 0x1.0p-53; }

 private:
  std::mt19937_64 generator_;
};

}  // namespace tessarin::linux_platform
