#pragma once

#include "platform/files.h"

namespace tessarin::win32_platform {

// Files by the Windows rules: paths are UTF-8 here and UTF-16 to the system,
// letter case does not matter, and folders and files marked hidden or system
// count as absent.
class Win32Files : public platform::Files {
 public:
  // A directory match of the path: with wildcard characters it is present
  // when any ordinary file matches (opening it then fails).
  bool IsOrdinaryFile(const std::string& path) override;
  std::vector<std::string> ListOrdinaryFiles(const std::string& folder) override;
  std::unique_ptr<platform::InputFile> OpenForReading(const std::string& path) override;
  // A temporary file beside the output, moved over it by Commit
  // (MoveFileExW, replace existing, write through). Until then it is marked
  // for deletion, so that it goes even when the process is killed.
  std::unique_ptr<platform::OutputFile> CreateReplacement(const std::string& path,
                                                          std::uint64_t size) override;
};

// The folder part of a path ("" for a bare name), its separator kept.
std::string FolderPartOf(const std::string& path);

}  // namespace tessarin::win32_platform
