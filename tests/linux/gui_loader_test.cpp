#include "platform/linux/gui_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/linux/linux_config_window.h"
#include "platform/linux/linux_messages.h"
#include "support/window_fakes.h"

namespace tessarin::linux_platform {
namespace {

namespace fs = std::filesystem;
using testing::FakeConventions;
using testing::FakeSettings;
using testing::ProgramEnded;
using testing::ThrowingProcess;

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

TEST(LinuxMessages, WritesTheTextToStderrWithCrLfAsOneLineBreak) {
  GuiLoader noDisplay({}, false);
  std::ostringstream errors;
  LinuxMessages messages(noDisplay, errors);
  messages.Show("Command line incomplete:\r\nUsage: x");
  messages.Show("a\rb\n");
  EXPECT_EQ(errors.str(), "Command line incomplete:\nUsage: x\na\rb\n\n");
}

TEST(LinuxConfigWindow, WithoutADisplaySaysSoAndEndsTheRun) {
  GuiLoader noDisplay({}, false);
  FakeSettings settings;
  ThrowingProcess process;
  FakeConventions conventions;
  std::ostringstream errors;
  LinuxConfigWindow window(noDisplay, settings, process, conventions, errors);
  EXPECT_EQ(window.RunUntilClosed(), ExitCode::Done);
  try {
    window.Open();
    ADD_FAILURE() << "the run went on";
  } catch (const ProgramEnded& ended) {
    EXPECT_EQ(ended.status, ExitCode::NoDisplay);
  }
  EXPECT_EQ(errors.str(), "The configuration window needs a display.\n");
  EXPECT_TRUE(settings.writes.empty());
}

}  // namespace
}  // namespace tessarin::linux_platform
