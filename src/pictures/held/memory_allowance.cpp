#include "pictures/held/memory_allowance.h"

#include <algorithm>
#include <utility>

#include "base/failure.h"

namespace tessarin::pictures::held {
namespace {

// Takes at most what `count` holds: a count another process may have
// written never wraps below zero.
void SubtractAtMost(std::atomic<std::uint64_t>& count, std::uint64_t bytes) noexcept {
  std::uint64_t held = count.load();
  while (!count.compare_exchange_weak(held, held - std::min(held, bytes))) {
  }
}

}  // namespace

HeldMemory MemoryAllowance::Take(const std::string& path, std::uint64_t bytes) {
  // A decoder process counts in the pool; the run (or a process of its own)
  // in its own count, the pool only looked at.
  std::atomic<std::uint64_t>& counted = heldByThisProcess_ ? *pool_ : usedHere_;
  std::uint64_t used = counted.load();
  do {
    const std::uint64_t seen =
        heldByThisProcess_ || !pool_ ? used : std::max(used, std::min(pool_->load(), bytes_));
    if (bytes > bytes_ - std::min(seen, bytes_)) {
      throw Failure::InFile(FailureKind::PictureTooLarge, path,
                            "the picture is too large to decode in memory (it needs " +
                                std::to_string(bytes >> 20) + " MiB, " +
                                std::to_string((bytes_ - std::min(seen, bytes_)) >> 20) +
                                " MiB are left)");
    }
  } while (!counted.compare_exchange_weak(used, used + bytes));
  if (heldByThisProcess_ != nullptr) {
    *heldByThisProcess_ += bytes;
  } else if (pool_ != nullptr) {
    *pool_ += bytes;
  }
  return HeldMemory(*this, bytes);
}

std::uint64_t MemoryAllowance::Used() const {
  if (heldByThisProcess_) return std::min(pool_->load(), bytes_);
  const std::uint64_t own = usedHere_.load();
  return pool_ ? std::max(own, std::min(pool_->load(), bytes_)) : own;
}

void MemoryAllowance::ShareWith(std::atomic<std::uint64_t>* pool) {
  if (pool != nullptr) *pool += usedHere_.load();
  pool_ = pool;
}

void MemoryAllowance::CountIn(std::atomic<std::uint64_t>& pool, std::atomic<std::uint64_t>& own) {
  pool_ = &pool;
  heldByThisProcess_ = &own;
}

void MemoryAllowance::GiveBackShareOf(std::atomic<std::uint64_t>& own) {
  const std::uint64_t held = std::min(own.exchange(0), bytes_);
  if (pool_ != nullptr) SubtractAtMost(*pool_, held);
}

void MemoryAllowance::Release(std::uint64_t bytes) noexcept {
  if (heldByThisProcess_ != nullptr) {
    SubtractAtMost(*pool_, bytes);
    SubtractAtMost(*heldByThisProcess_, bytes);
    return;
  }
  usedHere_ -= bytes;
  if (pool_ != nullptr) SubtractAtMost(*pool_, bytes);
}

HeldMemory::HeldMemory(HeldMemory&& other) noexcept
    : allowance_(std::exchange(other.allowance_, nullptr)),
      bytes_(std::exchange(other.bytes_, 0)) {}

HeldMemory& HeldMemory::operator=(HeldMemory&& other) noexcept {
  if (this != &other) {
    GiveBack();
    allowance_ = std::exchange(other.allowance_, nullptr);
    bytes_ = std::exchange(other.bytes_, 0);
  }
  return *this;
}

void HeldMemory::GiveBack() noexcept {
  if (allowance_ != nullptr) allowance_->Release(bytes_);
}

}  // namespace tessarin::pictures::held
