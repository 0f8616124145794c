#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "ports/files.h"

namespace tessarin::testing {

// An input file held in memory.
class MemoryInputFile : public ports::InputFile {
 public:
  MemoryInputFile(std::string path, std::vector<std::uint8_t> bytes)
      : path_(std::move(path)), bytes_(std::move(bytes)) {}
  const std::string& Path() const override { return path_; }
  std::uint64_t Size() const override { return bytes_.size(); }
  std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
    if (offset >= bytes_.size()) return 0;
    const std::size_t n = std::min<std::uint64_t>(out.size(), bytes_.size() - offset);
    std::memcpy(out.data(), bytes_.data() + offset, n);
    return n;
  }

 private:
  std::string path_;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace tessarin::testing
