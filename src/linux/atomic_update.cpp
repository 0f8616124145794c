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
#include "linux/linux_files.h"

namespace tessarin::linux_platform {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(const fs::path& path, int error) {
  throw Failure::InFile(path.string(), ErrnoText(error));
}

FileDescriptor OpenFolder(const fs::path& folder) {
  FileDescriptor descriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (descriptor.Get() < 0) Fail(folder, errno);
  return descriptor;
}

void SyncFolder(const fs::path& folder) {
  const FileDescriptor descriptor = OpenFolder(folder);
  if (::fsync(descriptor.Get()) != 0) Fail(folder, errno);
}

// A new folder is only durable once its parent's entry is on disk too.
bool MakeFolder(const fs::path& folder) {
  if (::mkdir(folder.c_str(), 0700) != 0) return false;
  SyncFolder(folder.parent_path());
  return true;
}

void CreateFolder(const fs::path& folder) {
  if (MakeFolder(folder) || errno == EEXIST) return;
  if (errno != ENOENT || folder.parent_path() == folder) Fail(folder, errno);
  CreateFolder(folder.parent_path());
  if (!MakeFolder(folder) && errno != EEXIST) Fail(folder, errno);
}

FileDescriptor LockFolder(const fs::path& folder) {
  FileDescriptor descriptor = OpenFolder(folder);
  while (::flock(descriptor.Get(), LOCK_EX) != 0) {
    if (errno != EINTR) Fail(folder, errno);
  }
  return descriptor;
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
  const auto output = LinuxFiles().CreateReplacement(file.string(), content.size());
  output->WriteAt(0, {reinterpret_cast<const std::uint8_t*>(content.data()), content.size()});
  output->Commit();
}

// The content, or nothing when there is no file. Nothing but a regular file is
// opened: a named pipe would block the run, a device may act on being opened.
std::optional<std::string> ReadIfPresent(const fs::path& file) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) {
    if (errno == ENOENT) return std::nullopt;
    Fail(file, errno);
  }
  if (const auto reason = WhyNotARegularFile(info.st_mode)) {
    throw Failure::InFile(file.string(), *reason);
  }
  // Non-blocking, should a pipe take the file's place meanwhile.
  const FileDescriptor descriptor(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (descriptor.Get() < 0) {
    if (errno == ENOENT) return std::nullopt;
    Fail(file, errno);
  }
  return ReadAll(descriptor.Get(), file);
}

}  // namespace

std::string ReadStoredFile(const fs::path& file) { return ReadIfPresent(file).value_or(""); }

void UpdateFileAtomically(const fs::path& file,
                          const std::function<std::string(const std::string&)>& update) {
  const fs::path folder = file.parent_path();
  CreateFolder(folder);
  const FileDescriptor lock = LockFolder(folder);
  const std::optional<std::string> current = ReadIfPresent(file);
  const std::string next = update(current.value_or(""));
  // Every wallpaper run records the same path: an unchanged file costs no write.
  if (next != current) ReplaceContent(file, next);
}

}  // namespace tessarin::linux_platform
