#include "linux/replacement_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <optional>
#include <vector>

#include "base/failure.h"
#include "linux/file_descriptor.h"
#include "linux/input_files.h"
#include "linux/path_walk.h"
#include "linux/temporary_names.h"

namespace tessarin::linux_platform {
namespace {

[[noreturn]] void ThrowErrno(const std::string& path, const std::string& doing) {
  throw Failure::InFile(FailureKind::OutputRefused, path, doing + ": " + ErrnoText(errno));
}

// The old file, when there is one the user may replace. Nothing is opened: a
// named pipe would block the run, a device would take the picture.
std::optional<struct stat> ReplaceableOldFile(const WalkedPath& place) {
  struct stat old {};
  if (::fstatat(place.folder.Get(), place.name.c_str(), &old, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return std::nullopt;
    ThrowErrno(place.path, "cannot replace");
  }
  if (const auto reason = WhyNotAnOrdinaryFile(old.st_mode))
    throw Failure::InFile(FailureKind::OutputRefused, place.path, *reason);
  // Root passes every permission check; for root only a file nobody may
  // write is read-only, as a read-only file stops every user on Windows.
  const bool root = ::geteuid() == 0;
  const bool mayWrite =
      root ? (old.st_mode & 0222) != 0
           : ::faccessat(place.folder.Get(), place.name.c_str(), W_OK, AT_EACCESS) == 0;
  if (!mayWrite) {
    if (root) errno = EACCES;
    ThrowErrno(place.path, "cannot replace");
  }
  return old;
}

// The mode a new file gets from the process's umask, which only /proc tells
// without changing it (for every thread at once); the strictest when unknown.
unsigned NewFileMode() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("Umask:")) return 0666 & ~std::stoul(line.substr(6), nullptr, 8);
  }
  return 0600;
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

class ReplacementFile : public ports::OutputFile {
 public:
  // `place` is the name replaced (no link); `temporaryName`, in the same
  // folder, is empty while the file has no name; `old` is the file replaced.
  ReplacementFile(WalkedPath place, FileDescriptor file, std::string temporaryName,
                  const std::optional<struct stat>& old)
      : path_(std::move(place.path)),
        baseName_(std::move(place.name)),
        fd_(std::move(file)),
        folderFd_(std::move(place.folder)),
        temporaryName_(std::move(temporaryName)),
        old_(old) {}

  ~ReplacementFile() override {
    if (!committed_ && !temporaryName_.empty()) {
      ::unlinkat(folderFd_.Get(), temporaryName_.c_str(), 0);
    }
  }

  void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
    const std::span<const std::uint8_t> pieces[] = {bytes};
    WritePiecesAt(offset, pieces);
  }

  // Gathered where they lie, IOV_MAX pieces a call at most.
  void WritePiecesAt(std::uint64_t offset,
                     std::span<const std::span<const std::uint8_t>> pieces) override {
    std::vector<iovec> left;
    left.reserve(pieces.size());
    for (const auto& piece : pieces) {
      if (!piece.empty()) left.push_back({const_cast<std::uint8_t*>(piece.data()), piece.size()});
    }
    const std::uint64_t start = offset;
    for (std::size_t next = 0; next < left.size();) {
      const int count = static_cast<int>(std::min<std::size_t>(left.size() - next, IOV_MAX));
      ssize_t n = ::pwritev(fd_.Get(), left.data() + next, count, static_cast<off_t>(offset));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) ThrowErrno(path_, "cannot write");
      offset += static_cast<std::uint64_t>(n);
      // Past the pieces written whole; a piece written in part keeps its rest.
      for (; n > 0 && next < left.size(); ++next) {
        const std::size_t taken = std::min(static_cast<std::size_t>(n), left[next].iov_len);
        left[next].iov_base = static_cast<std::uint8_t*>(left[next].iov_base) + taken;
        left[next].iov_len -= taken;
        n -= static_cast<ssize_t>(taken);
        if (left[next].iov_len > 0) break;
      }
    }
    StartWriteBack(start, offset);
  }

  void Commit() override {
    TakeFinalOwnerAndMode();
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
  // Starts the write-back of the pages the bytes [start, end) filled whole, so
  // that the flush at the end finds little left. A page they fill in part is
  // left to the next write or the flush: started now, it would be written
  // twice, and its second write would wait for its first (on this project's
  // machine the final flush took three times as long).
  void StartWriteBack(std::uint64_t start, std::uint64_t end) const {
    static const std::uint64_t page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    const std::uint64_t first = (start + page - 1) / page * page;
    const std::uint64_t last = end / page * page;
    if (last > first) {
      ::sync_file_range(fd_.Get(), static_cast<off_t>(first), static_cast<off_t>(last - first),
                        SYNC_FILE_RANGE_WRITE);
    }
  }

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

  // The old file's owner and mode; a new file's mode is a new file's (an
  // unnamed temporary was created with it, a named one more strictly).
  void TakeFinalOwnerAndMode() {
    if (old_) {
      TakeOverOwnerAndMode(fd_.Get(), *old_);
    } else if (!temporaryName_.empty()) {
      ::fchmod(fd_.Get(), NewFileMode());
    }
  }

  std::string path_;
  std::string baseName_;
  FileDescriptor fd_;
  FileDescriptor folderFd_;
  std::string temporaryName_;
  std::optional<struct stat> old_;
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

std::unique_ptr<ports::OutputFile> CreateReplacementFile(const std::string& path,
                                                         std::uint64_t size,
                                                         UnnamedTemporaries unnamed) {
  WalkedPath place = WalkToFile(path, MissingFolders::Reported);
  if (place.folder.Get() < 0) {
    errno = ENOENT;
    ThrowErrno(path, "cannot write into its folder");
  }
  const std::optional<struct stat> old = ReplaceableOldFile(place);
  RemoveLeftovers(place.folder.Get(), place.name);

  std::string temporaryName;
  FileDescriptor file;
  if (unnamed == UnnamedTemporaries::WhereSupported) {
    file =
        FileDescriptor(::openat(place.folder.Get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (file.Get() >= 0) ::flock(file.Get(), LOCK_EX);  // before it has a name: see RemoveLeftovers
  }
  if (file.Get() < 0 && (unnamed == UnnamedTemporaries::Never || errno == EOPNOTSUPP ||
                         errno == EISDIR || errno == EINVAL)) {
    // Until Commit gives it its final mode it is the user's alone, or
    // stricter still when the old file is: others may see the name but not
    // the bytes.
    const unsigned mode = 0600 & (old ? old->st_mode : 0666);
    file = OpenNamedTemporary(place.folder.Get(), place.name, mode, temporaryName);
  }
  if (file.Get() < 0) ThrowErrno(place.path, "cannot create");
  const int fd = file.Get();
  const std::string shownPath = place.path;
  auto output =
      std::make_unique<ReplacementFile>(std::move(place), std::move(file), temporaryName, old);
  Presize(fd, size, shownPath);
  return output;
}

}  // namespace tessarin::linux_platform
