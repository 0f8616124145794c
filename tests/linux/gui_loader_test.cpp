#include "linux/gui_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "linux/loaded_module.h"
#include "linux/linux_config_window.h"
#include "linux/linux_messages.h"
#include "linux/stderr_messages.h"
#include "support/captured_stderr.h"
#include "support/temporary_folder.h"
#include "support/window_fakes.h"

namespace tessarin::linux_platform {
namespace {

namespace fs = std::filesystem;
using testing::FakePathRules;
using testing::RecordingSettings;

TEST(ModuleCandidates, BesideTheExecutableThenInItsLibFolder) {
  EXPECT_EQ(modules::ModuleCandidates("/opt/t/bin/tessarin", kGuiModuleFileName),
            (std::vector<fs::path>{"/opt/t/bin/tessarin-gui.so", "/opt/t/lib/tessarin/tessarin-gui.so"}));
}

TEST(LoadedModule, FindsExportedFunctionsOrSaysWhyItDidNotLoad) {
  const modules::LoadedModule libc("libc.so.6");
  std::size_t (*length)(const char*) = nullptr;
  ASSERT_TRUE(libc.Find("strlen", length));
  EXPECT_EQ(length("four"), 4u);
  EXPECT_FALSE(libc.Find("tessarin_no_such_symbol", length));
  const modules::LoadedModule missing("/nonexistent/tessarin-gui.so");
  EXPECT_FALSE(missing.Loaded());
  EXPECT_NE(missing.Error().find("/nonexistent/tessarin-gui.so"), std::string::npos) << missing.Error();
  EXPECT_FALSE(missing.Find("strlen", length));
}

TEST(GuiLoader, HasNoModuleWithoutADisplayOrWhereNoneLoads) {
  const testing::TemporaryFolder temporary;
  const fs::path folder = temporary.Path();
  const fs::path notAModule = folder / "tessarin-gui.so";
  { std::ofstream(notAModule) << "not a shared library"; }

  GuiLoader noDisplay({notAModule}, false);
  EXPECT_EQ(noDisplay.Module(), nullptr);
  GuiLoader broken({folder / "missing.so", notAModule}, true);
  EXPECT_EQ(broken.Module(), nullptr);
  EXPECT_EQ(broken.Module(), nullptr);
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

TEST(LinuxConfigWindow, WithoutADisplayStopsTheRunWithItsOwnStatus) {
  GuiLoader noDisplay({}, false);
  RecordingSettings settings;
  FakePathRules pathRules;
  LinuxConfigWindow window(noDisplay, settings, pathRules);
  testing::CapturedStderr errors;
  EXPECT_EQ(window.RunUntilClosed(), ExitCode::Done);
  try {
    window.Open();
    ADD_FAILURE() << "the run went on";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.Status(), ExitCode::NoDisplay);
    EXPECT_STREQ(failure.what(), "The configuration window needs a display.");
  }
  EXPECT_EQ(errors.Text(), "");  // the failure stop says it, as for every failure
  EXPECT_EQ(window.RunUntilClosed(), ExitCode::Done);
  EXPECT_TRUE(settings.writes.empty());
}

}  // namespace
}  // namespace tessarin::linux_platform
