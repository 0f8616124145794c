#include "pictures/held/memory_allowance.h"

#include <utility>

#include "base/failure.h"

namespace tessarin::pictures {

HeldMemory MemoryAllowance::Take(const std::string& path, std::uint64_t bytes) {
  std::uint64_t used = used_->load();
  do {
    if (bytes > bytes_ - used) {
      throw Failure::InFile(FailureKind::PictureTooLarge, path,
                            "the picture is too large to decode in memory (it needs " +
                                std::to_string(bytes >> 20) + " MiB, " +
                                std::to_string((bytes_ - used) >> 20) + " MiB are left)");
    }
  } while (!used_->compare_exchange_weak(used, used + bytes));
  if (heldByThisProcess_ != nullptr) *heldByThisProcess_ += bytes;
  return HeldMemory(*this, bytes);
}

void MemoryAllowance::CountIn(std::atomic<std::uint64_t>& shared, std::atomic<std::uint64_t>* own) {
  if (used_ != &shared) {  // a forked process counts in its parent's already
    shared += used_->load();
    used_ = &shared;
  }
  heldByThisProcess_ = own;
}

void MemoryAllowance::Release(std::uint64_t bytes) noexcept {
  *used_ -= bytes;
  if (heldByThisProcess_ != nullptr) *heldByThisProcess_ -= bytes;
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

}  // namespace tessarin::pictures
