#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "ports/files.h"

namespace tessarin::pictures {

// Reads exactly out.size() bytes at `offset` in reads of at most
// `maxReadBytes` (DecodeLimits::maxReadBytes). Throws
// a DamagedPicture failure naming the file when the file ends first.
void ReadExactly(ports::InputFile& file, std::uint64_t offset, std::span<std::uint8_t> out,
                 std::size_t maxReadBytes, const char* whenShort = "the file ends early");

}  // namespace tessarin::pictures
