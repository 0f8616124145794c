#include "pictures/gif_decoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "base/failure.h"
#include "pictures/flatten_onto_black.h"
#include "pictures/row_decoder.h"
#include "pictures/size_checks.h"

namespace tessarin::pictures {
namespace {

int ReadGifBytes(GifFileType* gif, GifByteType* out, int length) {
  auto* input = static_cast<SequentialInput*>(gif->UserData);
  const auto got = input->Read(std::span<std::uint8_t>(out, static_cast<std::size_t>(length)));
  return got ? static_cast<int>(*got) : 0;  // on 0, giflib reports a read error
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

// The 256 possible indexes mapped to BGR; unused and transparent ones black.
using IndexColours = std::array<std::array<std::uint8_t, 3>, 256>;

class GifDecoder : public RowDecoder {
 public:
  GifDecoder(std::unique_ptr<ports::InputFile> file, DecodeSetup& setup)
      : file_(std::move(file)), setup_(setup), input_(*file_) {
    int error = 0;
    gif_.reset(DGifOpen(&input_, ReadGifBytes, &error));
    if (!gif_) Fail(error);
    const int transparent = ReadUpToFirstImage();
    const GifImageDesc& image = gif_->Image;
    if (image.Width <= 0 || image.Height <= 0) {
      throw Failure::InFile(FailureKind::DamagedPicture, file_->Path(),
                            "the picture has no pixels");
    }
    // A logical screen smaller than the first image is widened to hold it.
    width_ = std::max(gif_->SWidth, image.Left + image.Width);
    height_ = std::max(gif_->SHeight, image.Top + image.Height);
    CheckWritableSize(file_->Path(), width_, height_, setup_.limits);
    BuildPalette(image.ColorMap ? image.ColorMap : gif_->SColorMap, transparent);
    line_.resize(static_cast<std::size_t>(image.Width));
  }

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  bool Interlaced() const override { return gif_->Image.Interlace; }
  const std::string& Path() const override { return file_->Path(); }

  // The next row of the logical screen: the image's line where it covers it.
  void ReadRow(std::uint8_t* out) override {
    const GifImageDesc& image = gif_->Image;
    const int y = nextRow_++;
    Fill(out, width_);
    if (y < image.Top || y >= image.Top + image.Height) return;
    ReadLine();
    PaintLine(out, width_);
  }

  std::unique_ptr<ports::Picture> DecodeWhole(held::HeldMemory held) override {
    const GifImageDesc& image = gif_->Image;
    ports::Bitmap picture = BlankImage(Path(), width_, height_, setup_.limits);
    const std::size_t stride = static_cast<std::size_t>(width_) * 3;
    static constexpr int kStart[] = {0, 4, 2, 1};
    static constexpr int kStep[] = {8, 8, 4, 2};
    const int passes = image.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
      const int start = image.Interlace ? kStart[pass] : 0;
      const int step = image.Interlace ? kStep[pass] : 1;
      for (int row = start; row < image.Height; row += step) {
        ReadLine();
        PaintLine(picture.bgr.data() + static_cast<std::size_t>(image.Top + row) * stride, width_);
      }
    }
    return std::make_unique<held::HeldPicture>(std::move(picture), Path(), std::move(held));
  }

 private:
  [[noreturn]] void Fail(int error) const {
    if (error == D_GIF_ERR_READ_FAILED)
      throw Failure::InFile(FailureKind::DamagedPicture, file_->Path(), "the file ends early");
    const char* text = GifErrorString(error);
    throw Failure::InFile(FailureKind::DamagedPicture, file_->Path(),
                          text ? text : "the GIF data is damaged");
  }

  // Skips extensions up to the first image descriptor, keeping the
  // transparent index of a graphic control extension; returns it or -1.
  int ReadUpToFirstImage() {
    int transparent = -1;
    for (;;) {
      GifRecordType type = UNDEFINED_RECORD_TYPE;
      if (DGifGetRecordType(gif_.get(), &type) == GIF_ERROR) Fail(gif_->Error);
      if (type == IMAGE_DESC_RECORD_TYPE) {
        if (DGifGetImageDesc(gif_.get()) == GIF_ERROR) Fail(gif_->Error);
        return transparent;
      }
      if (type != EXTENSION_RECORD_TYPE) {
        throw Failure::InFile(FailureKind::DamagedPicture, file_->Path(),
                              "the GIF file holds no image");
      }
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif_.get(), &code, &block) == GIF_ERROR) Fail(gif_->Error);
      if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
        transparent = (block[1] & 0x01) ? block[4] : -1;
      }
      while (block) {
        if (DGifGetExtensionNext(gif_.get(), &block) == GIF_ERROR) Fail(gif_->Error);
      }
    }
  }

  void BuildPalette(const ColorMapObject* colours, int transparent) {
    for (auto& entry : palette_) entry = {kFlattenBlue, kFlattenGreen, kFlattenRed};
    const int count = colours ? std::min(colours->ColorCount, 256) : 0;
    for (int i = 0; i < count; ++i) {
      const GifColorType& c = colours->Colors[i];
      palette_[static_cast<std::size_t>(i)] = {c.Blue, c.Green, c.Red};
    }
    if (transparent >= 0) {
      palette_[static_cast<std::size_t>(transparent)] = {kFlattenBlue, kFlattenGreen, kFlattenRed};
    }
  }

  void ReadLine() {
    if (DGifGetLine(gif_.get(), line_.data(), static_cast<int>(line_.size())) == GIF_ERROR) {
      Fail(gif_->Error);
    }
  }

  void PaintLine(std::uint8_t* row, int rowWidth) const {
    const GifImageDesc& image = gif_->Image;
    std::uint8_t* out = row + static_cast<std::size_t>(image.Left) * 3;
    const int count = std::min(image.Width, rowWidth - image.Left);
    for (int x = 0; x < count; ++x, out += 3) {
      std::memcpy(out, palette_[line_[static_cast<std::size_t>(x)]].data(), 3);
    }
  }

  static void Fill(std::uint8_t* out, int count) {
    for (int x = 0; x < count; ++x, out += 3) {
      out[0] = kFlattenBlue;
      out[1] = kFlattenGreen;
      out[2] = kFlattenRed;
    }
  }

  std::unique_ptr<ports::InputFile> file_;
  DecodeSetup& setup_;
  SequentialInput input_;
  GifHandle gif_;
  IndexColours palette_{};
  std::vector<GifPixelType> line_;
  int width_ = 0;
  int height_ = 0;
  int nextRow_ = 0;
};

}  // namespace

std::unique_ptr<ports::Picture> OpenGif(std::unique_ptr<ports::InputFile> file,
                                        DecodeSetup& setup) {
  return OpenAsPicture(std::make_unique<GifDecoder>(std::move(file), setup), setup);
}

}  // namespace tessarin::pictures
