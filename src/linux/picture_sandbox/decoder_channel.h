#pragma once

// What a decoder process and the run say to each other over their channel
// (a sequenced-packet socket: every message arrives whole or not at all), and
// the memory they share: a ring of strips the decoder fills with rows that
// the run reads in place.

#include <atomic>
#include <cstddef>
#include <cstdint>

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

// Strips of about this many bytes (one row when a row is larger), this many
// in the ring: a few strips ahead of the reader keep both processes busy.
constexpr std::size_t kStripBytes = 256 * 1024;
constexpr std::size_t kStrips = 4;
// Room for a strip of the widest row there is.
constexpr std::size_t kStripCapacity =
    static_cast<std::size_t>(ports::kMaxPictureWidth) * ports::kBytesPerPixel;

// The start of the shared memory; the strips follow it.
struct RingHeader {
  std::atomic<std::uint64_t> held{0};  // the decoder's share of the whole-decode allowance
};
constexpr std::size_t kRingHeaderBytes = 4096;
constexpr std::size_t kRingBytes = kRingHeaderBytes + kStrips * kStripCapacity;

// Rows of `stride` bytes a strip holds.
inline int StripRows(std::size_t stride) {
  return stride == 0 || stride >= kStripBytes ? 1 : static_cast<int>(kStripBytes / stride);
}

inline std::uint8_t* StripAt(void* ring, std::size_t strip) {
  return static_cast<std::uint8_t*>(ring) + kRingHeaderBytes + strip * kStripCapacity;
}

}  // namespace tessarin::linux_platform
