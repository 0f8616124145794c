#include "pictures/bmp_pixels.h"

#include <algorithm>
#include <bit>

#include "base/little_endian.h"

namespace tessarin::pictures {

Channel::Channel(std::uint32_t mask)
    : mask_(mask),
      shift_(mask == 0 ? 0 : std::countr_zero(mask)),
      max_(mask == 0 ? 0 : (std::uint64_t{1} << std::popcount(mask)) - 1) {}

PixelUnpacker::PixelUnpacker(const DibFormat& format)
    : bitsPerPixel_(format.bitsPerPixel),
      palette_(format.palette),
      red_(format.masks.red),
      green_(format.masks.green),
      blue_(format.masks.blue),
      alpha_(format.masks.alpha) {}

void PixelUnpacker::Unpack(const std::uint8_t* raw, int count, std::uint8_t* bgr) const {
  switch (bitsPerPixel_) {
    case 24:
      std::copy_n(raw, static_cast<std::size_t>(count) * 3, bgr);
      return;
    case 16:
    case 32:
      UnpackMasked(raw, count, bgr);
      return;
    default:
      UnpackIndexed(raw, count, bgr);
  }
}

void PixelUnpacker::UnpackIndexed(const std::uint8_t* raw, int count, std::uint8_t* bgr) const {
  const std::size_t bpp = static_cast<std::size_t>(bitsPerPixel_);
  const std::size_t perByte = 8 / bpp;
  const unsigned indexMask = (1u << bpp) - 1;
  for (std::size_t x = 0; x < static_cast<std::size_t>(count); ++x) {
    // The leftmost pixel sits in the byte's highest bits.
    const std::size_t shift = (perByte - 1 - x % perByte) * bpp;
    const unsigned index = (raw[x / perByte] >> shift) & indexMask;
    std::copy_n(&palette_[index * 3], 3, bgr + x * 3);
  }
}

void PixelUnpacker::UnpackMasked(const std::uint8_t* raw, int count, std::uint8_t* bgr) const {
  const bool wide = bitsPerPixel_ == 32;
  for (std::size_t x = 0; x < static_cast<std::size_t>(count); ++x) {
    const std::uint32_t pixel = wide ? Le32(raw + x * 4) : Le16(raw + x * 2);
    bgr[x * 3] = blue_.Of(pixel);
    bgr[x * 3 + 1] = green_.Of(pixel);
    bgr[x * 3 + 2] = red_.Of(pixel);
  }
}

std::uint8_t PixelUnpacker::Alpha(const std::uint8_t* raw, int x) const {
  return bitsPerPixel_ == 32 ? alpha_.Of(Le32(raw + static_cast<std::size_t>(x) * 4)) : 0;
}

}  // namespace tessarin::pictures
