#include "pictures/picture_formats.h"

#include <gtest/gtest.h>

#include "pictures/metafile_source.h"
#include "base/failure.h"
#include "support/decode_setup.h"
#include "support/metafile_builder.h"
#include "support/picture_files.h"

namespace tessarin::pictures {
namespace {

using testing::Bytes;
using testing::Rgb;

PictureFormat Recognise(const Bytes& head) { return RecognisePicture(head); }

TEST(RecognisePicture, GoesByTheFirstBytesOnly) {
  EXPECT_EQ(Recognise({'B', 'M', 0}), PictureFormat::Bmp);
  EXPECT_EQ(Recognise({0xFF, 0xD8, 0xFF, 0xE0}), PictureFormat::Jpeg);
  EXPECT_EQ(Recognise({'G', 'I', 'F', '8', '7', 'a'}), PictureFormat::Gif);
  EXPECT_EQ(Recognise({'G', 'I', 'F', '8', '9', 'a'}), PictureFormat::Gif);
  EXPECT_EQ(Recognise({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}), PictureFormat::Png);
  EXPECT_EQ(Recognise({0, 0, 1, 0, 1, 0}), PictureFormat::Icon);
  EXPECT_EQ(Recognise({0xD7, 0xCD, 0xC6, 0x9A, 0, 0}), PictureFormat::Metafile);
  EXPECT_EQ(Recognise({1, 0, 9, 0, 0, 3}), PictureFormat::Metafile);
  EXPECT_EQ(Recognise({2, 0, 9, 0, 0, 1}), PictureFormat::Metafile);
  for (const Bytes& other : {Bytes{}, Bytes{'G', 'I', 'F', '8', '8', 'a'}, Bytes{0, 0, 2, 0},
                             Bytes{1, 0, 9, 0, 0, 2}, Bytes{0xFF, 0xD8}, Bytes{'<', 's', 'v', 'g'}}) {
    EXPECT_EQ(Recognise(other), PictureFormat::Unknown);
  }
}

// Through the module, with a bitmap record decoded by the BMP reader.
TEST(MetafileSource, DrawsThroughTheModuleAndReportsFailuresByFile) {
  testing::MetafileBuilder b;
  b.Placeable(0, 0, 300, 150, 1440).Record(0x0103, {1});  // 20 x 10 pixels
  const auto dib = testing::Dib24(1, 1, {0, 0, 255});
  b.WithBytes(0x0F43, {0x0020, 0x00CC, 0, 1, 1, 0, 0, 10, 20, 0, 0}, dib);  // StretchDIB, all of it
  auto source = OpenMetafileWith(testing::InMemory(b.Build(), "clip.wmf"), TESSARIN_METAFILE_MODULE, testing::ProgramDecoding());
  const ports::Bitmap image = testing::ReadWhole(*source);
  ASSERT_EQ(image.width, 20);
  ASSERT_EQ(image.height, 10);
  EXPECT_EQ(testing::PixelOf(image, 19, 9), (Rgb{255, 0, 0}));

  testing::MetafileBuilder broken;
  broken.Placeable(0, 0, 300, 150, 1440);
  Bytes damagedDib = dib;
  damagedDib[14] = 7;  // 7 bits per pixel
  broken.WithBytes(0x0F43, {0x0020, 0x00CC, 0, 1, 1, 0, 0, 10, 20, 0, 0}, damagedDib);
  EXPECT_THROW(OpenMetafileWith(testing::InMemory(broken.Build(), "clip.wmf"), TESSARIN_METAFILE_MODULE, testing::ProgramDecoding()), Failure);
  try {
    OpenMetafileWith(testing::InMemory(b.Build(), "clip.wmf"), "/nonexistent/tessarin-metafile.so", testing::ProgramDecoding());
    ADD_FAILURE() << "loaded";
  } catch (const Failure& failure) {
    EXPECT_NE(std::string(failure.what()).find("clip.wmf: the metafile module cannot be loaded"), std::string::npos);
  }
}

// Streamed or decoded whole, each format's rows end at its height, and the
// failure names the file.
TEST(PictureRows, ReadingPastTheLastRowFailsNamingTheFile) {
  const auto solid = [](int, int) { return Rgb{1, 2, 3}; };
  testing::GifOptions interlaced;
  interlaced.interlaced = true;
  testing::PngOptions interlacedPng;
  interlacedPng.interlaced = true;
  const Bytes indexes(12, 0);
  const Bytes raw(36, 9);
  for (const Bytes& file : {testing::EncodeJpeg(4, 3, solid), testing::EncodeGif(4, 3, indexes, {{1, 2, 3}}),
                            testing::EncodeGif(4, 3, indexes, {{1, 2, 3}}, interlaced),
                            testing::EncodePng(4, 3, raw), testing::EncodePng(4, 3, raw, interlacedPng)}) {
    const auto source = OpenPicture(testing::InMemory(file, "four.pic"), testing::ProgramDecoding());
    std::vector<std::uint8_t> rows(4 * 3 * 3);
    source->ReadRows(rows.data(), 3);
    try {
      source->ReadRows(rows.data(), 1);
      ADD_FAILURE() << "read a fourth row";
    } catch (const Failure& failure) {
      EXPECT_STREQ(failure.what(), "four.pic: the picture was read past its last row");
    }
  }
}

}  // namespace
}  // namespace tessarin::pictures
