#pragma once

// What a decoder process and the run say to each other over their channel
// (a sequenced-packet socket: every message arrives whole or not at all), and
// the memory they share: a ring of strips the decoder fills with rows that
// the run reads in place.

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "limits/decode_limits.h"
#include "ports/pictures.h"

namespace tessarin::linux_platform {

enum class MessageKind : std::uint32_t {
  // decoder to run
  Header,   // a: width, b: height, c: row order
  Rows,     // a: strip, b: rows it holds
  Block,    // a: width, b: height of the block whose rows follow
  Failure,  // a: its kind; the text follows the message
  // run to decoder
  ReadRows,   // stream every row of the picture
  ReadBlock,  // a: width, b: height asked of ReadTopLeft
  Free,       // a: strip the run has read
};

struct Message {
  MessageKind kind;
  std::int32_t a = 0, b = 0, c = 0;
};

// The longest failure text a message carries.
constexpr std::size_t kMaxFailureText = 4000;

// A decoder that finds no memory left says so by ending with this status: it
// has none left to send a message with.
constexpr int kOutOfMemoryStatus = 99;

// This many strips in the ring: a few strips ahead of the reader keep both
// processes busy.
constexpr std::size_t kStrips = 4;

// The start of the shared memory; the strips follow it.
struct RingHeader {
  std::atomic<std::uint64_t> held{0};  // the decoder's share of the whole-decode allowance
};
constexpr std::size_t kRingHeaderBytes = 4096;

// The ring's shape for the limits a run decodes within: strips of about
// the read-ahead's bytes (one row when a row is larger), each with room for
// the widest row there may be.
struct RingShape {
  explicit RingShape(const pictures::DecodeLimits& limits)
      : stripBytes(limits.readAheadStripBytes),
        stripCapacity(static_cast<std::size_t>(limits.maxPictureWidth) * ports::kBytesPerPixel) {}

  std::size_t Bytes() const { return kRingHeaderBytes + kStrips * stripCapacity; }
  // Rows of `stride` bytes a strip holds.
  int StripRows(std::size_t stride) const {
    return stride == 0 || stride >= stripBytes ? 1 : static_cast<int>(stripBytes / stride);
  }
  std::uint8_t* StripAt(void* ring, std::size_t strip) const {
    return static_cast<std::uint8_t*>(ring) + kRingHeaderBytes + strip * stripCapacity;
  }

  std::size_t stripBytes;
  std::size_t stripCapacity;
};

}  // namespace tessarin::linux_platform
