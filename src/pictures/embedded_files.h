#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <span>
#include <string>

#include "ports/files.h"

namespace tessarin::pictures {

// `size` bytes at `offset` of another file, read as a file of their own (an
// image inside an icon).
class FileSlice : public ports::InputFile {
 public:
  FileSlice(std::unique_ptr<ports::InputFile> parent, std::uint64_t offset, std::uint64_t size)
      : parent_(std::move(parent)), offset_(offset), size_(size) {}
  const std::string& Path() const override { return parent_->Path(); }
  std::uint64_t Size() const override { return size_; }
  std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
    if (offset >= size_) return 0;
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), size_ - offset));
    return parent_->ReadAt(offset_ + offset, out.first(n));
  }

 private:
  std::unique_ptr<ports::InputFile> parent_;
  std::uint64_t offset_;
  std::uint64_t size_;
};

// Bytes already in memory (a bitmap inside a metafile), read as a file named
// after the file they came from. The bytes must outlive it.
class BytesFile : public ports::InputFile {
 public:
  BytesFile(std::string path, std::span<const std::uint8_t> bytes)
      : path_(std::move(path)), bytes_(bytes) {}
  const std::string& Path() const override { return path_; }
  std::uint64_t Size() const override { return bytes_.size(); }
  std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
    if (offset >= bytes_.size()) return 0;
    const auto n =
        static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), bytes_.size() - offset));
    std::memcpy(out.data(), bytes_.data() + offset, n);
    return n;
  }

 private:
  std::string path_;
  std::span<const std::uint8_t> bytes_;
};

}  // namespace tessarin::pictures
