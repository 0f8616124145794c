#pragma once

#include <cstdint>

namespace tessarin::linux_platform {

// What a picture's decoder process may take. Every picture of the benchmark
// and the tests decodes in well under a second and 260 MiB (an 8000 x 8000
// metafile, the largest frame there is memory for); a canvas and an inset
// waiting their full time each still end a run within 10 s.
constexpr int kDecodeSeconds = 4;           // the run's waits for one decoder, in all
constexpr std::uint64_t kDecoderMiB = 320;  // its data: heap and private mappings

// A decoder that finds no memory left ends with this status.
constexpr int kOutOfMemoryStatus = 99;

}  // namespace tessarin::linux_platform
