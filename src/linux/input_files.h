#pragma once

#include <sys/stat.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "linux/file_descriptor.h"
#include "ports/files.h"

namespace tessarin::linux_platform {

// A file opened for reading (ports::InputFile) with the descriptor it reads
// from, which a decoder process is given. Small reads are served from a window
// read ahead of them; a read error throws Failure of kind PictureUnreadable.
class LinuxInputFile : public ports::InputFile {
 public:
  LinuxInputFile(std::string path, FileDescriptor file, std::uint64_t size)
      : path_(std::move(path)), file_(std::move(file)), size_(size) {}
  const std::string& Path() const override { return path_; }
  std::uint64_t Size() const override { return size_; }
  std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;
  int Descriptor() const { return file_.Get(); }

 private:
  std::size_t ReadFromFile(std::uint64_t offset, std::span<std::uint8_t> out);

  std::string path_;
  FileDescriptor file_;
  std::uint64_t size_;
  std::vector<std::uint8_t> window_;
  std::uint64_t windowStart_ = 0;
};

// The files a run reads (the canvas, the insets), each checked on its open
// descriptor. What a lookup found is kept open for the next Open of the same
// path, so that what is read is what was found, whatever takes its name
// meanwhile; one file per path is kept, until that Open, the next lookup of
// the path, or the end of the opener.
class InputOpener {
 public:
  // Present means an ordinary file, symbolic links followed; letter case
  // matters. The file is opened (and kept) when it can be.
  bool IsOrdinaryFile(const std::string& path);
  // The file found by the last IsOrdinaryFile of `path`, else opened now.
  // Throws Failure (PictureUnreadable) naming the file when it cannot be
  // opened or is no ordinary file.
  std::unique_ptr<LinuxInputFile> Open(const std::string& path);

 private:
  std::map<std::string, FileDescriptor> found_;  // not read yet, by path
};

// Ordinary files only; names starting with a dot are hidden and left out.
// Throws Failure (InsetFolderMissing) when the folder cannot be listed.
std::vector<std::string> ListOrdinaryFiles(const std::string& folder);

// Why a file of this st_mode is no ordinary file, in strerror's style;
// nothing for an ordinary file.
std::optional<std::string> WhyNotAnOrdinaryFile(unsigned mode);

// `name` in `folder` (a descriptor, or AT_FDCWD) opened for reading when it
// is an ordinary file; -1 otherwise, with `info` zeroed and errno set when
// nothing could be looked at, else describing what is there. Only what looked
// like an ordinary file is opened, and that without blocking, so that a named
// pipe put there meanwhile answers at once; the check is made again on the
// open descriptor. `lookFlags` as fstatat's (AT_SYMLINK_NOFOLLOW: a link is
// not followed and not opened).
FileDescriptor OpenOrdinaryFile(int folder, const std::string& name, struct stat& info,
                                int lookFlags = 0);

}  // namespace tessarin::linux_platform
