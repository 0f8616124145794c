#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "base/little_endian.h"

namespace tessarin::testing {

struct Bgr {
  std::uint8_t b, g, r;
  bool operator==(const Bgr&) const = default;
};

// Reads back a file Tessarin wrote: a 24-bit bottom-up BMP.
class WrittenBmp {
 public:
  explicit WrittenBmp(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {
    if (bytes_.size() < 54 || bytes_[0] != 'B' || bytes_[1] != 'M' || Le(28, 2) != 24 ||
        Le(30, 4) != 0 || static_cast<std::int32_t>(Le(22, 4)) <= 0 || Le(2, 4) != bytes_.size()) {
      throw std::runtime_error("not a 24-bit bottom-up BMP of the right size");
    }
  }
  int Width() const { return static_cast<int>(Le(18, 4)); }
  int Height() const { return static_cast<int>(Le(22, 4)); }
  Bgr Pixel(int x, int y) const {
    const std::size_t stride = (static_cast<std::size_t>(Width()) * 3 + 3) / 4 * 4;
    const std::size_t at = Le(10, 4) + stride * static_cast<std::size_t>(Height() - 1 - y) +
                           static_cast<std::size_t>(x) * 3;
    return {bytes_.at(at), bytes_.at(at + 1), bytes_.at(at + 2)};
  }

 private:
  std::uint32_t Le(std::size_t at, int n) const {
    (void)bytes_.at(at + static_cast<std::size_t>(n) - 1);  // throws past the end
    return n == 2 ? Le16(&bytes_[at]) : Le32(&bytes_[at]);
  }
  std::vector<std::uint8_t> bytes_;
};

}  // namespace tessarin::testing
