#pragma once

#include <cstdint>

namespace tessarin::linux_platform {

// What a picture's decoder process may take is in DecodeLimits
// (decodeProcessorSeconds, decoderMiB).

// A decoder that finds no memory left ends with this status.
constexpr int kOutOfMemoryStatus = 99;

}  // namespace tessarin::linux_platform
