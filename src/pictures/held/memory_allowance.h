#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace tessarin::pictures::held {

class HeldMemory;

// The bytes that everything held whole in one process may take together
// (DecodeLimits::maxHeldBytes): a picture decoded whole, a metafile's file,
// progressive JPEG coefficients, the inset's block. Safe to use from any
// thread; it must outlive every HeldMemory taken from it.
//
// Where pictures decode in processes of their own (the Linux program's
// decoders), the run and its decoders count together in a shared count (a
// pool) without the run ever trusting it:
// - a decoder counts what it takes in the pool and in its own count, which
//   only it and the run see (CountIn);
// - the run counts what it holds itself in memory of its own, which no
//   decoder can reach, and adds the same to the pool for its decoders to see
//   (ShareWith); it takes when both its own count and the pool leave room, so
//   a decoder that lies there can only make the run refuse;
// - at a decoder's end the run takes out of the pool what that decoder's own
//   count says, never more than the whole allowance nor than the pool holds
//   (GiveBackShareOf): its own count never changes by what a decoder wrote.
class MemoryAllowance {
 public:
  explicit MemoryAllowance(std::uint64_t bytes) : bytes_(bytes) {}
  MemoryAllowance(const MemoryAllowance&) = delete;
  MemoryAllowance& operator=(const MemoryAllowance&) = delete;

  // Takes `bytes`; throws Failure naming `path` when less is left (the
  // other picture may hold the rest).
  HeldMemory Take(const std::string& path, std::uint64_t bytes);
  // What is left.
  std::uint64_t Left() const { return bytes_ - Used(); }
  std::uint64_t Bytes() const { return bytes_; }

  // The run: from now on (and while `pool` lives) adds what it holds to
  // `pool`, memory its decoder processes share, and takes only what both
  // counts leave. Null stops it.
  void ShareWith(std::atomic<std::uint64_t>* pool);
  // A decoder process, just forked from the run: counts in `pool` from now
  // on, and what it takes in `own` as well, so that the run can give that
  // back should the process end holding it.
  void CountIn(std::atomic<std::uint64_t>& pool, std::atomic<std::uint64_t>& own);
  // The run: takes out of the pool what an ended decoder held, as its `own`
  // says.
  void GiveBackShareOf(std::atomic<std::uint64_t>& own);

 private:
  friend class HeldMemory;
  std::uint64_t Used() const;
  void Release(std::uint64_t bytes) noexcept;

  const std::uint64_t bytes_;
  std::atomic<std::uint64_t> usedHere_{0};
  std::atomic<std::uint64_t>* pool_ = nullptr;
  std::atomic<std::uint64_t>* heldByThisProcess_ = nullptr;  // in a decoder process
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

}  // namespace tessarin::pictures::held
