// What a user built around a file the program replaces (the output picture,
// the settings) survives the replacement, or the run stops and
// leaves it alone.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <functional>

#include "base/failure.h"
#include "linux/ini_settings.h"
#include "linux/linux_files.h"
#include "linux/other_users.h"
#include "linux/temporary_config_home.h"

namespace tessarin::linux_platform {
namespace {

using tessarin::testing::AsNobody;
using tessarin::testing::FolderEntries;
using tessarin::testing::kDaemon;
using tessarin::testing::kNobody;
using tessarin::testing::PlantLink;
using tessarin::testing::ReadWholeFile;
using tessarin::testing::TemporaryConfigHome;
using tessarin::testing::WriteWholeFile;
namespace fs = std::filesystem;

constexpr const char* kOldContent = "the old content\n";

// Writes "marker" into the file; gives "" on success, else the failure's text.
struct ReplacedFile {
  const char* name;
  const char* fileName;  // in the program's configuration folder
  std::string (*write)(const fs::path& file);
};

void PrintTo(const ReplacedFile& file, std::ostream* out) { *out << file.name; }

std::string WriteOutput(const fs::path& file) {
  try {
    auto output = LinuxFiles().CreateReplacement(file.string(), 6);
    output->WriteAt(0, {reinterpret_cast<const std::uint8_t*>("marker"), 6});
    output->Commit();
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.Kind(), FailureKind::OutputRefused) << failure.what();
    return failure.what();
  }
  return "";
}

std::string WriteSettings(const fs::path&) {
  try {
    IniSettings().Write("Tessarin", "App", "Marker", "marker");
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.Kind(), FailureKind::SettingsRefused) << failure.what();
    return failure.what();
  }
  return "";
}

struct stat Status(const fs::path& path) {
  struct stat status {};
  EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
  return status;
}

class ReplacedFileTest : public ::testing::TestWithParam<ReplacedFile> {
 protected:
  void SetUp() override { fs::create_directories(File().parent_path()); }
  fs::path File() const { return home_.ProgramFolder() / GetParam().fileName; }
  std::string Write() const { return GetParam().write(File()); }
  void ExpectRefusalNamingTheFile(const std::string& text) const {
    EXPECT_EQ(text.rfind(File().string() + ": ", 0), 0u) << text;
  }

  TemporaryConfigHome home_;
};

TEST_P(ReplacedFileTest, ALinkStaysALinkAndTheFileItFinallyNamesIsReplacedInItsFolder) {
  const fs::path real = home_.Path() / "elsewhere" / "real";
  fs::create_directories(real.parent_path());
  fs::create_directories(home_.Path() / "links");
  fs::create_symlink("../elsewhere/real", home_.Path() / "links" / "middle");
  fs::create_symlink("../links/middle", File());
  for (const char* situation : {"target missing", "target present"}) {
    ASSERT_EQ(Write(), "") << situation;
    EXPECT_EQ(fs::read_symlink(File()), "../links/middle") << situation;
    EXPECT_NE(ReadWholeFile(real).find("marker"), std::string::npos) << situation;
    EXPECT_EQ(FolderEntries(real.parent_path()), std::vector<std::string>{"real"}) << situation;
    WriteWholeFile(real, "");
  }
  EXPECT_EQ(FolderEntries(File().parent_path()), std::vector<std::string>{GetParam().fileName});
}

TEST_P(ReplacedFileTest, TheReplacementKeepsPermissionBitsAndOwner) {
  WriteWholeFile(File(), "");
  ASSERT_EQ(::chmod(File().c_str(), 0640), 0);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(File().c_str(), kNobody, kNobody), 0);
  }
  const struct stat before = Status(File());
  ASSERT_EQ(Write(), "");
  const struct stat after = Status(File());
  EXPECT_NE(after.st_ino, before.st_ino);  // really replaced
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, before.st_gid);
}

// The replacement is a new file: another name of the old one keeps the old bytes.
TEST_P(ReplacedFileTest, AHardLinkIsDetached) {
  WriteWholeFile(File(), "");
  fs::create_hard_link(File(), home_.Path() / "other name");
  ASSERT_EQ(Write(), "");
  EXPECT_EQ(ReadWholeFile(home_.Path() / "other name"), "");
  EXPECT_EQ(Status(File()).st_nlink, 1u);
}

// Each is made at the file's path; false when this user cannot make it.
bool MakeFolder(const fs::path& path) {
  fs::create_directory(path);
  WriteWholeFile(path / "inside", "x");
  return true;
}
bool MakePipe(const fs::path& path) { return ::mkfifo(path.c_str(), 0666) == 0; }
bool MakeDevice(const fs::path& path) {
  return ::mknod(path.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0;  // what /dev/null is
}
bool MakeSocket(const fs::path& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.string().size() >= sizeof address.sun_path) return false;
  std::strcpy(address.sun_path, path.c_str());
  const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
  const bool bound = ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(socket);
  return bound;
}

// Opening a named pipe would block the run: an alarm ends the test instead.
TEST_P(ReplacedFileTest, WhatIsNoOrdinaryFileIsRefusedAndLeftAlone) {
  const std::pair<const char*, bool (*)(const fs::path&)> kinds[] = {{"folder", MakeFolder},
                                                                     {"named pipe", MakePipe},
                                                                     {"device", MakeDevice},
                                                                     {"socket", MakeSocket}};
  for (const auto& [kind, make] : kinds) {
    if (!make(File())) {
      std::cout << "cannot make a " << kind << " here; not tried\n";
      continue;
    }
    const struct stat before = Status(File());
    ::alarm(20);
    const std::string refusal = Write();
    ::alarm(0);
    ExpectRefusalNamingTheFile(refusal);
    const struct stat after = Status(File());
    EXPECT_EQ(after.st_ino, before.st_ino) << kind;
    EXPECT_EQ(after.st_mode, before.st_mode) << kind;
    EXPECT_EQ(FolderEntries(File().parent_path()), std::vector<std::string>{GetParam().fileName})
        << kind;
    fs::remove_all(File());
  }
}

// Root may write any file, so for root only a file nobody may write is read-only.
TEST_P(ReplacedFileTest, AFileTheUserMayNotWriteIsRefusedAndKept) {
  WriteWholeFile(File(), kOldContent);
  ASSERT_EQ(::chmod(File().c_str(), 0444), 0);
  ExpectRefusalNamingTheFile(Write());
  EXPECT_EQ(ReadWholeFile(File()), kOldContent);
  if (::geteuid() != 0) GTEST_SKIP() << "another user's file needs root to set up";

  // Root's file in a folder everybody may write: nobody could rename over it.
  ASSERT_EQ(::chmod(File().c_str(), 0644), 0);
  ASSERT_EQ(::chmod(home_.Path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(File().parent_path().c_str(), 0777), 0);
  ExpectRefusalNamingTheFile(AsNobody([this] { return Write(); }));
  EXPECT_EQ(ReadWholeFile(File()), kOldContent);
  EXPECT_EQ(FolderEntries(File().parent_path()), std::vector<std::string>{GetParam().fileName});
}

struct PlantedLink {
  const char* situation;
  uid_t owner;          // of the link at the file's path
  bool throughAnother;  // it leads on through a link of kDaemon's in the same folder
  const char* target;   // in the user's own folder
  bool followed;
};

// The file's folder is shared as /tmp is (root's, sticky, everybody may
// write), the run is the user nobody's, and the links lead into nobody's own
// folder; whatever fs.protected_symlinks says, only the kernel's rule holds.
TEST_P(ReplacedFileTest,
       ALinkInASharedStickyFolderIsFollowedOnlyWhenTheUserOrTheFolderOwnerMadeIt) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as three users";
  ASSERT_EQ(::chmod(home_.Path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(File().parent_path().c_str(), 01777), 0);
  const fs::path own = home_.Path() / "own";
  const PlantedLink links[] = {
      {"another user's link", kDaemon, false, "file", false},
      {"another user's dangling link", kDaemon, false, "new", false},
      {"the user's link on through another user's", kNobody, true, "file", false},
      {"the user's own link", kNobody, false, "file", true},
      {"the folder owner's link", 0, false, "file", true},
  };
  for (const PlantedLink& link : links) {
    fs::create_directory(own);
    WriteWholeFile(own / "file", kOldContent);
    ASSERT_EQ(::chown(own.c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::chown((own / "file").c_str(), kNobody, kNobody), 0);
    const fs::path hop = File().parent_path() / "hop";
    if (link.throughAnother) PlantLink(hop, own / link.target, kDaemon);
    PlantLink(File(), link.throughAnother ? hop : own / link.target, link.owner);

    const std::string text = AsNobody([this] { return Write(); });
    if (link.followed) {
      EXPECT_EQ(text, "") << link.situation;
      EXPECT_NE(ReadWholeFile(own / link.target).find("marker"), std::string::npos)
          << link.situation;
    } else {
      ExpectRefusalNamingTheFile(text);
      EXPECT_NE(text.find("belongs to another user"), std::string::npos)
          << link.situation << ": " << text;
      EXPECT_EQ(ReadWholeFile(own / "file"), kOldContent) << link.situation;
      EXPECT_EQ(FolderEntries(own), std::vector<std::string>{"file"}) << link.situation;
    }
    fs::remove_all(own);
    fs::remove(File());
    fs::remove(hop);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryReplacedFile, ReplacedFileTest,
                         ::testing::Values(ReplacedFile{"Output", "out.bmp", WriteOutput},
                                           ReplacedFile{"Settings", "Tessarin.ini", WriteSettings}),
                         [](const auto& instance) { return std::string(instance.param.name); });

// In a shared sticky folder another user may create any name first; no name
// they can know in advance may stop a run.
TEST(OutputReplacement, NamesAnotherUserCreatedFirstBlockNothing) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as two users";
  const tessarin::testing::TemporaryFolder root;
  ASSERT_EQ(::chmod(root.Path().c_str(), 0755), 0);
  const fs::path shared = root.Path() / "shared";
  fs::create_directory(shared);
  ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
  for (const char* squatted : {".out.bmp.tessarin-link", ".out.bmp.tessarin-part-0"}) {
    WriteWholeFile(shared / squatted, "another user's");
  }
  EXPECT_EQ(AsNobody([&] { return WriteOutput(shared / "out.bmp"); }), "");
  EXPECT_EQ(ReadWholeFile(shared / "out.bmp"), "marker");
}

}  // namespace
}  // namespace tessarin::linux_platform
