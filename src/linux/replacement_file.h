#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ports/files.h"

namespace tessarin::linux_platform {

// Where unnamed temporary files (O_TMPFILE) are used: wherever the file
// system has them, or never (as on a file system without them).
enum class UnnamedTemporaries { WhereSupported, Never };

// A new file of `size` bytes that replaces the file at `path` when committed
// (ports::OutputFile): an unnamed file in the replaced file's folder, locked,
// given a temporary name (temporary_names.h) and renamed over the old one
// only by Commit, so that a run stopped at any moment leaves the old file or
// the new one; a replacement never committed removes its temporary. A
// symbolic link at `path` stays: the file it finally names (WalkToFile, with
// its link rule) is replaced, in its own folder, and the replacement takes
// over the old file's owner and mode. Where unnamed files are missing the
// temporary has a name for the whole write and only the user may read it
// until Commit. Throws Failure (OutputRefused) naming the file, before
// anything is written, when something other than an ordinary file is there, a
// link on the way may not be followed, the folder is missing, the user may
// not write the old file, or the space cannot be reserved.
std::unique_ptr<ports::OutputFile> CreateReplacementFile(
    const std::string& path, std::uint64_t size,
    UnnamedTemporaries unnamed = UnnamedTemporaries::WhereSupported);

}  // namespace tessarin::linux_platform
