#include "pictures/icon_decoder.h"

#include <gtest/gtest.h>

#include "base/failure.h"
#include "support/decode_setup.h"
#include "support/metafile_builder.h"
#include "support/picture_files.h"

namespace tessarin::pictures {
namespace {

using testing::Bytes;
using testing::MetafileBuilder;
using testing::Rgb;

struct IconImage {
  Bytes bytes;
  int declaredWidth = 0;  // what the directory claims (often wrong in the wild)
};

// A bitmap icon image of one colour: 24 or 32 bits, height doubled, AND mask
// set where `masked(x, y)` (y from the top).
template <typename Masked>
IconImage BitmapImage(int width, int height, int bits, Rgb colour, std::uint8_t alpha,
                      Masked masked) {
  Bytes out;
  MetafileBuilder::Put32(out, 40);
  MetafileBuilder::Put32(out, static_cast<std::uint32_t>(width));
  MetafileBuilder::Put32(out, static_cast<std::uint32_t>(height * 2));
  MetafileBuilder::Put16(out, 1);
  MetafileBuilder::Put16(out, static_cast<std::uint16_t>(bits));
  for (int i = 0; i < 6; ++i) MetafileBuilder::Put32(out, 0);
  const std::size_t stride = (static_cast<std::size_t>(width) * bits / 8 + 3) / 4 * 4;
  for (int y = height - 1; y >= 0; --y) {
    const std::size_t start = out.size();
    for (int x = 0; x < width; ++x) {
      out.insert(out.end(), {colour.b, colour.g, colour.r});
      if (bits == 32) out.push_back(alpha);
    }
    out.resize(start + stride, 0);
  }
  const std::size_t maskStride = (static_cast<std::size_t>(width) + 31) / 32 * 4;
  for (int y = height - 1; y >= 0; --y) {
    Bytes row(maskStride, 0);
    for (int x = 0; x < width; ++x)
      if (masked(x, y))
        row[static_cast<std::size_t>(x) / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    out.insert(out.end(), row.begin(), row.end());
  }
  return {out, width};
}

IconImage Solid(int size, int bits, Rgb colour) {
  return BitmapImage(size, size, bits, colour, 255, [](int, int) { return false; });
}

IconImage PngImage(int size, Rgb colour) {
  Bytes raw;
  for (int i = 0; i < size * size; ++i) raw.insert(raw.end(), {colour.r, colour.g, colour.b});
  return {testing::EncodePng(size, size, raw), size};
}

Bytes Icon(const std::vector<IconImage>& images) {
  Bytes out;
  MetafileBuilder::Put16(out, 0);
  MetafileBuilder::Put16(out, 1);
  MetafileBuilder::Put16(out, static_cast<std::uint16_t>(images.size()));
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (const IconImage& image : images) {
    out.insert(out.end(), {static_cast<std::uint8_t>(image.declaredWidth),
                           static_cast<std::uint8_t>(image.declaredWidth), 0, 0});
    MetafileBuilder::Put16(out, 1);
    MetafileBuilder::Put16(out, 32);
    MetafileBuilder::Put32(out, static_cast<std::uint32_t>(image.bytes.size()));
    MetafileBuilder::Put32(out, offset);
    offset += static_cast<std::uint32_t>(image.bytes.size());
  }
  for (const IconImage& image : images)
    out.insert(out.end(), image.bytes.begin(), image.bytes.end());
  return out;
}

ports::Bitmap Decode(const Bytes& icon) {
  return testing::ReadWhole(*OpenIcon(testing::InMemory(icon), testing::ProgramDecoding()));
}

constexpr Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kBlack{0, 0, 0};

TEST(IconDecoder, ChoosesTheLargestImageThenTheDeepestByTheImagesOwnHeaders) {
  IconImage lying = Solid(16, 32, kRed);
  lying.declaredWidth = 0;  // claims 256
  const ports::Bitmap chosen =
      Decode(Icon({lying, Solid(32, 24, kGreen), Solid(32, 32, kBlue), Solid(24, 32, kRed)}));
  ASSERT_EQ(chosen.width, 32);
  ASSERT_EQ(chosen.height, 32);
  EXPECT_EQ(testing::PixelOf(chosen, 10, 10), kBlue);
  // Same size and depth: the first one listed.
  EXPECT_EQ(testing::PixelOf(Decode(Icon({Solid(8, 24, kGreen), Solid(8, 24, kRed)})), 1, 1),
            kGreen);
}

TEST(IconDecoder, ReadsPngImagesAndFlattensMaskAndAlphaOntoBlack) {
  const ports::Bitmap png = Decode(Icon({Solid(16, 32, kRed), PngImage(20, kGreen)}));
  ASSERT_EQ(png.width, 20);
  EXPECT_EQ(testing::PixelOf(png, 19, 19), kGreen);

  const ports::Bitmap masked = Decode(
      Icon({BitmapImage(8, 6, 24, kBlue, 255, [](int x, int y) { return x < 4 && y < 2; })}));
  ASSERT_EQ(masked.height, 6);
  EXPECT_EQ(testing::PixelOf(masked, 1, 0), kBlack);
  EXPECT_EQ(testing::PixelOf(masked, 5, 0), kBlue);
  EXPECT_EQ(testing::PixelOf(masked, 1, 3), kBlue);

  const ports::Bitmap half =
      Decode(Icon({BitmapImage(4, 4, 32, {200, 100, 50}, 128, [](int, int) { return false; })}));
  const Rgb c = testing::PixelOf(half, 2, 2);
  EXPECT_NEAR(c.r, 100, 1);
  EXPECT_NEAR(c.g, 50, 1);
  EXPECT_NEAR(c.b, 25, 1);
}

TEST(IconDecoder, DamagedIconsFailCleanly) {
  const Bytes good = Icon({Solid(16, 32, kRed), PngImage(8, kGreen)});
  for (std::size_t size = 0; size + 1 < good.size(); size += 11) {
    try {
      Decode(Bytes(good.begin(), good.begin() + static_cast<long>(size)));
      // A cut that spares the chosen image (the first) still decodes.
      EXPECT_GE(size, 6u + 32u + Solid(16, 32, kRed).bytes.size()) << size;
    } catch (const Failure&) {
    }
  }
  Bytes noImages = good;
  noImages[4] = 0;
  EXPECT_THROW(Decode(noImages), Failure);
  Bytes outside = good;
  outside[6 + 12 + 3] = outside[6 + 16 + 12 + 3] = 0x7F;  // both entries far beyond the end
  EXPECT_THROW(Decode(outside), Failure);
  Bytes cursor = good;
  cursor[2] = 2;
  EXPECT_THROW(Decode(cursor), Failure);
  for (std::size_t i = 0; i < 120; ++i) {
    Bytes bad = good;
    bad[i] ^= 0x21;
    try {
      Decode(bad);
    } catch (const Failure&) {
    }
  }
}

}  // namespace
}  // namespace tessarin::pictures
