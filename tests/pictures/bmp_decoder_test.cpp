#include "pictures/bmp_decoder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "base/failure.h"
#include "pictures/picture_formats.h"
#include "support/bmp_builder.h"
#include "support/decode_setup.h"
#include "support/encode_bmp.h"
#include "support/memory_file.h"
#include "wallpaper/bmp_layout.h"

namespace tessarin::pictures {
namespace {

using ports::Bitmap;
using ports::Picture;
using ports::RowOrder;
using testing::BmpBuilder;
using ::testing::HasSubstr;
using testing::MemoryInputFile;
using testing::PackRows;
using testing::RleData;

constexpr const char* kPath = "pictures/inset.bmp";
constexpr std::uint32_t kBlack = 0;

using Pixels = std::vector<std::uint32_t>;  // 0xRRGGBB, top row first

// A palette entry that differs from every other one and from black.
std::uint32_t C(std::uint32_t index) { return 0x400000 | index << 8 | (index ^ 0x5A); }

std::vector<std::uint32_t> PaletteOf(int entries) {
  std::vector<std::uint32_t> palette;
  for (int i = 0; i < entries; ++i) palette.push_back(C(i));
  return palette;
}

// Reads are counted to show what the reader asks of the file.
struct ReadLog {
  int reads = 0;
  std::uint64_t bytes = 0;
  std::size_t largest = 0;
};

class LoggingFile : public MemoryInputFile {
 public:
  LoggingFile(std::vector<std::uint8_t> bytes, ReadLog& log)
      : MemoryInputFile(kPath, std::move(bytes)), log_(log) {}
  std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
    ++log_.reads;
    log_.bytes += out.size();
    log_.largest = std::max(log_.largest, out.size());
    return MemoryInputFile::ReadAt(offset, out);
  }

 private:
  ReadLog& log_;
};

std::unique_ptr<MemoryInputFile> InMemory(std::vector<std::uint8_t> bytes) {
  return std::make_unique<MemoryInputFile>(kPath, std::move(bytes));
}

std::unique_ptr<Picture> Open(const BmpBuilder& bmp) {
  return OpenBmp(InMemory(bmp.File()), testing::ProgramDecoding());
}

Pixels Rgb(const std::uint8_t* bgr, std::size_t pixels) {
  Pixels out;
  for (std::size_t i = 0; i < pixels; ++i, bgr += 3)
    out.push_back(bgr[2] << 16 | bgr[1] << 8 | bgr[0]);
  return out;
}

Pixels PixelsOf(const Bitmap& image) {
  return Rgb(image.bgr.data(), static_cast<std::size_t>(image.width) * image.height);
}

// Every row through one ReadRows, rearranged top row first.
Pixels DecodeAll(Picture& source) {
  const std::size_t rowBytes = static_cast<std::size_t>(source.Width()) * 3;
  std::vector<std::uint8_t> rows(rowBytes * source.Height());
  source.ReadRows(rows.data(), source.Height());
  Pixels out;
  for (int i = 0; i < source.Height(); ++i) {
    const int row = source.Order() == RowOrder::TopDown ? i : source.Height() - 1 - i;
    const Pixels line = Rgb(&rows[rowBytes * row], source.Width());
    out.insert(out.end(), line.begin(), line.end());
  }
  return out;
}

Pixels DecodeAll(const BmpBuilder& bmp) { return DecodeAll(*Open(bmp)); }

// The Failure's message, or "" when the file opens and decodes whole.
std::string FaultOf(const std::function<std::unique_ptr<Picture>()>& open) {
  try {
    auto source = open();
    if (static_cast<std::uint64_t>(source->Width()) * source->Height() <= (1u << 22)) {
      DecodeAll(*source);
    } else {
      source->ReadTopLeft(64, 64);  // a huge RLE picture: decode only what a block needs
    }
    return "";
  } catch (const Failure& failure) {
    return failure.what();
  }
}

std::string FaultOf(const std::vector<std::uint8_t>& bytes) {
  return FaultOf([&] { return OpenBmp(InMemory(bytes), testing::ProgramDecoding()); });
}

std::string FaultOfDib(const std::vector<std::uint8_t>& bytes, std::uint64_t offset,
                       std::uint64_t size, DibKind kind) {
  return FaultOf(
      [&] { return OpenDib(InMemory(bytes), offset, size, kind, testing::ProgramDecoding()); });
}

BmpBuilder Indexed(int bpp, int width, const std::vector<std::vector<std::uint32_t>>& rows) {
  BmpBuilder bmp;
  bmp.bitsPerPixel = static_cast<std::uint16_t>(bpp);
  bmp.width = width;
  bmp.height = static_cast<std::int32_t>(rows.size());
  bmp.palette = PaletteOf(1 << bpp);
  bmp.pixels = PackRows(bpp, rows);
  return bmp;
}

BmpBuilder Direct(int bpp, std::uint32_t compression, std::vector<std::uint32_t> masks,
                  const std::vector<std::vector<std::uint32_t>>& rows) {
  BmpBuilder bmp;
  bmp.bitsPerPixel = static_cast<std::uint16_t>(bpp);
  bmp.compression = compression;
  bmp.masks = std::move(masks);
  bmp.width = static_cast<std::int32_t>(rows[0].size());
  bmp.height = static_cast<std::int32_t>(rows.size());
  bmp.pixels = PackRows(bpp, rows);
  return bmp;
}

// An RLE8 (8 bits) or RLE4 (4 bits) bitmap with a full palette.
BmpBuilder Compressed(int bpp, int width, int height, const RleData& data) {
  BmpBuilder bmp = Indexed(bpp, width, {});
  bmp.compression = bpp == 8 ? 1 : 2;
  bmp.height = height;
  bmp.pixels = data.Bytes();
  return bmp;
}

TEST(BmpSignature, IsTheTwoLettersBm) {
  const std::uint8_t bmp[] = {'B', 'M', 0, 0};
  const std::uint8_t os2Array[] = {'B', 'A'};
  EXPECT_EQ(RecognisePicture(bmp), PictureFormat::Bmp);
  EXPECT_EQ(RecognisePicture(os2Array), PictureFormat::Unknown);
  EXPECT_EQ(RecognisePicture(std::span(bmp, 1)), PictureFormat::Unknown);
  EXPECT_EQ(FaultOf({'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
            std::string(kPath) + ": not a BMP file");
}

TEST(BmpIndexed, LeftmostPixelSitsInTheHighestBits) {
  BmpBuilder oneBit = Indexed(1, 8, {{}});
  oneBit.pixels = {0xA0, 0, 0, 0};
  EXPECT_EQ(DecodeAll(oneBit), (Pixels{C(1), C(0), C(1), C(0), C(0), C(0), C(0), C(0)}));
  BmpBuilder fourBit = Indexed(4, 3, {{}});
  fourBit.pixels = {0x3C, 0x50, 0, 0};
  EXPECT_EQ(DecodeAll(fourBit), (Pixels{C(3), C(12), C(5)}));
}

TEST(BmpIndexed, EveryHeaderAndDepthDecodesBottomUpRowsWithPadding) {
  for (std::uint32_t header : {12u, 40u, 64u, 108u, 124u}) {
    for (int bpp : {1, 4, 8}) {
      SCOPED_TRACE("header " + std::to_string(header) + ", " + std::to_string(bpp) + " bits");
      const std::uint32_t top = (1u << bpp) - 1;
      BmpBuilder bmp = Indexed(bpp, 5, {{0, 1, top, 1, 0}, {top, 0, 0, 1, top}});
      bmp.headerSize = header;
      EXPECT_EQ(DecodeAll(bmp), (Pixels{C(top), C(0), C(0), C(1), C(top),  //
                                        C(0), C(1), C(top), C(1), C(0)}));
    }
  }
}

TEST(BmpIndexed, ShortPaletteLeavesLaterIndicesBlack) {
  BmpBuilder bmp = Indexed(8, 4, {{0, 1, 2, 255}});
  bmp.palette = PaletteOf(2);
  bmp.coloursUsed = 2;
  const Pixels expected{C(0), C(1), kBlack, kBlack};
  EXPECT_EQ(DecodeAll(bmp), expected);
  // Without a file header the pixels are found right after the two entries.
  EXPECT_EQ(DecodeAll(*OpenDib(InMemory(bmp.Dib()), 0, bmp.Dib().size(), DibKind::File,
                               testing::ProgramDecoding())),
            expected);
}

TEST(BmpDirect, SixteenBitRgbIsFiveFiveFiveScaledToEightBits) {
  const BmpBuilder bmp = Direct(16, 0, {}, {{0x7FFF, 0x7C00, 0x4210, 0x8000, 0x0001}});
  EXPECT_EQ(DecodeAll(bmp), (Pixels{0xFFFFFF, 0xFF0000, 0x848484, kBlack, 0x000008}));
}

TEST(BmpDirect, TwentyFourAndThirtyTwoBitRgbIgnoreTheFourthByte) {
  EXPECT_EQ(DecodeAll(Direct(24, 0, {}, {{0x123456, 0xABCDEF, 0x000001}})),
            (Pixels{0x123456, 0xABCDEF, 0x000001}));
  EXPECT_EQ(DecodeAll(Direct(32, 0, {}, {{0xFF123456, 0x00ABCDEF}})), (Pixels{0x123456, 0xABCDEF}));
}

TEST(BmpDirect, BitfieldsAfterAFortyByteHeaderScaleAnyWidth) {
  // 5-6-5: one step of six bits is 255 / 63, rounded.
  EXPECT_EQ(DecodeAll(Direct(16, 3, {0xF800, 0x07E0, 0x001F}, {{0x07E0, 0x0020, 0xF81F}})),
            (Pixels{0x00FF00, 0x000400, 0xFF00FF}));
  // 3-6-7 bits: 5 of 7 is 182, 32 of 63 is 130, 1 of 127 is 2.
  EXPECT_EQ(DecodeAll(Direct(16, 3, {0xE000, 0x1F80, 0x007F}, {{0xB001}})), (Pixels{0xB68202}));
  // 10-10-10 bits: 512 of 1023 is 128.
  EXPECT_EQ(
      DecodeAll(Direct(32, 3, {0x3FF00000, 0x000FFC00, 0x000003FF}, {{0x3FF80000, 0xC00003FF}})),
      (Pixels{0xFF8000, 0x0000FF}));
  // A fourth mask after the header.
  EXPECT_EQ(DecodeAll(Direct(32, 6, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, {{0x00112233}})),
            (Pixels{0x332211}));
}

TEST(BmpDirect, MasksInsideLongerHeadersAndTheirAlphaIsIgnored) {
  for (std::uint32_t header : {52u, 56u, 108u, 124u}) {
    SCOPED_TRACE(header);
    BmpBuilder bmp =
        Direct(32, 3, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, {{0x00112233, 0x80445566}});
    bmp.headerSize = header;
    EXPECT_EQ(DecodeAll(bmp), (Pixels{0x332211, 0x665544}));
  }
}

TEST(BmpDirect, CoreHeaderReadsTwentyFourBits) {
  BmpBuilder bmp = Direct(24, 0, {}, {{0x010203, 0x040506}, {0x0A0B0C, 0x0D0E0F}});
  bmp.headerSize = 12;
  EXPECT_EQ(DecodeAll(bmp), (Pixels{0x0A0B0C, 0x0D0E0F, 0x010203, 0x040506}));
}

TEST(BmpRows, ReadsBackTheFileTheProgramWrites) {
  const Bitmap image{3, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18}};
  const std::string written = testing::EncodeBmp(image);
  const auto source =
      OpenBmp(InMemory({written.begin(), written.end()}), testing::ProgramDecoding());
  EXPECT_EQ(DecodeAll(*source), PixelsOf(image));
}

TEST(BmpRows, NegativeHeightIsTopDownAndDeliveredInFileOrder) {
  BmpBuilder bmp = Direct(24, 0, {}, {{0x111111}, {0x222222}, {0x333333}});
  bmp.height = -3;
  const auto source = Open(bmp);
  EXPECT_EQ(source->Order(), RowOrder::TopDown);
  EXPECT_EQ(source->Height(), 3);
  std::uint8_t first[3];
  source->ReadRows(first, 1);
  EXPECT_EQ(Rgb(first, 1), Pixels{0x111111});
  bmp.height = 3;
  EXPECT_EQ(Open(bmp)->Order(), RowOrder::BottomUp);
}

TEST(BmpRows, StreamingInChunksEqualsTheWholeAndReadsInBoundedStrips) {
  constexpr int kWidth = 2000, kHeight = 300;  // 1.8 MB of rows
  constexpr std::size_t kRowBytes = kWidth * 3;
  std::vector<std::vector<std::uint32_t>> rows(kHeight, std::vector<std::uint32_t>(kWidth));
  for (std::size_t y = 0; y < kHeight; ++y) {
    for (std::size_t x = 0; x < kWidth; ++x) rows[y][x] = (y * 7919 + x * 104729) & 0xFFFFFF;
  }
  const BmpBuilder bmp = Direct(24, 0, {}, rows);
  ReadLog log;
  const auto source =
      OpenBmp(std::make_unique<LoggingFile>(bmp.File(), log), testing::ProgramDecoding());
  std::vector<std::uint8_t> out(kRowBytes * kHeight);
  int done = 0;
  for (int chunk : {1, 7, 50, 100, 142}) {
    source->ReadRows(&out[kRowBytes * done], chunk);
    done += chunk;
  }
  EXPECT_THROW(source->ReadRows(out.data(), 1), Failure);
  Pixels streamed;
  for (int y = kHeight - 1; y >= 0; --y) {
    const Pixels line = Rgb(&out[kRowBytes * y], kWidth);
    streamed.insert(streamed.end(), line.begin(), line.end());
  }
  EXPECT_EQ(streamed, DecodeAll(bmp));
  EXPECT_LE(log.largest, 256u * 1024);
  EXPECT_LT(log.reads, 20);  // strips of many rows, not a read a row
}

TEST(BmpRle, Rle8RunsAbsoluteRunsDeltaEndOfLineAndEndOfBitmap) {
  RleData rle(8);
  rle.Run(3, 1).Absolute({2, 3, 4}).EndOfLine();  // the bottom row
  rle.Delta(2, 1);                                // leaves the second row blank
  rle.Run(2, 5).Run(10, 6).EndOfLine();           // the second run is clipped at the row's end
  rle.Run(1, 0).EndOfBitmap();                    // the rest of the top row is never set
  const BmpBuilder bmp = Compressed(8, 6, 4, rle);
  EXPECT_EQ(DecodeAll(bmp), (Pixels{C(0), 0,    0,    0,    0,    0,     //
                                    0,    0,    C(5), C(5), C(6), C(6),  //
                                    0,    0,    0,    0,    0,    0,     //
                                    C(1), C(1), C(1), C(2), C(3), C(4)}));
  const Bitmap block = Open(bmp)->ReadTopLeft(3, 2);
  EXPECT_EQ(PixelsOf(block), (Pixels{C(0), 0, 0, 0, 0, C(5)}));
}

TEST(BmpRle, Rle4AlternatesNibblesAndPadsAbsoluteRuns) {
  RleData rle(4);
  rle.Run(2, 0x12).Absolute({3, 4, 5, 6, 7}).EndOfLine();  // three bytes and a pad
  rle.Absolute({6, 7, 8}).Run(3, 0xA0).Run(4, 0x11).EndOfBitmap();
  const BmpBuilder bmp = Compressed(4, 7, 2, rle);
  EXPECT_EQ(DecodeAll(bmp), (Pixels{C(6), C(7), C(8), C(10), C(0), C(10), C(1),  //
                                    C(1), C(2), C(3), C(4), C(5), C(6), C(7)}));
}

TEST(BmpRle, DataPastTheLastRowEndsTheBitmap) {
  // Neither needs an end-of-bitmap.
  EXPECT_EQ(DecodeAll(Compressed(8, 2, 2, RleData(8).Run(2, 1).Delta(0, 5))),
            (Pixels{0, 0, C(1), C(1)}));
  EXPECT_EQ(DecodeAll(Compressed(8, 2, 2, RleData(8).Run(2, 1).EndOfLine().Run(1, 2).EndOfLine())),
            (Pixels{C(2), 0, C(1), C(1)}));
}

TEST(BmpRle, DataEndingBeforeTheEndOfTheBitmapIsAFault) {
  const BmpBuilder bmp = Compressed(8, 2, 2, RleData(8).Run(2, 1).EndOfLine().Run(1, 2));
  EXPECT_EQ(FaultOf(bmp.File()),
            std::string(kPath) + ": RLE data ends before the end of the bitmap");
  std::uint8_t row[6];
  EXPECT_NO_THROW(Open(bmp)->ReadRows(row, 1));  // the bottom row is whole
}

TEST(BmpTopLeft, UncompressedBlocksReadOnlyTheRowsAndBytesTheyNeed) {
  std::vector<std::vector<std::uint32_t>> rows(100, std::vector<std::uint32_t>(1000));
  for (std::size_t y = 0; y < rows.size(); ++y) {
    for (std::size_t x = 0; x < rows[y].size(); ++x)
      rows[y][x] = static_cast<std::uint32_t>(y << 12 | x);
  }
  BmpBuilder bmp = Direct(24, 0, {}, rows);
  ReadLog log;
  const Bitmap block =
      OpenBmp(std::make_unique<LoggingFile>(bmp.File(), log), testing::ProgramDecoding())
          ->ReadTopLeft(2, 3);
  ASSERT_EQ(block.width, 2);
  ASSERT_EQ(block.height, 3);
  EXPECT_EQ(PixelsOf(block), (Pixels{99 << 12, 99 << 12 | 1, 98 << 12, 98 << 12 | 1,  //
                                     97 << 12, 97 << 12 | 1}));
  EXPECT_LE(log.bytes, 14u + 124 + 3 * 6);  // the headers, then 2 pixels of 3 rows

  bmp.height = -100;  // the same rows, now the first is the top one
  EXPECT_EQ(PixelsOf(Open(bmp)->ReadTopLeft(1, 2)), (Pixels{0, 1 << 12}));
}

TEST(BmpTopLeft, BlockIsClippedToThePictureOrEmpty) {
  const BmpBuilder bmp = Indexed(1, 3, {{1, 0, 1}, {0, 1, 1}});
  const Bitmap whole = Open(bmp)->ReadTopLeft(50, 50);
  EXPECT_EQ(whole.width, 3);
  EXPECT_EQ(whole.height, 2);
  EXPECT_EQ(PixelsOf(whole), (Pixels{C(0), C(1), C(1), C(1), C(0), C(1)}));
  const std::pair<int, int> emptySizes[] = {{0, 2}, {2, 0}, {-1, 5}, {5, INT_MIN}};
  for (auto [w, h] : emptySizes) {
    const Bitmap empty = Open(bmp)->ReadTopLeft(w, h);
    EXPECT_EQ(empty.width, 0);
    EXPECT_EQ(empty.height, 0);
    EXPECT_TRUE(empty.bgr.empty());
  }
}

// An icon image: 2 x 2 colour rows, then the AND mask rows (bottom-up), in a
// file where it starts after other data.
struct Icon {
  BmpBuilder dib;
  std::vector<std::uint8_t> file;
  std::unique_ptr<Picture> Open() const {
    return OpenDib(InMemory(file), 5, dib.Dib().size(), DibKind::IconImage,
                   testing::ProgramDecoding());
  }
};

Icon IconOf(int bpp, const std::vector<std::vector<std::uint32_t>>& colour,
            const std::vector<std::vector<std::uint32_t>>& mask) {
  Icon icon;
  icon.dib = bpp <= 8 ? Indexed(bpp, 2, colour) : Direct(bpp, 0, {}, colour);
  icon.dib.height *= 2;
  const std::vector<std::uint8_t> maskRows = PackRows(1, mask);
  icon.dib.pixels.insert(icon.dib.pixels.end(), maskRows.begin(), maskRows.end());
  icon.file.assign(5, 0xEE);
  const std::vector<std::uint8_t> dib = icon.dib.Dib();
  icon.file.insert(icon.file.end(), dib.begin(), dib.end());
  icon.file.insert(icon.file.end(), 7, 0xEE);
  return icon;
}

TEST(BmpIcon, AndMaskTurnsPixelsBlackAndHalvesTheHeight) {
  const Icon icon = IconOf(4, {{1, 2}, {3, 4}}, {{1, 0}, {0, 1}});
  const auto source = icon.Open();
  EXPECT_EQ(source->Height(), 2);
  EXPECT_EQ(DecodeAll(*source), (Pixels{C(3), kBlack, kBlack, C(2)}));
  EXPECT_EQ(PixelsOf(icon.Open()->ReadTopLeft(1, 1)), Pixels{C(3)});
}

TEST(BmpIcon, ThirtyTwoBitsUseTheMaskUnlessAnyAlphaIsSet) {
  const std::vector<std::vector<std::uint32_t>> mask{{1, 0}, {0, 0}};
  EXPECT_EQ(
      DecodeAll(*IconOf(32, {{0x00FF8040, 0x00123456}, {0x00010203, 0x00FFFFFF}}, mask).Open()),
      (Pixels{0x010203, 0xFFFFFF, kBlack, 0x123456}));
  // With alpha, colours are flattened onto black by it and the mask is not used.
  const Icon withAlpha = IconOf(32, {{0x80FF8041, 0xFF123456}, {0x00010203, 0x01FFFFFF}}, mask);
  EXPECT_EQ(DecodeAll(*withAlpha.Open()), (Pixels{kBlack, 0x010101, 0x804021, 0x123456}));
  EXPECT_EQ(PixelsOf(withAlpha.Open()->ReadTopLeft(1, 1)), Pixels{kBlack});
}

TEST(BmpIcon, MissingMaskOrCompressionIsAFault) {
  Icon icon = IconOf(8, {{1, 2}, {3, 4}}, {{1, 0}, {0, 1}});
  const std::uint64_t size = icon.dib.Dib().size();
  EXPECT_THAT(FaultOfDib(icon.file, 5, size - 5, DibKind::IconImage),
              HasSubstr("truncated pixel data"));
  EXPECT_THAT(FaultOfDib(icon.file, 5, size + 8, DibKind::IconImage),
              HasSubstr("bitmap lies outside the file"));
  icon.dib.compression = 1;
  EXPECT_THAT(FaultOfDib(icon.dib.Dib(), 0, size, DibKind::IconImage),
              HasSubstr("compressed icon image"));
}

TEST(BmpFaults, EachDamagedHeaderIsRefusedNamingFileAndFault) {
  struct Case {
    std::function<void(BmpBuilder&)> damage;
    const char* reason;
  };
  const Case cases[] = {
      {[](BmpBuilder& b) { b.width = 0; }, "bitmap width 0 is not positive"},
      {[](BmpBuilder& b) { b.width = -3; }, "bitmap width -3 is not positive"},
      {[](BmpBuilder& b) { b.height = 0; }, "bitmap height is zero"},
      {[](BmpBuilder& b) { b.height = INT_MIN; }, "bitmap height out of range"},
      {[](BmpBuilder& b) { b.width = b.height = 40000; }, "40000 x 40000 pixels is too large"},
      {[](BmpBuilder& b) { b.bitsPerPixel = 2; }, "unsupported bit depth 2"},
      {[](BmpBuilder& b) { b.headerSize = 12, b.bitsPerPixel = 16; }, "unsupported bit depth 16"},
      {[](BmpBuilder& b) { b.headerSize = 20; }, "unsupported bitmap header size 20"},
      {[](BmpBuilder& b) { b.compression = 4; }, "JPEG-compressed bitmaps are not supported"},
      {[](BmpBuilder& b) { b.compression = 5; }, "PNG-compressed bitmaps are not supported"},
      {[](BmpBuilder& b) { b.compression = 9; }, "unknown bitmap compression 9"},
      {[](BmpBuilder& b) { b.headerSize = 64, b.compression = 3; }, "Huffman compression"},
      {[](BmpBuilder& b) { b.headerSize = 64, b.compression = 4; }, "RLE24 compression"},
      {[](BmpBuilder& b) { b.compression = 2; }, "RLE4 compression with 8 bits per pixel"},
      {[](BmpBuilder& b) { b.compression = 3; }, "bit fields with 8 bits per pixel"},
      {[](BmpBuilder& b) { b.compression = 1, b.height = -2; },
       "compressed bitmap stored top-down"},
      {[](BmpBuilder& b) { b.pixelOffset = 0xFFFFFFF0; }, "pixel data offset outside the file"},
      {[](BmpBuilder& b) { b.pixelOffset = 20; }, "pixel data offset inside the headers"},
      {[](BmpBuilder& b) { b.pixels.resize(5); }, "truncated pixel data"},
      {[](BmpBuilder& b) {
         b.bitsPerPixel = 16, b.compression = 3, b.masks = {0xF0F0, 0, 0};
       },
       "colour masks are not contiguous"},
      {[](BmpBuilder& b) {
         b.bitsPerPixel = 16, b.compression = 3, b.masks = {0x1F0000, 0, 0};
       },
       "colour mask wider than the pixel"},
      {[](BmpBuilder& b) {
         b.bitsPerPixel = 32, b.compression = 3, b.palette.clear(), b.pixels.clear();
       },
       "truncated colour masks"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    BmpBuilder bmp = Indexed(8, 3, {{1, 2, 3}, {4, 5, 6}});
    c.damage(bmp);
    const std::string fault = FaultOf(bmp.File());
    EXPECT_THAT(fault, ::testing::StartsWith(std::string(kPath) + ": "));
    EXPECT_THAT(fault, HasSubstr(c.reason));
  }
}

TEST(BmpFaults, DibWithItsPaletteCutIsRefused) {
  const std::vector<std::uint8_t> dib = Indexed(8, 3, {{1, 2, 3}}).Dib();
  EXPECT_THAT(FaultOfDib(dib, 0, 40 + 100, DibKind::File), HasSubstr("palette outside the file"));
}

// Small files of several kinds, for the damage loops below.
std::vector<BmpBuilder> SmallFiles() {
  const BmpBuilder rle8 = Compressed(
      8, 5, 3,
      RleData(8).Run(3, 1).Absolute({2, 3, 4}).EndOfLine().Delta(1, 1).Run(9, 7).EndOfBitmap());
  const BmpBuilder rle4 = Compressed(
      4, 5, 2, RleData(4).Absolute({1, 2, 3}).Run(4, 0x56).EndOfLine().Run(2, 0x78).EndOfBitmap());
  BmpBuilder core = Indexed(4, 3, {{1, 2, 3}, {4, 5, 6}});
  core.headerSize = 12;
  BmpBuilder v5 = Direct(32, 3, {0xFF0000, 0xFF00, 0xFF, 0}, {{1, 2}, {3, 4}});
  v5.headerSize = 124;
  return {Indexed(8, 5, {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}, {1, 1, 1, 1, 1}}),
          Indexed(1, 9, {{1, 0, 1, 0, 1, 0, 1, 0, 1}, {0, 1, 0, 1, 0, 1, 0, 1, 0}}),
          Direct(16, 3, {0xF800, 0x07E0, 0x1F}, {{1, 2, 3}, {4, 5, 6}}),
          rle8,
          rle4,
          core,
          v5};
}

TEST(BmpDamage, EveryPrefixOfAFileOpensWholeOrIsRefused) {
  for (const BmpBuilder& bmp : SmallFiles()) {
    const std::vector<std::uint8_t> file = bmp.File();
    SCOPED_TRACE(std::to_string(file.size()) + " bytes");
    ASSERT_EQ(FaultOf(file), "");
    // Uncompressed rows, checked at open, may lack only the last row's padding;
    // RLE data needs its end.
    const bool rle = bmp.compression == 1 || bmp.compression == 2;
    const std::size_t rowBytes = (bmp.width * bmp.bitsPerPixel + 7) / 8;
    const std::size_t shortest =
        rle ? file.size() : file.size() - (rowBytes + 3) / 4 * 4 + rowBytes;
    for (std::size_t length = 0; length < file.size(); ++length) {
      const std::vector<std::uint8_t> prefix(file.begin(), file.begin() + length);
      const std::string fault = FaultOf(prefix);
      EXPECT_EQ(fault.empty(), length >= shortest) << length << ": " << fault;
      if (!rle && length < shortest) {
        EXPECT_THROW(OpenBmp(InMemory(prefix), testing::ProgramDecoding()), Failure) << length;
      }
    }
  }
}

TEST(BmpDamage, BitFlipsInTheHeadersOpenOrAreRefused) {
  int refused = 0;
  for (const BmpBuilder& bmp : SmallFiles()) {
    const std::vector<std::uint8_t> file = bmp.File();
    const std::size_t headers = std::min<std::size_t>(file.size(), 14 + bmp.headerSize + 16);
    for (std::size_t bit = 0; bit < headers * 8; ++bit) {
      std::vector<std::uint8_t> damaged = file;
      damaged[bit / 8] ^= static_cast<std::uint8_t>(1 << bit % 8);
      try {
        const auto source = OpenBmp(InMemory(damaged), testing::ProgramDecoding());
        EXPECT_TRUE(wallpaper::BmpLayout::For(source->Width(), source->Height())) << bit;
      } catch (const Failure&) {
        ++refused;
      }
      FaultOf(damaged);  // decoding whatever opens must not crash, hang or read astray
    }
  }
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace tessarin::pictures
