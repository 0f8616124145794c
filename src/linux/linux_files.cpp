#include "linux/linux_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fstream>
#include <optional>
#include <random>
#include <string_view>
#include <vector>

#include "base/failure.h"
#include "linux/file_descriptor.h"

namespace tessarin::linux_platform {
namespace {

// Reads fail as the picture's, anything else as the replacement's: the
// replaced files are the output and the settings, whose writer says which.
[[noreturn]] void ThrowErrno(const std::string& path, const std::string& doing,
                             FailureKind kind = FailureKind::OutputRefused) {
  throw Failure::InFile(kind, path, doing + ": " + ErrnoText(errno));
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
  int Descriptor() const { return fd_.Get(); }

  std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
    if (out.size() >= kWindowBytes) return ReadFromFile(offset, out);
    if (offset < windowStart_ || offset + out.size() > windowStart_ + window_.size()) {
      window_.resize(kWindowBytes);
      window_.resize(ReadFromFile(offset, window_));
      windowStart_ = offset;
    }
    const std::size_t n =
        std::min<std::uint64_t>(out.size(), windowStart_ + window_.size() - offset);
    // An empty span or window may have no storage: memcpy may not be given it.
    if (n > 0) std::memcpy(out.data(), window_.data() + (offset - windowStart_), n);
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
        ThrowErrno(path_, "cannot read", FailureKind::PictureUnreadable);
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

// --- Where the replacement goes and what it may replace ---------------------

constexpr int kMaxLinkHops = 40;  // the kernel's own limit

std::string Joined(const std::string& folder, const std::string& name) {
  if (folder == ".") return name;
  return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

// The names a path passes, "." left out (".." is a step to the parent).
std::deque<std::string> NamesOnTheWay(std::string_view path) {
  std::deque<std::string> names;
  for (std::size_t start = 0; start <= path.size();) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    const std::string_view name = path.substr(start, end - start);
    if (!name.empty() && name != ".") names.emplace_back(name);
    start = end + 1;
  }
  return names;
}

FileDescriptor LocateFolder(int at, const char* name) {
  return FileDescriptor(::openat(at, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

// What fs.protected_symlinks makes the kernel refuse: in a sticky folder that
// everybody may write, a link is followed only when it belongs to the one
// following it or to the folder's owner. Anyone may plant a link there, under
// a name the user is known to write, pointing at any of the user's files.
void CheckLinkMayBeFollowed(int folder, const struct stat& link, const std::string& linkPath,
                            const std::string& path) {
  struct stat holder {};
  if (::fstat(folder, &holder) != 0) ThrowErrno(path, "cannot replace");
  const bool shared = (holder.st_mode & S_ISVTX) != 0 && (holder.st_mode & S_IWOTH) != 0;
  if (!shared || link.st_uid == ::geteuid() || link.st_uid == holder.st_uid) return;
  throw Failure::InFile(FailureKind::OutputRefused, path,
                        "cannot replace: the symbolic link " + linkPath +
                            " belongs to another user, in a sticky folder everybody may write");
}

std::string LinkTarget(int folder, const std::string& name, const std::string& path) {
  char target[PATH_MAX];
  const ssize_t length = ::readlinkat(folder, name.c_str(), target, sizeof target);
  if (length < 0) ThrowErrno(path, "cannot replace");
  return std::string(target, static_cast<std::size_t>(length));
}

// A new folder is only durable once its parent's entry is on disk too.
void MakeFolder(int parent, const std::string& name, const std::string& folderPath) {
  if (::mkdirat(parent, name.c_str(), 0700) != 0 && errno != EEXIST) {
    throw Failure::InFile(FailureKind::OutputRefused, folderPath, ErrnoText(errno));
  }
  const FileDescriptor opened(::openat(parent, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (opened.Get() < 0 || ::fsync(opened.Get()) != 0) {
    throw Failure::InFile(FailureKind::OutputRefused, folderPath, ErrnoText(errno));
  }
}

// Resolves a path name by name from a descriptor of the folder reached so
// far, as the kernel does, with the link rule of CheckLinkMayBeFollowed at
// every link; a name is never looked up again as text.
class ReplacedFileWalk {
 public:
  ReplacedFileWalk(const std::string& path, MissingFolders missing)
      : path_(path),
        missing_(missing),
        names_(NamesOnTheWay(path)),
        folderPath_(path.starts_with('/') ? "/" : "."),
        folder_(LocateFolder(AT_FDCWD, folderPath_.c_str())) {}

  ReplacedFilePlace Place() {
    while (!names_.empty()) {
      if (folder_.Get() < 0) ThrowErrno(folderPath_, "cannot open the folder");
      const std::string name = std::move(names_.front());
      names_.pop_front();
      const std::string here = Joined(folderPath_, name);
      struct stat info {};
      if (!LookAt(name, here, info)) return {FileDescriptor(), name, path_};
      if (S_ISLNK(info.st_mode)) {
        FollowLink(name, here, info);
      } else if (!names_.empty()) {
        EnterFolder(name, here);
      } else {
        FileDescriptor opened(::openat(folder_.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (opened.Get() < 0) ThrowErrno(here, "cannot write into its folder");
        return {std::move(opened), name, followed_ ? here : path_};
      }
    }
    // Nothing named at the end: the path is a folder's.
    throw Failure::InFile(FailureKind::OutputRefused, path_, ErrnoText(EISDIR));
  }

 private:
  // What `name` is, without following it; a missing last name is the file to
  // create, a missing folder is made or (false) reported.
  bool LookAt(const std::string& name, const std::string& here, struct stat& info) {
    if (::fstatat(folder_.Get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) return true;
    if (errno != ENOENT) throw Failure::InFile(FailureKind::OutputRefused, here, ErrnoText(errno));
    info = {};
    if (names_.empty()) return true;
    if (missing_ == MissingFolders::Reported) return false;
    MakeFolder(folder_.Get(), name, here);
    info.st_mode = S_IFDIR;
    return true;
  }

  void FollowLink(const std::string& name, const std::string& here, const struct stat& link) {
    CheckLinkMayBeFollowed(folder_.Get(), link, here, path_);
    if (++hops_ > kMaxLinkHops) {
      errno = ELOOP;
      ThrowErrno(path_, "cannot replace");
    }
    const std::string target = LinkTarget(folder_.Get(), name, path_);
    const std::deque<std::string> targetNames = NamesOnTheWay(target);
    names_.insert(names_.begin(), targetNames.begin(), targetNames.end());
    if (target.starts_with('/')) {
      folderPath_ = "/";
      folder_ = LocateFolder(AT_FDCWD, "/");
    }
    followed_ = true;
  }

  void EnterFolder(const std::string& name, const std::string& here) {
    FileDescriptor next = LocateFolder(folder_.Get(), name.c_str());
    if (next.Get() < 0) {
      // Named: the file's own folder when it is none, else the folder that
      // cannot be there, inside what is no folder.
      throw Failure::InFile(FailureKind::OutputRefused,
                            names_.size() == 1 ? here : Joined(here, names_.front()),
                            ErrnoText(errno));
    }
    folder_ = std::move(next);
    folderPath_ = here;
  }

  const std::string& path_;
  MissingFolders missing_;
  std::deque<std::string> names_;  // still to resolve
  std::string folderPath_;         // of folder_, for messages
  FileDescriptor folder_;          // O_PATH
  int hops_ = 0;
  bool followed_ = false;
};

// The old file, when there is one the user may replace. Nothing is opened: a
// named pipe would block the run, a device would take the picture.
std::optional<struct stat> ReplaceableOldFile(const ReplacedFilePlace& place) {
  struct stat old {};
  if (::fstatat(place.folder.Get(), place.name.c_str(), &old, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return std::nullopt;
    ThrowErrno(place.path, "cannot replace");
  }
  if (const auto reason = WhyNotARegularFile(old.st_mode))
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

// Where unnamed files are not supported: a named temporary, locked at once.
// Another run's cleaner may take the lock first and remove the name; by the
// time the lock is ours the name is gone, and another one is tried. Until
// Commit gives it its final mode it is the user's alone, or stricter still
// when the old file is: others may see the name but not the bytes.
int OpenNamedTemporary(int folderFd, const std::string& baseName,
                       const std::optional<struct stat>& old, std::string& name) {
  const unsigned mode = 0600 & (old ? old->st_mode : 0666);
  for (int attempt = 0; attempt < 16; ++attempt) {
    name = TemporaryName(baseName);
    FileDescriptor fd(
        ::openat(folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
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
  // `place` is the name replaced (no link); `temporaryName`, in the same
  // folder, is empty while the file has no name; `old` is the file replaced.
  LinuxOutputFile(ReplacedFilePlace place, int fd, std::string temporaryName,
                  const std::optional<struct stat>& old)
      : path_(std::move(place.path)),
        baseName_(std::move(place.name)),
        fd_(fd),
        folderFd_(place.folder.Release()),
        temporaryName_(std::move(temporaryName)),
        old_(old) {}

  ~LinuxOutputFile() override {
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
    // Start the write-back now, so that the flush at the end finds little left.
    ::sync_file_range(fd_.Get(), static_cast<off_t>(start), static_cast<off_t>(offset - start),
                      SYNC_FILE_RANGE_WRITE);
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

bool LinuxFiles::IsOrdinaryFile(const std::string& path) {
  found_.erase(path);
  if (path.empty()) return false;
  struct stat info {};
  FileDescriptor file = OpenRegularFile(AT_FDCWD, path, info);
  // A regular file that cannot be opened is there: reading it says why not.
  if (file.Get() >= 0) found_.emplace(path, std::move(file));
  return S_ISREG(info.st_mode);
}

std::vector<std::string> LinuxFiles::ListOrdinaryFiles(const std::string& folder) {
  DIR* directory = ::opendir(folder.c_str());
  if (directory == nullptr)
    ThrowErrno(folder, "cannot list the inset folder", FailureKind::InsetFolderMissing);
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(directory)) {
    if (entry->d_name[0] == '.') continue;
    bool regular = entry->d_type == DT_REG;
    // Only entries whose type the listing does not tell cost a stat.
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat info {};
      regular =
          ::fstatat(::dirfd(directory), entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
    }
    if (regular) names.emplace_back(entry->d_name);
  }
  ::closedir(directory);
  return names;
}

std::unique_ptr<ports::InputFile> LinuxFiles::OpenForReading(const std::string& path) {
  struct stat info {};
  FileDescriptor file;
  if (const auto found = found_.find(path); found != found_.end()) {
    file = std::move(found->second);
    found_.erase(found);
    if (::fstat(file.Get(), &info) != 0)
      ThrowErrno(path, "cannot open", FailureKind::PictureUnreadable);
  } else {
    file = OpenRegularFile(AT_FDCWD, path, info);
  }
  if (file.Get() < 0) {
    if (const auto reason = WhyNotARegularFile(info.st_mode); reason && info.st_mode != 0) {
      throw Failure::InFile(FailureKind::PictureUnreadable, path, *reason);
    }
    ThrowErrno(path, "cannot open", FailureKind::PictureUnreadable);
  }
  ::posix_fadvise(file.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  return std::make_unique<LinuxInputFile>(path, file.Release(),
                                          static_cast<std::uint64_t>(info.st_size));
}

std::unique_ptr<ports::OutputFile> LinuxFiles::CreateReplacement(const std::string& path,
                                                                 std::uint64_t size) {
  ReplacedFilePlace place = LocateReplacedFile(path, MissingFolders::Reported);
  if (place.folder.Get() < 0) {
    errno = ENOENT;
    ThrowErrno(path, "cannot write into its folder");
  }
  const std::optional<struct stat> old = ReplaceableOldFile(place);
  RemoveLeftovers(place.folder.Get(), place.name);

  std::string temporaryName;
  int fd = -1;
  if (unnamed_ == UnnamedTemporaries::WhereSupported) {
    fd = ::openat(place.folder.Get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) ::flock(fd, LOCK_EX);  // before it has a name: see RemoveLeftovers
  }
  if (fd < 0 && (unnamed_ == UnnamedTemporaries::Never || errno == EOPNOTSUPP || errno == EISDIR ||
                 errno == EINVAL)) {
    fd = OpenNamedTemporary(place.folder.Get(), place.name, old, temporaryName);
  }
  if (fd < 0) ThrowErrno(place.path, "cannot create");
  const std::string shownPath = place.path;
  auto output = std::make_unique<LinuxOutputFile>(std::move(place), fd, temporaryName, old);
  Presize(fd, size, shownPath);
  return output;
}

FileDescriptor OpenRegularFile(int folder, const std::string& name, struct stat& info,
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
  // A regular file is read as usual from here on.
  ::fcntl(file.Get(), F_SETFL, ::fcntl(file.Get(), F_GETFL) & ~O_NONBLOCK);
  return file;
}

ReplacedFilePlace LocateReplacedFile(const std::string& path, MissingFolders missing) {
  return ReplacedFileWalk(path, missing).Place();
}

int DescriptorOf(const ports::InputFile& file) {
  return dynamic_cast<const LinuxInputFile&>(file).Descriptor();
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
