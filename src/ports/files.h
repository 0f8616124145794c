#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace tessarin::ports {

// A file opened for reading at any offset.
class InputFile {
 public:
  virtual ~InputFile() = default;
  virtual const std::string& Path() const = 0;
  virtual std::uint64_t Size() const = 0;
  // Reads up to out.size() bytes at `offset`; returns how many were read
  // (fewer only at the end of the file). Throws Failure on an I/O error.
  virtual std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
};

// A new file of a fixed size that replaces the file at its path only when
// committed: until then the old file keeps its bytes, and a file never
// committed leaves nothing behind.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  // Throws Failure when the bytes cannot be written.
  virtual void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
  // The pieces one after another from `offset`, as one write: gathered where
  // they lie where the platform can, else joined first.
  virtual void WritePiecesAt(std::uint64_t offset,
                             std::span<const std::span<const std::uint8_t>> pieces) {
    std::vector<std::uint8_t> joined;
    for (const auto& piece : pieces) joined.insert(joined.end(), piece.begin(), piece.end());
    WriteAt(offset, joined);
  }
  // Flushes the content to disk and gives it the path, replacing any file there.
  virtual void Commit() = 0;
};

class Files {
 public:
  virtual ~Files() = default;

  // Is there an ordinary file (not a folder, not hidden or system where the
  // platform has such files) at this path? The file found may be kept open
  // (the Linux platform keeps it) for the next opening of the same path,
  // OpenForReading's or the platform's Pictures', so that the file read is
  // the file checked, whatever takes its name meanwhile. One file is kept per
  // path, until that opening takes it, the next IsOrdinaryFile of the path
  // replaces it, or this object ends.
  virtual bool IsOrdinaryFile(const std::string& path) = 0;

  // Names (without the folder) of the folder's ordinary files, in no
  // particular order. Throws Failure when the folder does not exist.
  virtual std::vector<std::string> ListOrdinaryFiles(const std::string& folder) = 0;

  // The file IsOrdinaryFile kept for `path`, else the file there now. Throws
  // Failure naming the file when it cannot be opened.
  virtual std::unique_ptr<InputFile> OpenForReading(const std::string& path) = 0;

  // Throws Failure when the file cannot be created beside `path`.
  virtual std::unique_ptr<OutputFile> CreateReplacement(const std::string& path,
                                                        std::uint64_t size) = 0;
};

}  // namespace tessarin::ports
