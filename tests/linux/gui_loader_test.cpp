#include "platform/linux/gui_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/linux/linux_config_window.h"
#include "platform/linux/linux_messages.h"
#include "platform/linux/stderr_messages.h"
#include "support/captured_stderr.h"
#include "support/window_fakes.h"

namespace tessarin::linux_platform {
namespace {

namespace fs = std::filesystem;
using testing::FakeConventions;
using testing::RecordingSettings;

TEST(GuiModuleCandidates, BesideTheExecutableThenInItsLibFolder) {
  EXPECT_EQ(GuiModuleCandidates("/opt/t/bin/tessarin"),
            (std::vector<fs::path>{"/opt/t/bin/tessarin-gui.so", "/opt/t/lib/tessarin/tessarin-gui.so"}));
}

TEST(GuiLoader, HasNoModuleWithoutADisplayOrWhereNoneLoads) {
  const fs::path folder = fs::temp_directory_path() / "tessarin-gui-loader-test";
  fs::create_directories(folder);
  const fs::path notAModule = folder / "tessarin-gui.so";
  { std::ofstream(notAModule) << "not a shared library"; }

  GuiLoader noDisplay({notAModule}, false);
  EXPECT_EQ(noDisplay.Module(), nullptr);
  GuiLoader broken({folder / "missing.so", notAModule}, true);
  EXPECT_EQ(broken.Module(), nullptr);
  EXPECT_EQ(broken.Module(), nullptr);
  fs::remove_all(folder);
}

TEST(LinuxMessages, WithoutADisplayWritesTheTextToStderrOnly) {
  GuiLoader noDisplay({}, false);
  LinuxMessages messages(noDisplay);
  testing::CapturedStderr errors;
  messages.Show("Command line incomplete:\r\nUsage: x");
  EXPECT_EQ(errors.Text(), "Command line incomplete:\nUsage: x\n");
}

TEST(LinuxMessages, BoxTextHasOneLineFeedForEachLineBreak) {
  EXPECT_EQ(WithLineFeeds("a\r\nb\rc\nd\r\n"), "a\nb\nc\nd\n");
}

TEST(LinuxConfigWindow, WithoutADisplaySaysSoAndEndsTheRun) {
  GuiLoader noDisplay({}, false);
  RecordingSettings settings;
  FakeConventions conventions;
  LinuxConfigWindow window(noDisplay, settings, conventions);
  testing::CapturedStderr errors;
  EXPECT_EQ(window.RunUntilClosed(), ExitCode::Done);
  window.Open();
  EXPECT_EQ(window.RunUntilClosed(), ExitCode::NoDisplay);
  EXPECT_EQ(errors.Text(), "The configuration window needs a display.\n");
  EXPECT_TRUE(settings.writes.empty());
}

}  // namespace
}  // namespace tessarin::linux_platform
