#include "pictures/picture_limits.h"

#include "platform/failure.h"

namespace tessarin::pictures {

void CheckWritableSize(const std::string& path, std::int64_t width, std::int64_t height) {
  if (width <= 0 || height <= 0) throw Failure::InFile(path, "the picture has no pixels");
  if (!platform::FitsABmpFile(width, height)) {
    throw Failure::InFile(path, "the picture (" + std::to_string(width) + " x " +
                                    std::to_string(height) +
                                    " pixels) is too large for a BMP file");
  }
}

void CheckWholeDecodeSize(const std::string& path, std::int64_t width, std::int64_t height,
                          int bytesPerPixel) {
  CheckWritableSize(path, width, height);
  const auto bytes = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) *
                     static_cast<std::uint64_t>(bytesPerPixel);
  if (bytes > kMaxWholeDecodeBytes) {
    throw Failure::InFile(path, "the picture (" + std::to_string(width) + " x " +
                                    std::to_string(height) +
                                    " pixels) is too large to decode in memory");
  }
}

platform::Image BlankImage(const std::string& path, int width, int height) {
  CheckWholeDecodeSize(path, width, height, platform::kBytesPerPixel);
  platform::Image image;
  image.width = width;
  image.height = height;
  image.bgr.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                   platform::kBytesPerPixel);
  for (std::size_t i = 0; i < image.bgr.size(); i += 3) {
    image.bgr[i] = kFlattenBlue;
    image.bgr[i + 1] = kFlattenGreen;
    image.bgr[i + 2] = kFlattenRed;
  }
  return image;
}

}  // namespace tessarin::pictures
