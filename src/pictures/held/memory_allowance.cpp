#include "pictures/held/memory_allowance.h"

#include <atomic>
#include <utility>

#include "base/failure.h"

namespace tessarin::pictures {
namespace {

std::atomic<std::uint64_t> allowanceUsed{0};

}  // namespace

HeldMemory::HeldMemory(HeldMemory&& other) noexcept : bytes_(std::exchange(other.bytes_, 0)) {}

HeldMemory& HeldMemory::operator=(HeldMemory&& other) noexcept {
  if (this != &other) {
    allowanceUsed -= bytes_;
    bytes_ = std::exchange(other.bytes_, 0);
  }
  return *this;
}

HeldMemory::~HeldMemory() { allowanceUsed -= bytes_; }

HeldMemory HeldMemory::Take(const std::string& path, std::uint64_t bytes) {
  std::uint64_t used = allowanceUsed.load();
  do {
    if (bytes > kMaxWholeDecodeBytes - used) {
      throw Failure::InFile(path, "the picture is too large to decode in memory (it needs " +
                                      std::to_string(bytes >> 20) + " MiB, " +
                                      std::to_string((kMaxWholeDecodeBytes - used) >> 20) + " MiB are left)");
    }
  } while (!allowanceUsed.compare_exchange_weak(used, used + bytes));
  return HeldMemory(bytes);
}

std::uint64_t HeldMemory::Left() { return kMaxWholeDecodeBytes - allowanceUsed.load(); }

}  // namespace tessarin::pictures
