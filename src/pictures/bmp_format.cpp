#include "pictures/bmp_format.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <string>
#include <vector>

#include "base/failure.h"
#include "base/little_endian.h"
#include "pictures/read_exactly.h"
#include "pictures/size_checks.h"

namespace tessarin::pictures {
namespace {

constexpr std::uint32_t kCoreHeaderSize = 12;     // OS/2 1.x: 16-bit sides, 3-byte palette entries
constexpr std::uint32_t kMasksInHeaderSize = 52;  // 52, 56, V4 and V5 carry their masks
constexpr std::uint32_t kAlphaInHeaderSize = 56;
constexpr std::uint32_t kOs2HeaderSize = 64;       // OS/2 2.x: its extra fields are not masks
constexpr std::uint32_t kLargestHeaderSize = 124;  // V5

// The compression field's values.
constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitfields = 3;  // Huffman 1D under an OS/2 2.x header
constexpr std::uint32_t kJpeg = 4;       // RLE24 under an OS/2 2.x header
constexpr std::uint32_t kPng = 5;
constexpr std::uint32_t kAlphaBitfields = 6;

bool IsKnownHeaderSize(std::uint32_t size) {
  for (std::uint32_t known : {12u, 40u, 52u, 56u, 64u, 108u, 124u}) {
    if (size == known) return true;
  }
  return false;
}

// The info header's fields, widened so that no check on them can overflow.
struct InfoFields {
  std::uint32_t headerSize = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;
  int bitsPerPixel = 0;
  std::uint32_t compression = kRgb;
  std::uint32_t coloursUsed = 0;
  ColourMasks headerMasks;  // meaningful in a 52-byte or larger Windows header

  bool IsCore() const { return headerSize == kCoreHeaderSize; }
  bool IsOs2() const { return headerSize == kOs2HeaderSize; }
  bool HasMasksInHeader() const { return headerSize >= kMasksInHeaderSize && !IsOs2(); }
  bool HasBitfields() const { return compression == kBitfields || compression == kAlphaBitfields; }
};

bool IsContiguous(std::uint32_t mask) {
  const std::uint64_t shifted = mask >> std::countr_zero(mask);
  return (shifted & (shifted + 1)) == 0;
}

class FormatReader {
 public:
  FormatReader(ports::InputFile& file, const DibPlacement& where,
               const limits::DecodeLimits& limits)
      : file_(file), where_(where), limits_(limits) {}

  DibFormat Read() {
    CheckRegion();
    const InfoFields info = ReadInfo();
    DibFormat format;
    SetDimensions(info, format);
    SetCompression(info, format);
    std::uint64_t cursor = where_.offset + info.headerSize;
    format.masks = ReadMasks(info, format.bitsPerPixel, cursor);
    const std::uint64_t pixelOffset = ReadPalette(info, cursor, format.palette);
    LocatePixels(pixelOffset, format);
    return format;
  }

 private:
  [[noreturn]] void Fault(const std::string& reason) const {
    throw Failure::InFile(FailureKind::DamagedPicture, file_.Path(), reason);
  }

  void CheckRegion() {
    const std::uint64_t fileSize = file_.Size();
    if (where_.offset > fileSize || where_.size > fileSize - where_.offset) {
      Fault("bitmap lies outside the file");
    }
    end_ = where_.offset + where_.size;
  }

  // Reads `out.size()` bytes at `offset`, which must lie inside the bitmap.
  void ReadInside(std::uint64_t offset, std::span<std::uint8_t> out, const char* whenShort) {
    if (offset > end_ || out.size() > end_ - offset) Fault(whenShort);
    ReadExactly(file_, offset, out, limits_.maxReadBytes, whenShort);
  }

  InfoFields ReadInfo() {
    // One read for the largest header; a shorter one is checked against its size field.
    std::vector<std::uint8_t> h(std::min<std::uint64_t>(where_.size, kLargestHeaderSize));
    ReadInside(where_.offset, h, "truncated bitmap header");
    if (h.size() < 4) Fault("truncated bitmap header");
    InfoFields info;
    info.headerSize = Le32(&h[0]);
    if (!IsKnownHeaderSize(info.headerSize)) {
      Fault("unsupported bitmap header size " + std::to_string(info.headerSize));
    }
    if (info.headerSize > h.size()) Fault("truncated bitmap header");
    if (info.IsCore()) {
      info.width = Le16(&h[4]);
      info.height = Le16(&h[6]);
      info.bitsPerPixel = static_cast<int>(Le16(&h[10]));
      return info;
    }
    info.width = static_cast<std::int32_t>(Le32(&h[4]));
    info.height = static_cast<std::int32_t>(Le32(&h[8]));
    info.bitsPerPixel = static_cast<int>(Le16(&h[14]));
    info.compression = Le32(&h[16]);
    info.coloursUsed = Le32(&h[32]);
    if (info.HasMasksInHeader()) {
      info.headerMasks = {Le32(&h[40]), Le32(&h[44]), Le32(&h[48]),
                          info.headerSize >= kAlphaInHeaderSize ? Le32(&h[52]) : 0};
    }
    return info;
  }

  void SetDimensions(const InfoFields& info, DibFormat& format) const {
    if (info.width <= 0) Fault("bitmap width " + std::to_string(info.width) + " is not positive");
    if (info.height == 0) Fault("bitmap height is zero");
    if (info.height == std::numeric_limits<std::int32_t>::min())
      Fault("bitmap height out of range");
    std::int64_t rows = info.height < 0 ? -info.height : info.height;
    if (where_.kind == DibKind::IconImage) {
      rows /= 2;  // the header counts the AND mask's rows too
      if (rows == 0) Fault("icon image has no rows");
    }
    format.width = static_cast<int>(info.width);
    format.height = static_cast<int>(rows);
    format.order = info.height < 0 ? ports::RowOrder::TopDown : ports::RowOrder::BottomUp;
    if (!FitsABmpFile(format.width, format.height)) {
      Fault("bitmap of " + std::to_string(format.width) + " x " + std::to_string(format.height) +
            " pixels is too large");
    }
    if (format.width > limits_.maxPictureWidth) Fault(TooWideReason(format.width, limits_));
  }

  void SetCompression(const InfoFields& info, DibFormat& format) const {
    const int bpp = info.bitsPerPixel;
    format.bitsPerPixel = bpp;
    const bool listedDepth =
        bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
    if (!listedDepth || (info.IsCore() && (bpp == 16 || bpp == 32))) {
      Fault("unsupported bit depth " + std::to_string(bpp));
    }
    format.compression = Compression(info);
    if (format.compression == DibCompression::None) return;
    if (format.order == ports::RowOrder::TopDown) Fault("compressed bitmap stored top-down");
    if (where_.kind == DibKind::IconImage) Fault("compressed icon image");
  }

  DibCompression Compression(const InfoFields& info) const {
    if (info.IsOs2()) RefuseOs2Compression(info.compression);
    const std::string depth = std::to_string(info.bitsPerPixel) + " bits per pixel";
    switch (info.compression) {
      case kRgb:
        return DibCompression::None;
      case kRle8:
        if (info.bitsPerPixel != 8) Fault("RLE8 compression with " + depth);
        return DibCompression::Rle8;
      case kRle4:
        if (info.bitsPerPixel != 4) Fault("RLE4 compression with " + depth);
        return DibCompression::Rle4;
      case kBitfields:
      case kAlphaBitfields:
        if (info.bitsPerPixel != 16 && info.bitsPerPixel != 32) Fault("bit fields with " + depth);
        return DibCompression::None;
      case kJpeg:
        Fault("JPEG-compressed bitmaps are not supported");
      case kPng:
        Fault("PNG-compressed bitmaps are not supported");
      default:
        Fault("unknown bitmap compression " + std::to_string(info.compression));
    }
  }

  // OS/2 2.x gives the values after RLE4 other meanings.
  void RefuseOs2Compression(std::uint32_t compression) const {
    if (compression == kBitfields) Fault("Huffman compression is not supported");
    if (compression == kJpeg) Fault("RLE24 compression is not supported");
    if (compression > kRle4) Fault("unknown bitmap compression " + std::to_string(compression));
  }

  // The channel masks of a 16- or 32-bit bitmap; advances `cursor` past
  // masks stored after a 40-byte header.
  ColourMasks ReadMasks(const InfoFields& info, int bpp, std::uint64_t& cursor) {
    if (bpp == 16 && !info.HasBitfields()) return {0x7C00, 0x03E0, 0x001F, 0};
    if (bpp == 32 && !info.HasBitfields()) return {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    if (!info.HasBitfields()) return {};
    ColourMasks masks = info.headerMasks;
    if (!info.HasMasksInHeader()) {
      std::uint8_t m[16];
      const std::size_t count = info.compression == kAlphaBitfields ? 4 : 3;
      ReadInside(cursor, std::span(m, count * 4), "truncated colour masks");
      cursor += count * 4;
      masks = {Le32(&m[0]), Le32(&m[4]), Le32(&m[8]), count == 4 ? Le32(&m[12]) : 0};
    }
    for (std::uint32_t mask : {masks.red, masks.green, masks.blue, masks.alpha}) {
      if (mask == 0) continue;
      if (!IsContiguous(mask)) Fault("colour masks are not contiguous");
      if (bpp == 16 && mask > 0xFFFF) Fault("colour mask wider than the pixel");
    }
    return masks;
  }

  // Reads the palette at `cursor` into `palette`; returns where the pixels start.
  std::uint64_t ReadPalette(const InfoFields& info, std::uint64_t cursor, Palette& palette) {
    const std::uint64_t entrySize = info.IsCore() ? 3 : 4;
    const bool indexed = info.bitsPerPixel <= 8;
    const std::uint64_t fullPalette = indexed ? std::uint64_t{1} << info.bitsPerPixel : 0;
    // A deeper bitmap may still carry a palette as a hint; it is skipped.
    std::uint64_t entries = info.coloursUsed == 0 ? fullPalette : info.coloursUsed;
    if (indexed) entries = std::min(entries, fullPalette);
    std::uint64_t pixelOffset = cursor + entries * entrySize;
    if (where_.pixelOffset) {
      pixelOffset = *where_.pixelOffset;
      if (pixelOffset < cursor) Fault("pixel data offset inside the headers");
      if (pixelOffset > end_) Fault("pixel data offset outside the file");
      entries = std::min(entries, (pixelOffset - cursor) / entrySize);
    } else if (pixelOffset > end_) {
      Fault("palette outside the file");
    }
    if (!indexed) return pixelOffset;
    std::vector<std::uint8_t> table(entries * entrySize);
    ReadInside(cursor, table, "palette outside the file");
    for (std::uint64_t i = 0; i < entries; ++i) {
      std::copy_n(&table[i * entrySize], 3, &palette[i * 3]);
    }
    return pixelOffset;
  }

  void LocatePixels(std::uint64_t pixelOffset, DibFormat& format) const {
    format.dataEnd = end_;
    const std::uint64_t available = end_ - pixelOffset;
    if (format.compression != DibCompression::None) {
      if (available < 2) Fault("truncated pixel data");
      format.pixels = {pixelOffset, 0};
      return;
    }
    // FitsABmpFile has bounded width x height, so none of these products overflow.
    const std::uint64_t width = static_cast<std::uint64_t>(format.width);
    const std::uint64_t rows = static_cast<std::uint64_t>(format.height);
    const std::uint64_t rowBits = width * static_cast<std::uint64_t>(format.bitsPerPixel);
    format.pixels = {pixelOffset, (rowBits + 31) / 32 * 4};
    // The last row of the last plane may lack its padding.
    std::uint64_t needed = format.pixels.stride * (rows - 1) + (rowBits + 7) / 8;
    if (where_.kind == DibKind::IconImage) {
      format.andMask = RowPlane{pixelOffset + format.pixels.stride * rows, (width + 31) / 32 * 4};
      needed = format.pixels.stride * rows + format.andMask->stride * (rows - 1) + (width + 7) / 8;
    }
    if (needed > available) Fault("truncated pixel data");
  }

  ports::InputFile& file_;
  DibPlacement where_;
  const limits::DecodeLimits& limits_;
  std::uint64_t end_ = 0;
};

}  // namespace

DibFormat ReadDibFormat(ports::InputFile& file, const DibPlacement& where,
                        const limits::DecodeLimits& limits) {
  return FormatReader(file, where, limits).Read();
}

}  // namespace tessarin::pictures
