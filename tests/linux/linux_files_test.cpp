#include "platform/linux/linux_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "platform/failure.h"
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
    const std::size_t expected = offset >= content.size()
                                     ? 0
                                     : std::min<std::size_t>(piece.size(), content.size() - offset);
    ASSERT_EQ(n, expected) << "at " << offset;
    ASSERT_EQ(std::memcmp(piece.data(), content.data() + std::min<std::size_t>(offset, content.size()), n), 0)
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

TEST(LinuxFiles, ALinkLeftByAKilledRunIsClearedByTheNextCommit) {
  TemporaryFolder folder;
  LinuxFiles files;
  WriteWholeFile(folder / ".out.bmp.tessarin-link", "left by a killed run");
  auto output = files.CreateReplacement(folder / "out.bmp", 3);
  output->WriteAt(0, BytesOf("new"));
  output->Commit();
  EXPECT_EQ(ReadWholeFile(folder / "out.bmp"), "new");
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
  auto output = files.CreateReplacement(folder / "taken", 4);  // a folder is in the way
  output->WriteAt(0, BytesOf("abcd"));
  EXPECT_THROW(output->Commit(), Failure);
  output.reset();
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

}  // namespace
}  // namespace tessarin::linux_platform
