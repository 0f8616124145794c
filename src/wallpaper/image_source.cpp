#include "wallpaper/image_source.h"

#include <algorithm>
#include <cstring>

#include "platform/failure.h"

namespace tessarin {

void ImageSource::ReadRows(std::uint8_t* out, int rows) {
  if (rows < 0 || rows > image_.height - nextRow_) {
    throw Failure("a picture was read past its last row");
  }
  const std::size_t stride = static_cast<std::size_t>(image_.width) * platform::kBytesPerPixel;
  std::memcpy(out, image_.bgr.data() + static_cast<std::size_t>(nextRow_) * stride,
              static_cast<std::size_t>(rows) * stride);
  nextRow_ += rows;
}

platform::Image ImageSource::ReadTopLeft(int width, int height) {
  platform::Image block;
  block.width = std::clamp(width, 0, image_.width);
  block.height = std::clamp(height, 0, image_.height);
  const std::size_t from = static_cast<std::size_t>(image_.width) * platform::kBytesPerPixel;
  const std::size_t to = static_cast<std::size_t>(block.width) * platform::kBytesPerPixel;
  block.bgr.resize(to * static_cast<std::size_t>(block.height));
  for (int y = 0; y < block.height; ++y) {
    std::memcpy(block.bgr.data() + y * to, image_.bgr.data() + y * from, to);
  }
  return block;
}

}  // namespace tessarin
