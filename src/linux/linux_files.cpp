#include "linux/linux_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <random>
#include <string_view>
#include <vector>

#include "base/failure.h"
#include "linux/file_descriptor.h"

namespace tessarin::linux_platform {
namespace {

[[noreturn]] void ThrowErrno(const std::string& path, const std::string& doing) {
  throw Failure::InFile(path, doing + ": " + ErrnoText(errno));
}

// Decoders read in whatever pieces their format dictates (a GIF sub-block is
// at most 255 bytes), so small reads are served from a window read ahead of
// them; large ones go straight to the file.
class LinuxInputFile : public ports::InputFile {
 public:
  LinuxInputFile(std::string path, int fd, std::uint64_t size)
      : path_(std::move(path)), fd_(fd), size_(size) {}
  const std::string& Path() const override { return path_; }
  std::uint64_t Size() const override { return size_; }

  std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
    if (out.size() >= kWindowBytes) return ReadFromFile(offset, out);
    if (offset < windowStart_ || offset + out.size() > windowStart_ + window_.size()) {
      window_.resize(kWindowBytes);
      window_.resize(ReadFromFile(offset, window_));
      windowStart_ = offset;
    }
    const std::size_t n = std::min<std::uint64_t>(out.size(), windowStart_ + window_.size() - offset);
    std::memcpy(out.data(), window_.data() + (offset - windowStart_), n);
    return n;
  }

 private:
  static constexpr std::size_t kWindowBytes = 64 * 1024;

  std::size_t ReadFromFile(std::uint64_t offset, std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
      const ssize_t n = ::pread(fd_.Get(), out.data() + done, out.size() - done,
                                static_cast<off_t>(offset + done));
      if (n == 0) break;
      if (n < 0) {
        if (errno == EINTR) continue;
        ThrowErrno(path_, "cannot read");
      }
      done += static_cast<std::size_t>(n);
    }
    return done;
  }

  std::string path_;
  FileDescriptor fd_;
  std::uint64_t size_;
  std::vector<std::uint8_t> window_;
  std::uint64_t windowStart_ = 0;
};

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// --- Where the replacement goes and what it may replace ---------------------

// The name a chain of symbolic links finally leads to (the path itself when it
// is no link), so that the file is replaced where the link points and the link
// stays. A link that leads nowhere leads to the file to create.
std::string FinalName(const std::string& path) {
  std::string name = path;
  for (int hop = 0; hop < 40; ++hop) {  // the kernel's own limit
    char target[PATH_MAX];
    const ssize_t length = ::readlink(name.c_str(), target, sizeof target);
    if (length < 0) return name;  // no link (or nothing): the name itself
    const std::string text(target, static_cast<std::size_t>(length));
    name = text.starts_with('/') ? text : FolderOf(name) + "/" + text;
  }
  errno = ELOOP;
  ThrowErrno(path, "cannot replace");
}

// The old file, when there is one the user may replace. Nothing is opened: a
// named pipe would block the run, a device would take the picture.
std::optional<struct stat> ReplaceableOldFile(const std::string& path) {
  struct stat old {};
  if (::lstat(path.c_str(), &old) != 0) {
    if (errno == ENOENT) return std::nullopt;
    ThrowErrno(path, "cannot replace");
  }
  if (const auto reason = WhyNotARegularFile(old.st_mode)) throw Failure::InFile(path, *reason);
  // Root passes every permission check; for root only a file nobody may
  // write is read-only, as a read-only file stops every user on Windows.
  const bool root = ::geteuid() == 0;
  const bool mayWrite = root ? (old.st_mode & 0222) != 0
                             : ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
  if (!mayWrite) {
    if (root) errno = EACCES;
    ThrowErrno(path, "cannot replace");
  }
  return old;
}

// Owner first: a change of owner clears the set-user-ID and set-group-ID bits
// that the mode then restores. A user who may not give the file away may
// still give it one of their groups; what cannot be set is left as it is.
void TakeOverOwnerAndMode(int fd, const struct stat& old) {
  if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
    if (::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
      // the file stays the user's own
    }
  }
  ::fchmod(fd, old.st_mode & 07777);
}

// --- Names of the temporary --------------------------------------------------

// A temporary has a name only for an instant (or, where unnamed files are not
// supported, for the whole write): ".NAME.tessarin-" and 16 random hex
// digits. Another user cannot take that name in advance, and a name left by a
// killed run is recognisably this output's.
constexpr std::size_t kSuffixDigits = 16;

std::string TemporaryPrefix(const std::string& baseName) { return "." + baseName + ".tessarin-"; }

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

// Every run holds an exclusive flock on its temporary from before it has a
// name until the run ends, so a temporary whose lock can be taken belongs to
// no living run: a killed run left it, and it is removed. One still being
// written or renamed by a concurrent run cannot be locked and stays.
void RemoveLeftovers(int folderFd, const std::string& baseName) {
  DIR* folder = ::fdopendir(::dup(folderFd));
  if (folder == nullptr) return;
  while (const dirent* entry = ::readdir(folder)) {
    struct stat info {};
    if (!IsTemporaryName(entry->d_name, baseName) ||
        ::fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)) {
      continue;
    }
    const FileDescriptor leftover(::openat(folderFd, entry->d_name,
                                           O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (leftover.Get() >= 0 && ::flock(leftover.Get(), LOCK_EX | LOCK_NB) == 0) {
      ::unlinkat(folderFd, entry->d_name, 0);  // while the lock is held
    }
  }
  ::closedir(folder);
}

// Where unnamed files are not supported: a named temporary, locked at once.
// Another run's cleaner may take the lock first and remove the name; by the
// time the lock is ours the name is gone, and another one is tried.
int OpenNamedTemporary(int folderFd, const std::string& baseName, std::string& name) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    name = TemporaryName(baseName);
    FileDescriptor fd(::openat(folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.Get() < 0) {
      if (errno == EEXIST) continue;
      return -1;
    }
    struct stat own {};
    struct stat named {};
    if (::flock(fd.Get(), LOCK_EX) == 0 && ::fstat(fd.Get(), &own) == 0 &&
        ::fstatat(folderFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        own.st_ino == named.st_ino) {
      return fd.Release();
    }
  }
  errno = EEXIST;
  return -1;
}

class LinuxOutputFile : public ports::OutputFile {
 public:
  // `path` is the name replaced (no link); `temporaryName`, in the same folder,
  // is empty while the file has no name.
  LinuxOutputFile(std::string path, int fd, int folderFd, std::string temporaryName)
      : path_(std::move(path)),
        baseName_(BaseNameOf(path_)),
        fd_(fd),
        folderFd_(folderFd),
        temporaryName_(std::move(temporaryName)) {}

  ~LinuxOutputFile() override {
    if (!committed_ && !temporaryName_.empty()) {
      ::unlinkat(folderFd_.Get(), temporaryName_.c_str(), 0);
    }
  }

  void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::pwrite(fd_.Get(), bytes.data() + done, bytes.size() - done,
                                 static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) ThrowErrno(path_, "cannot write");
      done += static_cast<std::size_t>(n);
    }
    // Start the write-back now, so that the flush at the end finds little left.
    ::sync_file_range(fd_.Get(), static_cast<off_t>(offset), static_cast<off_t>(bytes.size()),
                      SYNC_FILE_RANGE_WRITE);
  }

  void Commit() override {
    if (::fdatasync(fd_.Get()) != 0) ThrowErrno(path_, "cannot flush");
    if (temporaryName_.empty()) NameUnnamedFile();
    if (::renameat(folderFd_.Get(), temporaryName_.c_str(), folderFd_.Get(), baseName_.c_str()) !=
        0) {
      ThrowErrno(path_, "cannot replace");  // the destructor removes the temporary
    }
    committed_ = true;
    ::fsync(folderFd_.Get());  // make the new name itself durable
  }

 private:
  // An unnamed file can only be linked to a free name; a name taken meanwhile
  // (by chance, or by someone else) means another try with another name.
  void NameUnnamedFile() {
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd_.Get());
    for (int attempt = 0; attempt < 16; ++attempt) {
      const std::string name = TemporaryName(baseName_);
      if (::linkat(AT_FDCWD, procPath.c_str(), folderFd_.Get(), name.c_str(), AT_SYMLINK_FOLLOW) ==
          0) {
        temporaryName_ = name;
        return;
      }
      if (errno != EEXIST) break;
    }
    ThrowErrno(path_, "cannot name the written file");
  }

  std::string path_;
  std::string baseName_;
  FileDescriptor fd_;
  FileDescriptor folderFd_;
  std::string temporaryName_;
  bool committed_ = false;
};

// Reserves the space up front where the file system can, so that a full disk
// is found before any pixel is decoded.
void Presize(int fd, std::uint64_t size, const std::string& path) {
  if (size > 0 && ::fallocate(fd, 0, 0, static_cast<off_t>(size)) != 0 && errno != EOPNOTSUPP &&
      errno != ENOSYS) {
    ThrowErrno(path, "cannot reserve space");
  }
  if (::ftruncate(fd, static_cast<off_t>(size)) != 0) ThrowErrno(path, "cannot set the size");
}

}  // namespace

bool LinuxFiles::IsOrdinaryFile(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::vector<std::string> LinuxFiles::ListOrdinaryFiles(const std::string& folder) {
  DIR* directory = ::opendir(folder.c_str());
  if (directory == nullptr) ThrowErrno(folder, "cannot list the inset folder");
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(directory)) {
    if (entry->d_name[0] == '.') continue;
    bool regular = entry->d_type == DT_REG;
    // Only entries whose type the listing does not tell cost a stat.
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat info {};
      regular = ::fstatat(::dirfd(directory), entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
    }
    if (regular) names.emplace_back(entry->d_name);
  }
  ::closedir(directory);
  return names;
}

std::unique_ptr<ports::InputFile> LinuxFiles::OpenForReading(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) ThrowErrno(path, "cannot open");
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    ThrowErrno(path, "cannot open");
  }
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return std::make_unique<LinuxInputFile>(path, fd, static_cast<std::uint64_t>(info.st_size));
}

std::unique_ptr<ports::OutputFile> LinuxFiles::CreateReplacement(const std::string& path,
                                                                    std::uint64_t size) {
  const std::string finalName = FinalName(path);
  const std::optional<struct stat> old = ReplaceableOldFile(finalName);
  FileDescriptor folderFd(::open(FolderOf(finalName).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folderFd.Get() < 0) ThrowErrno(finalName, "cannot write into its folder");
  const std::string baseName = BaseNameOf(finalName);
  RemoveLeftovers(folderFd.Get(), baseName);

  std::string temporaryName;
  int fd = ::openat(folderFd.Get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd >= 0) {
    ::flock(fd, LOCK_EX);  // before it has a name: see RemoveLeftovers
  } else if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
    fd = OpenNamedTemporary(folderFd.Get(), baseName, temporaryName);
  }
  if (fd < 0) ThrowErrno(finalName, "cannot create");
  auto output = std::make_unique<LinuxOutputFile>(finalName, fd, folderFd.Release(), temporaryName);
  if (old) TakeOverOwnerAndMode(fd, *old);
  Presize(fd, size, finalName);
  return output;
}

std::optional<std::string> WhyNotARegularFile(unsigned mode) {
  if (S_ISREG(mode)) return std::nullopt;
  if (S_ISDIR(mode)) return ErrnoText(EISDIR);
  if (S_ISFIFO(mode)) return "Is a named pipe, not a regular file";
  if (S_ISSOCK(mode)) return "Is a socket, not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "Is a device, not a regular file";
  return "Is not a regular file";
}

}  // namespace tessarin::linux_platform
