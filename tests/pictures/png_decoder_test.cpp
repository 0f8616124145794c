#include "pictures/png_decoder.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "base/failure.h"
#include "support/decode_setup.h"
#include "support/picture_files.h"

namespace tessarin::pictures {
namespace {

using testing::Bytes;
using testing::Rgb;

constexpr int kWidth = 11, kHeight = 9;

// Packs samples (one vector per pixel, top row first) at `depth` bits each,
// rows starting on a byte; 16-bit samples in host order, as the encoder takes them.
Bytes Pack(const std::vector<std::vector<int>>& pixels, int depth) {
  Bytes out;
  for (int y = 0; y < kHeight; ++y) {
    int bits = 0, acc = 0;
    for (int x = 0; x < kWidth; ++x) {
      for (int sample : pixels[static_cast<std::size_t>(y * kWidth + x)]) {
        if (depth == 16) {
          out.push_back(static_cast<std::uint8_t>(sample));
          out.push_back(static_cast<std::uint8_t>(sample >> 8));
          continue;
        }
        acc = (acc << depth) | sample;
        bits += depth;
        if (bits == 8) {
          out.push_back(static_cast<std::uint8_t>(acc));
          acc = bits = 0;
        }
      }
    }
    if (bits) out.push_back(static_cast<std::uint8_t>(acc << (8 - bits)));
  }
  return out;
}

struct Variant {
  const char* name;
  testing::PngOptions options;
  std::function<std::vector<int>(int, int)> samples;  // the pixel's samples
  std::function<Rgb(int, int)> expected;              // its colour after flattening
};

testing::PngOptions Options(std::uint8_t colorType, int depth) {
  testing::PngOptions options;
  options.colorType = colorType;
  options.bitDepth = static_cast<std::uint8_t>(depth);
  return options;
}

std::uint8_t Scale(int value, int depth) {
  return static_cast<std::uint8_t>(depth == 16 ? value >> 8 : value * 255 / ((1 << depth) - 1));
}

std::vector<Variant> Variants() {
  std::vector<Variant> out;
  for (int depth : {1, 2, 4, 8, 16}) {
    const int top = (1 << depth) - 1;
    out.push_back({"gray", Options(SPNG_COLOR_TYPE_GRAYSCALE, depth),
                   [=](int x, int y) { return std::vector<int>{(x * 7 + y) % (top + 1)}; },
                   [=](int x, int y) {
                     const auto v = Scale((x * 7 + y) % (top + 1), depth);
                     return Rgb{v, v, v};
                   }});
  }
  for (int depth : {8, 16}) {
    const int step = depth == 16 ? 5000 : 20;
    out.push_back({"rgb", Options(SPNG_COLOR_TYPE_TRUECOLOR, depth),
                   [=](int x, int y) {
                     return std::vector<int>{x * step, y * step, (x + y) * step / 2};
                   },
                   [=](int x, int y) {
                     return Rgb{Scale(x * step, depth), Scale(y * step, depth),
                                Scale((x + y) * step / 2, depth)};
                   }});
    const int full = (1 << depth) - 1;
    out.push_back({"gray+alpha", Options(SPNG_COLOR_TYPE_GRAYSCALE_ALPHA, depth),
                   [=](int x, int) {
                     return std::vector<int>{full, x % 2 ? full : 0};
                   },
                   [=](int x, int) {
                     return x % 2 ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
                   }});
    out.push_back({"rgba", Options(SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, depth),
                   [=](int, int y) {
                     return std::vector<int>{full, full / 2, 0, y == 0 ? full : full / 2};
                   },
                   [=](int, int y) {
                     return y == 0 ? Rgb{255, 127, 0} : Rgb{127, 64, 0};
                   }});
  }
  const std::vector<Rgb> palette = {{10, 20, 30}, {200, 100, 50}, {0, 255, 0}, {90, 80, 70}};
  for (int depth : {2, 4, 8}) {
    testing::PngOptions options = Options(SPNG_COLOR_TYPE_INDEXED, depth);
    options.palette = palette;
    options.paletteAlpha = {255, 0};  // entry 1 transparent
    out.push_back({"palette", options, [](int x, int y) { return std::vector<int>{(x + y) % 4}; },
                   [=](int x, int y) {
                     return (x + y) % 4 == 1 ? Rgb{0, 0, 0} : palette[(x + y) % 4];
                   }});
  }
  testing::PngOptions grayKey = Options(SPNG_COLOR_TYPE_GRAYSCALE, 8);
  grayKey.transparentGray = 77;
  out.push_back({"gray key", grayKey, [](int x, int) { return std::vector<int>{x ? 77 : 78}; },
                 [](int x, int) {
                   return x ? Rgb{0, 0, 0} : Rgb{78, 78, 78};
                 }});
  testing::PngOptions rgbKey = Options(SPNG_COLOR_TYPE_TRUECOLOR, 8);
  rgbKey.transparentRed = 1;
  rgbKey.transparentGreen = 2;
  rgbKey.transparentBlue = 3;
  out.push_back({"rgb key", rgbKey,
                 [](int, int y) {
                   return std::vector<int>{1, 2, y ? 3 : 4};
                 },
                 [](int, int y) {
                   return y ? Rgb{0, 0, 0} : Rgb{1, 2, 4};
                 }});
  return out;
}

Bytes Encode(const Variant& variant, bool interlaced) {
  std::vector<std::vector<int>> pixels;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) pixels.push_back(variant.samples(x, y));
  testing::PngOptions options = variant.options;
  options.interlaced = interlaced;
  return testing::EncodePng(kWidth, kHeight, Pack(pixels, options.bitDepth), options);
}

void ExpectPixels(const ports::Bitmap& image, const Variant& variant) {
  ASSERT_EQ(image.width, kWidth);
  ASSERT_EQ(image.height, kHeight);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const Rgb got = testing::PixelOf(image, x, y), want = variant.expected(x, y);
      ASSERT_LE(std::abs(got.r - want.r) + std::abs(got.g - want.g) + std::abs(got.b - want.b), 2)
          << x << "," << y << " got " << int(got.r) << " " << int(got.g) << " " << int(got.b);
    }
  }
}

TEST(PngDecoder, DecodesEveryColourTypeAndDepthPlainAndInterlaced) {
  for (const Variant& variant : Variants()) {
    for (bool interlaced : {false, true}) {
      SCOPED_TRACE(std::string(variant.name) + " depth " +
                   std::to_string(variant.options.bitDepth) + (interlaced ? " interlaced" : ""));
      auto source =
          OpenPng(testing::InMemory(Encode(variant, interlaced)), testing::ProgramDecoding());
      ExpectPixels(testing::ReadWhole(*source), variant);
    }
  }
}

TEST(PngDecoder, TopLeftBlockMatchesTheWholePicture) {
  const Variant variant = Variants()[5];  // 8-bit RGB
  for (bool interlaced : {false, true}) {
    const ports::Bitmap block =
        OpenPng(testing::InMemory(Encode(variant, interlaced)), testing::ProgramDecoding())
            ->ReadTopLeft(4, 3);
    ASSERT_EQ(block.width, 4);
    ASSERT_EQ(block.height, 3);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) EXPECT_EQ(testing::PixelOf(block, x, y), variant.expected(x, y));
  }
}

TEST(PngDecoder, TruncatedFlippedAndOversizedFilesFailCleanly) {
  const Bytes good = Encode(Variants()[5], false);
  // libspng does not read the end chunk's own checksum, the last 4 bytes.
  for (std::size_t size = 0; size + 4 < good.size(); size += 3) {
    EXPECT_THROW(testing::ReadWhole(*OpenPng(
                     testing::InMemory(Bytes(good.begin(), good.begin() + static_cast<long>(size))),
                     testing::ProgramDecoding())),
                 Failure)
        << size << " of " << good.size();
  }
  for (std::size_t i = 0; i < good.size(); ++i) {
    Bytes bad = good;
    bad[i] ^= 0x04;
    try {
      testing::ReadWhole(*OpenPng(testing::InMemory(bad), testing::ProgramDecoding()));
    } catch (const Failure&) {
    }
  }
  // An interlaced 20000 x 20000 picture would need 1.6 GB whole: refused
  // before any pixel is decoded (the header's checksum is fixed up).
  Bytes huge = Encode(Variants()[5], true);
  const Bytes size = {0, 0, 0x4E, 0x20, 0, 0, 0x4E, 0x20};
  std::copy(size.begin(), size.end(), huge.begin() + 16);
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::size_t i = 12; i < 29; ++i) {
    crc ^= huge[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  crc ^= 0xFFFFFFFF;
  for (int k = 0; k < 4; ++k)
    huge[29 + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(crc >> (24 - 8 * k));
  try {
    OpenPng(testing::InMemory(huge, "big.png"), testing::ProgramDecoding());
    ADD_FAILURE() << "opened";
  } catch (const Failure& failure) {
    EXPECT_NE(std::string(failure.what()).find("too large to decode in memory"), std::string::npos)
        << failure.what();
  }
}

}  // namespace
}  // namespace tessarin::pictures
