#pragma once

#include <cstdint>
#include <vector>

#include "pictures/bmp_format.h"
#include "ports/files.h"

namespace tessarin::pictures {

// Decodes RLE8 or RLE4 data row by row, in the file's (bottom-up) order.
// Pixels the data never sets stay as the caller left them (black); runs past
// the row's end are clipped; a delta or an end of line past the last row ends
// the bitmap. Data that runs out before the bitmap ends is a Failure.
// Each step consumes input or delivers a row, so work is linear.
class RleDecoder {
 public:
  // Reads the data in pieces of at most `maxReadBytes`.
  RleDecoder(ports::InputFile& file, const DibFormat& format, std::size_t maxReadBytes);

  // Decodes the next row, writing only its first `keep` pixels into `bgr`.
  void DecodeRow(std::uint8_t* bgr, int keep);
  // Moves past `rows` rows without writing them.
  void SkipRows(std::int64_t rows);

 private:
  std::uint8_t Next();
  void Run(int count, std::uint8_t value, std::uint8_t* bgr, int keep);
  void Absolute(int count, std::uint8_t* bgr, int keep);
  void Put(std::uint8_t index, std::uint8_t* bgr, int keep);

  ports::InputFile& file_;
  const Palette& palette_;
  const bool fourBit_;
  const std::int64_t width_;
  const std::int64_t height_;

  std::uint64_t position_;  // of the next byte in the file
  const std::uint64_t end_;
  const std::size_t maxReadBytes_;
  std::vector<std::uint8_t> buffer_;
  std::size_t bufferAt_ = 0;

  std::int64_t row_ = 0;  // the row the next DecodeRow delivers
  std::int64_t x_ = 0;    // where the next pixel lands
  std::int64_t y_ = 0;
  bool ended_ = false;
};

}  // namespace tessarin::pictures
