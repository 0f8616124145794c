// The run's side of a decoder's channel against a decoder that has been
// taken over: the input is the script of a child that sends any messages,
// writes anything into its ring and its count of the allowance, at any time,
// or says nothing and waits. The real SandboxedPicture reads the picture's
// rows or its block from it. A Failure is the expected outcome; a crash, a
// sanitizer report, a wait past the bounds or memory past the limits is a
// finding.

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/failure.h"
#include "linux/input_files.h"
#include "linux/picture_sandbox/sandboxed_picture.h"

namespace tessarin::fuzzing {
namespace {

using linux_platform::picture_sandbox::DecoderChild;
using linux_platform::picture_sandbox::DecoderFailed;
using linux_platform::picture_sandbox::Message;
using linux_platform::picture_sandbox::MessageKind;
using linux_platform::picture_sandbox::MessageOf;
using linux_platform::picture_sandbox::RingHeader;

// Small bounds, so that a decoder that spins or waits costs a second or two.
limits::DecodeLimits Limits() {
  limits::DecodeLimits limits;
  limits.maxPictureWidth = 4096;
  limits.readAheadStripBytes = 16 * 1024;
  limits.maxHeldBytes = std::uint64_t{16} << 20;
  limits.decodeProcessorSeconds = 1;
  limits.decodeWaitSeconds = 1;
  return limits;
}

// A file for the decoder to hold (its bytes are never read): the files the
// program opens are regular ones.
const std::string& AnyFile() {
  static char name[] = "/tmp/tessarin-fuzz-XXXXXX";
  static const std::string path = [] {
    ::close(::mkstemp(name));
    std::atexit([] { ::unlink(name); });
    return std::string(name);
  }();
  return path;
}

// Reads the script a byte or a number at a time; zeros past its end.
class Script {
 public:
  Script(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Done() const { return next_ >= size_; }
  std::uint8_t Byte() { return next_ < size_ ? data_[next_++] : 0; }
  std::int32_t Number() {
    // Mostly small numbers, sometimes any.
    const std::uint8_t kind = Byte();
    if (kind < 0xF0) return kind % 64 - 8;
    std::int32_t any = 0;
    for (int i = 0; i < 4; ++i) any = static_cast<std::int32_t>(any << 8 | Byte());
    return any;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t next_ = 0;
};

// What the scripted decoder does, step by step; at the script's end it
// leaves or, for two values of the script's first byte, waits for ever.
[[noreturn]] void ScriptedDecoder(DecoderChild& child, const std::vector<std::uint8_t>& bytes) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // a waiting script ends with the fuzzer
  Script script(bytes.data() + 1, bytes.size() - 1);
  const std::size_t ringBytes = child.shape.Bytes();
  auto* ring = static_cast<std::uint8_t*>(child.ring);
  while (!script.Done()) {
    switch (script.Byte() % 9) {
      case 0: {  // a message
        // Any kind with any numbers, as a taken-over decoder could send.
        const Message message{static_cast<MessageKind>(script.Byte() % 8),
                              {script.Number(), script.Number(), script.Number()}};
        ::send(child.channel, &message, sizeof message, MSG_NOSIGNAL);
        break;
      }
      case 1: {  // a strip filled
        const std::size_t at = static_cast<std::size_t>(script.Number()) % ringBytes;
        const std::size_t length = std::min<std::size_t>(script.Byte() * 64u, ringBytes - at);
        std::memset(ring + at, script.Byte(), length);
        break;
      }
      case 2:  // its own count of the allowance, and the run's pool
        static_cast<RingHeader*>(child.ring)->held = static_cast<std::uint64_t>(script.Number());
        child.pool = static_cast<std::uint64_t>(script.Number());
        break;
      case 3: {  // the run's next request, read
        Message asked{};
        ::recv(child.channel, &asked, sizeof asked, MSG_DONTWAIT);
        break;
      }
      case 4: {  // a failure, with words of any bytes (nothing allocated: the
                 // fuzzer's threads may hold the allocator's locks)
        // Up to 16 bytes short of the longest failure text, and past it.
        std::array<char, sizeof(Message) + 255 * 16> packet{};
        const Message failure = MessageOf(DecoderFailed{script.Number()});
        std::memcpy(packet.data(), &failure, sizeof failure);
        const std::size_t length = sizeof failure + script.Byte() * 16u;
        for (std::size_t i = sizeof failure; i < length; ++i)
          packet[i] = static_cast<char>(script.Byte());
        ::send(child.channel, packet.data(), length, MSG_NOSIGNAL);
        break;
      }
      case 5: {  // a packet of any length
        std::array<std::uint8_t, 32> packet{};
        const std::size_t length = script.Byte() % packet.size();
        for (std::size_t i = 0; i < length; ++i) packet[i] = script.Byte();
        ::send(child.channel, packet.data(), length, MSG_NOSIGNAL);
        break;
      }
      case 6:  // a pause
        ::poll(nullptr, 0, script.Byte() % 8);
        break;
      case 7:  // an end of its own
        ::_exit(script.Byte());
      case 8:  // the channel closed
        ::shutdown(child.channel, script.Byte() % 3);
        break;
    }
  }
  if (bytes[0] == 0x01 || bytes[0] == 0x03) ::pause();  // rarely: each costs the net
  ::_exit(0);
}

}  // namespace
}  // namespace tessarin::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessarin;
  if (size < 2) return 0;
  static linux_platform::InputOpener files;
  pictures::DecodeSetup setup(fuzzing::Limits());
  linux_platform::picture_sandbox::DecoderPool pool(setup.allowance);
  const std::vector<std::uint8_t> bytes(data, data + size);
  try {
    auto file = files.Open(fuzzing::AnyFile());
    const int descriptor = file->Descriptor();
    linux_platform::picture_sandbox::SandboxedPicture picture(
        std::move(file), descriptor, {}, setup, pool,
        [&bytes](linux_platform::picture_sandbox::DecoderChild& child) {
          fuzzing::ScriptedDecoder(child, bytes);
        });
    if (bytes[0] & 2) {
      // Asked for early and polled while other rows are written, as a
      // composition does, then read.
      const int width = bytes[0] >> 2;
      picture.AskTopLeft(width, 23);
      for (int turn = 0; turn < 3 && !picture.TopLeftReady(); ++turn) ::poll(nullptr, 0, 1);
      const ports::Bitmap block = picture.ReadTopLeft(width, 23);
      if (block.bgr.size() != std::size_t(block.width) * block.height * 3) __builtin_trap();
    } else {
      std::vector<std::uint8_t> strip(std::size_t(picture.Width()) * 3 * 7);
      for (int row = 0; row < picture.Height(); row += 7)
        picture.ReadRows(strip.data(), std::min(7, picture.Height() - row));
    }
  } catch (const Failure&) {
  }
  // Whatever the decoder wrote, the run's own count holds nothing once it is
  // done (the pool, which decoders write, left out).
  pool.Count() = 0;
  if (setup.allowance.Left() != setup.allowance.Bytes()) __builtin_trap();
  return 0;
}
