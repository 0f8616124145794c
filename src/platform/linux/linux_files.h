#pragma once

#include "platform/files.h"

namespace tessarin::linux_platform {

class LinuxFiles : public platform::Files {
 public:
  // Present means a regular file, symbolic links followed; letter case matters.
  bool IsOrdinaryFile(const std::string& path) override;
  // Regular files only; names starting with a dot are hidden and left out.
  std::vector<std::string> ListOrdinaryFiles(const std::string& folder) override;
  std::unique_ptr<platform::InputFile> OpenForReading(const std::string& path) override;
  // An unnamed file in the output's folder, named only by Commit, so that a
  // run stopped at any moment leaves the old file or the new one.
  std::unique_ptr<platform::OutputFile> CreateReplacement(const std::string& path,
                                                          std::uint64_t size) override;
};

}  // namespace tessarin::linux_platform
