#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "ports/files.h"

namespace tessarin::pictures {

// The most a decoder asks of the file in one read, and about the most raw
// pixel data the bitmap reader holds at once (unless a single row is larger).
inline constexpr std::size_t kMaxReadBytes = 256 * 1024;

// Reads exactly out.size() bytes at `offset` in reads of at most kMaxReadBytes.
// Throws Failure::InFile(file.Path(), whenShort) when the file ends first.
void ReadExactly(ports::InputFile& file, std::uint64_t offset, std::span<std::uint8_t> out,
                 const char* whenShort = "the file ends early");

inline std::uint32_t Le16(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}

inline std::uint32_t Le32(const std::uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

}  // namespace tessarin::pictures
