#include "linux/input_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/failure.h"

namespace tessarin::linux_platform {
namespace {

// Decoders read in whatever pieces their format dictates (a GIF sub-block is
// at most 255 bytes), so small reads are served from a window read ahead of
// them; large ones go straight to the file.
constexpr std::size_t kWindowBytes = 64 * 1024;

[[noreturn]] void ThrowErrno(const std::string& path, const std::string& doing, FailureKind kind) {
  throw Failure::InFile(kind, path, doing + ": " + ErrnoText(errno));
}

}  // namespace

std::size_t LinuxInputFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (out.size() >= kWindowBytes) return ReadFromFile(offset, out);
  if (offset < windowStart_ || offset + out.size() > windowStart_ + window_.size()) {
    window_.resize(kWindowBytes);
    window_.resize(ReadFromFile(offset, window_));
    windowStart_ = offset;
  }
  const std::size_t n = std::min<std::uint64_t>(out.size(), windowStart_ + window_.size() - offset);
  // An empty span or window may have no storage: memcpy may not be given it.
  if (n > 0) std::memcpy(out.data(), window_.data() + (offset - windowStart_), n);
  return n;
}

std::size_t LinuxInputFile::ReadFromFile(std::uint64_t offset, std::span<std::uint8_t> out) {
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = ::pread(file_.Get(), out.data() + done, out.size() - done,
                              static_cast<off_t>(offset + done));
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowErrno(path_, "cannot read", FailureKind::PictureUnreadable);
    }
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool InputOpener::IsOrdinaryFile(const std::string& path) {
  found_.erase(path);
  if (path.empty()) return false;
  struct stat info {};
  FileDescriptor file = OpenOrdinaryFile(AT_FDCWD, path, info);
  // An ordinary file that cannot be opened is there: reading it says why not.
  if (file.Get() >= 0) found_.emplace(path, std::move(file));
  return S_ISREG(info.st_mode);
}

std::unique_ptr<LinuxInputFile> InputOpener::Open(const std::string& path) {
  struct stat info {};
  FileDescriptor file;
  if (const auto found = found_.find(path); found != found_.end()) {
    file = std::move(found->second);
    found_.erase(found);
    if (::fstat(file.Get(), &info) != 0)
      ThrowErrno(path, "cannot open", FailureKind::PictureUnreadable);
  } else {
    file = OpenOrdinaryFile(AT_FDCWD, path, info);
  }
  if (file.Get() < 0) {
    if (const auto reason = WhyNotAnOrdinaryFile(info.st_mode); reason && info.st_mode != 0) {
      throw Failure::InFile(FailureKind::PictureUnreadable, path, *reason);
    }
    ThrowErrno(path, "cannot open", FailureKind::PictureUnreadable);
  }
  ::posix_fadvise(file.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  return std::make_unique<LinuxInputFile>(path, std::move(file),
                                          static_cast<std::uint64_t>(info.st_size));
}

std::vector<std::string> ListOrdinaryFiles(const std::string& folder) {
  DIR* directory = ::opendir(folder.c_str());
  if (directory == nullptr)
    ThrowErrno(folder, "cannot list the inset folder", FailureKind::InsetFolderMissing);
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(directory)) {
    if (entry->d_name[0] == '.') continue;
    bool ordinary = entry->d_type == DT_REG;
    // Only entries whose type the listing does not tell cost a stat.
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat info {};
      ordinary =
          ::fstatat(::dirfd(directory), entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
    }
    if (ordinary) names.emplace_back(entry->d_name);
  }
  ::closedir(directory);
  return names;
}

FileDescriptor OpenOrdinaryFile(int folder, const std::string& name, struct stat& info,
                                int lookFlags) {
  info = {};
  if (::fstatat(folder, name.c_str(), &info, lookFlags) != 0) {
    info = {};
    return FileDescriptor();
  }
  if (!S_ISREG(info.st_mode)) return FileDescriptor();
  const int noFollow = (lookFlags & AT_SYMLINK_NOFOLLOW) != 0 ? O_NOFOLLOW : 0;
  FileDescriptor file(
      ::openat(folder, name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | noFollow));
  if (file.Get() < 0) return file;
  if (::fstat(file.Get(), &info) != 0) {
    info = {};
    return FileDescriptor();
  }
  if (!S_ISREG(info.st_mode)) return FileDescriptor();
  // An ordinary file is read as usual from here on.
  ::fcntl(file.Get(), F_SETFL, ::fcntl(file.Get(), F_GETFL) & ~O_NONBLOCK);
  return file;
}

std::optional<std::string> WhyNotAnOrdinaryFile(unsigned mode) {
  if (S_ISREG(mode)) return std::nullopt;
  if (S_ISDIR(mode)) return ErrnoText(EISDIR);
  if (S_ISFIFO(mode)) return "Is a named pipe, not a regular file";
  if (S_ISSOCK(mode)) return "Is a socket, not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "Is a device, not a regular file";
  return "Is not a regular file";
}

}  // namespace tessarin::linux_platform
