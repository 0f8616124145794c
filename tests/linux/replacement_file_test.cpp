#include "linux/replacement_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <random>

#include "base/failure.h"
#include "linux/file_descriptor.h"
#include "support/bytes.h"
#include "support/temporary_folder.h"

namespace tessarin::linux_platform {
namespace {

using testing::FolderEntries;
using testing::ReadWholeFile;
using testing::TemporaryFolder;
using testing::WriteWholeFile;

using testing::BytesOf;

TEST(ReplacementFiles, AReplacementAppearsOnlyWhenCommittedAndLeavesNoOtherFile) {
  TemporaryFolder folder;
  const std::string path = folder / "out.bmp";
  WriteWholeFile(path, "old picture");
  {
    auto output = CreateReplacementFile(path, 6);
    output->WriteAt(3, BytesOf("DEF"));
    output->WriteAt(0, BytesOf("ABC"));
    EXPECT_EQ(ReadWholeFile(path), "old picture");
    output->Commit();
  }
  EXPECT_EQ(ReadWholeFile(path), "ABCDEF");
  EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"out.bmp"});
}

// More pieces than one system call takes, empty ones among them.
TEST(ReplacementFiles, PiecesAreWrittenOneAfterAnotherAsOneWrite) {
  TemporaryFolder folder;
  std::string expected;
  std::vector<std::string> texts;
  for (int i = 0; i < 3000; ++i) texts.push_back(i % 7 == 0 ? "" : std::to_string(i) + ",");
  std::vector<std::span<const std::uint8_t>> pieces;
  for (const auto& text : texts) {
    pieces.emplace_back(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    expected += text;
  }
  auto output = CreateReplacementFile(folder / "out.bmp", expected.size() + 2);
  output->WriteAt(0, BytesOf("<"));
  output->WritePiecesAt(1, pieces);
  output->WriteAt(expected.size() + 1, BytesOf(">"));
  output->Commit();
  EXPECT_EQ(ReadWholeFile(folder / "out.bmp"), "<" + expected + ">");
}

// A run killed between naming its file and renaming it over the output leaves
// that name; the next run removes it, but not the one of a run still going,
// which holds a lock on it, nor those of other outputs.
TEST(ReplacementFiles, ALinkLeftByAKilledRunIsClearedByTheNextCommit) {
  TemporaryFolder folder;
  const std::vector<std::string> kept = {".other.bmp.tessarin-0123456789abcdef",
                                         ".out.bmp.tessarin-by-hand",
                                         ".out.bmp.tessarin-fedcba9876543210"};
  for (const auto& name : kept) WriteWholeFile(folder / name, "not a leftover of out.bmp");
  WriteWholeFile(folder / ".out.bmp.tessarin-0123456789abcdef", "left by a killed run");
  const FileDescriptor running(::open((folder / kept.back()).c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_EQ(::flock(running.Get(), LOCK_EX), 0);
  auto output = CreateReplacementFile(folder / "out.bmp", 3);
  output->WriteAt(0, BytesOf("new"));
  output->Commit();
  EXPECT_EQ(ReadWholeFile(folder / "out.bmp"), "new");
  auto expected = kept;
  expected.push_back("out.bmp");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(FolderEntries(folder.Path()), expected);
}

// Each child replaces the output again and again with its own content.
TEST(ReplacementFiles, ConcurrentReplacementsOfOneOutputAllSucceed) {
  TemporaryFolder folder;
  const std::string path = folder / "out.bmp";
  std::vector<pid_t> children;
  for (const char fill : {'a', 'b', 'c'}) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int failures = 0;
      for (int i = 0; i < 300; ++i) {
        try {
          auto output = CreateReplacementFile(path, 4096);
          output->WriteAt(0, BytesOf(std::string(4096, fill)));
          output->Commit();
        } catch (const Failure&) {
          ++failures;
        }
      }
      ::_exit(std::min(failures, 100));
    }
    children.push_back(child);
  }
  for (const pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0) << "runs that failed";
  }
  const std::string left = ReadWholeFile(path);
  EXPECT_EQ(left, std::string(4096, left.empty() ? '?' : left[0]));
  EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"out.bmp"});
}

TEST(ReplacementFiles, AnAbandonedReplacementKeepsTheOldFileAndLeavesNothingBehind) {
  TemporaryFolder folder;
  const std::string path = folder / "out.bmp";
  WriteWholeFile(path, "old picture");
  {
    auto output = CreateReplacementFile(path, 100);
    output->WriteAt(0, BytesOf("half"));
  }
  EXPECT_EQ(ReadWholeFile(path), "old picture");
  EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"out.bmp"});
}

TEST(ReplacementFiles, AReplacementThatCannotBeCreatedOrNamedIsAFailure) {
  TemporaryFolder folder;
  EXPECT_THROW(CreateReplacementFile(folder / "no/such/folder/out.bmp", 10), Failure);
  std::filesystem::create_directory(folder / "taken");
  WriteWholeFile(folder / "taken/inside", "x");
  // A folder in the way is found before anything is written.
  EXPECT_THROW(CreateReplacementFile(folder / "taken", 4), Failure);
  EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"taken"});
}

TEST(ReplacementFiles, ARelativeOutputPathIsWrittenInTheWorkingFolder) {
  TemporaryFolder folder;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.Path());
  auto output = CreateReplacementFile("rel.bmp", 2);
  output->WriteAt(0, BytesOf("ok"));
  output->Commit();
  std::filesystem::current_path(previous);
  EXPECT_EQ(ReadWholeFile(folder / "rel.bmp"), "ok");
}

// Where unnamed files are missing, the temporary has a name for the whole
// write: until Commit only the user may read it (or nobody, as the old file).
TEST(ReplacementFiles, ANamedTemporaryIsPrivateUntilCommitted) {
  struct Modes {
    std::optional<unsigned> old;
    unsigned whileWritten;
    unsigned committed;  // under the umask 022
  };
  const mode_t umask = ::umask(022);
  for (const Modes& modes : {Modes{std::nullopt, 0600, 0644}, Modes{0640, 0600, 0640},
                             Modes{0604, 0600, 0604}, Modes{0200, 0200, 0200}}) {
    TemporaryFolder folder;
    const std::string path = folder / "out.bmp";
    if (modes.old) {
      WriteWholeFile(path, "old");
      ASSERT_EQ(::chmod(path.c_str(), *modes.old), 0);
    }
    auto output = CreateReplacementFile(path, 2, UnnamedTemporaries::Never);
    struct stat temporary {};
    for (const std::string& name : FolderEntries(folder.Path())) {
      if (name.starts_with(".out.bmp.tessarin-")) {
        ASSERT_EQ(::stat((folder / name).c_str(), &temporary), 0);
      }
    }
    EXPECT_EQ(temporary.st_mode & 07777, modes.whileWritten) << std::oct << modes.old.value_or(0);
    output->WriteAt(0, BytesOf("ok"));
    output->Commit();
    struct stat committed {};
    ASSERT_EQ(::stat(path.c_str(), &committed), 0);
    EXPECT_EQ(committed.st_mode & 07777, modes.committed) << std::oct << modes.old.value_or(0);
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"out.bmp"});
  }
  ::umask(umask);
}

}  // namespace
}  // namespace tessarin::linux_platform
