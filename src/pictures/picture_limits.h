#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "pictures/held/held_picture.h"
#include "pictures/held/memory_allowance.h"
#include "ports/files.h"
#include "ports/pictures.h"

namespace tessarin::pictures {

// BlankTopLeft (held_picture.h), its bytes first taken from the allowance
// into `held`, which keeps them while the caller lives.
ports::Bitmap HeldBlankTopLeft(const std::string& path, int width, int height, int fullWidth,
                                 int fullHeight, HeldMemory& held);

// CheckWholeDecodeSize, then the bytes taken from the allowance.
HeldMemory HoldWholeDecode(const std::string& path, std::int64_t width, std::int64_t height,
                           int bytesPerPixel);

// Transparent and uncovered pixels become this opaque colour: black, as the
// BMP reader also flattens icon images.
constexpr std::uint8_t kFlattenBlue = 0, kFlattenGreen = 0, kFlattenRed = 0;

// Throws Failure unless a picture of this size can be written as a BMP file
// and its rows are at most ports::kMaxPictureWidth pixels wide.
void CheckWritableSize(const std::string& path, std::int64_t width, std::int64_t height);

// Why a picture `width` pixels wide is refused (beyond kMaxPictureWidth).
std::string TooWideReason(std::int64_t width);

// Also throws Failure when a whole decode at `bytesPerPixel` would exceed
// kMaxWholeDecodeBytes. Call it before allocating.
void CheckWholeDecodeSize(const std::string& path, std::int64_t width, std::int64_t height,
                          int bytesPerPixel);

// A bitmap of this size filled with the flatten colour (size checked first).
ports::Bitmap BlankImage(const std::string& path, int width, int height);

// One colour channel over the flatten colour's black, by alpha (0..255).
inline std::uint8_t OverBlack(std::uint8_t channel, std::uint8_t alpha) {
  return static_cast<std::uint8_t>((channel * alpha + 127) / 255);
}

}  // namespace tessarin::pictures
