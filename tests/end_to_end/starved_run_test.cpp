// A run at logon on a busy machine: held stopped most of the time, it still
// makes its wallpaper, since a decoder is bounded by the processor time it
// spends and not by the clock. Slow (about half a minute): labelled "slow".

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "end_to_end/tessarin_process.h"
#include "support/encode_bmp.h"
#include "support/fake_platform.h"
#include "support/picture_files.h"

namespace tessarin::testing {
namespace {

using std::chrono::milliseconds;

// Runs process group `group` for `on` of every `on` + `off` until its leader
// `pid` ends; its wait status.
int StarveUntilItEnds(int pid, int group, milliseconds on, milliseconds off) {
  for (;;) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) return status;
    ::kill(-group, SIGCONT);
    std::this_thread::sleep_for(on);
    ::kill(-group, SIGSTOP);
    std::this_thread::sleep_for(off);
  }
}

TEST(StarvedRun, MakesItsWallpaperFromAnEightyOneMegapixelJpegCanvas) {
  ThrowAwayUser user;
  user.PassFirstRun();
  WriteWholeFile(user.Home() / "canvas.jpg", TextOf(EncodeJpeg(9000, 9000, [](int x, int y) {
                   return Rgb{std::uint8_t(x), std::uint8_t(y), 90};
                 })));
  WriteWholeFile(user.Home() / "inset.bmp", EncodeBmp(PatternImage(64, 48, 1)));
  // In a session (and process group) of its own, its decoders with it; the
  // shell, which leaves what it says in stderr.txt, becomes the run.
  const int run = user.Start({"canvas.jpg,", "inset.bmp,", "5, 5, 10, 10,", "out.bmp"},
                             {"/bin/sh", "-c", "exec /usr/bin/setsid \"$0\" \"$@\" 2>stderr.txt"});
  const auto start = std::chrono::steady_clock::now();
  const int status = StarveUntilItEnds(run, run, milliseconds(5), milliseconds(95));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  RecordProperty("seconds", std::to_string(seconds));
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << status << ": " << ReadWholeFile(user.Home() / "stderr.txt");
  EXPECT_EQ(std::filesystem::file_size(user.Home() / "out.bmp"), 54 + 9000ull * 9000 * 3);
}

}  // namespace
}  // namespace tessarin::testing
