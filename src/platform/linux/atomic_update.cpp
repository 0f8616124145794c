#include "platform/linux/atomic_update.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>
#include <utility>

#include "platform/failure.h"

namespace tessarin::linux_platform {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(const fs::path& path, int error) {
  throw Failure::InFile(path.string(), std::system_category().message(error));
}

// Owns a file descriptor; closing the folder's descriptor also drops its lock.
class FileDescriptor {
 public:
  explicit FileDescriptor(int descriptor) : descriptor_(descriptor) {}
  ~FileDescriptor() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  FileDescriptor(FileDescriptor&& other) noexcept : descriptor_(other.Release()) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  FileDescriptor& operator=(FileDescriptor&&) = delete;

  int Get() const { return descriptor_; }
  int Release() { return std::exchange(descriptor_, -1); }

 private:
  int descriptor_;
};

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

void WriteAll(int descriptor, const std::string& content, const fs::path& file) {
  std::size_t written = 0;
  while (written < content.size()) {
    const ssize_t count = ::write(descriptor, content.data() + written, content.size() - written);
    if (count < 0 && errno != EINTR) Fail(file, errno);
    if (count > 0) written += static_cast<std::size_t>(count);
  }
}

// Writes the content to a fresh file beside `file` and renames it over `file`;
// the temporary is removed on every failure.
void ReplaceContent(const fs::path& file, const std::string& content, int lockedFolder) {
  std::string temporary =
      (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
  FileDescriptor descriptor(::mkostemp(temporary.data(), O_CLOEXEC));
  if (descriptor.Get() < 0) Fail(file, errno);
  try {
    WriteAll(descriptor.Get(), content, file);
    if (::fsync(descriptor.Get()) != 0) Fail(file, errno);
    if (::close(descriptor.Release()) != 0) Fail(file, errno);
    if (::rename(temporary.c_str(), file.c_str()) != 0) Fail(file, errno);
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
  if (::fsync(lockedFolder) != 0) Fail(file.parent_path(), errno);
}

}  // namespace

std::string ReadStoredFile(const fs::path& file) {
  const FileDescriptor descriptor(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (descriptor.Get() < 0) {
    if (errno == ENOENT) return "";
    Fail(file, errno);
  }
  return ReadAll(descriptor.Get(), file);
}

void UpdateFileAtomically(const fs::path& file,
                          const std::function<std::string(const std::string&)>& update) {
  const fs::path folder = file.parent_path();
  CreateFolder(folder);
  const FileDescriptor lock = LockFolder(folder);
  ReplaceContent(file, update(ReadStoredFile(file)), lock.Get());
}

}  // namespace tessarin::linux_platform
