#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "ports/pictures.h"

namespace tessarin::wallpaper {

// The layout of the file Tessarin writes: a 24-bit uncompressed bottom-up
// bitmap with a BITMAPINFOHEADER, rows padded to four bytes.
class BmpLayout {
 public:
  static constexpr std::uint32_t kHeaderSize = kBmpHeaderSize;

  // The layout for a picture of this size, or none when the file would not
  // fit the format's 32-bit size field (or a side is not positive).
  static std::optional<BmpLayout> For(int width, int height);

  int Width() const { return width_; }
  int Height() const { return height_; }
  std::uint32_t RowStride() const { return rowStride_; }
  std::uint32_t FileSize() const { return fileSize_; }
  // Where row `y` (0 is the top row) starts in the file.
  std::uint64_t RowOffset(int y) const;
  std::array<std::uint8_t, kHeaderSize> Header() const;

 private:
  BmpLayout(int width, int height, std::uint32_t rowStride, std::uint32_t fileSize)
      : width_(width), height_(height), rowStride_(rowStride), fileSize_(fileSize) {}
  int width_;
  int height_;
  std::uint32_t rowStride_;
  std::uint32_t fileSize_;
};

}  // namespace tessarin::wallpaper
