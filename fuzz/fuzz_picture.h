#pragma once

// What every decoder's fuzz target does with the bytes it is given: open
// them as a picture and read it as a run would, either the canvas's rows in
// strips or the inset's top-left block. A Failure is the expected outcome for
// most inputs; anything else (a crash, a sanitizer report, another exception,
// a hang) is a finding.

#include <cstdint>
#include <vector>

#include "base/failure.h"
#include "pictures/decode_setup.h"
#include "ports/pictures.h"
#include "support/memory_file.h"

namespace tessarin::fuzzing {

// Pictures larger than this are only opened: reading them would only make
// the run slow, and their size limits are tested by the unit tests.
constexpr std::int64_t kMaxFuzzPixels = 4 << 20;

// The program's limits but for the allowance and the PNG checksums (skipped,
// so that mutations reach the decoder). Fuzzing runs under
// sanitizers, whose own memory grows with every byte held, and a quarter of
// the program's allowance keeps an input and their share within the
// fuzzer's 384 MiB, so that a bound the decoders break is still found.
inline limits::DecodeLimits FuzzLimits() {
  limits::DecodeLimits limits;
  limits.maxHeldBytes = std::uint64_t{64} << 20;
  limits.pngChecksumsChecked = false;
  return limits;
}

// One setup for the whole run, as the program has.
inline pictures::DecodeSetup& FuzzDecoding() {
  static pictures::DecodeSetup setup(FuzzLimits());
  return setup;
}

// `open` is a decoder's Open function (file, setup).
template <typename Open>
int FuzzPicture(const std::uint8_t* data, std::size_t size, Open open) {
  try {
    auto source = open(std::make_unique<testing::MemoryInputFile>(
                           "fuzz", std::vector<std::uint8_t>(data, data + size)),
                       FuzzDecoding());
    const std::int64_t pixels = std::int64_t{source->Width()} * source->Height();
    if (source->Width() <= 0 || source->Height() <= 0) __builtin_trap();
    if (pixels > kMaxFuzzPixels) return 0;
    if (size % 2 == 0) {
      const ports::Bitmap block = source->ReadTopLeft(37, 23);
      if (block.bgr.size() != std::size_t(block.width) * block.height * 3) __builtin_trap();
      return 0;
    }
    std::vector<std::uint8_t> strip(std::size_t(source->Width()) * 3 * 7);
    for (int row = 0; row < source->Height(); row += 7) {
      source->ReadRows(strip.data(), std::min(7, source->Height() - row));
    }
  } catch (const Failure&) {
  }
  return 0;
}

}  // namespace tessarin::fuzzing
