// XFCE against a real xfconfd, started by D-Bus activation on a private bus.
#include <gtest/gtest.h>

#include <sstream>

#include "desktops/desktop_test_support.h"
#include "linux/desktops/linux_wallpaper.h"

namespace tessarin::testing {
namespace {

using linux_platform::desktops::LinuxWallpaper;
using linux_platform::desktops::ProcessToolRunner;

const std::vector<std::string> kTwoMonitors = {
    "/backdrop/screen0/monitorVGA-1/workspace0/last-image",
    "/backdrop/screen0/monitorVGA-1/workspace1/last-image",
    "/backdrop/screen0/monitorHDMI-1/workspace0/last-image",
    "/backdrop/screen0/monitorHDMI-1/workspace1/last-image",
    // the same two monitors by their old-style index
    "/backdrop/screen0/monitor0/workspace0/last-image",
    "/backdrop/screen0/monitor1/workspace0/last-image"};
const std::string kStyle = "/backdrop/screen0/monitorVGA-1/workspace0/image-style";

class XfceDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Installed("dbus-daemon") || !Installed("xfconf-query"))
      GTEST_SKIP() << "no dbus-daemon or xfconf-query";
    bus_ = std::make_unique<PrivateBus>(session_);
    ASSERT_TRUE(bus_->Started());
    path_ = (session_.Folder() / "xfce wall.bmp").string();
  }

  void CreateTwoMonitors() {
    for (const auto& property : kTwoMonitors)
      Query({"-p", property, "-n", "-t", "string", "-s", "/old.png"});
    Query({"-p", kStyle, "-n", "-t", "int", "-s", "5"});
  }

  std::string Apply() {
    Environment environment = session_.Variables();
    environment.Set("XDG_CURRENT_DESKTOP", "XFCE");
    ProcessToolRunner tools(environment);
    PatternPictures pictures({}, ports::RowOrder::TopDown);
    ReportedLines log;
    LinuxWallpaper(environment, tools, pictures, log.Sink()).ShowAndKeep(path_);
    return log.text;
  }

  std::string Query(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"-c", "xfce4-desktop"});
    const auto outcome = ProcessToolRunner(session_.Variables()).Run("xfconf-query", arguments);
    EXPECT_TRUE(outcome.Succeeded());
    return outcome.output;
  }

  ThrowAwaySession session_;
  std::unique_ptr<PrivateBus> bus_;
  std::string path_;
};

TEST_F(XfceDesktop, EveryMonitorAndWorkspaceGetsThePathAndTheStyleStays) {
  CreateTwoMonitors();
  EXPECT_EQ(Apply(), "");
  for (const auto& property : kTwoMonitors)
    EXPECT_EQ(Query({"-p", property}), path_ + "\n") << property;
  EXPECT_EQ(Query({"-p", kStyle}), "5\n");
}

TEST_F(XfceDesktop, EveryPropertyIsAnnouncedAgainWhenTheSamePathIsAppliedTwice) {
  CreateTwoMonitors();
  BackgroundProgram monitor({"xfconf-query", "-c", "xfce4-desktop", "-m"}, session_.Variables());
  bool listening = false;
  for (int attempt = 0; attempt < 50 && !listening; ++attempt) {
    Query({"-p", "/probe", "-n", "-t", "int", "-s", std::to_string(attempt)});
    listening = monitor.WaitForOutput(
        [](const std::string& out) { return out.find("/probe") != std::string::npos; },
        std::chrono::milliseconds(200));
  }
  ASSERT_TRUE(listening);
  Apply();
  ASSERT_TRUE(monitor.WaitForOutput([](const std::string& out) {
    return out.find("set: " + kTwoMonitors.back()) != std::string::npos;
  }));
  const std::size_t afterFirstRun = monitor.Output().size();
  Apply();
  ASSERT_TRUE(monitor.WaitForOutput([&](const std::string& out) {
    return out.find("set: " + kTwoMonitors.back(), afterFirstRun) != std::string::npos;
  })) << monitor.Output();
  for (const auto& property : kTwoMonitors) {
    EXPECT_NE(monitor.Output().find("set: " + property, afterFirstRun), std::string::npos)
        << property;
    EXPECT_EQ(Query({"-p", property}), path_ + "\n") << property;
  }
}

// Style 0 is "None": no picture on that monitor and workspace.
TEST_F(XfceDesktop, AStyleThatShowsNoPictureBecomesZoomedAndOtherStylesStay) {
  CreateTwoMonitors();
  const std::string style = "/backdrop/screen0/monitor";
  const std::map<std::string, std::string> before = {{style + "VGA-1/workspace1/image-style", "0"},
                                                     {style + "HDMI-1/workspace0/image-style", "0"},
                                                     {style + "0/workspace0/image-style", "3"}};
  for (const auto& [property, value] : before)
    Query({"-p", property, "-n", "-t", "int", "-s", value});
  EXPECT_EQ(Apply(), "");
  EXPECT_EQ(Query({"-p", style + "VGA-1/workspace1/image-style"}), "5\n");
  EXPECT_EQ(Query({"-p", style + "HDMI-1/workspace0/image-style"}), "5\n");
  EXPECT_EQ(Query({"-p", style + "0/workspace0/image-style"}), "3\n");
  EXPECT_EQ(Query({"-p", kStyle}), "5\n");
}

TEST_F(XfceDesktop, AFreshInstallGetsAPropertyForEachConnectedOutput) {
  session_.MakeFakeTool(
      "xrandr",
      "printf 'Screen 0: minimum 8 x 8\\nVGA-1 connected primary 1024x768+0+0\\n"
      "   1024x768 60.00*+\\nDP-1 disconnected\\nHDMI-1 connected 1920x1080+1024+0\\n'");
  EXPECT_EQ(Apply(), "");
  std::istringstream listing(Query({"-l"}));
  std::vector<std::string> properties;
  for (std::string line; std::getline(listing, line);) properties.push_back(line);
  EXPECT_EQ(properties,
            (std::vector<std::string>{"/backdrop/screen0/monitorHDMI-1/workspace0/last-image",
                                      "/backdrop/screen0/monitorVGA-1/workspace0/last-image"}));
  EXPECT_EQ(Query({"-p", "/backdrop/screen0/monitorVGA-1/workspace0/last-image"}), path_ + "\n");
}

TEST(XfceDesktopTools, AHungXfconfEndsTheAttemptAfterOneCall) {
  using Status = linux_platform::desktops::ToolOutcome::Status;
  ScriptedTools tools;
  tools.Answer("xfconf-query", {"-c", "xfce4-desktop", "-l"},
               Outcome(Status::Succeeded, kTwoMonitors[0] + "\n" + kTwoMonitors[1] + "\n"));
  tools.Answer("xfconf-query", {}, Outcome(Status::TimedOut));
  PatternPictures pictures({}, ports::RowOrder::TopDown);
  ReportedLines log;
  LinuxWallpaper(Environment(std::map<std::string, std::string>{{"XDG_CURRENT_DESKTOP", "XFCE"}}),
                 tools, pictures, log.Sink())
      .ShowAndKeep("/walls/out.bmp");
  EXPECT_EQ(tools.calls.size(), 2u);  // the listing, then one set that hung
  EXPECT_EQ(log.text, "");
}

}  // namespace
}  // namespace tessarin::testing
