// A run killed outright at any moment leaves the old picture or the new one.
// A run killed in the instant between naming its file and renaming it over the
// output leaves that name (".out.bmp.tessarin-" and a random suffix) behind;
// the next run to the same output clears it.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "end_to_end/tessarin_process.h"
#include "support/encode_bmp.h"
#include "support/fake_platform.h"
#include "support/temporary_folder.h"

namespace tessarin::testing {
namespace {

TEST(KilledRun, LeavesTheOldOrTheNewPictureAndNothingThatPilesUp) {
  ThrowAwayUser user;
  user.PassFirstRun();
  const auto folder = user.Home() / "walls";
  std::filesystem::create_directory(folder);
  // Big enough that a run takes a while to write.
  WriteWholeFile(user.Home() / "canvas.bmp", EncodeBmp(PatternImage(2400, 1600, 1)));
  WriteWholeFile(user.Home() / "inset.bmp", EncodeBmp(PatternImage(64, 64, 2)));
  const std::string oldPicture = "the old wallpaper";
  const std::vector<std::string> arguments = {"canvas.bmp,", "inset.bmp,", "5,",           "5,",
                                              "50,",         "50,",        "walls/out.bmp"};
  ASSERT_EQ(user.Run(arguments).exitCode, 0);
  const std::string newPicture = ReadWholeFile(folder / "out.bmp");

  std::mt19937 random(12345);
  int killedWhileRunning = 0;
  for (int attempt = 0; attempt < 25; ++attempt) {
    WriteWholeFile(folder / "out.bmp", oldPicture);
    const int pid = user.Start(arguments);
    ::usleep(static_cast<useconds_t>(random() % 40000));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) ++killedWhileRunning;

    const std::string left = ReadWholeFile(folder / "out.bmp");
    EXPECT_TRUE(left == oldPicture || left == newPicture) << "attempt " << attempt;
    auto names = FolderEntries(folder);
    std::erase_if(names,
                  [](const std::string& name) { return name.starts_with(".out.bmp.tessarin-"); });
    EXPECT_EQ(names, std::vector<std::string>{"out.bmp"}) << "attempt " << attempt;
  }
  ASSERT_EQ(user.Run(arguments).exitCode, 0);
  EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"out.bmp"});
  // The check means something only if some runs were cut short.
  EXPECT_GT(killedWhileRunning, 0);
  RecordProperty("killedWhileRunning", killedWhileRunning);
}

}  // namespace
}  // namespace tessarin::testing
