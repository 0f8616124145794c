#pragma once

#include "ports/files.h"

namespace tessarin::windows_platform {

// Files by the Windows rules: paths are UTF-8 here and UTF-16 to the system,
// letter case does not matter, and folders and files marked hidden or system
// count as absent.
class Win32Files : public ports::Files {
 public:
  // A directory match of the path: with wildcard characters it is present
  // when any ordinary file matches (opening it then fails).
  bool IsOrdinaryFile(const std::string& path) override;
  std::vector<std::string> ListOrdinaryFiles(const std::string& folder) override;
  std::unique_ptr<ports::InputFile> OpenForReading(const std::string& path) override;
  // A temporary file beside the output, under a random name, moved over it by
  // Commit (MoveFileExW, replace existing, write through; a momentary hold on
  // the output by another process is waited out, up to five seconds). Until
  // then it is marked for deletion, so that it goes even when the process is
  // killed; one that a run killed while committing left under its name is
  // removed by the next replacement of the same output.
  std::unique_ptr<ports::OutputFile> CreateReplacement(const std::string& path,
                                                       std::uint64_t size) override;
};

// The path as the wide file calls take it: as given while it is short; a long
// one (from MAX_PATH - 12 characters, made full) in its "\\?\" form, which
// has no MAX_PATH limit even where long paths are not enabled system-wide.
std::wstring SystemPath(const std::string& path);

// The folder part of a path ("" for a bare name), its separator kept.
std::string FolderPartOf(const std::string& path);

}  // namespace tessarin::windows_platform
