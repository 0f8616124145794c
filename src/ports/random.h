#pragma once

namespace tessarin::ports {

class Random {
 public:
  virtual ~Random() = default;
  // Uniform in [0, 1), from a generator seeded afresh on every run.
  virtual double Uniform() = 0;
};

}  // namespace tessarin::ports
