#pragma once

// Builds Windows metafiles record by record for the metafile tests and the
// fuzz corpus.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/little_endian.h"
#include "support/bytes.h"

namespace tessarin::testing {

class MetafileBuilder {
 public:
  // Records of the usual kinds, parameters as 16-bit words in file order.
  MetafileBuilder& Record(std::uint16_t function, std::vector<std::int32_t> words) {
    std::vector<std::uint16_t> params;
    for (std::int32_t w : words) params.push_back(static_cast<std::uint16_t>(w));
    return Raw(function, params);
  }

  MetafileBuilder& Raw(std::uint16_t function, const std::vector<std::uint16_t>& params) {
    const std::uint32_t size = 3 + static_cast<std::uint32_t>(params.size());
    Put32(records_, size);
    Put16(records_, function);
    for (std::uint16_t w : params) Put16(records_, w);
    maxRecord_ = std::max(maxRecord_, size);
    return *this;
  }

  // A record whose parameters end with raw bytes (text, a bitmap), padded to
  // a whole word.
  MetafileBuilder& WithBytes(std::uint16_t function, std::vector<std::int32_t> words,
                             const std::vector<std::uint8_t>& bytes,
                             std::vector<std::int32_t> after = {}) {
    std::vector<std::uint16_t> params;
    for (std::int32_t w : words) params.push_back(static_cast<std::uint16_t>(w));
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
      params.push_back(
          static_cast<std::uint16_t>(bytes[i] | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0)));
    }
    for (std::int32_t w : after) params.push_back(static_cast<std::uint16_t>(w));
    return Raw(function, params);
  }

  MetafileBuilder& Placeable(std::int16_t left, std::int16_t top, std::int16_t right,
                             std::int16_t bottom, std::uint16_t unitsPerInch) {
    placeable_ = true;
    frame_[0] = left, frame_[1] = top, frame_[2] = right, frame_[3] = bottom;
    inch_ = unitsPerInch;
    return *this;
  }

  MetafileBuilder& Objects(std::uint16_t count) {
    objects_ = count;
    return *this;
  }

  std::vector<std::uint8_t> Build() const {
    std::vector<std::uint8_t> out;
    if (placeable_) {
      Put32(out, 0x9AC6CDD7u);
      Put16(out, 0);
      for (std::int16_t v : frame_) Put16(out, static_cast<std::uint16_t>(v));
      Put16(out, inch_);
      Put32(out, 0);
      std::uint16_t checksum = 0;
      for (std::size_t i = 0; i < 20; i += 2) checksum ^= static_cast<std::uint16_t>(Le16(&out[i]));
      Put16(out, checksum);
    }
    const auto eofWords = 3u;
    const auto words = static_cast<std::uint32_t>(9 + records_.size() / 2 + eofWords);
    Put16(out, 1);  // in memory
    Put16(out, 9);
    Put16(out, 0x0300);
    Put32(out, words);
    Put16(out, objects_);
    Put32(out, maxRecord_);
    Put16(out, 0);
    out.insert(out.end(), records_.begin(), records_.end());
    Put32(out, 3);
    Put16(out, 0);  // META_EOF
    return out;
  }

  static void Put16(Bytes& out, std::uint16_t v) { PutLe(out, v, 2); }
  static void Put32(Bytes& out, std::uint32_t v) { PutLe(out, v, 4); }

 private:
  std::vector<std::uint8_t> records_;
  bool placeable_ = false;
  std::int16_t frame_[4] = {};
  std::uint16_t inch_ = 0;
  std::uint16_t objects_ = 16;
  std::uint32_t maxRecord_ = 3;
};

// COLORREF words, low then high.
inline std::vector<std::int32_t> ColorRef(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return {r | g << 8, b};
}

// A 24-bit bottom-up DIB (info header, no file header) of `pixels` given as
// B, G, R top row first.
inline std::vector<std::uint8_t> Dib24(int width, int height,
                                       const std::vector<std::uint8_t>& bgrTopDown) {
  std::vector<std::uint8_t> out;
  MetafileBuilder::Put32(out, 40);
  MetafileBuilder::Put32(out, static_cast<std::uint32_t>(width));
  MetafileBuilder::Put32(out, static_cast<std::uint32_t>(height));
  MetafileBuilder::Put16(out, 1);
  MetafileBuilder::Put16(out, 24);
  for (int i = 0; i < 6; ++i) MetafileBuilder::Put32(out, 0);
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  for (int y = height - 1; y >= 0; --y) {
    const std::size_t start = out.size();
    out.insert(out.end(), bgrTopDown.begin() + static_cast<long>(y) * width * 3,
               bgrTopDown.begin() + static_cast<long>(y + 1) * width * 3);
    out.resize(start + stride, 0);
  }
  return out;
}

}  // namespace tessarin::testing
