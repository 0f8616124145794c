#include "pictures/row_decoder.h"

#include <algorithm>

#include "pictures/held/held_picture.h"
#include "pictures/size_checks.h"

namespace tessarin::pictures {
namespace {

class StreamedPicture : public ports::Picture {
 public:
  StreamedPicture(std::unique_ptr<RowDecoder> decoder, DecodeSetup& setup)
      : decoder_(std::move(decoder)), setup_(setup) {
    decoder_->StartRows();
  }
  int Width() const override { return decoder_->Width(); }
  int Height() const override { return decoder_->Height(); }
  ports::RowOrder Order() const override { return ports::RowOrder::TopDown; }

  void ReadRows(std::uint8_t* out, int rows) override {
    held::CheckRowsLeft(decoder_->Path(), rowsRead_, rows, Height());
    const std::size_t stride = static_cast<std::size_t>(Width()) * ports::kBytesPerPixel;
    for (int y = 0; y < rows; ++y, ++rowsRead_)
      decoder_->ReadRow(out + stride * static_cast<std::size_t>(y));
  }

  ports::Bitmap ReadTopLeft(int width, int height) override {
    if (width > 0 && height > 0) {
      blockMemory_ = HoldWholeDecode(decoder_->Path(), std::min(width, Width()),
                                     std::min(height, Height()), ports::kBytesPerPixel, setup_);
    }
    return held::ReadTopLeftRowByRow(*this, width, height);
  }

 private:
  std::unique_ptr<RowDecoder> decoder_;
  DecodeSetup& setup_;
  int rowsRead_ = 0;
  held::HeldMemory blockMemory_;
};

// An interlaced picture, decoded whole when first read, not when opened: its
// header is known at once, and a picture decoded apart (a block asked for
// ahead) decodes while the reader gets on with the other picture. Its memory
// is held when it is opened, so that one too large is refused then.
class DecodedWhenRead : public ports::Picture {
 public:
  DecodedWhenRead(std::unique_ptr<RowDecoder> decoder, DecodeSetup& setup)
      : decoder_(std::move(decoder)),
        held_(HoldWholeDecode(decoder_->Path(), decoder_->Width(), decoder_->Height(),
                              decoder_->WholeDecodePixelBytes(), setup)) {}
  int Width() const override { return decoder_->Width(); }
  int Height() const override { return decoder_->Height(); }
  ports::RowOrder Order() const override { return ports::RowOrder::TopDown; }
  void ReadRows(std::uint8_t* out, int rows) override { Whole().ReadRows(out, rows); }
  ports::Bitmap ReadTopLeft(int width, int height) override {
    return Whole().ReadTopLeft(width, height);
  }
  ports::LentRows LendRows(int rows) override { return Whole().LendRows(rows); }

 private:
  ports::Picture& Whole() {
    if (!whole_) whole_ = decoder_->DecodeWhole(std::move(held_));
    return *whole_;
  }

  std::unique_ptr<RowDecoder> decoder_;
  held::HeldMemory held_;
  std::unique_ptr<ports::Picture> whole_;
};

}  // namespace

std::optional<std::size_t> SequentialInput::Read(std::span<std::uint8_t> out) noexcept {
  try {
    const std::size_t got = file_->ReadAt(offset_, out);
    offset_ += got;
    return got;
  } catch (...) {
    return std::nullopt;
  }
}

std::unique_ptr<ports::Picture> OpenAsPicture(std::unique_ptr<RowDecoder> decoder,
                                              DecodeSetup& setup) {
  if (decoder->Interlaced()) return std::make_unique<DecodedWhenRead>(std::move(decoder), setup);
  return std::make_unique<StreamedPicture>(std::move(decoder), setup);
}

}  // namespace tessarin::pictures
