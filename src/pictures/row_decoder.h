#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "pictures/decode_setup.h"
#include "pictures/held/memory_allowance.h"
#include "ports/files.h"
#include "ports/pictures.h"

namespace tessarin::pictures {

// A file read from its start, piece after piece, as the decoders' libraries
// ask for it through their read callbacks. Standard-layout (a pointer, not a
// reference), so that it may sit in a struct a C library casts back.
class SequentialInput {
 public:
  explicit SequentialInput(ports::InputFile& file) : file_(&file) {}

  // Up to out.size() bytes from where the last read stopped (fewer only at
  // the end of the file); none on an I/O error, which a library callback must
  // report as its own read error instead of letting an exception through it.
  std::optional<std::size_t> Read(std::span<std::uint8_t> out) noexcept;
  void Skip(std::uint64_t bytes) { offset_ += bytes; }

 private:
  ports::InputFile* file_;
  std::uint64_t offset_ = 0;
};

// A library decoder whose header has been read: it streams its rows top
// first, or, for an interlaced file, decodes the whole picture.
class RowDecoder {
 public:
  virtual ~RowDecoder() = default;
  virtual const std::string& Path() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual bool Interlaced() const = 0;

  // Called once before the first ReadRow; throws Failure on damaged data.
  virtual void StartRows() {}
  // The next row as BGR (Width() * 3 bytes); called at most Height() times.
  virtual void ReadRow(std::uint8_t* bgr) = 0;

  // Bytes a pixel takes while the whole picture is decoded.
  virtual int WholeDecodePixelBytes() const { return ports::kBytesPerPixel; }
  // The whole picture as a source (instead of StartRows and ReadRow), in the
  // memory `held` holds from the allowance (held/memory_allowance.h): the
  // picture keeps it while it lives.
  virtual std::unique_ptr<ports::Picture> DecodeWhole(held::HeldMemory held) = 0;
};

// The decoder as a picture: decoded whole when interlaced (on its first
// read), else streamed row by row, its rows counted against its height.
std::unique_ptr<ports::Picture> OpenAsPicture(std::unique_ptr<RowDecoder> decoder,
                                              DecodeSetup& setup);

}  // namespace tessarin::pictures
