#pragma once

#include <sys/mman.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

#include "base/failure.h"
#include "pictures/held/memory_allowance.h"

namespace tessarin::linux_platform::picture_sandbox {

// Anonymous memory mapped shared with the processes forked after it (and
// with none once KeepFromLaterForks is called), unmapped when destroyed.
class SharedMemory {
 public:
  // Not Mapped() when the system refuses (errno says why).
  explicit SharedMemory(std::size_t bytes)
      : bytes_(bytes),
        memory_(::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                       MAP_SHARED | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0)) {}
  ~SharedMemory() {
    if (Mapped()) ::munmap(memory_, bytes_);
  }
  SharedMemory(SharedMemory&& other) noexcept
      : bytes_(other.bytes_), memory_(std::exchange(other.memory_, MAP_FAILED)) {}
  SharedMemory& operator=(SharedMemory&&) = delete;
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;

  bool Mapped() const { return memory_ != MAP_FAILED; }
  void* Get() const { return Mapped() ? memory_ : nullptr; }
  // Processes forked from now on do not inherit it (false, errno set, when
  // the system refuses).
  bool KeepFromLaterForks() { return ::madvise(memory_, bytes_, MADV_DONTFORK) == 0; }

 private:
  std::size_t bytes_;
  void* memory_;
};

// The count of the whole-decode allowance that every decoder process of a
// run shares with the run (held/memory_allowance.h says who trusts what):
// one for each set of pictures a run opens; it must outlive them.
class DecoderPool {
 public:
  explicit DecoderPool(pictures::held::MemoryAllowance& allowance)
      : allowance_(allowance), page_(sizeof(std::atomic<std::uint64_t>)) {
    if (!page_.Mapped()) {
      throw Failure(FailureKind::Platform,
                    "cannot map the memory picture decoders share: " + ErrnoText(errno));
    }
    count_ = new (page_.Get()) std::atomic<std::uint64_t>(0);
    allowance_.ShareWith(count_);
  }
  ~DecoderPool() { allowance_.ShareWith(nullptr); }
  DecoderPool(const DecoderPool&) = delete;
  DecoderPool& operator=(const DecoderPool&) = delete;

  std::atomic<std::uint64_t>& Count() { return *count_; }

 private:
  pictures::held::MemoryAllowance& allowance_;
  SharedMemory page_;
  std::atomic<std::uint64_t>* count_ = nullptr;
};

}  // namespace tessarin::linux_platform::picture_sandbox
