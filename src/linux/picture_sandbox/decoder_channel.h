#pragma once

// What a decoder process and the run say to each other over their channel
// (a sequenced-packet socket: every message arrives whole or not at all), and
// the memory they share: a ring of strips the decoder fills with rows that
// the run reads in place.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <type_traits>

#include "limits/decode_limits.h"
#include "ports/pictures.h"

namespace tessarin::linux_platform::picture_sandbox {

enum class MessageKind : std::uint32_t {
  // decoder to run
  Header,
  Rows,
  Block,
  Failure,  // its text follows the message
  // run to decoder
  ReadRows,
  ReadBlock,
  Free,
};

// One message as it crosses the channel: its kind and three numbers whose
// meaning the kind gives. Made and read only through MessageOf and As, with
// one of the structs below, so that every number carries its name.
struct Message {
  MessageKind kind;
  std::int32_t numbers[3] = {};
};

// The picture's size and row order, sent once it is open.
struct PictureHeader {
  static constexpr MessageKind kKind = MessageKind::Header;
  std::int32_t width, height, rowOrder;
};
// A strip of the ring the decoder has filled, and how many rows it holds.
struct FilledStrip {
  static constexpr MessageKind kKind = MessageKind::Rows;
  std::int32_t strip, rows;
};
// The size of the block whose rows follow.
struct BlockFollows {
  static constexpr MessageKind kKind = MessageKind::Block;
  std::int32_t width, height;
};
// The failure's kind (a FailureKind).
struct DecoderFailed {
  static constexpr MessageKind kKind = MessageKind::Failure;
  std::int32_t failureKind;
};
// Stream every row of the picture.
struct StreamRows {
  static constexpr MessageKind kKind = MessageKind::ReadRows;
};
// The size asked of ReadTopLeft.
struct AskBlock {
  static constexpr MessageKind kKind = MessageKind::ReadBlock;
  std::int32_t width, height;
};
// A strip the run has read, which the decoder may fill again.
struct FreeStrip {
  static constexpr MessageKind kKind = MessageKind::Free;
  std::int32_t strip;
};

template <typename Fields>
Message MessageOf(const Fields& fields) {
  Message message{Fields::kKind};
  if constexpr (!std::is_empty_v<Fields>) {
    static_assert(sizeof fields <= sizeof message.numbers && std::is_trivially_copyable_v<Fields>);
    std::memcpy(message.numbers, &fields, sizeof fields);
  }
  return message;
}

// The message's numbers by name; none when it is of another kind.
template <typename Fields>
std::optional<Fields> As(const Message& message) {
  if (message.kind != Fields::kKind) return std::nullopt;
  Fields fields{};
  if constexpr (!std::is_empty_v<Fields>) std::memcpy(&fields, message.numbers, sizeof fields);
  return fields;
}

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
  explicit RingShape(const limits::DecodeLimits& limits)
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

}  // namespace tessarin::linux_platform::picture_sandbox
