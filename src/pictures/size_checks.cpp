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

held::HeldMemory HoldWholeDecode(const std::string& path, std::int64_t width, std::int64_t height,
                                 int bytesPerPixel, DecodeSetup& setup) {
  CheckWholeDecodeSize(path, width, height, bytesPerPixel, setup.limits);
  const auto bytes = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) *
                     static_cast<std::uint64_t>(bytesPerPixel);
  return setup.allowance.Take(path, bytes);
}

std::string TooWideReason(std::int64_t width, const limits::DecodeLimits& limits) {
  return "the picture is " + std::to_string(width) + " pixels wide; rows wider than " +
         std::to_string(limits.maxPictureWidth) + " pixels are refused";
}

void CheckWritableSize(const std::string& path, std::int64_t width, std::int64_t height,
                       const limits::DecodeLimits& limits) {
  if (width <= 0 || height <= 0)
    throw Failure::InFile(FailureKind::DamagedPicture, path, "the picture has no pixels");
  if (width > limits.maxPictureWidth)
    throw Failure::InFile(FailureKind::PictureTooLarge, path, TooWideReason(width, limits));
  if (!FitsABmpFile(width, height)) {
    throw Failure::InFile(FailureKind::PictureTooLarge, path,
                          "the picture (" + std::to_string(width) + " x " + std::to_string(height) +
                              " pixels) is too large for a BMP file");
  }
}

void CheckWholeDecodeSize(const std::string& path, std::int64_t width, std::int64_t height,
                          int bytesPerPixel, const limits::DecodeLimits& limits) {
  CheckWritableSize(path, width, height, limits);
  const auto bytes = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) *
                     static_cast<std::uint64_t>(bytesPerPixel);
  if (bytes > limits.maxHeldBytes)
    throw Failure::InFile(FailureKind::PictureTooLarge, path, TooLargeToDecode(width, height));
}

ports::Bitmap HeldBlankTopLeft(const std::string& path, int width, int height, int fullWidth,
                               int fullHeight, DecodeSetup& setup, held::HeldMemory& held) {
  if (width > 0 && height > 0) {
    held = HoldWholeDecode(path, std::min(width, fullWidth), std::min(height, fullHeight),
                           ports::kBytesPerPixel, setup);
  }
  return held::BlankTopLeft(width, height, fullWidth, fullHeight);
}

}  // namespace tessarin::pictures
