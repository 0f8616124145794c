#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <string>

#include "pictures/image_source.h"
#include "ports/files.h"
#include "ports/pictures.h"

namespace tessarin::pictures {

// Formats that cannot stream are decoded whole; that decode, in whatever
// pixel format the decoder needs, may take at most this many bytes. 256 MiB
// holds an 8K picture at four bytes a pixel with room to spare. It is also
// the allowance that everything held whole in one process shares (see
// HeldMemory), so that a canvas and an inset together stay within it.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
// Fuzzing runs under sanitizers, whose own memory grows with every byte held:
// a quarter of the allowance keeps an input and their share within the
// fuzzer's 384 MiB, so that a bound the program breaks is still found.
constexpr std::uint64_t kMaxWholeDecodeBytes = std::uint64_t{64} << 20;
#else
constexpr std::uint64_t kMaxWholeDecodeBytes = std::uint64_t{256} << 20;
#endif

// Bytes taken from the process's allowance of kMaxWholeDecodeBytes for what
// is held whole: a picture decoded whole, a metafile's file, progressive JPEG
// coefficients, the inset's block. Given back when destroyed, so the holder
// keeps it as long as the memory lives. Safe to use from any thread.
class HeldMemory {
 public:
  HeldMemory() = default;
  HeldMemory(HeldMemory&& other) noexcept;
  HeldMemory& operator=(HeldMemory&& other) noexcept;
  ~HeldMemory();

  // Takes `bytes` from the allowance; throws Failure naming `path` when it
  // has less left (the other picture may hold the rest).
  static HeldMemory Take(const std::string& path, std::uint64_t bytes);
  // What the allowance has left.
  static std::uint64_t Left();
  std::uint64_t Bytes() const { return bytes_; }

  // Counts the allowance in `shared` from now on, memory that processes
  // forked later share, so that the decoder processes of one run take from
  // one allowance; `own` (shared as well) counts what this process holds, so
  // that its parent can give that back should the process end holding it.
  // Call it while nothing else runs in the process.
  static void CountIn(std::atomic<std::uint64_t>& shared, std::atomic<std::uint64_t>* own);
  // Gives back what an ended process held, as counted in its `own`.
  static void GiveBackShareOf(std::atomic<std::uint64_t>& own);

 private:
  explicit HeldMemory(std::uint64_t bytes) : bytes_(bytes) {}
  std::uint64_t bytes_ = 0;
};

// A picture decoded whole, holding its share of the allowance.
// BlankTopLeft (image_source.h), its bytes first taken from the allowance
// into `held`, which keeps them while the caller lives.
ports::Bitmap HeldBlankTopLeft(const std::string& path, int width, int height, int fullWidth,
                                 int fullHeight, HeldMemory& held);

class HeldImageSource final : public ImageSource {
 public:
  HeldImageSource(ports::Bitmap image, const std::string& path, HeldMemory held)
      : ImageSource(std::move(image), path), held_(std::move(held)) {}

 private:
  HeldMemory held_;
};

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
