#pragma once

#include <cstdint>

#include "platform/pictures.h"

namespace tessarin {

// Serves a picture decoded whole (a format that cannot stream) through the
// same row-source interface as the streaming decoders, top row first.
class ImageSource : public platform::PictureSource {
 public:
  explicit ImageSource(platform::Image image) : image_(std::move(image)) {}

  int Width() const override { return image_.width; }
  int Height() const override { return image_.height; }
  platform::RowOrder Order() const override { return platform::RowOrder::TopDown; }
  void ReadRows(std::uint8_t* out, int rows) override;
  platform::Image ReadTopLeft(int width, int height) override;

 private:
  platform::Image image_;
  int nextRow_ = 0;
};

}  // namespace tessarin
