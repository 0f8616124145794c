// The system's picture services under the picture adapter: each format at its
// own size, transparent parts on black, and undecodable files refused.

#include "windows/ole_pictures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <new>
#include <thread>

#include "base/failure.h"
#include "support/bytes.h"
#include "support/encode_bmp.h"
#include "windows/helpers/placeable_metafile.h"
#include "windows/run_bounds.h"
#include "windows/win32_files.h"
#include "windows/windows_temporary_folder.h"

namespace tessarin::windows_platform {
namespace {

struct Bgr {
  int b, g, r;
  bool operator==(const Bgr&) const = default;
};

Bgr PixelOf(const ports::Bitmap& image, int x, int y) {
  const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                          static_cast<std::size_t>(x)) *
                         3;
  return {image.bgr.at(at), image.bgr.at(at + 1), image.bgr.at(at + 2)};
}

std::ostream& operator<<(std::ostream& out, const Bgr& p) {
  return out << "(b " << p.b << ", g " << p.g << ", r " << p.r << ")";
}

ports::Bitmap Pattern(int width, int height) {
  ports::Bitmap image{width, height, {}};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.bgr.push_back(static_cast<std::uint8_t>(x * 9));
      image.bgr.push_back(static_cast<std::uint8_t>(y * 13));
      image.bgr.push_back(static_cast<std::uint8_t>(200 - x - y));
    }
  }
  return image;
}

using testing::BytesOf;
using testing::PutLe;

const limits::DecodeLimits kLimits;  // the program's own

// A 16 x 16 icon file, 32 bits a pixel, green (b 10, g 200, r 30) except a
// transparent 4 x 4 corner at the top left, white where it is hidden.
std::vector<std::uint8_t> IconWithTransparentCorner() {
  constexpr int kSize = 16;
  const auto transparent = [](int x, int y) { return x < 4 && y < 4; };
  std::vector<std::uint8_t> image;
  PutLe(image, 40, 4);
  PutLe(image, kSize, 4);
  PutLe(image, kSize * 2, 4);  // colour and mask, one above the other
  PutLe(image, 1, 2);
  PutLe(image, 32, 2);
  for (int i = 0; i < 6; ++i) PutLe(image, 0, 4);
  for (int row = kSize - 1; row >= 0; --row) {  // bottom-up
    for (int x = 0; x < kSize; ++x) {
      if (transparent(x, row)) {
        image.insert(image.end(), {255, 255, 255, 0});
      } else {
        image.insert(image.end(), {10, 200, 30, 255});
      }
    }
  }
  for (int row = kSize - 1; row >= 0; --row) {  // the mask: 1 is transparent
    std::uint32_t bits = 0;
    for (int x = 0; x < kSize; ++x) {
      if (transparent(x, row)) bits |= 0x80u >> (x % 8) << (8 * (x / 8));
    }
    PutLe(image, bits, 4);
  }
  std::vector<std::uint8_t> file;
  PutLe(file, 0, 2);
  PutLe(file, 1, 2);
  PutLe(file, 1, 2);
  file.insert(file.end(), {kSize, kSize, 0, 0});
  PutLe(file, 1, 2);
  PutLe(file, 32, 2);
  PutLe(file, static_cast<std::uint32_t>(image.size()), 4);
  PutLe(file, 22, 4);
  file.insert(file.end(), image.begin(), image.end());
  return file;
}

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi;
}

TEST(DecodeWithOle, ABitmapKeepsEveryPixel) {
  const ports::Bitmap original = Pattern(21, 13);
  const std::string file = testing::EncodeBmp(original);
  const ports::Bitmap decoded = DecodeWithOle(BytesOf(file), "pattern.bmp", kLimits);
  EXPECT_EQ(decoded.width, 21);
  EXPECT_EQ(decoded.height, 13);
  EXPECT_EQ(decoded.bgr, original.bgr);
}

TEST(DecodeWithOle, APlaceableMetafileIsDrawnAtItsOwnSize) {
  const ports::Bitmap decoded =
      DecodeWithOle(testing::PlaceableMetafile(40, 30), "drawing.wmf", kLimits);
  // 40 x 30 units at 96 an inch, drawn at the screen's resolution.
  EXPECT_EQ(decoded.width, MulDiv(MulDiv(40, 2540, 96), ScreenDpi(), 2540));
  EXPECT_EQ(decoded.height, MulDiv(MulDiv(30, 2540, 96), ScreenDpi(), 2540));
  EXPECT_EQ(PixelOf(decoded, 2, 2), (Bgr{255, 0, 0}));
  EXPECT_EQ(PixelOf(decoded, decoded.width - 3, decoded.height - 3), (Bgr{0, 0, 255}));
}

TEST(DecodeWithOle, AnIconsTransparentPartIsBlack) {
  const ports::Bitmap decoded = DecodeWithOle(IconWithTransparentCorner(), "icon.ico", kLimits);
  EXPECT_EQ(decoded.width, 16);
  EXPECT_EQ(decoded.height, 16);
  EXPECT_EQ(PixelOf(decoded, 1, 1), (Bgr{0, 0, 0}));
  EXPECT_EQ(PixelOf(decoded, 3, 3), (Bgr{0, 0, 0}));
  EXPECT_EQ(PixelOf(decoded, 4, 0), (Bgr{10, 200, 30}));
  EXPECT_EQ(PixelOf(decoded, 15, 15), (Bgr{10, 200, 30}));
}

TEST(DecodeWithOle, WhatIsNoPictureIsAFailureNamingTheFile) {
  const std::vector<std::vector<std::uint8_t>> unreadable = {
      {},
      BytesOf("plain text, not a picture"),
      BytesOf(testing::EncodeBmp(Pattern(8, 8)).substr(0, 30))};
  for (const auto& bytes : unreadable) {
    try {
      DecodeWithOle(bytes, "C:\\pics\\broken.jpg", kLimits);
      ADD_FAILURE() << "decoded " << bytes.size() << " bytes";
    } catch (const Failure& failure) {
      EXPECT_EQ(std::string(failure.what()).rfind("C:\\pics\\broken.jpg: ", 0), 0u)
          << failure.what();
    }
  }
}

TEST(OlePictures, OpensAFileAndServesItsRowsAndItsTopLeftBlock) {
  testing::WindowsTemporaryFolder folder;
  const ports::Bitmap original = Pattern(9, 7);
  testing::WriteFileBytes(folder / "Muster.bmp", testing::EncodeBmp(original));
  Win32Files files;
  OlePictures pictures(files, kLimits);

  const auto rows = pictures.Open(folder / "MUSTER.BMP");
  ASSERT_EQ(rows->Width(), 9);
  ASSERT_EQ(rows->Height(), 7);
  ASSERT_EQ(rows->Order(), ports::RowOrder::TopDown);
  std::vector<std::uint8_t> all(original.bgr.size());
  rows->ReadRows(all.data(), 7);
  EXPECT_EQ(all, original.bgr);

  const ports::Bitmap block = pictures.Open(folder / "Muster.bmp")->ReadTopLeft(3, 100);
  EXPECT_EQ(block.width, 3);
  EXPECT_EQ(block.height, 7);
  EXPECT_EQ(PixelOf(block, 2, 6), PixelOf(original, 2, 6));
  EXPECT_THROW(pictures.Open(folder / "missing.bmp"), Failure);
}

limits::DecodeLimits WithBounds(int processorSeconds, int waitSeconds) {
  limits::DecodeLimits limits;
  limits.decodeProcessorSeconds = processorSeconds;
  limits.decodeWaitSeconds = waitSeconds;
  return limits;
}

// A decode past a bound, on OlePictures' worker thread, and the failure the
// run stops with.
struct BoundCase {
  const char* name;
  PictureDecoder decode;
  FailureKind kind;
  std::string reason;
  limits::DecodeLimits limits = kLimits;
};

void PrintTo(const BoundCase& bound, std::ostream* out) { *out << bound.name; }

class OlePicturesBound : public ::testing::TestWithParam<BoundCase> {};

TEST_P(OlePicturesBound, StopsTheRunNamingTheFileAndTheBound) {
  testing::WindowsTemporaryFolder folder;
  testing::WriteFileBytes(folder / "bomb.jpg", "any bytes");
  Win32Files files;
  OlePictures pictures(files, GetParam().limits, GetParam().decode);
  try {
    pictures.Open(folder / "bomb.jpg");
    ADD_FAILURE() << "opened";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.Kind(), GetParam().kind);
    EXPECT_EQ(failure.what(), folder / "bomb.jpg" + ": " + GetParam().reason);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, OlePicturesBound,
    ::testing::Values(
        // Works until half a second past the bound, then gives up.
        BoundCase{"Busy",
                  [](auto, auto&, auto& limits) -> ports::Bitmap {
                    while (ProcessorTimeOf(GetCurrentThread()) <
                           std::chrono::seconds(limits.decodeProcessorSeconds) +
                               std::chrono::milliseconds(500)) {
                    }
                    return {};
                  },
                  FailureKind::DecoderStopped,
                  "the picture took more than 2 seconds of processor time to decode",
                  WithBounds(2, 60)},
        // Left sleeping when the test ends; the process's exit ends it.
        BoundCase{"Asleep",
                  [](auto, auto&, auto&) -> ports::Bitmap {
                    std::this_thread::sleep_for(std::chrono::hours(1));
                    return {};
                  },
                  FailureKind::DecoderStopped,
                  "the picture's decoder kept the run waiting more than 2 seconds",
                  WithBounds(4, 2)},
        BoundCase{"OutOfMemory",
                  [](auto, auto&, auto&) -> ports::Bitmap { throw std::bad_alloc(); },
                  FailureKind::DecoderOutOfMemory, "the picture needs more than 384 MiB"},
        BoundCase{"DecoderFailure",
                  [](auto, const std::string& path, auto&) -> ports::Bitmap {
                    throw Failure::InFile(FailureKind::DamagedPicture, path, "a bad strip");
                  },
                  FailureKind::DamagedPicture, "a bad strip"}),
    [](const auto& test) { return test.param.name; });

// A decoder held off the processor (here, asleep) past the processor bound
// but within the wait's net finishes its picture.
TEST(OlePictures, WaitingIsNoProcessorTime) {
  testing::WindowsTemporaryFolder folder;
  testing::WriteFileBytes(folder / "slow.bmp", "any bytes");
  Win32Files files;
  const limits::DecodeLimits limits = WithBounds(1, 60);
  OlePictures pictures(files, limits, [](auto, auto&, auto&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    return Pattern(2, 1);
  });
  EXPECT_EQ(pictures.Open(folder / "slow.bmp")->Width(), 2);
}

TEST(OlePictures, DecodesOnAThreadOfItsOwnWithCom) {
  testing::WindowsTemporaryFolder folder;
  testing::WriteFileBytes(folder / "one.bmp", testing::EncodeBmp(Pattern(1, 1)));
  Win32Files files;
  const DWORD caller = GetCurrentThreadId();
  OlePictures pictures(files, kLimits, [caller](auto, auto&, auto&) {
    // S_FALSE: this thread has COM in the same apartment model already.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(com)) CoUninitialize();
    if (com != S_FALSE || GetCurrentThreadId() == caller) throw std::logic_error("no own COM");
    return Pattern(2, 1);
  });
  EXPECT_EQ(pictures.Open(folder / "one.bmp")->Width(), 2);
}

}  // namespace
}  // namespace tessarin::windows_platform
