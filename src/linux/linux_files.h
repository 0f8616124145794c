#pragma once

#include <optional>
#include <string>

#include "ports/files.h"

namespace tessarin::linux_platform {

class LinuxFiles : public ports::Files {
 public:
  // Present means a regular file, symbolic links followed; letter case matters.
  bool IsOrdinaryFile(const std::string& path) override;
  // Regular files only; names starting with a dot are hidden and left out.
  std::vector<std::string> ListOrdinaryFiles(const std::string& folder) override;
  std::unique_ptr<ports::InputFile> OpenForReading(const std::string& path) override;
  // An unnamed file in the output's folder, named only by Commit, so that a
  // run stopped at any moment leaves the old file or the new one. A symbolic
  // link at `path` stays: the file it finally names is replaced, in its own
  // folder, and the replacement takes over the old file's owner and mode. Throws
  // Failure, before anything is written, when something other than a regular
  // file is there or the user may not write the old file.
  std::unique_ptr<ports::OutputFile> CreateReplacement(const std::string& path,
                                                          std::uint64_t size) override;
};

// Why a file of this st_mode is no regular file, in strerror's style; nothing
// for a regular file.
std::optional<std::string> WhyNotARegularFile(unsigned mode);

}  // namespace tessarin::linux_platform
