#include "platform/linux/linux_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <vector>

#include "platform/failure.h"
#include "platform/linux/file_descriptor.h"

namespace tessarin::linux_platform {
namespace {

[[noreturn]] void ThrowErrno(const std::string& path, const std::string& doing) {
  throw Failure::InFile(path, doing + ": " + ErrnoText(errno));
}

// Decoders read in whatever pieces their format dictates (a GIF sub-block is
// at most 255 bytes), so small reads are served from a window read ahead of
// them; large ones go straight to the file.
class LinuxInputFile : public platform::InputFile {
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

// A whole file written beside the output where unnamed files are not supported.
std::string PartNameBeside(const std::string& path) {
  static std::mt19937_64 generator{std::random_device{}()};
  const std::string folder = FolderOf(path);
  return (folder == "/" ? "" : folder) + "/." + BaseNameOf(path) + ".tessarin-part-" +
         std::to_string(generator() % 1000000000000ULL);
}

// The name an unnamed file holds for an instant before it is renamed over the
// output. It is the same for every run to this output, so a link left by a run
// killed in that instant is replaced by the next run, never piled up.
std::string LinkNameBeside(const std::string& path) {
  const std::string folder = FolderOf(path);
  return (folder == "/" ? "" : folder) + "/." + BaseNameOf(path) + ".tessarin-link";
}

class LinuxOutputFile : public platform::OutputFile {
 public:
  LinuxOutputFile(std::string path, int fd, int folderFd, std::string namedTemporary)
      : path_(std::move(path)),
        fd_(fd),
        folderFd_(folderFd),
        namedTemporary_(std::move(namedTemporary)) {}

  ~LinuxOutputFile() override {
    if (!committed_ && !namedTemporary_.empty()) ::unlink(namedTemporary_.c_str());
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
    if (namedTemporary_.empty()) {
      NameUnnamedFileOverOutput();
    } else if (::rename(namedTemporary_.c_str(), path_.c_str()) != 0) {
      ThrowErrno(path_, "cannot replace");
    }
    committed_ = true;
    ::fsync(folderFd_.Get());  // make the new name itself durable
  }

 private:
  // An unnamed file can only be linked to a name that is free, so it is
  // linked to the output's link name and renamed over the output at once. A
  // concurrent run to the same output may take the link name in between; then
  // the rename misses or moves that run's equally complete picture, and either
  // way a whole picture ends up at the output.
  void NameUnnamedFileOverOutput() {
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd_.Get());
    const std::string link = LinkNameBeside(path_);
    for (int attempt = 0; attempt < 8; ++attempt) {
      ::unlink(link.c_str());  // a leftover of a killed run
      if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, link.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        if (errno == EEXIST) continue;
        ThrowErrno(path_, "cannot name the written file");
      }
      if (::rename(link.c_str(), path_.c_str()) == 0) return;
      if (errno != ENOENT) {
        const int error = errno;
        ::unlink(link.c_str());
        errno = error;
        ThrowErrno(path_, "cannot replace");
      }
    }
    ThrowErrno(path_, "cannot name the written file");
  }

  std::string path_;
  FileDescriptor fd_;
  FileDescriptor folderFd_;
  std::string namedTemporary_;  // empty while the file has no name
  bool committed_ = false;
};

int OpenNamedTemporary(const std::string& path, std::string& name) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    name = PartNameBeside(path);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

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

std::unique_ptr<platform::InputFile> LinuxFiles::OpenForReading(const std::string& path) {
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

std::unique_ptr<platform::OutputFile> LinuxFiles::CreateReplacement(const std::string& path,
                                                                    std::uint64_t size) {
  const std::string folder = FolderOf(path);
  FileDescriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folderFd.Get() < 0) ThrowErrno(path, "cannot write into its folder");

  std::string namedTemporary;
  int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    fd = OpenNamedTemporary(path, namedTemporary);  // a file system without unnamed files
  }
  if (fd < 0) ThrowErrno(path, "cannot create");
  auto output = std::make_unique<LinuxOutputFile>(path, fd, folderFd.Release(), namedTemporary);
  Presize(fd, size, path);
  return output;
}

}  // namespace tessarin::linux_platform
