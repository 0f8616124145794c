#include "linux/input_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "base/failure.h"
#include "support/temporary_folder.h"

namespace tessarin::linux_platform {
namespace {

using testing::TemporaryFolder;
using testing::WriteWholeFile;

TEST(InputFiles, OnlyOrdinaryFilesArePresentSymbolicLinksFollowed) {
  TemporaryFolder folder;
  InputOpener files;
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

TEST(InputFiles, ListingGivesOrdinaryFilesWithoutDotfilesOrFolders) {
  TemporaryFolder folder;
  WriteWholeFile(folder / "a.jpg", "x");
  WriteWholeFile(folder / ".b.jpg", "x");
  std::filesystem::create_directory(folder / "c.jpg");
  std::filesystem::create_symlink(folder / "a.jpg", folder / "d.jpg");
  std::filesystem::create_symlink(folder / "c.jpg", folder / "e.jpg");
  auto names = ListOrdinaryFiles(folder.Path().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.jpg", "d.jpg"}));
  EXPECT_THROW(ListOrdinaryFiles(folder / "missing"), Failure);
}

TEST(InputFiles, ReadsAtAnyOffsetAndShortAtTheEnd) {
  TemporaryFolder folder;
  InputOpener files;
  WriteWholeFile(folder / "f", "0123456789");
  auto input = files.Open(folder / "f");
  EXPECT_EQ(input->Size(), 10u);
  std::uint8_t buffer[4];
  EXPECT_EQ(input->ReadAt(8, buffer), 2u);
  EXPECT_EQ(buffer[0], '8');
  EXPECT_EQ(input->ReadAt(20, buffer), 0u);
  EXPECT_THROW(files.Open(folder / "missing"), Failure);
}

TEST(InputFiles, SmallAndLargeReadsAnywhereGiveTheFilesBytes) {
  TemporaryFolder folder;
  InputOpener files;
  std::string content(300000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 % 251);
  WriteWholeFile(folder / "f", content);
  auto input = files.Open(folder / "f");
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

// Opening a named pipe for reading blocks until a writer comes: an alarm ends
// the test instead of letting it hang.
TEST(InputFiles, APipeAtAnInputIsNoFileAndWhatWasFoundIsWhatIsRead) {
  TemporaryFolder folder;
  InputOpener files;
  ASSERT_EQ(::mkfifo((folder / "pipe.bmp").c_str(), 0644), 0);
  WriteWholeFile(folder / "inset.bmp", "the picture found");
  ::alarm(20);
  EXPECT_FALSE(files.IsOrdinaryFile(folder / "pipe.bmp"));
  ASSERT_TRUE(files.IsOrdinaryFile(folder / "inset.bmp"));
  // Swapped in after the lookup: the file found is the one read.
  ASSERT_EQ(::rename((folder / "pipe.bmp").c_str(), (folder / "inset.bmp").c_str()), 0);
  const auto found = files.Open(folder / "inset.bmp");
  std::vector<std::uint8_t> bytes(found->Size());
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + found->ReadAt(0, bytes)),
            "the picture found");
  // Opened again, the pipe itself is refused at once.
  try {
    files.Open(folder / "inset.bmp");
    ADD_FAILURE() << "a named pipe was opened as a picture";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.what(), folder / "inset.bmp" + ": Is a named pipe, not a regular file");
  }
  ::alarm(0);
}

}  // namespace
}  // namespace tessarin::linux_platform
