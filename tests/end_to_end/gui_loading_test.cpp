// The GUI module is loaded only when something is to be shown: the dynamic
// loader's own trace (LD_DEBUG=files) lists every library a run maps.

#include <gtest/gtest.h>

#include "end_to_end/tessarin_process.h"
#include "support/encode_bmp.h"
#include "support/fake_platform.h"

namespace tessarin::testing {
namespace {

// A display is named, but no server answers there.
const std::vector<std::string> kTracedWithUnreachableDisplay = {"LD_DEBUG=files", "DISPLAY=:7919"};

bool Mapped(const RunResult& run, const std::string& library) {
  return run.standardError.find("file=" + library) != std::string::npos ||
         run.standardError.find("/" + library) != std::string::npos;
}

TEST(GuiLoading, AWallpaperRunMapsNoQtLibraryEvenWithADisplayNamed) {
  ThrowAwayUser user;
  user.PassFirstRun();
  WriteWholeFile(user.Home() / "canvas.bmp", EncodeBmp(PatternImage(16, 16, 1)));
  const auto run =
      user.Run({"canvas.bmp,canvas.bmp,0,0,2,2,out.bmp"}, kTracedWithUnreachableDisplay);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(Mapped(run, "libc.so.6")) << "the loader's trace is missing";
  EXPECT_FALSE(Mapped(run, "libQt6Core")) << run.standardError;
  EXPECT_FALSE(Mapped(run, "tessarin-gui.so"));
  EXPECT_TRUE(std::filesystem::exists(user.Home() / "out.bmp"));
}

TEST(GuiLoading, AMessageLoadsTheModuleAndFallsBackToStderrWhenNoServerAnswers) {
  ThrowAwayUser user;
  user.PassFirstRun();
  const auto run = user.Run({"too,few"}, kTracedWithUnreachableDisplay);
  EXPECT_EQ(run.exitCode, static_cast<int>(ExitCode::Usage));
  EXPECT_TRUE(Mapped(run, "tessarin-gui.so"));
  EXPECT_NE(run.standardError.find("\nUsage: Tessarin [CanvasPicture]"), std::string::npos);
}

TEST(GuiLoading, TheWindowWithoutAnAnsweringServerSaysItNeedsADisplay) {
  ThrowAwayUser user;
  user.PassFirstRun();
  const auto run = user.Run({"/C"}, {"DISPLAY=:7919"});
  EXPECT_EQ(run.exitCode, static_cast<int>(ExitCode::NoDisplay));
  EXPECT_EQ(run.standardError, "Tessarin stopped: The configuration window needs a display.\n");
}

}  // namespace
}  // namespace tessarin::testing
