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
  std::uint64_t Left() const { return bytes_ - used_->load(); }
  std::uint64_t Bytes() const { return bytes_; }

  // Counts in `shared` from now on, memory that processes forked later
  // share, so that the decoder processes of one run take from one allowance;
  // `own` (shared as well, or null) counts what this process holds, so that
  // its parent can give that back should the process end holding it. Call
  // it while nothing else takes from the allowance.
  void CountIn(std::atomic<std::uint64_t>& shared, std::atomic<std::uint64_t>* own);
  // Gives back what an ended process held, as counted in its `own`.
  void GiveBackShareOf(std::atomic<std::uint64_t>& own) { *used_ -= own.exchange(0); }

 private:
  friend class HeldMemory;
  void Release(std::uint64_t bytes) noexcept;

  const std::uint64_t bytes_;
  std::atomic<std::uint64_t> usedHere_{0};
  std::atomic<std::uint64_t>* used_ = &usedHere_;
  std::atomic<std::uint64_t>* heldByThisProcess_ = nullptr;
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
