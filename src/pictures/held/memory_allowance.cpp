#include "pictures/held/memory_allowance.h"

#include <utility>

#include "base/failure.h"

namespace tessarin::pictures {

HeldMemory MemoryAllowance::Take(const std::string& path, std::uint64_t bytes) {
  std::uint64_t used = used_.load();
  do {
    if (bytes > bytes_ - used) {
      throw Failure::InFile(FailureKind::PictureTooLarge, path, "the picture is too large to decode in memory (it needs " +
                                      std::to_string(bytes >> 20) + " MiB, " +
                                      std::to_string((bytes_ - used) >> 20) + " MiB are left)");
    }
  } while (!used_.compare_exchange_weak(used, used + bytes));
  return HeldMemory(*this, bytes);
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
  if (allowance_ != nullptr) allowance_->used_ -= bytes_;
}

}  // namespace tessarin::pictures
