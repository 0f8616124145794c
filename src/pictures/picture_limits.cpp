#include "pictures/picture_limits.h"

#include <algorithm>
#include <atomic>
#include <utility>

#include "base/failure.h"

namespace tessarin::pictures {
namespace {

static_assert(std::atomic<std::uint64_t>::is_always_lock_free,
              "the allowance is counted in memory that processes share");

std::atomic<std::uint64_t> allowanceOfThisProcess{0};
std::atomic<std::uint64_t>* allowanceUsed = &allowanceOfThisProcess;
std::atomic<std::uint64_t>* heldHere = nullptr;  // this process's share, when counted apart

void GiveBack(std::uint64_t bytes) {
  *allowanceUsed -= bytes;
  if (heldHere) *heldHere -= bytes;
}

std::string TooLargeToDecode(std::int64_t width, std::int64_t height) {
  return "the picture (" + std::to_string(width) + " x " + std::to_string(height) +
         " pixels) is too large to decode in memory";
}

}  // namespace

HeldMemory::HeldMemory(HeldMemory&& other) noexcept : bytes_(std::exchange(other.bytes_, 0)) {}

HeldMemory& HeldMemory::operator=(HeldMemory&& other) noexcept {
  if (this != &other) {
    GiveBack(bytes_);
    bytes_ = std::exchange(other.bytes_, 0);
  }
  return *this;
}

HeldMemory::~HeldMemory() { GiveBack(bytes_); }

HeldMemory HeldMemory::Take(const std::string& path, std::uint64_t bytes) {
  std::uint64_t used = allowanceUsed->load();
  do {
    if (bytes > kMaxWholeDecodeBytes - used) {
      throw Failure::InFile(path, "the picture is too large to decode in memory (it needs " +
                                      std::to_string(bytes >> 20) + " MiB, " +
                                      std::to_string((kMaxWholeDecodeBytes - used) >> 20) + " MiB are left)");
    }
  } while (!allowanceUsed->compare_exchange_weak(used, used + bytes));
  if (heldHere) *heldHere += bytes;
  return HeldMemory(bytes);
}

std::uint64_t HeldMemory::Left() { return kMaxWholeDecodeBytes - allowanceUsed->load(); }

void HeldMemory::CountIn(std::atomic<std::uint64_t>& shared, std::atomic<std::uint64_t>* own) {
  if (allowanceUsed != &shared) {  // a forked process counts in its parent's already
    shared += allowanceUsed->load();
    allowanceUsed = &shared;
  }
  heldHere = own;
}

void HeldMemory::GiveBackShareOf(std::atomic<std::uint64_t>& own) { *allowanceUsed -= own.exchange(0); }

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

ports::Bitmap BlankImage(const std::string& path, int width, int height) {
  CheckWholeDecodeSize(path, width, height, ports::kBytesPerPixel);
  ports::Bitmap image;
  image.width = width;
  image.height = height;
  image.bgr.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                   ports::kBytesPerPixel);
  for (std::size_t i = 0; i < image.bgr.size(); i += 3) {
    image.bgr[i] = kFlattenBlue;
    image.bgr[i + 1] = kFlattenGreen;
    image.bgr[i + 2] = kFlattenRed;
  }
  return image;
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
