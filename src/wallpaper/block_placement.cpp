#include "wallpaper/block_placement.h"

#include <algorithm>

namespace tessarin::wallpaper {

BlockPlacement PlaceBlock(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                          PictureSize inset, PictureSize canvas) {
  const std::int64_t blockWidth = std::min<std::int64_t>(width, inset.width);
  const std::int64_t blockHeight = std::min<std::int64_t>(height, inset.height);
  const std::int64_t left = std::max<std::int64_t>(x, 0);
  const std::int64_t top = std::max<std::int64_t>(y, 0);
  const std::int64_t right = std::min<std::int64_t>(std::int64_t{x} + blockWidth, canvas.width);
  const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{y} + blockHeight, canvas.height);
  if (blockWidth <= 0 || blockHeight <= 0 || right <= left || bottom <= top) return {};
  // Every value below lies within the inset's or the canvas's own size.
  return BlockPlacement{static_cast<int>(left - x),     static_cast<int>(top - y),
                        static_cast<int>(left),         static_cast<int>(top),
                        static_cast<int>(right - left), static_cast<int>(bottom - top)};
}

}  // namespace tessarin::wallpaper
