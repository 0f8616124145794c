#include "linux/linux_files.h"

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

TEST(LinuxFiles, OnlyRegularFilesArePresentSymbolicLinksFollowed) {
  TemporaryFolder folder;
  LinuxFiles files;
  WriteWholeFile(folder / "a.bmp", "x");
  WriteWholeFile(folder / ".hidden.bmp", "x");
  std::filesystem::create_directory(folder / "dir.bmp");
  std::filesystem::create_symlink(folder / "a.bmp", folder / "link.bmp");
  std::filesystem::create_symlink(folder / "gone.bmp", folder / "dangling.bmp");
  EXPECT_TRUE(files.IsOrdinaryFile(folder / "a.bmp"));
  EXPECT_TRUE(files.IsOrdinaryFile(folder / ".hidden.bmp"));
  EXPECT_TRUE(files.IsOrdinaryFile(folder / "link.bmp"));
  EXPECT_FALSE(files.IsOrdinaryFile(folder / "A.bmp"));  // letter case matters
  EXPECT_FALSE(files.IsOrdinaryFile(folder / "dir.bmp"));
  EXPECT_FALSE(files.IsOrdinaryFile(folder / "dangling.bmp"));
  EXPECT_FALSE(files.IsOrdinaryFile(folder / "missing.bmp"));
  EXPECT_FALSE(files.IsOrdinaryFile(""));
}

TEST(LinuxFiles, ListingGivesRegularFilesWithoutDotfilesOrFolders) {
  TemporaryFolder folder;
  LinuxFiles files;
  WriteWholeFile(folder / "a.jpg", "x");
  WriteWholeFile(folder / ".b.jpg", "x");
  std::filesystem::create_directory(folder / "c.jpg");
  std::filesystem::create_symlink(folder / "a.jpg", folder / "d.jpg");
  std::filesystem::create_symlink(folder / "c.jpg", folder / "e.jpg");
  auto names = files.ListOrdinaryFiles(folder.Path().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.jpg", "d.jpg"}));
  EXPECT_THROW(files.ListOrdinaryFiles(folder / "missing"), Failure);
}

TEST(LinuxFiles, ReadsAtAnyOffsetAndShortAtTheEnd) {
  TemporaryFolder folder;
  LinuxFiles files;
  WriteWholeFile(folder / "f", "0123456789");
  auto input = files.OpenForReading(folder / "f");
  EXPECT_EQ(input->Size(), 10u);
  std::uint8_t buffer[4];
  EXPECT_EQ(input->ReadAt(8, buffer), 2u);
  EXPECT_EQ(buffer[0], '8');
  EXPECT_EQ(input->ReadAt(20, buffer), 0u);
  EXPECT_THROW(files.OpenForReading(folder / "missing"), Failure);
}

TEST(LinuxFiles, SmallAndLargeReadsAnywhereGiveTheFilesBytes) {
  TemporaryFolder folder;
  LinuxFiles files;
  std::string content(300000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 % 251);
  WriteWholeFile(folder / "f", content);
  auto input = files.OpenForReading(folder / "f");
  std::mt19937 random(7);
  for (int i = 0; i < 2000; ++i) {
    const std::uint64_t offset = random() % 310000;
    std::vector<std::uint8_t> piece(i % 10 == 0 ? 100000 : random() % 300);
    const std::size_t n = input->ReadAt(offset, piece);
    const std::size_t expected =
        offset >= content.size() ? 0 : std::min<std::size_t>(piece.size(), content.size() - offset);
    ASSERT_EQ(n, expected) << "at " << offset;
    ASSERT_TRUE(n == 0 ||
                std::memcmp(piece.data(),  // an empty piece may have no storage
                            content.data() + std::min<std::size_t>(offset, content.size()), n) == 0)
        << "at " << offset;
  }
}

TEST(LinuxFiles, AReplacementAppearsOnlyWhenCommittedAndLeavesNoOtherFile) {
  TemporaryFolder folder;
  LinuxFiles files;
  const std::string path = folder / "out.bmp";
  WriteWholeFile(path, "old picture");
  {
    auto output = files.CreateReplacement(path, 6);
    output->WriteAt(3, BytesOf("DEF"));
    output->WriteAt(0, BytesOf("ABC"));
    EXPECT_EQ(ReadWholeFile(path), "old picture");
    output->Commit();
  }
  EXPECT_EQ(ReadWholeFile(path), "ABCDEF");
  EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"out.bmp"});
}

// A run killed between naming its file and renaming it over the output leaves
// that name; the next run removes it, but not the one of a run still going,
// which holds a lock on it, nor those of other outputs.
TEST(LinuxFiles, ALinkLeftByAKilledRunIsClearedByTheNextCommit) {
  TemporaryFolder folder;
  LinuxFiles files;
  const std::vector<std::string> kept = {".other.bmp.tessarin-0123456789abcdef",
                                         ".out.bmp.tessarin-by-hand",
                                         ".out.bmp.tessarin-fedcba9876543210"};
  for (const auto& name : kept) WriteWholeFile(folder / name, "not a leftover of out.bmp");
  WriteWholeFile(folder / ".out.bmp.tessarin-0123456789abcdef", "left by a killed run");
  const FileDescriptor running(::open((folder / kept.back()).c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_EQ(::flock(running.Get(), LOCK_EX), 0);
  auto output = files.CreateReplacement(folder / "out.bmp", 3);
  output->WriteAt(0, BytesOf("new"));
  output->Commit();
  EXPECT_EQ(ReadWholeFile(folder / "out.bmp"), "new");
  auto expected = kept;
  expected.push_back("out.bmp");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(FolderEntries(folder.Path()), expected);
}

// Each child replaces the output again and again with its own content.
TEST(LinuxFiles, ConcurrentReplacementsOfOneOutputAllSucceed) {
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
          auto output = LinuxFiles().CreateReplacement(path, 4096);
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

TEST(LinuxFiles, AnAbandonedReplacementKeepsTheOldFileAndLeavesNothingBehind) {
  TemporaryFolder folder;
  LinuxFiles files;
  const std::string path = folder / "out.bmp";
  WriteWholeFile(path, "old picture");
  {
    auto output = files.CreateReplacement(path, 100);
    output->WriteAt(0, BytesOf("half"));
  }
  EXPECT_EQ(ReadWholeFile(path), "old picture");
  EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"out.bmp"});
}

TEST(LinuxFiles, AReplacementThatCannotBeCreatedOrNamedIsAFailure) {
  TemporaryFolder folder;
  LinuxFiles files;
  EXPECT_THROW(files.CreateReplacement(folder / "no/such/folder/out.bmp", 10), Failure);
  std::filesystem::create_directory(folder / "taken");
  WriteWholeFile(folder / "taken/inside", "x");
  // A folder in the way is found before anything is written.
  EXPECT_THROW(files.CreateReplacement(folder / "taken", 4), Failure);
  EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"taken"});
}

TEST(LinuxFiles, ARelativeOutputPathIsWrittenInTheWorkingFolder) {
  TemporaryFolder folder;
  LinuxFiles files;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.Path());
  auto output = files.CreateReplacement("rel.bmp", 2);
  output->WriteAt(0, BytesOf("ok"));
  output->Commit();
  std::filesystem::current_path(previous);
  EXPECT_EQ(ReadWholeFile(folder / "rel.bmp"), "ok");
}

// Opening a named pipe for reading blocks until a writer comes: an alarm ends
// the test instead of letting it hang.
TEST(LinuxFiles, APipeAtAnInputIsNoFileAndWhatWasFoundIsWhatIsRead) {
  TemporaryFolder folder;
  LinuxFiles files;
  ASSERT_EQ(::mkfifo((folder / "pipe.bmp").c_str(), 0644), 0);
  WriteWholeFile(folder / "inset.bmp", "the picture found");
  ::alarm(20);
  EXPECT_FALSE(files.IsOrdinaryFile(folder / "pipe.bmp"));
  ASSERT_TRUE(files.IsOrdinaryFile(folder / "inset.bmp"));
  // Swapped in after the lookup: the file found is the one read.
  ASSERT_EQ(::rename((folder / "pipe.bmp").c_str(), (folder / "inset.bmp").c_str()), 0);
  const auto found = files.OpenForReading(folder / "inset.bmp");
  std::vector<std::uint8_t> bytes(found->Size());
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + found->ReadAt(0, bytes)),
            "the picture found");
  // Opened again, the pipe itself is refused at once.
  try {
    files.OpenForReading(folder / "inset.bmp");
    ADD_FAILURE() << "a named pipe was opened as a picture";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.what(), folder / "inset.bmp" + ": Is a named pipe, not a regular file");
  }
  ::alarm(0);
}

// Where unnamed files are missing, the temporary has a name for the whole
// write: until Commit only the user may read it (or nobody, as the old file).
TEST(LinuxFiles, ANamedTemporaryIsPrivateUntilCommitted) {
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
    auto output = LinuxFiles(UnnamedTemporaries::Never).CreateReplacement(path, 2);
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
