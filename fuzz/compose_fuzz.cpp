// The whole load-and-compose path: a canvas and an inset of any format (told
// by their bytes), an area, and the composed BMP written into memory.
// Input: canvas length (2 bytes), X, Y, width, height (2 bytes each, signed),
// the canvas, then the inset.

#include <cstring>
#include <vector>

#include "base/little_endian.h"
#include "fuzz_picture.h"
#include "pictures/picture_formats.h"
#include "wallpaper/block_placement.h"
#include "wallpaper/bmp_layout.h"
#include "wallpaper/compose.h"

namespace {

using tessarin::pictures::PictureFormat;

class MemoryOutput : public tessarin::ports::OutputFile {
 public:
  explicit MemoryOutput(std::uint64_t size) : bytes_(size) {}
  void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
    if (offset > bytes_.size() || bytes.size() > bytes_.size() - offset) __builtin_trap();
    std::memcpy(bytes_.data() + offset, bytes.data(), bytes.size());
  }
  void Commit() override {}

 private:
  std::vector<std::uint8_t> bytes_;
};

// Every format but the metafile, whose module is fuzzed on its own.
std::unique_ptr<tessarin::ports::Picture> Open(const std::uint8_t* data, std::size_t size) {
  auto file = std::make_unique<tessarin::testing::MemoryInputFile>(
      "fuzz", std::vector<std::uint8_t>(data, data + size));
  const auto head = std::span<const std::uint8_t>(data, std::min<std::size_t>(size, 16));
  const PictureFormat format = tessarin::pictures::RecognisePicture(head);
  if (format == PictureFormat::Unknown || format == PictureFormat::Metafile) return nullptr;
  return tessarin::pictures::OpenPicture(std::move(file), tessarin::fuzzing::FuzzDecoding());
}

std::int16_t Word(const std::uint8_t* p) { return static_cast<std::int16_t>(tessarin::Le16(p)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 10) return 0;
  const std::size_t canvasSize = static_cast<std::uint16_t>(Word(data));
  if (canvasSize > size - 10) return 0;
  const std::uint8_t* canvasBytes = data + 10;
  try {
    const auto canvas = Open(canvasBytes, canvasSize);
    const auto inset = Open(canvasBytes + canvasSize, size - 10 - canvasSize);
    if (!canvas || !inset) return 0;
    if (std::int64_t{canvas->Width()} * canvas->Height() > tessarin::fuzzing::kMaxFuzzPixels)
      return 0;
    const auto layout = tessarin::wallpaper::BmpLayout::For(canvas->Width(), canvas->Height());
    if (!layout) return 0;
    const tessarin::wallpaper::BlockPlacement placement = tessarin::wallpaper::PlaceBlock(
        Word(data + 2), Word(data + 4), Word(data + 6), Word(data + 8),
        {inset->Width(), inset->Height()}, {canvas->Width(), canvas->Height()});
    MemoryOutput output(layout->FileSize());
    tessarin::wallpaper::ComposeInto(*canvas, *inset, "inset", placement, *layout, output);
  } catch (const tessarin::Failure&) {
  }
  return 0;
}
