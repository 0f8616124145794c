#include "linux/atomic_update.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/failure.h"
#include "linux/temporary_config_home.h"

namespace tessarin::linux_platform {
namespace {

using tessarin::testing::FolderEntries;
using tessarin::testing::ReadWholeFile;
using tessarin::testing::TemporaryFolder;
using tessarin::testing::WriteWholeFile;

unsigned Mode(const std::filesystem::path& path) {
  struct stat status {};
  EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
  return status.st_mode & 07777;
}

TEST(AtomicUpdate, CreatesMissingFoldersPrivatelyAndPassesTheCurrentContent) {
  const TemporaryFolder root;
  const auto file = root.Path() / "new" / "Tessarin" / "store.ini";
  EXPECT_EQ(ReadStoredFile(file), "");
  UpdateFileAtomically(file, [](const std::string& current) { return current + "first"; });
  UpdateFileAtomically(file, [](const std::string& current) { return current + ",second"; });
  EXPECT_EQ(ReadWholeFile(file), "first,second");
  EXPECT_EQ(Mode(root.Path() / "new"), 0700u);
  EXPECT_EQ(Mode(file.parent_path()), 0700u);
  EXPECT_EQ(FolderEntries(file.parent_path()), std::vector<std::string>{"store.ini"});
}

TEST(AtomicUpdate, NamesTheFolderOrFileThatCannotBeUsed) {
  const TemporaryFolder root;
  WriteWholeFile(root.Path() / "plain", "not a folder");
  const auto underPlainFile = root.Path() / "plain" / "Tessarin" / "store.ini";
  try {
    UpdateFileAtomically(underPlainFile, [](const std::string&) { return "x"; });
    ADD_FAILURE() << "a folder under a regular file was accepted";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.what(),
              (root.Path() / "plain" / "Tessarin").string() + ": " + std::strerror(ENOTDIR));
  }
  std::filesystem::create_directories(root.Path() / "folder.ini");
  try {
    ReadStoredFile(root.Path() / "folder.ini");
    ADD_FAILURE() << "a folder was read as a file";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.what(), (root.Path() / "folder.ini").string() + ": " + std::strerror(EISDIR));
  }
  EXPECT_EQ(ReadWholeFile(root.Path() / "plain"), "not a folder");
}

// A file size limit makes the write of the new content fail half way, after
// the temporary file exists; the limit is set in a child so it stays there.
TEST(AtomicUpdate, AWriteThatFailsHalfWayKeepsTheOldFileAndLeavesNoTemporary) {
  const TemporaryFolder root;
  const auto file = root.Path() / "store.ini";
  WriteWholeFile(file, "old content\n");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      UpdateFileAtomically(file, [](const std::string&) { return std::string(100000, 'x'); });
    } catch (const Failure& failure) {
      const std::string what = failure.what();
      const bool namesFileAndReason = what.rfind(file.string() + ": ", 0) == 0 &&
                                      what.find(std::strerror(EFBIG)) != std::string::npos;
      ::_exit(namesFileAndReason ? 0 : 2);
    }
    ::_exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  EXPECT_EQ(ReadWholeFile(file), "old content\n");
  EXPECT_EQ(FolderEntries(root.Path()), std::vector<std::string>{"store.ini"});
}

// Replacing a file gives it a new inode; an update that changes nothing must
// leave the very same file in place.
TEST(AtomicUpdate, ContentThatDoesNotChangeIsNotWrittenAgain) {
  const TemporaryFolder root;
  const auto file = root.Path() / "store.ini";
  UpdateFileAtomically(file, [](const std::string&) { return std::string("a=1\n"); });
  const auto inode = [&] {
    struct stat status {};
    ::stat(file.c_str(), &status);
    return status.st_ino;
  };
  const auto before = inode();
  UpdateFileAtomically(file, [](const std::string& current) { return current; });
  EXPECT_EQ(inode(), before);
  UpdateFileAtomically(file, [](const std::string& current) { return current + "b=2\n"; });
  EXPECT_NE(inode(), before);
  EXPECT_EQ(ReadWholeFile(file), "a=1\nb=2\n");
}

}  // namespace
}  // namespace tessarin::linux_platform
