#include "wallpaper/bmp_layout.h"

namespace tessarin::wallpaper {
namespace {

void PutLittleEndian(std::uint8_t* at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

std::optional<BmpLayout> BmpLayout::For(int width, int height) {
  if (!FitsABmpFile(width, height)) return std::nullopt;
  const std::uint64_t stride = BmpRowStride(static_cast<std::uint64_t>(width));
  const std::uint64_t size = kHeaderSize + stride * static_cast<std::uint64_t>(height);
  return BmpLayout(width, height, static_cast<std::uint32_t>(stride),
                   static_cast<std::uint32_t>(size));
}

std::uint64_t BmpLayout::RowOffset(int y) const {
  return kHeaderSize + static_cast<std::uint64_t>(height_ - 1 - y) * rowStride_;
}

std::array<std::uint8_t, BmpLayout::kHeaderSize> BmpLayout::Header() const {
  std::array<std::uint8_t, kHeaderSize> h{};
  h[0] = 'B';
  h[1] = 'M';
  PutLittleEndian(&h[2], fileSize_, 4);
  PutLittleEndian(&h[10], kHeaderSize, 4);  // offset of the pixels
  PutLittleEndian(&h[14], 40, 4);           // BITMAPINFOHEADER
  PutLittleEndian(&h[18], static_cast<std::uint32_t>(width_), 4);
  PutLittleEndian(&h[22], static_cast<std::uint32_t>(height_), 4);  // positive: bottom-up
  PutLittleEndian(&h[26], 1, 2);                                    // planes
  PutLittleEndian(&h[28], 24, 2);                                   // bits per pixel
  PutLittleEndian(&h[30], 0, 4);                                    // BI_RGB
  PutLittleEndian(&h[34], fileSize_ - kHeaderSize, 4);
  PutLittleEndian(&h[38], 3780, 4);  // 96 pixels per inch
  PutLittleEndian(&h[42], 3780, 4);
  return h;
}

}  // namespace tessarin::wallpaper
