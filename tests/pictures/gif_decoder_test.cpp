#include "pictures/gif_decoder.h"

#include <gtest/gtest.h>

#include "base/failure.h"
#include "support/decode_setup.h"
#include "support/picture_files.h"

namespace tessarin::pictures {
namespace {

using testing::Bytes;
using testing::Rgb;

constexpr Rgb kBlack{0, 0, 0};
const std::vector<Rgb> kPalette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 99, 199}};

// Index of pixel (x, y): rows cycle through the palette so that a row put in
// the wrong place by deinterlacing shows.
std::uint8_t IndexAt(int x, int y) { return static_cast<std::uint8_t>((x + y) % 4); }

std::vector<std::uint8_t> Indexes(int width, int height) {
  std::vector<std::uint8_t> out;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) out.push_back(IndexAt(x, y));
  return out;
}

TEST(GifDecoder, DecodesPlainInterlacedAndLocalPaletteImages) {
  for (auto [interlaced, local] : {std::pair{false, false}, {true, false}, {false, true}}) {
    SCOPED_TRACE(std::to_string(interlaced) + std::to_string(local));
    testing::GifOptions options;
    options.interlaced = interlaced;
    options.localPalette = local;
    auto source =
        OpenGif(testing::InMemory(testing::EncodeGif(7, 19, Indexes(7, 19), kPalette, options)),
                testing::ProgramDecoding());
    ASSERT_EQ(source->Width(), 7);
    ASSERT_EQ(source->Height(), 19);
    const ports::Bitmap image = testing::ReadWhole(*source);
    for (int y = 0; y < 19; ++y)
      for (int x = 0; x < 7; ++x) ASSERT_EQ(testing::PixelOf(image, x, y), kPalette[IndexAt(x, y)]);
  }
}

TEST(GifDecoder, FlattensTransparencyAndTheScreenAroundTheImage) {
  testing::GifOptions options;
  options.screenWidth = 10;
  options.screenHeight = 8;
  options.left = 3;
  options.top = 2;
  options.transparentIndex = 1;
  const Bytes file = testing::EncodeGif(4, 3, Indexes(4, 3), kPalette, options);
  const ports::Bitmap image =
      testing::ReadWhole(*OpenGif(testing::InMemory(file), testing::ProgramDecoding()));
  ASSERT_EQ(image.width, 10);
  ASSERT_EQ(image.height, 8);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 10; ++x) {
      const bool inside = x >= 3 && x < 7 && y >= 2 && y < 5;
      const int index = inside ? IndexAt(x - 3, y - 2) : -1;
      const Rgb want = index < 0 || index == 1 ? kBlack : kPalette[static_cast<std::size_t>(index)];
      ASSERT_EQ(testing::PixelOf(image, x, y), want) << x << "," << y;
    }
  }
}

TEST(GifDecoder, WidensAScreenSmallerThanTheImage) {
  testing::GifOptions options;
  options.screenWidth = 2;
  options.screenHeight = 2;
  const Bytes file =
      testing::EncodeGif(5, 4, std::vector<std::uint8_t>(5 * 4, 3), kPalette, options);
  const ports::Bitmap image =
      testing::ReadWhole(*OpenGif(testing::InMemory(file), testing::ProgramDecoding()));
  ASSERT_EQ(image.width, 5);
  ASSERT_EQ(image.height, 4);
  EXPECT_EQ(testing::PixelOf(image, 4, 3), kPalette[3]);
}

TEST(GifDecoder, ImageWithoutAColourTableIsBlack) {
  Bytes file = testing::EncodeGif(3, 2, Indexes(3, 2), kPalette);
  // Drop the global table: clear its flag and cut its 4 entries out.
  file[10] &= 0x7F;
  file.erase(file.begin() + 13, file.begin() + 13 + 3 * 4);
  const ports::Bitmap image =
      testing::ReadWhole(*OpenGif(testing::InMemory(file), testing::ProgramDecoding()));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(testing::PixelOf(image, x, y), kBlack);
}

TEST(GifDecoder, TopLeftBlockOfStreamedAndWholeImages) {
  for (bool interlaced : {false, true}) {
    testing::GifOptions options;
    options.interlaced = interlaced;
    auto source =
        OpenGif(testing::InMemory(testing::EncodeGif(9, 30, Indexes(9, 30), kPalette, options)),
                testing::ProgramDecoding());
    const ports::Bitmap block = source->ReadTopLeft(4, 50);
    ASSERT_EQ(block.width, 4);
    ASSERT_EQ(block.height, 30);
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 4; ++x) ASSERT_EQ(testing::PixelOf(block, x, y), kPalette[IndexAt(x, y)]);
  }
}

// An interlaced image is decoded on its first read, not when opened: its
// header is known at once (its block, asked for ahead, decodes meanwhile in
// a decoder process), its damage found when it is read.
TEST(GifDecoder, AnInterlacedImageIsDecodedWhenFirstRead) {
  testing::GifOptions options;
  options.interlaced = true;
  const Bytes good = testing::EncodeGif(16, 16, Indexes(16, 16), kPalette, options);
  std::unique_ptr<ports::Picture> source;
  ASSERT_NO_THROW(source = OpenGif(testing::InMemory(Bytes(good.begin(), good.end() - 8)),
                                   testing::ProgramDecoding()));
  EXPECT_EQ(source->Width(), 16);
  EXPECT_THROW(source->ReadTopLeft(4, 4), Failure);
}

TEST(GifDecoder, TruncatedFlippedAndOversizedFilesFailCleanly) {
  const Bytes good = testing::EncodeGif(16, 16, Indexes(16, 16), kPalette);
  for (std::size_t size = 0; size < good.size() - 1; size += 3) {
    EXPECT_THROW(testing::ReadWhole(*OpenGif(
                     testing::InMemory(Bytes(good.begin(), good.begin() + static_cast<long>(size))),
                     testing::ProgramDecoding())),
                 Failure)
        << size;
  }
  for (std::size_t i = 0; i < good.size(); ++i) {
    Bytes bad = good;
    bad[i] ^= 0x10;
    try {
      testing::ReadWhole(*OpenGif(testing::InMemory(bad), testing::ProgramDecoding()));
    } catch (const Failure&) {
    }
  }
  // An interlaced 30000 x 30000 image would need 2.7 GB in memory.
  testing::GifOptions options;
  options.interlaced = true;
  Bytes huge = testing::EncodeGif(2, 2, Indexes(2, 2), kPalette, options);
  huge[6] = huge[8] = 0x30;
  huge[7] = huge[9] = 0x75;
  const std::size_t descriptor = 13 + 3 * 4;  // after the screen and its 4 colours
  ASSERT_EQ(huge[descriptor], ',');
  huge[descriptor + 5] = huge[descriptor + 7] = 0x30;
  huge[descriptor + 6] = huge[descriptor + 8] = 0x75;
  EXPECT_THROW(OpenGif(testing::InMemory(huge), testing::ProgramDecoding()), Failure);
}

}  // namespace
}  // namespace tessarin::pictures
