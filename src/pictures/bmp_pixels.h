#pragma once

#include <cstdint>

#include "pictures/bmp_format.h"

namespace tessarin::pictures {

// One channel of a 16- or 32-bit pixel, scaled to 8 bits.
class Channel {
 public:
  explicit Channel(std::uint32_t mask);
  std::uint8_t Of(std::uint32_t pixel) const {
    if (max_ == 0) return 0;
    const std::uint64_t value = (pixel & mask_) >> shift_;
    if (max_ == 255) return static_cast<std::uint8_t>(value);  // the common 8-bit channel
    return static_cast<std::uint8_t>((value * 255 + max_ / 2) / max_);
  }

 private:
  std::uint32_t mask_;
  int shift_;
  std::uint64_t max_;
};

// Turns the raw bytes of an uncompressed row into blue, green, red pixels.
class PixelUnpacker {
 public:
  explicit PixelUnpacker(const DibFormat& format);

  // Unpacks the first `count` pixels of the row that starts at `raw`.
  void Unpack(const std::uint8_t* raw, int count, std::uint8_t* bgr) const;

  // The pixel's alpha in 0..255 (32-bit rows only; 0 when there is no alpha channel).
  std::uint8_t Alpha(const std::uint8_t* raw, int x) const;

 private:
  void UnpackIndexed(const std::uint8_t* raw, int count, std::uint8_t* bgr) const;
  void UnpackMasked(const std::uint8_t* raw, int count, std::uint8_t* bgr) const;

  int bitsPerPixel_;
  const Palette& palette_;
  Channel red_;
  Channel green_;
  Channel blue_;
  Channel alpha_;
};

}  // namespace tessarin::pictures
