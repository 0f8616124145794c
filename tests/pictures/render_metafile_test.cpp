#include "pictures/metafile/render_metafile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "base/little_endian.h"
#include "limits/decode_limits.h"
#include "support/metafile_builder.h"
#include "support/picture_files.h"

namespace tessarin::pictures::metafile {
namespace {

using testing::ColorRef;
using testing::MetafileBuilder;
using testing::Rgb;

constexpr Rgb kBlack{0, 0, 0}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255},
    kWhite{255, 255, 255}, kYellow{255, 255, 0};

enum : std::uint16_t {
  kSaveDc = 0x001E,
  kSetBkMode = 0x0102,
  kSetMapMode = 0x0103,
  kSetPolyFillMode = 0x0106,
  kRestoreDc = 0x0127,
  kSelectObject = 0x012D,
  kSetTextAlign = 0x012E,
  kDibCreatePatternBrush = 0x0142,
  kDeleteObject = 0x01F0,
  kSetBkColor = 0x0201,
  kSetTextColor = 0x0209,
  kSetWindowOrg = 0x020B,
  kSetWindowExt = 0x020C,
  kSetViewportOrg = 0x020D,
  kLineTo = 0x0213,
  kMoveTo = 0x0214,
  kCreatePen = 0x02FA,
  kCreateFont = 0x02FB,
  kCreateBrush = 0x02FC,
  kPolygon = 0x0324,
  kPolyline = 0x0325,
  kScaleWindowExt = 0x0410,
  kEllipse = 0x0418,
  kRectangle = 0x041B,
  kSetPixel = 0x041F,
  kTextOut = 0x0521,
  kPolyPolygon = 0x0538,
  kRoundRect = 0x061C,
  kPatBlt = 0x061D,
  kArc = 0x0817,
  kPie = 0x081A,
  kChord = 0x0830,
  kDibBitBlt = 0x0940,
  kExtTextOut = 0x0A32,
  kDibStretchBlt = 0x0B41,
  kSetDibToDev = 0x0D33,
  kStretchDib = 0x0F43,
};

// Only what the tests put in: 24-bit bottom-up DIBs.
ports::Bitmap DecodeTestDib(std::span<const std::uint8_t> dib) {
  ports::Bitmap image;
  image.width = static_cast<int>(Le32(&dib[4]));
  image.height = static_cast<int>(Le32(&dib[8]));
  const std::size_t stride = (std::size_t(image.width) * 3 + 3) / 4 * 4;
  for (int y = image.height - 1; y >= 0; --y) {
    const auto row = dib.subspan(40 + std::size_t(y) * stride, std::size_t(image.width) * 3);
    image.bgr.insert(image.bgr.end(), row.begin(), row.end());
  }
  return image;
}

// With 64 MiB for the drawing and the program's caps.
RenderRequest Request(std::span<const std::uint8_t> bytes,
                      decltype(RenderRequest::decodeDib) decodeDib = DecodeTestDib) {
  const limits::DecodeLimits limits;
  return {bytes,
          std::uint64_t{64} << 20,
          std::move(decodeDib),
          limits.metafileWorkPerPixel,
          limits.metafileMinWork,
          limits.metafileMaxSavedStates,
          limits.metafileMaxFontPixels,
          {}};  // the renderer's own memory
}

ports::Bitmap Render(const MetafileBuilder& builder) {
  const auto bytes = builder.Build();
  const RenderRequest request = Request(bytes);
  return RenderMetafile(request);
}

// A placeable 100 x 80 pixel frame (1440 units per inch, 15 to a pixel) in
// MM_TEXT, so that record coordinates are pixels.
MetafileBuilder Pixels() {
  MetafileBuilder b;
  b.Placeable(0, 0, 1500, 1200, 1440).Record(kSetMapMode, {1});
  return b;
}

// The words of a CreateBrushIndirect record: a solid brush.
std::vector<std::int32_t> SolidBrush(Rgb c) {
  auto words = std::vector<std::int32_t>{0};
  for (auto w : ColorRef(c.r, c.g, c.b)) words.push_back(w);
  words.push_back(0);
  return words;
}

// Pen (object 0) and brush (object 1), selected.
MetafileBuilder& PenAndBrush(MetafileBuilder& b, Rgb pen, Rgb brush, int penStyle = 0) {
  auto penWords = std::vector<std::int32_t>{penStyle, 1, 0};
  for (auto w : ColorRef(pen.r, pen.g, pen.b)) penWords.push_back(w);
  return b.Record(kCreatePen, penWords)
      .Record(kCreateBrush, SolidBrush(brush))
      .Record(kSelectObject, {0})
      .Record(kSelectObject, {1});
}

Rgb At(const ports::Bitmap& image, int x, int y) { return testing::PixelOf(image, x, y); }

TEST(RenderMetafile, SizeIsThePlaceableFrameAt96PixelsPerInchOrTheWindow) {
  MetafileBuilder placeable;
  placeable.Placeable(-100, 50, 620, 410, 720);  // 1 x 0.5 inch
  const ports::Bitmap a = Render(placeable);
  EXPECT_EQ(a.width, 96);
  EXPECT_EQ(a.height, 48);
  EXPECT_EQ(At(a, 50, 20), kBlack);  // nothing drawn: the flatten colour

  MetafileBuilder plain;
  plain.Record(kSetWindowOrg, {20, 10}).Record(kSetWindowExt, {30, 70});
  PenAndBrush(plain, kRed, kGreen).Record(kRectangle, {50, 80, 20, 10});  // the whole window
  const ports::Bitmap b = Render(plain);
  EXPECT_EQ(b.width, 70);
  EXPECT_EQ(b.height, 30);
  EXPECT_EQ(At(b, 0, 0), kRed);
  EXPECT_EQ(At(b, 35, 15), kGreen);
  EXPECT_EQ(At(b, 69, 29), kRed);
}

TEST(RenderMetafile, FillsEveryClosedShapeWithTheBrushAndOutlinesItWithThePen) {
  MetafileBuilder b = Pixels();
  PenAndBrush(b, kRed, kBlue)
      .Record(kRectangle, {20, 30, 2, 2})         // bottom, right, top, left
      .Record(kRoundRect, {8, 8, 20, 70, 2, 40})  // corner h, w, then the box
      .Record(kEllipse, {50, 30, 30, 2})
      .Record(kPolygon, {3, 40, 30, 60, 30, 50, 50})   // triangle
      .Record(kPie, {60, 70, 60, 99, 79, 99, 40, 61})  // from the right over the top to the left
      .Record(kChord, {79, 60, 61, 60, 79, 59, 61, 40});
  const ports::Bitmap image = Render(b);
  EXPECT_EQ(At(image, 15, 10), kBlue);   // rectangle inside
  EXPECT_EQ(At(image, 2, 10), kRed);     // its left edge
  EXPECT_EQ(At(image, 29, 10), kRed);    // its right edge, inside the box
  EXPECT_EQ(At(image, 30, 10), kBlack);  // the box's right bound is not drawn
  EXPECT_EQ(At(image, 55, 10), kBlue);   // round rectangle
  EXPECT_EQ(At(image, 40, 2), kBlack);   // its rounded corner
  EXPECT_EQ(At(image, 16, 40), kBlue);   // ellipse centre
  EXPECT_EQ(At(image, 3, 31), kBlack);   // outside the ellipse, inside its box
  EXPECT_EQ(At(image, 50, 40), kBlue);   // triangle
  EXPECT_EQ(At(image, 85, 50), kBlue);   // pie: the upper half...
  EXPECT_EQ(At(image, 80, 70), kBlack);  // ...not the lower one
  EXPECT_EQ(At(image, 50, 65), kBlue);   // chord: left of its straight side
  EXPECT_EQ(At(image, 58, 70), kBlack);  // right of it, still inside the ellipse
}

TEST(RenderMetafile, PolyPolygonFollowsTheFillMode) {
  for (int mode : {1, 2}) {  // ALTERNATE, WINDING
    MetafileBuilder b = Pixels();
    PenAndBrush(b, kBlue, kGreen, 5)  // PS_NULL: fill only
        .Record(kSetPolyFillMode, {mode})
        .Record(kPolyPolygon,
                {2, 4, 4, 10, 10, 50, 10, 50, 50, 10, 50, 30, 30, 70, 30, 70, 70, 30, 70});
    const ports::Bitmap image = Render(b);
    EXPECT_EQ(At(image, 20, 20), kGreen);
    EXPECT_EQ(At(image, 60, 60), kGreen);
    EXPECT_EQ(At(image, 40, 40), mode == 1 ? kBlack : kGreen) << mode;
  }
}

TEST(RenderMetafile, HatchedBrushDrawsItsLinesOverTheBackgroundColour) {
  MetafileBuilder b = Pixels();
  auto hatched = std::vector<std::int32_t>{2};  // BS_HATCHED
  for (auto w : ColorRef(255, 255, 0)) hatched.push_back(w);
  hatched.push_back(4);  // HS_CROSS
  auto background = ColorRef(0, 0, 255);
  b.Record(kCreatePen, {5, 0, 0, 0, 0})
      .Record(kSelectObject, {0})
      .Record(kCreateBrush, hatched)
      .Record(kSelectObject, {1})
      .Record(kSetBkColor, background)
      .Record(kRectangle, {40, 40, 0, 0});
  const ports::Bitmap image = Render(b);
  int lines = 0, back = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x) {
      const Rgb c = At(image, x, y);
      ASSERT_TRUE(c == kYellow || c == kBlue) << x << "," << y;
      (c == kYellow ? lines : back)++;
    }
  }
  EXPECT_GT(lines, 40 * 8);  // one row and one column in every 8
  EXPECT_GT(back, lines);
  // Transparent background mode leaves the gaps alone.
  b.Record(kSetBkMode, {1}).Record(kRectangle, {80, 80, 50, 50});
  const ports::Bitmap transparent = Render(b);
  EXPECT_EQ(At(transparent, 51, 51), kBlack);
}

TEST(RenderMetafile, WindowAndViewportAndMapModesPlaceTheDrawing) {
  // Anisotropic: a 10 x 10 window over the whole 100 x 80 frame.
  MetafileBuilder scaled;
  scaled.Placeable(0, 0, 1500, 1200, 1440)
      .Record(kSetMapMode, {8})
      .Record(kSetWindowOrg, {0, 0})
      .Record(kSetWindowExt, {10, 10});
  PenAndBrush(scaled, kGreen, kGreen)
      .Record(kRectangle, {10, 10, 5, 5});  // the bottom-right quarter
  const ports::Bitmap a = Render(scaled);
  EXPECT_EQ(At(a, 75, 60), kGreen);
  EXPECT_EQ(At(a, 45, 35), kBlack);

  // Low English: a hundredth of an inch, y upwards from a viewport origin
  // at the bottom.
  MetafileBuilder english = Pixels();
  english.Record(kSetMapMode, {4}).Record(kSetViewportOrg, {80, 0});
  PenAndBrush(english, kRed, kRed).Record(kRectangle, {0, 50, 25, 0});  // half an inch by a quarter
  const ports::Bitmap b = Render(english);
  EXPECT_EQ(At(b, 20, 70), kRed);
  EXPECT_EQ(At(b, 20, 50), kBlack);  // 24 pixels up is the top
  EXPECT_EQ(At(b, 50, 70), kBlack);  // 48 pixels across is the right
}

TEST(RenderMetafile, SaveRestoreSelectAndDeleteKeepTheRightObjects) {
  MetafileBuilder b = Pixels();
  b.Record(kCreatePen, {5, 0, 0, 0, 0}).Record(kSelectObject, {0});
  b.Record(kCreateBrush, SolidBrush(kRed))       // object 1
      .Record(kCreateBrush, SolidBrush(kGreen))  // object 2
      .Record(kSelectObject, {1})
      .Record(kSaveDc, {})
      .Record(kSelectObject, {2})
      .Record(kRectangle, {10, 10, 0, 0})  // green
      .Record(kRestoreDc, {-1})
      .Record(kRectangle, {10, 20, 0, 10})  // red again
      .Record(kDeleteObject, {1})
      .Record(kCreateBrush, SolidBrush(kWhite))  // takes the freed slot 1
      .Record(kSelectObject, {1})
      .Record(kRectangle, {10, 30, 0, 20})
      .Record(0x0999, {1, 2, 3})  // unknown: skipped
      .Record(kSelectObject, {2})
      .Record(kRectangle, {10, 40, 0, 30});
  const ports::Bitmap image = Render(b);
  EXPECT_EQ(At(image, 5, 5), kGreen);
  EXPECT_EQ(At(image, 15, 5), kRed);
  EXPECT_EQ(At(image, 25, 5), kWhite);
  EXPECT_EQ(At(image, 35, 5), kGreen);
}

TEST(RenderMetafile, LinesPolylinesAndArcsUseThePen) {
  MetafileBuilder b = Pixels();
  PenAndBrush(b, kYellow, kBlue)
      .Record(kMoveTo, {5, 0})
      .Record(kLineTo, {5, 50})  // row 5, x 0..49
      .Record(kPolyline, {3, 0, 20, 30, 20, 30, 40})
      .Record(kArc,
              {60, 40, 60, 80, 79, 80, 41, 40});  // from the right, up over the top, to the left
  const ports::Bitmap image = Render(b);
  EXPECT_EQ(At(image, 25, 5), kYellow);
  EXPECT_EQ(At(image, 25, 6), kBlack);
  EXPECT_EQ(At(image, 15, 20), kYellow);
  EXPECT_EQ(At(image, 30, 30), kYellow);
  EXPECT_EQ(At(image, 60, 41), kYellow);  // top of the arc
  EXPECT_EQ(At(image, 60, 78), kBlack);   // the bottom half is not drawn
  EXPECT_EQ(At(image, 60, 60), kBlack);   // nor filled
}

TEST(RenderMetafile, OnlyAOnePixelPenIsDashed) {
  for (int width : {1, 3}) {
    MetafileBuilder b = Pixels();
    b.Record(kCreatePen, {1, width, 0, 0xFFFF, 0x00FF})
        .Record(kSelectObject, {0})  // PS_DASH, white
        .Record(kMoveTo, {40, 0})
        .Record(kLineTo, {40, 99});
    const ports::Bitmap image = Render(b);
    EXPECT_EQ(At(image, 20, 40), width == 1 ? kBlack : kWhite) << width;  // in the first gap
    EXPECT_EQ(At(image, 10, 40), kWhite) << width;
  }
}

int CountColour(const ports::Bitmap& image, Rgb colour, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) n += At(image, x, y) == colour;
  return n;
}

TEST(RenderMetafile, TextIsDrawnInTheTextColourOnItsBackground) {
  MetafileBuilder b = Pixels();
  std::vector<std::uint8_t> face = {'D', 'e', 'j', 'a', 'V', 'u', ' ', 'S', 'a', 'n', 's', 0};
  b.WithBytes(kCreateFont, {-20, 0, 0, 0, 700, 0, 0, 0, 0}, face)
      .Record(kSelectObject, {0})
      .Record(kSetTextColor, ColorRef(255, 255, 255))
      .Record(kSetBkColor, ColorRef(0, 0, 255))
      .WithBytes(kTextOut, {4}, {'H', 'H', 'H', 'H'}, {5, 5});  // y, x after the text
  auto ext =
      std::vector<std::int32_t>{50, 5, 3, 2, 0, 45, 99, 79};  // y, x, count, ETO_OPAQUE, rect
  b.Record(kSetBkMode, {1}).WithBytes(kExtTextOut, ext, {'M', 'M', 'M'});
  const ports::Bitmap image = Render(b);
  EXPECT_GT(CountColour(image, kWhite, 5, 5, 60, 30), 40);
  EXPECT_GT(CountColour(image, kBlue, 5, 5, 60, 30), 40);  // the opaque background
  EXPECT_GT(CountColour(image, kWhite, 0, 45, 99, 79), 40);
  EXPECT_EQ(At(image, 95, 75), kBlue);  // the opaque rectangle
  EXPECT_EQ(CountColour(image, kBlue, 0, 31, 100, 44), 0);
}

TEST(RenderMetafile, BitmapRecordsCopyAndStretchTheirPixels) {
  // 2 x 2 DIB: top row red, green; bottom row blue, white.
  const auto dib = testing::Dib24(2, 2, {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255});
  const std::int32_t srcCopy[] = {0x0020, 0x00CC};
  MetafileBuilder b = Pixels();
  b.WithBytes(kStretchDib, {srcCopy[0], srcCopy[1], 0, 2, 2, 0, 0, 20, 20, 0, 0}, dib)
      .WithBytes(kDibStretchBlt, {srcCopy[0], srcCopy[1], 2, 2, 0, 0, 20, 20, 0, 30}, dib)
      .WithBytes(kDibBitBlt, {srcCopy[0], srcCopy[1], 0, 0, 2, 2, 0, 60}, dib)
      .WithBytes(kSetDibToDev, {0, 2, 0, 0, 0, 2, 2, 30, 0}, dib)
      .WithBytes(kStretchDib, {srcCopy[0], srcCopy[1], 0, 1, 1, 1, 1, 10, 10, 40, 0},
                 dib);  // one source pixel
  const ports::Bitmap image = Render(b);
  for (int x0 : {0, 30}) {
    EXPECT_EQ(At(image, x0 + 5, 5), kRed) << x0;
    EXPECT_EQ(At(image, x0 + 15, 5), kGreen) << x0;
    EXPECT_EQ(At(image, x0 + 5, 15), kBlue) << x0;
    EXPECT_EQ(At(image, x0 + 15, 15), kWhite) << x0;
  }
  EXPECT_EQ(At(image, 60, 0), kRed);
  EXPECT_EQ(At(image, 61, 1), kWhite);
  EXPECT_EQ(At(image, 0, 30), kRed);
  EXPECT_EQ(At(image, 1, 31), kWhite);
  EXPECT_EQ(At(image, 5, 45), kGreen);  // source (1, 1) from the bottom is the top right
}

TEST(RenderMetafile, MalformedTruncatedOversizedAndEndlessFilesFail) {
  auto fails = [](std::vector<std::uint8_t> bytes, const std::string& words) {
    const RenderRequest request = Request(bytes);
    try {
      RenderMetafile(request);
      ADD_FAILURE() << "drawn";
    } catch (const MetafileError& error) {
      EXPECT_NE(std::string(error.what()).find(words), std::string::npos) << error.what();
    }
  };
  MetafileBuilder b = Pixels();
  PenAndBrush(b, kRed, kRed).Record(kRectangle, {10, 10, 0, 0});
  const auto good = b.Build();
  fails({good.begin(), good.end() - 8}, "ends early");
  auto tooShort = good;
  tooShort[22 + 18] = 2;  // the first record claims 2 words
  fails(tooShort, "malformed");
  MetafileBuilder text = Pixels();
  text.Record(kTextOut, {200, 0, 0});  // 200 characters in a 3-word record
  fails(text.Build(), "malformed");
  MetafileBuilder huge;
  huge.Placeable(0, 0, 30000, 30000, 100);
  fails(huge.Build(), "too large");
  MetafileBuilder endless = Pixels();
  PenAndBrush(endless, kRed, kRed);
  for (int i = 0; i < 20000; ++i) endless.Record(kRectangle, {80, 100, 0, 0});
  fails(endless.Build(), "too long");
  MetafileBuilder noSize;
  fails(noSize.Build(), "no picture size");
}

// A record of each family at its shortest, which every record of its function
// holds: drawn at that length, malformed one word shorter.
struct ShortestRecord {
  const char* name;
  std::uint16_t function;
  std::vector<std::int32_t> words;
};

class ShortestRecords : public ::testing::TestWithParam<ShortestRecord> {};

TEST_P(ShortestRecords, AreDrawnAndOneWordShorterAreMalformed) {
  const ShortestRecord& record = GetParam();
  MetafileBuilder whole = Pixels();
  EXPECT_NO_THROW(Render(whole.Record(record.function, record.words)));
  MetafileBuilder cut = Pixels();
  cut.Record(record.function, {record.words.begin(), record.words.end() - 1})
      .Record(kRectangle, {10, 10, 0, 0});
  try {
    Render(cut);
    ADD_FAILURE() << "drawn";
  } catch (const MetafileError& error) {
    EXPECT_STREQ(error.what(), "the metafile has a malformed record");
  }
}

INSTANTIATE_TEST_SUITE_P(
    EachFamily, ShortestRecords,
    ::testing::Values(
        ShortestRecord{"RestoreDc", kRestoreDc, {-1}},
        ShortestRecord{"SetBkColor", kSetBkColor, {0, 0}},
        ShortestRecord{"ScaleWindowExt", kScaleWindowExt, {1, 1, 1, 1}},
        ShortestRecord{"CreatePen", kCreatePen, {0, 1, 0, 0, 0}},
        ShortestRecord{"CreateBrush", kCreateBrush, {0, 0, 0}},
        ShortestRecord{"CreateFont", kCreateFont, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
        ShortestRecord{"DevicePatternBrush", kDibCreatePatternBrush, {3}},
        ShortestRecord{"SelectObject", kSelectObject, {0}},
        ShortestRecord{"LineTo", kLineTo, {5, 5}}, ShortestRecord{"Polyline", kPolyline, {0}},
        ShortestRecord{"PolyPolygon", kPolyPolygon, {0}},
        ShortestRecord{"Rectangle", kRectangle, {10, 10, 0, 0}},
        ShortestRecord{"RoundRect", kRoundRect, {2, 2, 10, 10, 0, 0}},
        ShortestRecord{"Pie", kPie, {0, 0, 0, 0, 10, 10, 0, 0}},
        ShortestRecord{"SetPixel", kSetPixel, {0, 0, 1, 1}},
        ShortestRecord{"PatBlt", kPatBlt, {0x0042, 0, 5, 5, 0, 0}},
        ShortestRecord{"TextOut", kTextOut, {0, 0, 0}},
        ShortestRecord{"ExtTextOut", kExtTextOut, {0, 0, 0, 0}},
        ShortestRecord{"BitBltWithoutBitmap", kDibBitBlt, {0x0042, 0, 0, 0, 0, 5, 5, 0, 0}},
        ShortestRecord{
            "StretchBltWithoutBitmap", kDibStretchBlt, {0x0042, 0, 0, 0, 0, 0, 0, 5, 5, 0, 0}},
        ShortestRecord{"SetDibToDevCopyingNothing", kSetDibToDev, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
        ShortestRecord{"StretchDibCopyingNothing", kStretchDib, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}),
    [](const auto& test) { return std::string(test.param.name); });

// Bitmaps cost before they are decoded: one that copies nothing is never
// decoded, one beyond the memory left is refused unread.
TEST(RenderMetafile, BitmapsArePaidForBeforeTheyAreDecoded) {
  int decoded = 0;
  auto counting = [&decoded](std::span<const std::uint8_t> dib) {
    ++decoded;
    return DecodeTestDib(dib);
  };
  const auto dib = testing::Dib24(2, 2, std::vector<std::uint8_t>(12, 0x80));
  MetafileBuilder empty = Pixels();
  empty
      .WithBytes(kDibBitBlt, {0x0020, 0x00CC, 0, 0, 2, 0, 0, 0}, dib)             // 0 pixels wide
      .WithBytes(kStretchDib, {0x0020, 0x00CC, 0, 2, 2, 0, 0, 0, 0, 0, 0}, dib);  // to nothing
  const auto bytes = empty.Build();
  RenderMetafile(Request(bytes, counting));
  EXPECT_EQ(decoded, 0);

  auto huge = testing::Dib24(1, 1, {0, 0, 0});
  huge[4] = 0x40, huge[5] = 0x1F;  // declares 8000 x 1 ...
  huge[8] = 0x40, huge[9] = 0x1F;  // ... x 8000 pixels
  MetafileBuilder brush = Pixels();
  brush.WithBytes(0x0142, {5, 0}, huge);  // DIBCreatePatternBrush
  const auto brushBytes = brush.Build();
  EXPECT_THROW(RenderMetafile(Request(brushBytes, counting)), MetafileError);
  EXPECT_EQ(decoded, 0);
}

// A mapping that makes coordinates infinite or not a number still pays.
TEST(RenderMetafile, WorkStaysCountedWhateverTheMapping) {
  MetafileBuilder endless = Pixels();
  PenAndBrush(endless, kRed, kRed).Record(kSaveDc, {});
  for (int i = 0; i < 70; ++i) endless.Record(0x0412, {1, 0, 1, 32767});  // ScaleViewportExt
  endless.Record(kRectangle, {10, 10, 0, 0}).Record(kRestoreDc, {-1});
  for (int i = 0; i < 20000; ++i) endless.Record(kRectangle, {80, 100, 0, 0});
  const auto bytes = endless.Build();
  EXPECT_THROW(RenderMetafile(Request(bytes)), MetafileError);
}

// Saved states beyond the depth cap are not kept, as when GDI runs out of
// memory: a RestoreDC goes back to the last state that was kept.
TEST(RenderMetafile, SavedStatesBeyondTheDepthCapAreNotKept) {
  // `greenSaves` saves with the green brush, one with the blue, then red is
  // selected: RestoreDC brings back blue if that save was kept, else green.
  const auto restoredBrush = [](int greenSaves) {
    MetafileBuilder b = Pixels();
    b.Record(kCreateBrush, SolidBrush(kGreen))  // object 0
        .Record(kCreateBrush, SolidBrush(kBlue))
        .Record(kCreateBrush, SolidBrush(kRed))
        .Record(kSelectObject, {0});
    for (int i = 0; i < greenSaves; ++i) b.Record(kSaveDc, {});
    b.Record(kSelectObject, {1}).Record(kSaveDc, {}).Record(kSelectObject, {2});
    b.Record(kRestoreDc, {-1}).Record(kRectangle, {10, 10, 0, 0});
    return At(Render(b), 5, 5);
  };
  const auto cap = static_cast<int>(limits::DecodeLimits{}.metafileMaxSavedStates);
  EXPECT_EQ(restoredBrush(cap - 1), kBlue);  // the last save the cap keeps
  EXPECT_EQ(restoredBrush(cap), kGreen);
}

// Text of `count` glyphs (58 kinds), `pixels` high, each drawn over the last.
std::vector<std::uint8_t> PiledLetters(int count) {
  std::vector<std::uint8_t> letters;
  for (int i = 0; i < count; ++i) letters.push_back(static_cast<std::uint8_t>('A' + i % 58));
  return letters;
}

MetafileBuilder PiledText(int count, int pixels) {
  MetafileBuilder b = Pixels();
  b.WithBytes(kCreateFont, {-pixels, 0, 0, 0, 400, 0, 0, 0, 0}, {'S', 'a', 'n', 's', 0})
      .Record(kSelectObject, {0});
  return b.WithBytes(kExtTextOut, {0, 0, count, 0}, PiledLetters(count),
                     std::vector<std::int32_t>(std::size_t(count), 0));
}

TEST(RenderMetafile, TextPaysForEveryGlyphItDrawsByItsSize) {
  // Ten thousand glyphs over the whole frame: far past its work cap, although
  // the text's box stays one pixel wide.
  EXPECT_THROW(Render(PiledText(10000, 2048)), MetafileError);
  EXPECT_NO_THROW(Render(PiledText(100, 2048)));
}

std::int64_t ResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stoll(line.substr(6));
  }
  return -1;
}

TEST(RenderMetafile, TextLeavesNoGlyphImagesBehindAcrossDrawings) {
  // Each drawing at another size: a glyph cache kept across drawings grew by
  // about 15 MiB with each.
  const std::int64_t before = ResidentKiB();
  for (int i = 0; i < 20; ++i) {
    MetafileBuilder b;
    b.Placeable(0, 0, 300, 300, 96)
        .WithBytes(kCreateFont, {-(1000 + 8 * i), 0, 0, 0, 400, 0, 0, 0, 0},
                   {'S', 'a', 'n', 's', 0})
        .Record(kSelectObject, {0})
        .WithBytes(kTextOut, {40}, std::vector<std::uint8_t>(PiledLetters(40)), {0, 0});
    Render(b);
  }
  EXPECT_LT(ResidentKiB() - before, 64 * 1024);
}

}  // namespace
}  // namespace tessarin::pictures::metafile
