#include "linux/temporary_names.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include "support/temporary_folder.h"

namespace tessarin::linux_platform {
namespace {

using testing::FolderEntries;

// A temporary is locked from the moment it is made: another run's clean-up
// leaves it while its holder lives and removes it once the holder is gone.
TEST(TemporaryNames, ATemporaryIsThisFilesAndStaysUntilItsHolderIsGone) {
  const testing::TemporaryFolder folder;
  const FileDescriptor folderFd(::open(folder.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  std::string name;
  FileDescriptor holder = OpenNamedTemporary(folderFd.Get(), "out.bmp", 0600, name);
  ASSERT_GE(holder.Get(), 0);
  EXPECT_TRUE(IsTemporaryName(name, "out.bmp"));
  EXPECT_FALSE(IsTemporaryName(name, "out.bm"));
  EXPECT_NE(TemporaryName("out.bmp"), TemporaryName("out.bmp"));

  RemoveLeftovers(folderFd.Get(), "out.bmp");
  EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{name});
  holder = FileDescriptor();
  RemoveLeftovers(folderFd.Get(), "out.bmp");
  EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace tessarin::linux_platform
