#pragma once

#include <cstdint>

namespace tessarin {

// The file formats Tessarin reads and writes store their numbers
// little-endian, whatever the machine.
inline std::uint32_t Le16(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}

inline std::uint32_t Le32(const std::uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

}  // namespace tessarin
