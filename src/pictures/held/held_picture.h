#pragma once

#include <string>

#include "pictures/held/memory_allowance.h"
#include "ports/pictures.h"

namespace tessarin::pictures::held {

// A black block of min(width, fullWidth) by min(height, fullHeight) pixels,
// or an empty image when a side asked for is not positive: what ReadTopLeft
// fills.
ports::Bitmap BlankTopLeft(int width, int height, int fullWidth, int fullHeight);

// Throws Failure naming the picture's file when `rows` more rows after
// `rowsRead` would go past its last row, or `rows` is negative: every row
// source counts its rows against this one check.
void CheckRowsLeft(const std::string& path, int rowsRead, int rows, int height);

// A picture held whole in memory (a format that cannot be read row by row,
// or one the system decodes whole), served through the same row interface as
// the streaming decoders. Keeps the share of the memory allowance its pixels
// took, when they took one, for as long as it holds them.
class HeldPicture final : public ports::Picture {
 public:
  HeldPicture(ports::Bitmap image, std::string path, HeldMemory held = {})
      : image_(std::move(image)), path_(std::move(path)), held_(std::move(held)) {}
  int Width() const override { return image_.width; }
  int Height() const override { return image_.height; }
  ports::RowOrder Order() const override { return ports::RowOrder::TopDown; }
  void ReadRows(std::uint8_t* out, int rows) override;
  // Hands the picture over as the block: call it once, and nothing after it.
  ports::Bitmap ReadTopLeft(int width, int height) override;

 private:
  ports::Bitmap image_;
  std::string path_;
  HeldMemory held_;
  int nextRow_ = 0;
};

// For decoders that can only deliver rows in order: reads them one by one,
// keeping just the top-left block.
ports::Bitmap ReadTopLeftRowByRow(ports::Picture& source, int width, int height);

}  // namespace tessarin::pictures::held
