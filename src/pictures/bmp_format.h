#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "limits/decode_limits.h"
#include "pictures/bmp_decoder.h"
#include "ports/files.h"
#include "ports/pictures.h"

namespace tessarin::pictures {

// Where a bitmap's info header lies, and where its pixels start when a file
// header says so (otherwise they follow the palette).
struct DibPlacement {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  std::optional<std::uint64_t> pixelOffset;
  DibKind kind = DibKind::File;
};

enum class DibCompression { None, Rle8, Rle4 };

// 256 colours as blue, green, red; entries the file does not give stay black,
// so any 8-bit index is safe to look up.
using Palette = std::array<std::uint8_t, 256 * 3>;

// The bits of a 16- or 32-bit pixel that hold each channel (0: no such channel).
struct ColourMasks {
  std::uint32_t red = 0;
  std::uint32_t green = 0;
  std::uint32_t blue = 0;
  std::uint32_t alpha = 0;
};

// Rows of the file in file order, each `stride` bytes apart.
struct RowPlane {
  std::uint64_t offset = 0;
  std::uint64_t stride = 0;
  std::uint64_t RowStart(std::uint64_t row) const { return offset + row * stride; }
};

// A bitmap whose headers have all been checked: every offset below lies in
// the file and, for uncompressed rows, every row is there in full.
struct DibFormat {
  int width = 0;
  int height = 0;  // the rows delivered (an icon image's colour rows)
  ports::RowOrder order = ports::RowOrder::BottomUp;
  int bitsPerPixel = 0;
  DibCompression compression = DibCompression::None;
  Palette palette{};
  ColourMasks masks;
  RowPlane pixels;                  // stride 0 for RLE data
  std::uint64_t dataEnd = 0;        // where the bitmap's bytes end
  std::optional<RowPlane> andMask;  // icon images only
};

// Reads and checks the headers, masks and palette. Throws Failure naming the
// file and the fault.
DibFormat ReadDibFormat(ports::InputFile& file, const DibPlacement& where,
                        const limits::DecodeLimits& limits);

}  // namespace tessarin::pictures
