#pragma once

#include <sys/stat.h>

#include <map>
#include <optional>
#include <string>

#include "linux/file_descriptor.h"
#include "ports/files.h"

namespace tessarin::linux_platform {

// Where unnamed temporary files (O_TMPFILE) are used: wherever the file
// system has them, or never (as on a file system without them).
enum class UnnamedTemporaries { WhereSupported, Never };

class LinuxFiles : public ports::Files {
 public:
  explicit LinuxFiles(UnnamedTemporaries unnamed = UnnamedTemporaries::WhereSupported)
      : unnamed_(unnamed) {}

  // Present means a regular file, symbolic links followed; letter case matters.
  // The file is opened here and the check made on the open file, which the
  // next OpenForReading of the same path reads: what is read is what was
  // found, whatever takes its name meanwhile.
  bool IsOrdinaryFile(const std::string& path) override;
  // Regular files only; names starting with a dot are hidden and left out.
  std::vector<std::string> ListOrdinaryFiles(const std::string& folder) override;
  // Throws Failure naming the file when it cannot be opened or is no regular file.
  std::unique_ptr<ports::InputFile> OpenForReading(const std::string& path) override;
  // An unnamed file in the output's folder, named only by Commit, so that a
  // run stopped at any moment leaves the old file or the new one. A symbolic
  // link at `path` stays: the file it finally names (LocateReplacedFile) is
  // replaced, in its own folder, and the replacement takes over the old file's
  // owner and mode. Throws Failure, before anything is written, when something
  // other than a regular file is there, a link on the way may not be followed,
  // or the user may not write the old file.
  std::unique_ptr<ports::OutputFile> CreateReplacement(const std::string& path,
                                                       std::uint64_t size) override;

 private:
  UnnamedTemporaries unnamed_;
  // The files found by IsOrdinaryFile and not read yet, by path.
  std::map<std::string, FileDescriptor> found_;
};

// The file descriptor a file OpenForReading opened reads from.
int DescriptorOf(const ports::InputFile& file);

// Why a file of this st_mode is no regular file, in strerror's style; nothing
// for a regular file.
std::optional<std::string> WhyNotARegularFile(unsigned mode);

// `name` in `folder` (a descriptor, or AT_FDCWD) opened for reading when it
// is a regular file; -1 otherwise, with `info` zeroed and errno set when
// nothing could be looked at, else describing what is there. Only what looked
// like a regular file is opened, and that without blocking, so that a named
// pipe put there meanwhile answers at once; the check is made again on the
// open descriptor. `lookFlags` as fstatat's (AT_SYMLINK_NOFOLLOW: a link is
// not followed and not opened).
FileDescriptor OpenRegularFile(int folder, const std::string& name, struct stat& info,
                               int lookFlags = 0);

// The place of a file the program replaces: the folder that finally holds it
// and its name there, found hop by hop. A symbolic link on the way is followed
// as the kernel's fs.protected_symlinks rule has it, whatever the system's
// setting: in a sticky folder everybody may write (such as /tmp), only a link
// of the user's own or of the folder's owner; another user's link there is
// refused with a Failure naming `path`, before anything is created.
struct ReplacedFilePlace {
  FileDescriptor folder;  // open for reading; -1 when a folder on the way is missing
  std::string name;       // the file's name in `folder`, no link
  std::string path;       // for messages: `path` itself unless a link was followed
};

// What becomes of folders missing on the way: they are reported (a place with
// no folder) or made, private to the user (mode 0700) and durable.
enum class MissingFolders { Reported, Made };

ReplacedFilePlace LocateReplacedFile(const std::string& path, MissingFolders missing);

}  // namespace tessarin::linux_platform
