#include "pictures/bmp_decoder.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "base/failure.h"
#include "base/little_endian.h"
#include "pictures/bmp_format.h"
#include "pictures/bmp_pixels.h"
#include "pictures/bmp_rle.h"
#include "pictures/flatten_onto_black.h"
#include "pictures/held/held_picture.h"
#include "pictures/picture_formats.h"
#include "pictures/read_exactly.h"
#include "pictures/size_checks.h"

namespace tessarin::pictures {
namespace {

constexpr std::uint64_t kFileHeaderSize = 14;
constexpr const char* kTruncatedRows = "truncated pixel data";

std::uint64_t BytesFor(int pixels, int bitsPerPixel) {
  return (static_cast<std::uint64_t>(pixels) * static_cast<std::uint64_t>(bitsPerPixel) + 7) / 8;
}

// Consecutive file rows of one plane, the first `bytes` bytes of each.
class RowStrip {
 public:
  // Rows most of whose bytes are wanted come in one read; short prefixes of
  // long rows are read row by row, skipping the rest.
  static std::uint64_t Spacing(const RowPlane& plane, std::uint64_t bytes) {
    return bytes * 2 >= plane.stride ? plane.stride : bytes;
  }

  void Load(ports::InputFile& file, const RowPlane& plane, std::uint64_t first, std::uint64_t count,
            std::uint64_t bytes, std::size_t maxReadBytes) {
    count_ = 0;  // holds nothing until the read has succeeded
    spacing_ = Spacing(plane, bytes);
    data_.resize((count - 1) * spacing_ + bytes);
    if (spacing_ == plane.stride) {
      ReadExactly(file, plane.RowStart(first), data_, maxReadBytes, kTruncatedRows);
    } else {
      for (std::uint64_t i = 0; i < count; ++i) {
        ReadExactly(file, plane.RowStart(first + i), std::span(&data_[i * bytes], bytes),
                    maxReadBytes, kTruncatedRows);
      }
    }
    first_ = first;
    count_ = count;
  }

  bool Holds(std::uint64_t row) const { return row >= first_ && row - first_ < count_; }
  const std::uint8_t* Row(std::uint64_t row) const { return &data_[(row - first_) * spacing_]; }

 private:
  std::uint64_t first_ = 0;
  std::uint64_t count_ = 0;
  std::uint64_t spacing_ = 0;
  std::vector<std::uint8_t> data_;
};

// What the DIB decoders share: the file, its checked format and the rows delivered.
class DibDecoder : public ports::Picture {
 public:
  DibDecoder(std::unique_ptr<ports::InputFile> file, DibFormat format, DecodeSetup& setup)
      : file_(std::move(file)), format_(std::move(format)), setup_(setup) {}
  int Width() const override { return format_.width; }
  int Height() const override { return format_.height; }
  ports::RowOrder Order() const override { return format_.order; }

 protected:
  bool TopDown() const { return format_.order == ports::RowOrder::TopDown; }

  // Takes `rows` more rows for ReadRows; false when there are none to take.
  bool TakeRows(int rows) {
    if (rows <= 0) return false;
    held::CheckRowsLeft(file_->Path(), delivered_, rows, format_.height);
    delivered_ += rows;
    return true;
  }

  static std::size_t RowBytesOut(int width) {
    return static_cast<std::size_t>(width) * ports::kBytesPerPixel;
  }

  std::unique_ptr<ports::InputFile> file_;
  const DibFormat format_;
  DecodeSetup& setup_;
  int delivered_ = 0;
  held::HeldMemory blockMemory_;
};

// Uncompressed rows, read by offset in strips; an icon image's AND mask
// rows are read alongside its colour rows.
class UncompressedDibDecoder final : public DibDecoder {
 public:
  UncompressedDibDecoder(std::unique_ptr<ports::InputFile> file, DibFormat format,
                         DecodeSetup& setup)
      : DibDecoder(std::move(file), std::move(format), setup), unpacker_(format_) {}

  void ReadRows(std::uint8_t* out, int rows) override {
    const int first = delivered_;
    if (!TakeRows(rows)) return;
    for (int i = 0; i < rows; ++i) {
      const std::uint64_t row = static_cast<std::uint64_t>(first) + i;
      if (!stream_.colour.Holds(row)) LoadRows(stream_, row, format_.height - row, format_.width);
      DecodeRow(stream_, row, format_.width, out + RowBytesOut(format_.width) * i);
    }
  }

  ports::Bitmap ReadTopLeft(int width, int height) override {
    ports::Bitmap image = HeldBlankTopLeft(file_->Path(), width, height, format_.width,
                                           format_.height, setup_, blockMemory_);
    const std::uint64_t rows = static_cast<std::uint64_t>(image.height);
    const std::uint64_t first = TopDown() ? 0 : format_.height - rows;
    Strips strips;
    for (std::uint64_t row = first; row < first + rows; ++row) {
      if (!strips.colour.Holds(row)) LoadRows(strips, row, first + rows - row, image.width);
      const std::uint64_t imageRow = TopDown() ? row : format_.height - 1 - row;
      DecodeRow(strips, row, image.width, &image.bgr[RowBytesOut(image.width) * imageRow]);
    }
    return image;
  }

 private:
  struct Strips {
    RowStrip colour;
    RowStrip mask;
  };

  // Loads as many of the `wanted` rows from `first` as a strip holds, the
  // first `pixels` pixels of each.
  void LoadRows(Strips& strips, std::uint64_t first, std::uint64_t wanted, int pixels) {
    const std::uint64_t colourBytes = BytesFor(pixels, format_.bitsPerPixel);
    const std::uint64_t maskBytes = BytesFor(pixels, 1);
    std::uint64_t rowSpace = RowStrip::Spacing(format_.pixels, colourBytes);
    if (format_.andMask) rowSpace += RowStrip::Spacing(*format_.andMask, maskBytes);
    const std::uint64_t count =
        std::clamp<std::uint64_t>(setup_.limits.maxReadBytes / rowSpace, 1, wanted);
    const std::size_t maxRead = setup_.limits.maxReadBytes;
    strips.colour.Load(*file_, format_.pixels, first, count, colourBytes, maxRead);
    if (format_.andMask) {
      strips.mask.Load(*file_, *format_.andMask, first, count, maskBytes, maxRead);
    }
  }

  void DecodeRow(const Strips& strips, std::uint64_t row, int pixels, std::uint8_t* out) {
    const std::uint8_t* raw = strips.colour.Row(row);
    unpacker_.Unpack(raw, pixels, out);
    if (!format_.andMask) return;
    if (IconUsesAlpha()) {
      FlattenOntoBlack(raw, pixels, out);
    } else {
      BlackWhereMasked(strips.mask.Row(row), pixels, out);
    }
  }

  // A 32-bit icon image whose alpha is zero everywhere predates alpha: its
  // AND mask decides instead.
  bool IconUsesAlpha() {
    if (!iconUsesAlpha_) {
      iconUsesAlpha_ = format_.bitsPerPixel == 32 && format_.masks.alpha != 0 && AnyAlpha();
    }
    return *iconUsesAlpha_;
  }

  bool AnyAlpha() {
    Strips strips;
    for (std::uint64_t row = 0; row < static_cast<std::uint64_t>(format_.height); ++row) {
      if (!strips.colour.Holds(row)) LoadRows(strips, row, format_.height - row, format_.width);
      const std::uint8_t* raw = strips.colour.Row(row);
      for (int x = 0; x < format_.width; ++x) {
        if (unpacker_.Alpha(raw, x) != 0) return true;
      }
    }
    return false;
  }

  void FlattenOntoBlack(const std::uint8_t* raw, int pixels, std::uint8_t* out) const {
    for (int x = 0; x < pixels; ++x) {
      const std::uint8_t alpha = unpacker_.Alpha(raw, x);
      std::uint8_t* pixel = out + RowBytesOut(x);
      for (int c = 0; c < ports::kBytesPerPixel; ++c) {
        pixel[c] = OverBlack(pixel[c], alpha);
      }
    }
  }

  static void BlackWhereMasked(const std::uint8_t* mask, int pixels, std::uint8_t* out) {
    for (int x = 0; x < pixels; ++x) {
      if ((mask[x / 8] >> (7 - x % 8)) & 1) std::fill_n(out + RowBytesOut(x), 3, 0);
    }
  }

  PixelUnpacker unpacker_;
  Strips stream_;
  std::optional<bool> iconUsesAlpha_;
};

class RleDibDecoder final : public DibDecoder {
 public:
  RleDibDecoder(std::unique_ptr<ports::InputFile> file, DibFormat format, DecodeSetup& setup)
      : DibDecoder(std::move(file), std::move(format), setup),
        stream_(*file_, format_, setup.limits.maxReadBytes) {}

  void ReadRows(std::uint8_t* out, int rows) override {
    if (!TakeRows(rows)) return;
    const std::size_t rowBytes = RowBytesOut(format_.width);
    std::fill_n(out, rowBytes * static_cast<std::size_t>(rows), 0);
    for (int i = 0; i < rows; ++i) stream_.DecodeRow(out + rowBytes * i, format_.width);
  }

  // RLE rows are bottom-up: the block's rows are the last ones decoded.
  ports::Bitmap ReadTopLeft(int width, int height) override {
    ports::Bitmap image = HeldBlankTopLeft(file_->Path(), width, height, format_.width,
                                           format_.height, setup_, blockMemory_);
    if (image.height == 0) return image;
    RleDecoder decoder(*file_, format_, setup_.limits.maxReadBytes);
    decoder.SkipRows(format_.height - image.height);
    for (int row = image.height - 1; row >= 0; --row) {
      decoder.DecodeRow(&image.bgr[RowBytesOut(image.width) * row], image.width);
    }
    return image;
  }

 private:
  RleDecoder stream_;
};

std::unique_ptr<ports::Picture> OpenPlaced(std::unique_ptr<ports::InputFile> file,
                                           const DibPlacement& where, DecodeSetup& setup) {
  DibFormat format = ReadDibFormat(*file, where, setup.limits);
  if (format.compression == DibCompression::None) {
    return std::make_unique<UncompressedDibDecoder>(std::move(file), std::move(format), setup);
  }
  return std::make_unique<RleDibDecoder>(std::move(file), std::move(format), setup);
}

}  // namespace

std::unique_ptr<ports::Picture> OpenBmp(std::unique_ptr<ports::InputFile> file,
                                        DecodeSetup& setup) {
  std::array<std::uint8_t, kFileHeaderSize> header{};
  if (file->Size() < header.size())
    throw Failure::InFile(FailureKind::DamagedPicture, file->Path(), "not a BMP file");
  ReadExactly(*file, 0, header, setup.limits.maxReadBytes, "not a BMP file");
  if (RecognisePicture(header) != PictureFormat::Bmp) {
    throw Failure::InFile(FailureKind::DamagedPicture, file->Path(), "not a BMP file");
  }
  const DibPlacement where{kFileHeaderSize, file->Size() - kFileHeaderSize, Le32(&header[10]),
                           DibKind::File};
  return OpenPlaced(std::move(file), where, setup);
}

std::unique_ptr<ports::Picture> OpenDib(std::unique_ptr<ports::InputFile> file,
                                        std::uint64_t offset, std::uint64_t size, DibKind kind,
                                        DecodeSetup& setup) {
  return OpenPlaced(std::move(file), DibPlacement{offset, size, std::nullopt, kind}, setup);
}

}  // namespace tessarin::pictures
