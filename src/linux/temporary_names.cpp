#include "linux/temporary_names.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <random>

namespace tessarin::linux_platform {
namespace {

constexpr std::size_t kSuffixDigits = 16;

std::string TemporaryPrefix(const std::string& baseName) { return "." + baseName + ".tessarin-"; }

}  // namespace

std::string TemporaryName(const std::string& baseName) {
  std::random_device entropy;
  std::uint64_t number = (std::uint64_t{entropy()} << 32) | entropy();
  std::string suffix(kSuffixDigits, '0');
  for (char& digit : suffix) {
    digit = "0123456789abcdef"[number & 15];
    number >>= 4;
  }
  return TemporaryPrefix(baseName) + suffix;
}

bool IsTemporaryName(std::string_view name, const std::string& baseName) {
  const std::string prefix = TemporaryPrefix(baseName);
  if (name.size() != prefix.size() + kSuffixDigits || !name.starts_with(prefix)) return false;
  return name.find_first_not_of("0123456789abcdef", prefix.size()) == std::string_view::npos;
}

void RemoveLeftovers(int folderFd, const std::string& baseName) {
  DIR* folder = ::fdopendir(::dup(folderFd));
  if (folder == nullptr) return;
  ::rewinddir(folder);  // the copy shares its position with `folderFd`, read before or not
  while (const dirent* entry = ::readdir(folder)) {
    struct stat info {};
    if (!IsTemporaryName(entry->d_name, baseName) ||
        ::fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(info.st_mode)) {
      continue;
    }
    const FileDescriptor leftover(::openat(
        folderFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (leftover.Get() >= 0 && ::flock(leftover.Get(), LOCK_EX | LOCK_NB) == 0) {
      ::unlinkat(folderFd, entry->d_name, 0);  // while the lock is held
    }
  }
  ::closedir(folder);
}

// By the time the lock is ours, another run's clean-up may have removed the
// name: the file still under it is checked to be ours.
FileDescriptor OpenNamedTemporary(int folderFd, const std::string& baseName, unsigned mode,
                                  std::string& name) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    name = TemporaryName(baseName);
    FileDescriptor fd(
        ::openat(folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (fd.Get() < 0) {
      if (errno == EEXIST) continue;
      return fd;
    }
    struct stat own {};
    struct stat named {};
    if (::flock(fd.Get(), LOCK_EX) == 0 && ::fstat(fd.Get(), &own) == 0 &&
        ::fstatat(folderFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        own.st_ino == named.st_ino) {
      return fd;
    }
  }
  errno = EEXIST;
  return FileDescriptor();
}

}  // namespace tessarin::linux_platform
