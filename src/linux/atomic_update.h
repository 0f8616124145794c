#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace tessarin::linux_platform {

// The whole content of a small file; a missing file reads as empty. Any other
// failure throws Failure naming the file, as does a path holding anything but
// an ordinary file, which is never opened. Symbolic links are followed as for
// a replacement (WalkToFile): another user's link in a shared sticky
// folder is refused.
std::string ReadStoredFile(const std::filesystem::path& file);

// Replaces the file's content with `update(current content)` so that readers
// and a crash see either the old bytes or the new ones, never a mix, and the
// new bytes are on disk once this returns. Updates by concurrent processes are
// serialised by an exclusive lock on the file's folder, so none is lost. The
// folder (and missing parents) is created with mode 0700.
// The file is replaced as CreateReplacementFile replaces an output
// (a link stays a link, owner and mode are kept). A failure throws Failure
// naming the file (or the folder that cannot be made) and leaves the old file
// untouched and no temporary file behind.
void UpdateFileAtomically(const std::filesystem::path& file,
                          const std::function<std::string(const std::string&)>& update);

}  // namespace tessarin::linux_platform
