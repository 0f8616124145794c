#include "pictures/png_decoder.h"

#include <spng.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/failure.h"
#include "pictures/flatten_onto_black.h"
#include "pictures/row_decoder.h"
#include "pictures/size_checks.h"

namespace tessarin::pictures {
namespace {

int ReadPngBytes(spng_ctx*, void* user, void* out, std::size_t length) {
  auto* input = static_cast<SequentialInput*>(user);
  const auto got = input->Read(std::span<std::uint8_t>(static_cast<std::uint8_t*>(out), length));
  if (!got) return SPNG_IO_ERROR;
  return *got == length ? 0 : SPNG_IO_EOF;
}

struct ContextFree {
  void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};

class PngDecoder : public RowDecoder {
 public:
  PngDecoder(std::unique_ptr<ports::InputFile> file, DecodeSetup& setup)
      : file_(std::move(file)), setup_(setup), input_(*file_), ctx_(spng_ctx_new(0)) {
    if (!ctx_)
      throw Failure::InFile(FailureKind::DecoderOutOfMemory, file_->Path(), "out of memory");
    spng_set_png_stream(ctx_.get(), ReadPngBytes, &input_);
    spng_set_chunk_limits(ctx_.get(), setup_.limits.maxPngChunkBytes,
                          setup_.limits.maxPngChunkCacheBytes);
    if (!setup_.limits.pngChecksumsChecked) {
      spng_set_crc_action(ctx_.get(), SPNG_CRC_USE, SPNG_CRC_USE);
    }
    Check(spng_get_ihdr(ctx_.get(), &ihdr_));
    CheckWritableSize(file_->Path(), ihdr_.width, ihdr_.height, setup_.limits);
    spng_trns trns{};
    const bool hasTrns = spng_get_trns(ctx_.get(), &trns) == 0;
    const bool hasAlpha = ihdr_.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
                          ihdr_.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
    alpha_ = hasAlpha || hasTrns;
  }

  int Width() const override { return static_cast<int>(ihdr_.width); }
  int Height() const override { return static_cast<int>(ihdr_.height); }
  bool Interlaced() const override { return ihdr_.interlace_method != SPNG_INTERLACE_NONE; }
  const std::string& Path() const override { return file_->Path(); }

  void StartRows() override {
    Check(spng_decode_image(ctx_.get(), nullptr, 0, Format(),
                            SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE));
    decoded_.resize(static_cast<std::size_t>(Width()) * PixelBytes());
  }

  void ReadRow(std::uint8_t* bgr) override {
    const int status = spng_decode_row(ctx_.get(), decoded_.data(), decoded_.size());
    if (status != 0 && status != SPNG_EOI) Check(status);
    ++rowsRead_;
    ToBgr(decoded_.data(), bgr, Width());
    if (rowsRead_ == Height()) CheckEnd();
  }

  // Decoded into one buffer and turned into BGR where it lies (a BGR pixel
  // is never longer than the decoded one), so the picture is held once.
  int WholeDecodePixelBytes() const override { return static_cast<int>(PixelBytes()); }

  std::unique_ptr<ports::Picture> DecodeWhole(held::HeldMemory held) override {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(Width()) * Height() * PixelBytes());
    Check(spng_decode_image(ctx_.get(), pixels.data(), pixels.size(), Format(), SPNG_DECODE_TRNS));
    CheckEnd();
    const std::size_t from = static_cast<std::size_t>(Width()) * PixelBytes();
    const std::size_t to = static_cast<std::size_t>(Width()) * 3;
    for (int y = 0; y < Height(); ++y)
      ToBgr(pixels.data() + y * from, pixels.data() + y * to, Width());
    pixels.resize(to * static_cast<std::size_t>(Height()));
    return std::make_unique<held::HeldPicture>(ports::Bitmap{Width(), Height(), std::move(pixels)},
                                               Path(), std::move(held));
  }

 private:
  int Format() const { return alpha_ ? SPNG_FMT_RGBA8 : SPNG_FMT_RGB8; }
  std::size_t PixelBytes() const { return alpha_ ? 4 : 3; }

  // A file cut after its pixel data is still a damaged file: read on to its
  // end chunk.
  void CheckEnd() { Check(spng_decode_chunks(ctx_.get())); }

  void Check(int status) const {
    if (status == SPNG_IO_EOF)
      throw Failure::InFile(FailureKind::DamagedPicture, file_->Path(), "the file ends early");
    if (status != 0)
      throw Failure::InFile(FailureKind::DamagedPicture, file_->Path(), spng_strerror(status));
  }

  // `out` may be `in` itself: each pixel is read whole before it is written.
  void ToBgr(const std::uint8_t* in, std::uint8_t* out, int width) const {
    if (alpha_) {
      for (int x = 0; x < width; ++x, in += 4, out += 3) {
        const std::uint8_t r = in[0], g = in[1], b = in[2], a = in[3];
        out[0] = OverBlack(b, a);
        out[1] = OverBlack(g, a);
        out[2] = OverBlack(r, a);
      }
      return;
    }
    for (int x = 0; x < width; ++x, in += 3, out += 3) {
      const std::uint8_t r = in[0], g = in[1], b = in[2];
      out[0] = b;
      out[1] = g;
      out[2] = r;
    }
  }

  std::unique_ptr<ports::InputFile> file_;
  DecodeSetup& setup_;
  SequentialInput input_;
  std::unique_ptr<spng_ctx, ContextFree> ctx_;
  spng_ihdr ihdr_{};
  bool alpha_ = false;
  std::vector<std::uint8_t> decoded_;
  int rowsRead_ = 0;
};

}  // namespace

std::unique_ptr<ports::Picture> OpenPng(std::unique_ptr<ports::InputFile> file,
                                        DecodeSetup& setup) {
  return OpenAsPicture(std::make_unique<PngDecoder>(std::move(file), setup), setup);
}

}  // namespace tessarin::pictures
