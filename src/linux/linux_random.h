#pragma once

#include <cstdint>
#include <random>

#include "base/unit_interval.h"
#include "ports/random.h"

namespace tessarin::linux_platform {

// Seeded from the system's entropy source at every run.
class LinuxRandom : public ports::Random {
 public:
  LinuxRandom() : generator_(std::random_device{}()) {}
  double Uniform() override { return UnitIntervalFromBits(generator_()); }

 private:
  std::mt19937_64 generator_;
};

}  // namespace tessarin::linux_platform
