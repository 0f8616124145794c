#include "linux/atomic_update.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>
#include <system_error>

#include "base/failure.h"
#include "linux/file_descriptor.h"
#include "linux/input_files.h"
#include "linux/path_walk.h"
#include "linux/replacement_file.h"

namespace tessarin::linux_platform {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(const fs::path& path, int error) {
  throw Failure::InFile(FailureKind::SettingsRefused, path.string(), ErrnoText(error));
}

void LockFolder(int folder, const fs::path& file) {
  while (::flock(folder, LOCK_EX) != 0) {
    if (errno != EINTR) Fail(file.parent_path(), errno);
  }
}

std::string ReadAll(int descriptor, const fs::path& file) {
  std::string content;
  char buffer[16384];
  for (;;) {
    const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
    if (count == 0) return content;
    if (count < 0 && errno != EINTR) Fail(file, errno);
    if (count > 0) content.append(buffer, static_cast<std::size_t>(count));
  }
}

// The new content goes the way of every file the program replaces: an unnamed
// file beside it, flushed, then named over it.
void ReplaceContent(const fs::path& file, const std::string& content) {
  const auto output = CreateReplacementFile(file.string(), content.size());
  output->WriteAt(0, {reinterpret_cast<const std::uint8_t*>(content.data()), content.size()});
  output->Commit();
}

// The content, or nothing when there is no file (or no folder for it).
// Nothing but an ordinary file is opened: a named pipe would block the run, a
// device may act on being opened.
std::optional<std::string> ReadIfPresent(const WalkedPath& place) {
  if (place.folder.Get() < 0) return std::nullopt;
  struct stat info {};
  const FileDescriptor descriptor =
      OpenOrdinaryFile(place.folder.Get(), place.name, info, AT_SYMLINK_NOFOLLOW);
  if (descriptor.Get() < 0) {
    if (const auto reason = WhyNotAnOrdinaryFile(info.st_mode); reason && info.st_mode != 0) {
      throw Failure::InFile(FailureKind::SettingsRefused, place.path, *reason);
    }
    if (errno == ENOENT) return std::nullopt;
    Fail(place.path, errno);
  }
  return ReadAll(descriptor.Get(), place.path);
}

}  // namespace

std::string ReadStoredFile(const fs::path& file) {
  return ReadIfPresent(WalkToFile(file.string(), MissingFolders::Reported)).value_or("");
}

void UpdateFileAtomically(const fs::path& file,
                          const std::function<std::string(const std::string&)>& update) {
  const WalkedPath place = WalkToFile(file.string(), MissingFolders::Made);
  LockFolder(place.folder.Get(), file);  // held until the descriptor closes
  const std::optional<std::string> current = ReadIfPresent(place);
  const std::string next = update(current.value_or(""));
  // Every wallpaper run records the same path: an unchanged file costs no write.
  if (next != current) ReplaceContent(file, next);
}

}  // namespace tessarin::linux_platform
