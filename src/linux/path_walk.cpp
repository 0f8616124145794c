#include "linux/path_walk.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <string_view>

#include "base/failure.h"
#include "text/join_path.h"

namespace tessarin::linux_platform {
namespace {

[[noreturn]] void ThrowErrno(const std::string& path, const std::string& doing) {
  throw Failure::InFile(FailureKind::OutputRefused, path, doing + ": " + ErrnoText(errno));
}

constexpr int kMaxLinkHops = 40;  // the kernel's own limit

// A name in a folder as messages show it; in the working folder, the name alone.
std::string InFolder(const std::string& folder, const std::string& name) {
  return folder == "." ? name : text::JoinPath(folder, name, '/');
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
class PathWalk {
 public:
  PathWalk(const std::string& path, MissingFolders missing)
      : path_(path),
        missing_(missing),
        names_(NamesOnTheWay(path)),
        folderPath_(path.starts_with('/') ? "/" : "."),
        folder_(LocateFolder(AT_FDCWD, folderPath_.c_str())) {}

  WalkedPath Place() {
    while (!names_.empty()) {
      if (folder_.Get() < 0) ThrowErrno(folderPath_, "cannot open the folder");
      const std::string name = std::move(names_.front());
      names_.pop_front();
      const std::string here = InFolder(folderPath_, name);
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
                            names_.size() == 1 ? here : InFolder(here, names_.front()),
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

}  // namespace

WalkedPath WalkToFile(const std::string& path, MissingFolders missing) {
  return PathWalk(path, missing).Place();
}

}  // namespace tessarin::linux_platform
