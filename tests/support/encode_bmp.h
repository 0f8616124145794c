#pragma once

#include <cstring>
#include <string>

#include "ports/pictures.h"
#include "wallpaper/bmp_layout.h"

namespace tessarin::testing {

// The image as the 24-bit bottom-up BMP file Tessarin itself writes.
inline std::string EncodeBmp(const ports::Bitmap& image) {
  const auto layout = wallpaper::BmpLayout::For(image.width, image.height);
  std::string file(layout->FileSize(), '\0');
  const auto header = layout->Header();
  std::memcpy(file.data(), header.data(), header.size());
  const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 3;
  for (int y = 0; y < image.height; ++y) {
    std::memcpy(file.data() + layout->RowOffset(y),
                image.bgr.data() + rowBytes * static_cast<std::size_t>(y), rowBytes);
  }
  return file;
}

}  // namespace tessarin::testing
