#include "pictures/jpeg_decoder.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "base/failure.h"
#include "support/decode_setup.h"
#include "support/picture_files.h"

namespace tessarin::pictures {
namespace {

using testing::Bytes;
using testing::JpegKind;
using testing::Rgb;

// Flat 16 x 16 squares of four colours survive JPEG almost unchanged.
Rgb Square(int x, int y) {
  static constexpr Rgb kColours[] = {{230, 20, 20}, {20, 200, 30}, {30, 40, 220}, {240, 240, 240}};
  return kColours[((x / 16) + 2 * (y / 16)) % 4];
}

void ExpectNear(Rgb actual, Rgb expected, int tolerance, int x, int y) {
  EXPECT_LE(std::abs(actual.r - expected.r), tolerance) << "at " << x << "," << y;
  EXPECT_LE(std::abs(actual.g - expected.g), tolerance) << "at " << x << "," << y;
  EXPECT_LE(std::abs(actual.b - expected.b), tolerance) << "at " << x << "," << y;
}

// Checks the centre of every square, away from the ringing at its edges.
void ExpectSquares(const ports::Bitmap& image, bool gray) {
  for (int y = 8; y < image.height; y += 16) {
    for (int x = 8; x < image.width; x += 16) {
      Rgb want = Square(x, y);
      if (gray) want = {want.g, want.g, want.g};
      ExpectNear(testing::PixelOf(image, x, y), want, 6, x, y);
    }
  }
}

Bytes Squares(int width, int height, testing::JpegOptions options = {}) {
  return testing::EncodeJpeg(width, height, Square, options);
}

TEST(JpegDecoder, DecodesEveryKindTopRowFirst) {
  const struct {
    JpegKind kind;
    int restart;
  } cases[] = {{JpegKind::Baseline, 0}, {JpegKind::Progressive, 0}, {JpegKind::Grayscale, 0},
               {JpegKind::Cmyk, 0},     {JpegKind::Ycck, 0},        {JpegKind::Baseline, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind) * 10 + c.restart);
    auto source = OpenJpeg(testing::InMemory(Squares(80, 48, {c.kind, c.restart})),
                           testing::ProgramDecoding());
    ASSERT_EQ(source->Width(), 80);
    ASSERT_EQ(source->Height(), 48);
    EXPECT_EQ(source->Order(), ports::RowOrder::TopDown);
    ExpectSquares(testing::ReadWhole(*source), c.kind == JpegKind::Grayscale);
  }
}

TEST(JpegDecoder, StreamsRowsInSeveralCalls) {
  auto source = OpenJpeg(testing::InMemory(Squares(64, 64)), testing::ProgramDecoding());
  ports::Bitmap image{64, 64, Bytes(64 * 64 * 3)};
  source->ReadRows(image.bgr.data(), 5);
  source->ReadRows(image.bgr.data() + 5 * 64 * 3, 59);
  ExpectSquares(image, false);
  std::uint8_t extra[64 * 3];
  EXPECT_THROW(source->ReadRows(extra, 1), Failure);
}

// The block's last column sits on a 16-pixel boundary in the first case: the
// crop must still deliver it exactly as the full decode does.
TEST(JpegDecoder, TopLeftBlockEqualsTheSameCornerOfTheWholePicture) {
  const Bytes file =
      testing::EncodeJpeg(200, 120,
                          [](int x, int y) {
                            return Rgb{std::uint8_t(x), std::uint8_t(y * 2), std::uint8_t(x ^ y)};
                          },
                          {JpegKind::Baseline, 0, 90});
  const ports::Bitmap whole =
      testing::ReadWhole(*OpenJpeg(testing::InMemory(file), testing::ProgramDecoding()));
  for (auto [w, h] : {std::pair{32, 16}, {33, 17}, {199, 119}, {500, 500}, {1, 1}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    const ports::Bitmap block =
        OpenJpeg(testing::InMemory(file), testing::ProgramDecoding())->ReadTopLeft(w, h);
    ASSERT_EQ(block.width, std::min(w, 200));
    ASSERT_EQ(block.height, std::min(h, 120));
    for (int y = 0; y < block.height; ++y) {
      for (int x = 0; x < block.width; ++x) {
        ASSERT_EQ(testing::PixelOf(block, x, y), testing::PixelOf(whole, x, y)) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(
      OpenJpeg(testing::InMemory(file), testing::ProgramDecoding())->ReadTopLeft(0, 5).bgr.size(),
      0u);
}

void ExpectCleanFailure(const Bytes& file) {
  EXPECT_THROW(
      {
        auto source =
            OpenJpeg(testing::InMemory(file, "/pics/bad.jpg"), testing::ProgramDecoding());
        testing::ReadWhole(*source);
      },
      Failure);
}

TEST(JpegDecoder, RefusesTruncatedTwelveBitAndOversizedFiles) {
  const Bytes good = Squares(64, 64);
  for (std::size_t size : {std::size_t{3}, std::size_t{100}, good.size() / 2, good.size() - 40}) {
    ExpectCleanFailure(Bytes(good.begin(), good.begin() + static_cast<long>(size)));
  }
  // Same file claiming 12-bit samples in its frame header.
  Bytes twelveBit = good;
  for (std::size_t i = 0; i + 4 < twelveBit.size(); ++i) {
    if (twelveBit[i] == 0xFF && twelveBit[i + 1] == 0xC0) {
      twelveBit[i + 4] = 12;
      break;
    }
  }
  ExpectCleanFailure(twelveBit);
  // 60000 x 60000 pixels cannot be written as a BMP file: refused at once.
  Bytes huge = good;
  for (std::size_t i = 0; i + 8 < huge.size(); ++i) {
    if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
      huge[i + 5] = huge[i + 7] = 0xEA;
      huge[i + 6] = huge[i + 8] = 0x60;
      break;
    }
  }
  try {
    OpenJpeg(testing::InMemory(huge, "/pics/huge.jpg"), testing::ProgramDecoding());
    ADD_FAILURE() << "opened";
  } catch (const Failure& failure) {
    EXPECT_NE(std::string(failure.what()).find("/pics/huge.jpg: "), std::string::npos);
    EXPECT_NE(std::string(failure.what()).find("too large"), std::string::npos);
  }
}

TEST(JpegDecoder, AFileMissingOnlyItsEndMarkerStillDecodes) {
  for (JpegKind kind : {JpegKind::Baseline, JpegKind::Progressive}) {
    const Bytes good = Squares(48, 32, {kind});
    const Bytes noEnd(good.begin(), good.end() - 2);
    EXPECT_EQ(
        testing::ReadWhole(*OpenJpeg(testing::InMemory(noEnd), testing::ProgramDecoding())).bgr,
        testing::ReadWhole(*OpenJpeg(testing::InMemory(good), testing::ProgramDecoding())).bgr);
  }
}

TEST(JpegDecoder, FlippedBitsDecodeOrFailCleanly) {
  const Bytes good = Squares(48, 32, {JpegKind::Progressive});
  for (std::size_t i = 0; i < good.size(); i += 7) {
    Bytes bad = good;
    bad[i] ^= static_cast<std::uint8_t>(1u << (i % 8));
    try {
      auto source = OpenJpeg(testing::InMemory(bad), testing::ProgramDecoding());
      testing::ReadWhole(*source);
    } catch (const Failure&) {
    }
  }
}

}  // namespace
}  // namespace tessarin::pictures
