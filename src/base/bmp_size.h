#pragma once

#include <climits>
#include <cstdint>

namespace tessarin {

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

}  // namespace tessarin
