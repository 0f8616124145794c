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

}  // namespace tessarin::pictures
