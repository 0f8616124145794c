#pragma once

#include <cstdint>
#include <string>

#include "limits/decode_limits.h"
#include "ports/pictures.h"

namespace tessarin::pictures {

// Transparent and uncovered pixels become this opaque colour: black, as the
// BMP reader also flattens icon images.
constexpr std::uint8_t kFlattenBlue = 0, kFlattenGreen = 0, kFlattenRed = 0;

// One colour channel over the flatten colour's black, by alpha (0..255).
inline std::uint8_t OverBlack(std::uint8_t channel, std::uint8_t alpha) {
  return static_cast<std::uint8_t>((channel * alpha + 127) / 255);
}

// A bitmap of this size filled with the flatten colour (size checked first).
ports::Bitmap BlankImage(const std::string& path, int width, int height,
                         const limits::DecodeLimits& limits);

}  // namespace tessarin::pictures
