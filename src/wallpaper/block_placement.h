#pragma once

#include <cstdint>

namespace tessarin::wallpaper {

struct PictureSize {
  int width = 0;
  int height = 0;
};

// The part of the inset's top-left block that lands on the canvas.
struct BlockPlacement {
  int sourceX = 0;  // its top-left pixel in the inset
  int sourceY = 0;
  int canvasX = 0;  // where that pixel lands on the canvas
  int canvasY = 0;
  int width = 0;
  int height = 0;
  bool Empty() const { return width <= 0 || height <= 0; }
  // The inset's top-left block that holds the part: all that is decoded of it.
  PictureSize Decoded() const {
    return Empty() ? PictureSize{} : PictureSize{sourceX + width, sourceY + height};
  }
};

// Places the block of `width` x `height` pixels from the inset's top-left
// corner at (x, y) on the canvas, clipped to the inset's own size and to the
// canvas. A zero or negative width or height places nothing. The arithmetic is
// done in 64 bits, so any 32-bit values are safe.
BlockPlacement PlaceBlock(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                          PictureSize inset, PictureSize canvas);

}  // namespace tessarin::wallpaper
