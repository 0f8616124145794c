#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "limits/run_limits.h"

namespace tessarin::limits {

// Every bound a picture is decoded within, one value handed to the decoders
// where they are opened. The defaults are the program's own; the fuzz
// targets pass smaller ones of their own.
struct DecodeLimits {
  // Rows stream whole, through buffers of bounded bytes, so a picture wider
  // than this is refused when opened (1 Mi pixels: a row of 3 MiB).
  std::int64_t maxPictureWidth = std::int64_t{1} << 20;

  // Formats that cannot stream are decoded whole; that decode, in whatever
  // pixel format the decoder needs, may take at most this many bytes. It is
  // also the allowance that everything held whole in one process shares
  // (see MemoryAllowance), so that a canvas and an inset together stay
  // within it. 256 MiB holds an 8K picture at four bytes a pixel with room
  // to spare.
  std::uint64_t maxHeldBytes = std::uint64_t{256} << 20;

  // The most a decoder asks of the file in one read, and about the most raw
  // pixel data the bitmap reader holds at once (unless a single row is
  // larger).
  std::size_t maxReadBytes = 256 * 1024;

  // How many bytes of decoded rows the read-ahead hands over at a time.
  std::size_t readAheadStripBytes = 256 * 1024;

  // PNG ancillary chunks are held in memory while decoding: each, and all.
  std::size_t maxPngChunkBytes = std::size_t{16} << 20;
  std::size_t maxPngChunkCacheBytes = std::size_t{64} << 20;
  // Not a bound but set with them: PNG checksums are checked (the fuzz
  // targets skip them, to let their mutations through to the decoder).
  bool pngChecksumsChecked = true;

  // A progressive JPEG of more scans than this is refused: each scan makes
  // the decoder go over the whole picture again.
  int maxJpegScans = 100;

  // Files larger than this are not taken for metafiles worth drawing.
  std::uint64_t maxMetafileBytes = std::uint64_t{64} << 20;

  // The metafile renderer's work cap, in pixels' worth of filling (about a
  // nanosecond each): this much per pixel of the picture, and at least the
  // minimum, so that a whole budget is spent within a few seconds.
  double metafileWorkPerPixel = 64;
  double metafileMinWork = 1 << 26;
  // Saved drawing states beyond this depth are not kept (SaveDC fails, as
  // when GDI runs out of memory).
  std::uint32_t metafileMaxSavedStates = 1024;
  // Text is drawn at most this many pixels high.
  double metafileMaxFontPixels = 2048;

  // What decoding one picture may take, kept by the platform whatever the
  // decoders count: the processor time it may spend (the Linux program's
  // decoder processes, the Windows program's decoding thread), the wall time
  // the run waits for it in all (a safety net for a decoder that waits without
  // working, generous enough that a starved machine never reaches it) and the
  // memory (heap and private mappings) a Linux decoder process may hold (the
  // Windows program's decoders run in its own process, bounded with the whole
  // run: kWindowsJobMiB). Every picture of the benchmark and the tests decodes
  // in well under a second of processor time and 260 MiB (an 8000 x 8000
  // metafile, the largest frame there is memory for); a canvas and an inset
  // spending their full time each still end a run within kRunSeconds.
  int decodeProcessorSeconds = 4;
  int decodeWaitSeconds = 60;
  std::uint64_t decoderMiB = 320;

  // The Windows program: pictures the system decodes beyond this many
  // pixels are refused rather than half drawn.
  std::int64_t maxSystemDecodedPixels = std::int64_t{1} << 28;
};

static_assert(2 * DecodeLimits{}.decodeProcessorSeconds < kRunSeconds,
              "a canvas and an inset decoding for their full time end a run in time");
static_assert(DecodeLimits{}.decoderMiB < kRunMiB, "a decoder process stays within the run's");

// What a run says of a picture whose decoding reached one of the platform's
// bounds (after the file's name), the same on every platform.
inline std::string ProcessorTimeReason(const DecodeLimits& limits) {
  return "the picture took more than " + std::to_string(limits.decodeProcessorSeconds) +
         " seconds of processor time to decode";
}
inline std::string WaitReason(const DecodeLimits& limits) {
  return "the picture's decoder kept the run waiting more than " +
         std::to_string(limits.decodeWaitSeconds) + " seconds";
}

}  // namespace tessarin::limits
