#include "pictures/flatten_onto_black.h"

#include "pictures/size_checks.h"

namespace tessarin::pictures {

ports::Bitmap BlankImage(const std::string& path, int width, int height,
                         const limits::DecodeLimits& limits) {
  CheckWholeDecodeSize(path, width, height, ports::kBytesPerPixel, limits);
  ports::Bitmap image;
  image.width = width;
  image.height = height;
  image.bgr.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                   ports::kBytesPerPixel);
  // resize zeroes the pixels: black needs no second pass over them.
  if constexpr (kFlattenBlue != 0 || kFlattenGreen != 0 || kFlattenRed != 0) {
    for (std::size_t i = 0; i < image.bgr.size(); i += 3) {
      image.bgr[i] = kFlattenBlue;
      image.bgr[i + 1] = kFlattenGreen;
      image.bgr[i + 2] = kFlattenRed;
    }
  }
  return image;
}

}  // namespace tessarin::pictures
