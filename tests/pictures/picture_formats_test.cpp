#include "pictures/picture_formats.h"

#include <gtest/gtest.h>

#include "base/failure.h"
#include "support/decode_setup.h"
#include "support/encode_bmp.h"
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
  for (const Bytes& other :
       {Bytes{}, Bytes{'G', 'I', 'F', '8', '8', 'a'}, Bytes{0, 0, 2, 0}, Bytes{1, 0, 9, 0, 0, 2},
        Bytes{0xFF, 0xD8}, Bytes{'<', 's', 'v', 'g'}}) {
    EXPECT_EQ(Recognise(other), PictureFormat::Unknown);
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
  for (const Bytes& file :
       {testing::EncodeJpeg(4, 3, solid), testing::EncodeGif(4, 3, indexes, {{1, 2, 3}}),
        testing::EncodeGif(4, 3, indexes, {{1, 2, 3}}, interlaced), testing::EncodePng(4, 3, raw),
        testing::EncodePng(4, 3, raw, interlacedPng)}) {
    const auto source =
        OpenPicture(testing::InMemory(file, "four.pic"), testing::ProgramDecoding());
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

// The limits a decoder keeps are the setup's it was opened with, not the
// program's: rows wider than its width, and pictures decoded whole beyond
// its allowance, are refused by every format.
TEST(DecodeLimits, EachDecoderKeepsTheLimitsOfItsSetup) {
  limits::DecodeLimits narrow;
  narrow.maxPictureWidth = 3;
  DecodeSetup narrowSetup(narrow);
  limits::DecodeLimits small;
  small.maxHeldBytes = 20;
  DecodeSetup smallSetup(small);
  const auto solid = [](int, int) { return Rgb{1, 2, 3}; };
  const Bytes raw(36, 9);
  const std::string bmp = testing::EncodeBmp({4, 3, Bytes(36, 9)});
  testing::PngOptions interlaced;
  interlaced.interlaced = true;
  for (const Bytes& file :
       {Bytes(bmp.begin(), bmp.end()), testing::EncodeJpeg(4, 3, solid),
        testing::EncodeGif(4, 3, Bytes(12, 0), {{1, 2, 3}}), testing::EncodePng(4, 3, raw)}) {
    EXPECT_NO_THROW(OpenPicture(testing::InMemory(file, "four.pic"), testing::ProgramDecoding()));
    try {
      OpenPicture(testing::InMemory(file, "four.pic"), narrowSetup);
      ADD_FAILURE() << "opened";
    } catch (const Failure& failure) {
      EXPECT_STREQ(failure.what(),
                   "four.pic: the picture is 4 pixels wide; rows wider than 3 pixels are refused");
    }
  }
  const Bytes whole = testing::EncodePng(4, 3, raw, interlaced);  // 36 bytes decoded whole
  EXPECT_NO_THROW(OpenPicture(testing::InMemory(whole, "four.png"), testing::ProgramDecoding()));
  EXPECT_THROW(OpenPicture(testing::InMemory(whole, "four.png"), smallSetup), Failure);
}

}  // namespace
}  // namespace tessarin::pictures
