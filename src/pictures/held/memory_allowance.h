#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace tessarin::pictures {

class HeldMemory;

// The bytes that everything held whole in one process may take together
// (DecodeLimits::maxHeldBytes): a picture decoded whole, a metafile's file,
// progressive JPEG coefficients, the inset's block. Safe to use from any
// thread; it must outlive every HeldMemory taken from it.
class MemoryAllowance {
 public:
  explicit MemoryAllowance(std::uint64_t bytes) : bytes_(bytes) {}
  MemoryAllowance(const MemoryAllowance&) = delete;
  MemoryAllowance& operator=(const MemoryAllowance&) = delete;

  // Takes `bytes`; throws Failure naming `path` when less is left (the
  // other picture may hold the rest).
  HeldMemory Take(const std::string& path, std::uint64_t bytes);
  // What is left.
  std::uint64_t Left() const { return bytes_ - used_.load(); }
  std::uint64_t Bytes() const { return bytes_; }

 private:
  friend class HeldMemory;
  const std::uint64_t bytes_;
  std::atomic<std::uint64_t> used_{0};
};

// Bytes taken from an allowance, given back when destroyed, so the holder
// keeps it as long as the memory lives.
class HeldMemory {
 public:
  HeldMemory() = default;
  HeldMemory(HeldMemory&& other) noexcept;
  HeldMemory& operator=(HeldMemory&& other) noexcept;
  ~HeldMemory() { GiveBack(); }
  std::uint64_t Bytes() const { return bytes_; }

 private:
  friend class MemoryAllowance;
  HeldMemory(MemoryAllowance& allowance, std::uint64_t bytes)
      : allowance_(&allowance), bytes_(bytes) {}
  void GiveBack() noexcept;

  MemoryAllowance* allowance_ = nullptr;
  std::uint64_t bytes_ = 0;
};

}  // namespace tessarin::pictures
