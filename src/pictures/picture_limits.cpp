#include "pictures/picture_limits.h"

#include "platform/failure.h"

namespace tessarin::pictures {

std::string TooWideReason(std::int64_t width) {
  return "the picture is " + std::to_string(width) + " pixels wide; rows wider than " +
         std::to_string(platform::kMaxPictureWidth) + " pixels are refused";
}

void CheckWritableSize(const std::string& path, std::int64_t width, std::int64_t height) {
  if (width <= 0 || height <= 0) throw Failure::InFile(path, "the picture has no pixels");
  if (width > platform::kMaxPictureWidth) throw Failure::InFile(path, TooWideReason(width));
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

void ReadExactly(platform::InputFile& file, std::uint64_t offset, std::span<std::uint8_t> out) {
  if (file.ReadAt(offset, out) != out.size()) {
    throw Failure::InFile(file.Path(), "the file ends early");
  }
}

}  // namespace tessarin::pictures
