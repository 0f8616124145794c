#pragma once

#include "platform/pictures.h"

namespace tessarin::pictures {

// The top-left block of min(width, image's) by min(height, image's) pixels.
platform::Image CropTopLeft(const platform::Image& image, int width, int height);

// Serves a picture decoded whole (a format that cannot be read row by row)
// through the same row interface as the streaming decoders.
class ImageSource : public platform::PictureSource {
 public:
  explicit ImageSource(platform::Image image) : image_(std::move(image)) {}
  int Width() const override { return image_.width; }
  int Height() const override { return image_.height; }
  platform::RowOrder Order() const override { return platform::RowOrder::TopDown; }
  void ReadRows(std::uint8_t* out, int rows) override;
  // Hands the picture over as the block: call it once, and nothing after it.
  platform::Image ReadTopLeft(int width, int height) override;

 private:
  platform::Image image_;
  int nextRow_ = 0;
};

// For decoders that can only deliver rows in order: reads them, keeping just
// the top-left block.
platform::Image ReadTopLeftThroughRows(platform::PictureSource& source, int width, int height);

}  // namespace tessarin::pictures
