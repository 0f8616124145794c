#include "pictures/bmp_rle.h"

#include <algorithm>

#include "base/failure.h"
#include "pictures/read_exactly.h"

namespace tessarin::pictures {
namespace {

// The second byte of an escape (a first byte of 0); 3..255 start an absolute run.
constexpr std::uint8_t kEndOfLine = 0;
constexpr std::uint8_t kEndOfBitmap = 1;
constexpr std::uint8_t kDelta = 2;

}  // namespace

RleDecoder::RleDecoder(ports::InputFile& file, const DibFormat& format, std::size_t maxReadBytes)
    : file_(file),
      palette_(format.palette),
      fourBit_(format.compression == DibCompression::Rle4),
      width_(format.width),
      height_(format.height),
      position_(format.pixels.offset),
      end_(format.dataEnd),
      maxReadBytes_(maxReadBytes) {}

void RleDecoder::DecodeRow(std::uint8_t* bgr, int keep) {
  const std::int64_t row = row_++;
  if (ended_ || y_ > row) return;  // a delta or the end of the bitmap left this row blank
  while (true) {
    const std::uint8_t count = Next();
    const std::uint8_t value = Next();
    if (count > 0) {
      Run(count, value, bgr, keep);
    } else if (value == kEndOfLine) {
      x_ = 0;
      ++y_;
      break;
    } else if (value == kEndOfBitmap) {
      ended_ = true;
      return;
    } else if (value == kDelta) {
      const std::uint8_t dx = Next();
      const std::uint8_t dy = Next();
      x_ = std::min<std::int64_t>(x_ + dx, width_);
      y_ += dy;
      if (dy > 0) break;
    } else {
      Absolute(value, bgr, keep);
    }
  }
  if (y_ >= height_) ended_ = true;
}

void RleDecoder::SkipRows(std::int64_t rows) {
  while (rows > 0) {
    if (ended_) {
      row_ += rows;
      return;
    }
    if (y_ > row_) {
      const std::int64_t blank = std::min(rows, y_ - row_);
      row_ += blank;
      rows -= blank;
      continue;
    }
    DecodeRow(nullptr, 0);
    --rows;
  }
}

std::uint8_t RleDecoder::Next() {
  if (bufferAt_ == buffer_.size()) {
    if (position_ == end_) {
      throw Failure::InFile(FailureKind::DamagedPicture, file_.Path(),
                            "RLE data ends before the end of the bitmap");
    }
    buffer_.resize(std::min<std::uint64_t>(maxReadBytes_, end_ - position_));
    ReadExactly(file_, position_, buffer_, maxReadBytes_, "truncated RLE data");
    position_ += buffer_.size();
    bufferAt_ = 0;
  }
  return buffer_[bufferAt_++];
}

void RleDecoder::Run(int count, std::uint8_t value, std::uint8_t* bgr, int keep) {
  // Only the kept pixels cost time: a long run past the row's end is one step.
  const std::int64_t end = std::min<std::int64_t>(x_ + count, width_);
  const std::int64_t kept = std::min<std::int64_t>(end, keep);
  for (std::int64_t x = x_; x < kept; ++x) {
    // RLE4 runs alternate the byte's two pixels, high nibble first.
    const bool high = (x - x_) % 2 == 0;
    const std::uint8_t index = !fourBit_ ? value : high ? value >> 4 : value & 0x0F;
    std::copy_n(&palette_[index * 3u], 3, bgr + x * 3);
  }
  x_ = end;
}

void RleDecoder::Absolute(int count, std::uint8_t* bgr, int keep) {
  const int bytes = fourBit_ ? (count + 1) / 2 : count;
  for (int i = 0; i < bytes; ++i) {
    const std::uint8_t b = Next();
    if (!fourBit_) {
      Put(b, bgr, keep);
      continue;
    }
    Put(b >> 4, bgr, keep);
    if (2 * i + 1 < count) Put(b & 0x0F, bgr, keep);
  }
  if (bytes % 2 != 0) Next();  // absolute runs are padded to 16 bits
}

void RleDecoder::Put(std::uint8_t index, std::uint8_t* bgr, int keep) {
  if (x_ < keep) std::copy_n(&palette_[index * 3u], 3, bgr + x_ * 3);
  if (x_ < width_) ++x_;
}

}  // namespace tessarin::pictures
