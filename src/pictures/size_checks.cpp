#include "pictures/size_checks.h"

#include <algorithm>
#include <utility>

#include "base/failure.h"

namespace tessarin::pictures {
namespace {

std::string TooLargeToDecode(std::int64_t width, std::int64_t height) {
  return "the picture (" + std::to_string(width) + " x " + std::to_string(height) +
         " pixels) is too large to decode in memory";
}

}  // namespace

HeldMemory HoldWholeDecode(const std::string& path, std::int64_t width, std::int64_t height,
                           int bytesPerPixel) {
  CheckWholeDecodeSize(path, width, height, bytesPerPixel);
  const auto bytes = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) *
                     static_cast<std::uint64_t>(bytesPerPixel);
  return HeldMemory::Take(path, bytes);
}

std::string TooWideReason(std::int64_t width) {
  return "the picture is " + std::to_string(width) + " pixels wide; rows wider than " +
         std::to_string(ports::kMaxPictureWidth) + " pixels are refused";
}

void CheckWritableSize(const std::string& path, std::int64_t width, std::int64_t height) {
  if (width <= 0 || height <= 0) throw Failure::InFile(path, "the picture has no pixels");
  if (width > ports::kMaxPictureWidth) throw Failure::InFile(path, TooWideReason(width));
  if (!FitsABmpFile(width, height)) {
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
  if (bytes > kMaxWholeDecodeBytes) throw Failure::InFile(path, TooLargeToDecode(width, height));
}

ports::Bitmap HeldBlankTopLeft(const std::string& path, int width, int height, int fullWidth,
                                 int fullHeight, HeldMemory& held) {
  if (width > 0 && height > 0) {
    held = HoldWholeDecode(path, std::min(width, fullWidth), std::min(height, fullHeight),
                           ports::kBytesPerPixel);
  }
  return BlankTopLeft(width, height, fullWidth, fullHeight);
}

}  // namespace tessarin::pictures
