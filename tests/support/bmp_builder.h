#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "support/bytes.h"

namespace tessarin::testing {

// A bitmap of any header variant, depth and compression, as the bytes of a
// BMP file or of a bare device-independent bitmap.
struct BmpBuilder {
  std::uint32_t headerSize = 40;  // 12, 40, 52, 56, 64, 108 or 124
  std::int32_t width = 1;
  std::int32_t height = 1;  // negative: top-down
  std::uint16_t bitsPerPixel = 24;
  std::uint32_t compression = 0;
  std::uint32_t coloursUsed = 0;
  std::vector<std::uint32_t> palette;  // 0xRRGGBB
  // Inside a 52-byte or larger header, else written after a 40-byte one.
  std::vector<std::uint32_t> masks;
  std::vector<std::uint8_t> pixels;          // rows as stored, or the RLE data
  std::optional<std::uint32_t> pixelOffset;  // the file header's, when not the real one

  std::vector<std::uint8_t> Dib() const {
    std::vector<std::uint8_t> out;
    PutLe(out, headerSize, 4);
    if (headerSize == 12) {
      PutLe(out, static_cast<std::uint16_t>(width), 2);
      PutLe(out, static_cast<std::uint16_t>(height), 2);
      PutLe(out, 1, 2);
      PutLe(out, bitsPerPixel, 2);
    } else {
      PutInfoFields(out);
    }
    if (headerSize == 40) {
      for (std::uint32_t mask : masks) PutLe(out, mask, 4);
    }
    for (std::uint32_t colour : palette) PutLe(out, colour, headerSize == 12 ? 3 : 4);
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
  }

  std::vector<std::uint8_t> File() const {
    const std::vector<std::uint8_t> dib = Dib();
    std::vector<std::uint8_t> out{'B', 'M'};
    PutLe(out, 14 + dib.size(), 4);
    PutLe(out, 0, 4);
    PutLe(out, pixelOffset.value_or(14 + dib.size() - pixels.size()), 4);
    out.insert(out.end(), dib.begin(), dib.end());
    return out;
  }

 private:
  void PutInfoFields(std::vector<std::uint8_t>& out) const {
    PutLe(out, static_cast<std::uint32_t>(width), 4);
    PutLe(out, static_cast<std::uint32_t>(height), 4);
    PutLe(out, 1, 2);
    PutLe(out, bitsPerPixel, 2);
    PutLe(out, compression, 4);
    PutLe(out, pixels.size(), 4);
    PutLe(out, 2835, 4);
    PutLe(out, 2835, 4);
    PutLe(out, coloursUsed, 4);
    PutLe(out, 0, 4);
    const bool windowsExtension = headerSize >= 52 && headerSize != 64;
    for (std::size_t i = 0; windowsExtension && i < (headerSize == 52 ? 3u : 4u); ++i) {
      PutLe(out, i < masks.size() ? masks[i] : 0, 4);
    }
    out.resize(headerSize);  // colour space or OS/2 fields: zero
  }
};

// Pixel values (palette indices or whole 16/24/32-bit pixels) packed as rows
// padded to four bytes, given in file order.
inline std::vector<std::uint8_t> PackRows(int bitsPerPixel,
                                          const std::vector<std::vector<std::uint32_t>>& rows) {
  std::vector<std::uint8_t> out;
  for (const auto& row : rows) {
    std::vector<std::uint8_t> bytes;
    if (bitsPerPixel < 8) {
      bytes.resize((row.size() * bitsPerPixel + 7) / 8);
      for (std::size_t x = 0; x < row.size(); ++x) {
        const std::size_t bit = x * bitsPerPixel;
        bytes[bit / 8] |= static_cast<std::uint8_t>(row[x] << (8 - bitsPerPixel - bit % 8));
      }
    } else {
      for (std::uint32_t value : row) PutLe(bytes, value, bitsPerPixel / 8);
    }
    bytes.resize((bytes.size() + 3) / 4 * 4);
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return out;
}

// RLE8 or RLE4 data, op by op.
class RleData {
 public:
  explicit RleData(int bitsPerPixel) : fourBit_(bitsPerPixel == 4) {}
  // `count` pixels of one index (RLE4: `value` holds two alternating nibbles).
  RleData& Run(int count, std::uint8_t value) {
    return Put({static_cast<std::uint8_t>(count), value});
  }
  RleData& Absolute(const std::vector<std::uint8_t>& indices) {
    Put({0, static_cast<std::uint8_t>(indices.size())});
    std::vector<std::uint8_t> packed;
    for (std::size_t i = 0; i < indices.size(); ++i) {
      if (!fourBit_) {
        packed.push_back(indices[i]);
      } else if (i % 2 == 0) {
        packed.push_back(static_cast<std::uint8_t>(indices[i] << 4));
      } else {
        packed.back() |= indices[i];
      }
    }
    if (packed.size() % 2 != 0) packed.push_back(0);
    return Put(packed);
  }
  RleData& EndOfLine() { return Put({0, 0}); }
  RleData& EndOfBitmap() { return Put({0, 1}); }
  RleData& Delta(int dx, int dy) {
    return Put({0, 2, static_cast<std::uint8_t>(dx), static_cast<std::uint8_t>(dy)});
  }
  std::vector<std::uint8_t> Bytes() const { return bytes_; }

 private:
  RleData& Put(const std::vector<std::uint8_t>& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  bool fourBit_;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace tessarin::testing
