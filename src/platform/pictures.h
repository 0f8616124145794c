#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessarin::platform {

// Pixels as the output file stores them: 3 bytes a pixel, blue, green, red.
constexpr int kBytesPerPixel = 3;

// Rows stream whole, through buffers of bounded bytes, so Open also refuses
// a picture wider than this (1 Mi pixels: a row of 3 MiB), naming its width.
constexpr std::int64_t kMaxPictureWidth = std::int64_t{1} << 20;

// The output is a 24-bit BMP file: 54 bytes of headers, then rows padded to
// four bytes, its size held in a 32-bit field. Open refuses a picture whose
// BMP file would not fit that field, so every opened picture can be written.
constexpr std::uint64_t kBmpHeaderSize = 14 + 40;
constexpr std::uint64_t kMaxBmpFileSize = 0xFFFFFFFFu;
constexpr std::uint64_t BmpRowStride(std::uint64_t width) { return (width * 3 + 3) / 4 * 4; }
constexpr bool FitsABmpFile(std::int64_t width, std::int64_t height) {
  if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return false;
  const std::uint64_t stride = BmpRowStride(static_cast<std::uint64_t>(width));
  return kBmpHeaderSize + stride * static_cast<std::uint64_t>(height) <= kMaxBmpFileSize;
}

// A decoded picture held whole, top row first, rows packed without padding.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bgr;
};

enum class RowOrder { TopDown, BottomUp };

// An opened picture whose header has been checked, delivered row by row in
// the order its file stores them, already flattened to opaque BGR pixels.
class PictureSource {
 public:
  virtual ~PictureSource() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual RowOrder Order() const = 0;

  // Decodes the next `rows` rows into `out` (rows * Width() * 3 bytes).
  // Throws Failure on damaged data.
  virtual void ReadRows(std::uint8_t* out, int rows) = 0;

  // The top-left block of min(width, Width()) by min(height, Height()) pixels,
  // top row first. Call it instead of ReadRows, not after.
  virtual Image ReadTopLeft(int width, int height) = 0;
};

class Pictures {
 public:
  virtual ~Pictures() = default;
  // Opens the picture and checks its header; the format is decided by the
  // file's bytes. Throws Failure for a file that is not a readable picture.
  virtual std::unique_ptr<PictureSource> Open(const std::string& path) = 0;
};

}  // namespace tessarin::platform
