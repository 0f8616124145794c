#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace tessarin::testing {

// A placeable Windows metafile drawn with the system's metafile API: `width`
// by `height` units at 96 units an inch (that many pixels on a 96 DPI
// screen), red all over with a blue 10 x 10 square at the top left.
inline std::vector<std::uint8_t> PlaceableMetafile(int width = 40, int height = 30) {
  HDC dc = CreateMetaFileW(nullptr);
  SetWindowOrgEx(dc, 0, 0, nullptr);
  SetWindowExtEx(dc, width, height, nullptr);
  const auto fill = [dc](int right, int bottom, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    const RECT area = {0, 0, right, bottom};
    FillRect(dc, &area, brush);
    DeleteObject(brush);
  };
  fill(width, height, RGB(255, 0, 0));
  fill(10, 10, RGB(0, 0, 255));
  HMETAFILE metafile = CloseMetaFile(dc);
  std::vector<std::uint8_t> bits(GetMetaFileBitsEx(metafile, 0, nullptr));
  GetMetaFileBitsEx(metafile, static_cast<UINT>(bits.size()), bits.data());
  DeleteMetaFile(metafile);

  // The 22-byte header that makes it placeable: key, bounds, units an inch,
  // reserved, and the XOR of the ten 16-bit words before it.
  const std::uint16_t words[10] = {0xCDD7,
                                   0x9AC6,
                                   0,
                                   0,
                                   0,
                                   static_cast<std::uint16_t>(width),
                                   static_cast<std::uint16_t>(height),
                                   96,
                                   0,
                                   0};
  std::uint16_t checksum = 0;
  std::vector<std::uint8_t> file;
  for (std::uint16_t word : words) {
    checksum ^= word;
    file.push_back(static_cast<std::uint8_t>(word));
    file.push_back(static_cast<std::uint8_t>(word >> 8));
  }
  file.push_back(static_cast<std::uint8_t>(checksum));
  file.push_back(static_cast<std::uint8_t>(checksum >> 8));
  file.insert(file.end(), bits.begin(), bits.end());
  return bits.empty() ? std::vector<std::uint8_t>() : file;
}

}  // namespace tessarin::testing
