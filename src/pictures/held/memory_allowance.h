#pragma once

#include <cstdint>
#include <string>

namespace tessarin::pictures {

// Formats that cannot stream are decoded whole; that decode, in whatever
// pixel format the decoder needs, may take at most this many bytes. 256 MiB
// holds an 8K picture at four bytes a pixel with room to spare. It is also
// the allowance that everything held whole in one process shares (see
// HeldMemory), so that a canvas and an inset together stay within it.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
// Fuzzing runs under sanitizers, whose own memory grows with every byte held:
// a quarter of the allowance keeps an input and their share within the
// fuzzer's 384 MiB, so that a bound the program breaks is still found.
constexpr std::uint64_t kMaxWholeDecodeBytes = std::uint64_t{64} << 20;
#else
constexpr std::uint64_t kMaxWholeDecodeBytes = std::uint64_t{256} << 20;
#endif

// Bytes taken from the process's allowance of kMaxWholeDecodeBytes for what
// is held whole: a picture decoded whole, a metafile's file, progressive JPEG
// coefficients, the inset's block. Given back when destroyed, so the holder
// keeps it as long as the memory lives. Safe to use from any thread.
class HeldMemory {
 public:
  HeldMemory() = default;
  HeldMemory(HeldMemory&& other) noexcept;
  HeldMemory& operator=(HeldMemory&& other) noexcept;
  ~HeldMemory();

  // Takes `bytes` from the allowance; throws Failure naming `path` when it
  // has less left (the other picture may hold the rest).
  static HeldMemory Take(const std::string& path, std::uint64_t bytes);
  // What the allowance has left.
  static std::uint64_t Left();
  std::uint64_t Bytes() const { return bytes_; }

 private:
  explicit HeldMemory(std::uint64_t bytes) : bytes_(bytes) {}
  std::uint64_t bytes_ = 0;
};

}  // namespace tessarin::pictures
