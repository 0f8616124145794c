// The walk to a file one name at a time, links followed only where the
// kernel's fs.protected_symlinks rule would follow them.

#include "linux/path_walk.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "base/failure.h"
#include "linux/other_users.h"
#include "support/temporary_folder.h"

namespace tessarin::linux_platform {
namespace {

using testing::AsNobody;
using testing::kDaemon;
using testing::kNobody;
using testing::PlantLink;
using testing::WriteWholeFile;
namespace fs = std::filesystem;

// Where the walk ended, as the path of the folder's descriptor and the name
// in it ("no folder: NAME" for a missing folder reported); else the failure.
std::string WalkedTo(const std::string& path, MissingFolders missing = MissingFolders::Reported) {
  try {
    const WalkedPath walked = WalkToFile(path, missing);
    if (walked.folder.Get() < 0) return "no folder: " + walked.name;
    return (fs::read_symlink("/proc/self/fd/" + std::to_string(walked.folder.Get())) / walked.name)
        .string();
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.Kind(), FailureKind::OutputRefused);
    return failure.what();
  }
}

class PathWalk : public ::testing::Test {
 protected:
  PathWalk() {
    fs::create_directories(root_.Path() / "a");
    fs::create_directories(root_.Path() / "b" / "inner");
    WriteWholeFile(root_ / "b/file", "x");
  }
  std::string At(const std::string& name) const { return root_ / name; }

  testing::TemporaryFolder root_;
};

// Each link is made relative to its folder; the walked path is from the root.
TEST_F(PathWalk, LinksLeadToTheFileTheyFinallyNameAndDotDotToThePhysicalParent) {
  fs::create_symlink("../b/file", At("a/to_file"));
  fs::create_symlink("../b/missing", At("a/dangling"));
  fs::create_symlink("to_file", At("a/chain"));
  fs::create_symlink(At("b/inner"), At("a/to_inner"));  // absolute
  const std::pair<const char*, const char*> walks[] = {
      {"a/to_file", "b/file"},
      {"a/dangling", "b/missing"},
      {"a/chain", "b/file"},
      {"a/../b/./file", "b/file"},
      {"a/to_inner/../file", "b/file"},  // the link's parent,
                                         // not a/
      {"a/to_inner/new", "b/inner/new"},
  };
  for (const auto& [walked, reached] : walks) {
    EXPECT_EQ(WalkedTo(At(walked)), At(reached)) << walked;
  }
}

TEST_F(PathWalk, LoopsAndMoreThanFortyLinksAreRefused) {
  fs::create_symlink("loop2", At("a/loop1"));
  fs::create_symlink("loop1", At("a/loop2"));
  fs::create_symlink("self", At("a/self"));
  for (int hop = 1; hop <= 41; ++hop) {
    fs::create_symlink(hop == 1 ? "../b/file" : "hop" + std::to_string(hop - 1),
                       At("a/hop" + std::to_string(hop)));
  }
  const std::string loop = ": cannot replace: Too many levels of symbolic links";
  EXPECT_EQ(WalkedTo(At("a/loop1")), At("a/loop1") + loop);
  EXPECT_EQ(WalkedTo(At("a/self/x")), At("a/self/x") + loop);
  EXPECT_EQ(WalkedTo(At("a/hop40")), At("b/file"));
  EXPECT_EQ(WalkedTo(At("a/hop41")), At("a/hop41") + loop);
}

TEST_F(PathWalk, MissingFoldersAreReportedOrMadePrivate) {
  EXPECT_EQ(WalkedTo(At("a/x/y/file")), "no folder: x");
  EXPECT_FALSE(fs::exists(At("a/x")));
  EXPECT_EQ(WalkedTo(At("a/x/y/file"), MissingFolders::Made), At("a/x/y/file"));
  for (const char* made : {"a/x", "a/x/y"}) {
    struct stat info {};
    ASSERT_EQ(::stat(At(made).c_str(), &info), 0) << made;
    EXPECT_EQ(info.st_mode & 07777, 0700u) << made;
  }
}

// What the last name is, a folder too, is for the caller to check.
TEST_F(PathWalk, NoFolderOnTheWayOrNoNameAtAllIsRefused) {
  EXPECT_EQ(WalkedTo(At("b/file/x")), At("b/file") + ": Not a directory");
  EXPECT_EQ(WalkedTo(At("b/file/x/y")), At("b/file/x") + ": Not a directory");
  EXPECT_EQ(WalkedTo("/"), "/: Is a directory");
  EXPECT_EQ(WalkedTo(At("b/inner")), At("b/inner"));
}

struct SharedFolderLink {
  const char* situation;
  unsigned folderMode;  // of the root's folder holding the link
  uid_t owner;          // of the link
  bool toFolder;        // the link names the user's folder, not the file in it
  bool followed;
};

void PrintTo(const SharedFolderLink& link, std::ostream* out) { *out << link.situation; }

class PathWalkThroughASharedFolder : public ::testing::TestWithParam<SharedFolderLink> {};

// The walk is the user nobody's, the links lead into nobody's own folder;
// whatever fs.protected_symlinks says, only the kernel's rule holds.
TEST_P(PathWalkThroughASharedFolder, FollowsALinkOnlyWhereTheKernelsRuleWould) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as three users";
  const SharedFolderLink& link = GetParam();
  const testing::TemporaryFolder root;
  ASSERT_EQ(::chmod(root.Path().c_str(), 0755), 0);
  const fs::path shared = root.Path() / "shared";
  const fs::path own = root.Path() / "own";
  fs::create_directory(shared);
  ASSERT_EQ(::chmod(shared.c_str(), link.folderMode), 0);
  fs::create_directory(own);
  ASSERT_EQ(::chown(own.c_str(), kNobody, kNobody), 0);
  PlantLink(shared / "link", link.toFolder ? own : own / "file", link.owner);

  const std::string walked = (shared / (link.toFolder ? "link/file" : "link")).string();
  const std::string text = AsNobody([&] { return WalkedTo(walked); });
  if (link.followed) {
    EXPECT_EQ(text, (own / "file").string());
  } else {
    EXPECT_EQ(text, walked + ": cannot replace: the symbolic link " + (shared / "link").string() +
                        " belongs to another user, in a sticky folder everybody may write");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Links, PathWalkThroughASharedFolder,
    ::testing::Values(
        SharedFolderLink{"another user's link, sticky, everybody writes", 01777, kDaemon, false,
                         false},
        SharedFolderLink{"another user's link to a folder on the way", 01777, kDaemon, true, false},
        SharedFolderLink{"the user's own link", 01777, kNobody, false, true},
        SharedFolderLink{"the folder owner's link", 01777, 0, true, true},
        SharedFolderLink{"another user's link, not sticky", 0777, kDaemon, false, true},
        SharedFolderLink{"another user's link, sticky, only its owner writes", 01755, kDaemon,
                         false, true}));

}  // namespace
}  // namespace tessarin::linux_platform
