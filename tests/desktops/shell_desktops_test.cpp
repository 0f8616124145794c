// The desktops whose shells cannot run here: Plasma against a stand-in for
// its scripting object on a private bus, reached by the real dbus-send; sway
// and pcmanfm through fake tools on PATH that record how they were called.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "desktops/desktop_test_support.h"
#include "linux/desktops/backends.h"
#include "linux/desktops/linux_desktop.h"
#include "linux/desktops/desktop_values.h"

namespace tessarin::testing {
namespace {

using linux_platform::FileUri;
using linux_platform::LinuxDesktop;
using linux_platform::ProcessToolRunner;

class KdeDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Installed("dbus-daemon") || !Installed("dbus-send") || !Installed("gdbus") || !Installed("python3")) {
      GTEST_SKIP() << "no D-Bus tools or python3";
    }
    bus_ = std::make_unique<PrivateBus>(session_);
    ASSERT_TRUE(bus_->Started());
    record_ = session_.Folder() / "scripts";
    path_ = (session_.Folder() / "plasma wall.bmp").string();
  }

  // Starts the stand-in shell with these extra template parameters.
  void StartShell(const std::string& parameters) {
    const std::string json = "{\"record\": \"" + record_.string() + "\"" + parameters + "}";
    shell_ = std::make_unique<BackgroundProgram>(
        std::vector<std::string>{"python3", "-m", "dbusmock", "-t", PLASMASHELL_STAND_IN, "-p", json},
        session_.Variables());
    const auto waited = ProcessToolRunner(session_.Variables(), std::chrono::seconds(10))
                            .Run("gdbus", {"wait", "--session", "--timeout", "10", "org.kde.plasmashell"});
    ASSERT_TRUE(waited.Succeeded());
  }

  std::vector<std::string> RecordedScripts() const {
    std::ifstream file(record_);
    std::vector<std::string> scripts;
    for (std::string script; std::getline(file, script, '\0');) scripts.push_back(script);
    return scripts;
  }

  ThrowAwaySession session_;
  std::unique_ptr<PrivateBus> bus_;
  std::unique_ptr<BackgroundProgram> shell_;
  std::filesystem::path record_;
  std::string path_;
};

TEST_F(KdeDesktop, TheShellGetsTheScriptThatSetsEveryDesktopsImage) {
  StartShell("");
  EXPECT_EQ(ApplyIn(session_, "KDE", path_), "");
  const auto scripts = RecordedScripts();
  ASSERT_EQ(scripts.size(), 1u);
  // The other spelling is written before the file's own URI, on every desktop.
  const std::string& script = scripts[0];
  EXPECT_NE(script.find("var nudge = \"" + FileUri(session_.Folder().string() + "/./plasma wall.bmp") + "\""),
            std::string::npos);
  EXPECT_NE(script.find("var uri = \"" + FileUri(path_) + "\""), std::string::npos);
  EXPECT_LT(script.find("writeConfig(\"Image\", nudge)"), script.find("writeConfig(\"Image\", uri)"));
  EXPECT_NE(script.find("desktops().forEach"), std::string::npos);
  EXPECT_NE(script.find("\"org.kde.image\""), std::string::npos);
}

TEST_F(KdeDesktop, AnImageTheShellDidNotTakeIsOneLineOnTheLog) {
  StartShell(", \"kept\": \"file:///old.png\"");
  EXPECT_EQ(ApplyIn(session_, "KDE", path_),
            "Tessarin: the wallpaper may not show: the Plasma desktop's Image reads file:///old.png instead of " +
                FileUri(path_) + "\n");
}

TEST_F(KdeDesktop, LockedWidgetsArePassedOverSilently) {
  StartShell(", \"locked\": true");
  EXPECT_EQ(ApplyIn(session_, "KDE", path_), "");
  EXPECT_EQ(RecordedScripts().size(), 1u);
}

TEST(KdeDesktopTools, QdbusCarriesTheScriptWhereDbusSendIsMissing) {
  using Status = linux_platform::ToolOutcome::Status;
  ScriptedTools tools;
  tools.Answer("dbus-send", {}, Outcome(Status::Missing));
  tools.Answer("qdbus6", {}, Outcome(Status::Missing));
  tools.Answer("qdbus", {}, Outcome(Status::Succeeded, "file:///walls/out.bmp\n"));
  PatternPictures pictures({}, ports::RowOrder::TopDown);
  ReportedLines log;
  LinuxDesktop(Environment(std::map<std::string, std::string>{{"DESKTOP_SESSION", "plasma"}}),
               tools, pictures, log.Sink())
      .ShowAndKeep("/walls/out.bmp");
  ASSERT_EQ(tools.calls.size(), 3u);
  EXPECT_EQ(tools.calls[0][0], "dbus-send");
  EXPECT_EQ(tools.calls[1][0], "qdbus6");
  ASSERT_EQ(tools.calls[2].size(), 5u);
  EXPECT_EQ(std::vector<std::string>(tools.calls[2].begin(), tools.calls[2].begin() + 4),
            (std::vector<std::string>{"qdbus", "org.kde.plasmashell", "/PlasmaShell",
                                      "org.kde.PlasmaShell.evaluateScript"}));
  EXPECT_NE(tools.calls[2][4].find("var uri = \"file:///walls/out.bmp\";"), std::string::npos);
  EXPECT_EQ(log.text, "");
}

TEST(ShellToolDesktops, SwayIsToldToShowTheFileOnEveryOutput) {
  ThrowAwaySession session;
  session.MakeFakeTool("swaymsg", session.LogArguments("swaymsg"));
  const std::string path = (session.Folder() / "a \"quoted\" wall.bmp").string();
  session.Variables().Set("SWAYSOCK", (session.Folder() / "sway.sock").string());
  EXPECT_EQ(ApplyIn(session, "", path), "");
  // Single quotes for sway's wordexp, the blank and the double quote outside them.
  const std::string quoted = "\"'" + session.Folder().string() + "/a'\\ \\\"'quoted'\\\"\\ 'wall.bmp'\"";
  EXPECT_EQ(session.LoggedCalls("swaymsg"),
            (std::vector<std::vector<std::string>>{{"output", "*", "bg", quoted, "fill"}}));
}

TEST(ShellToolDesktops, PcmanfmGetsAnotherSpellingFirstThenTheFile) {
  for (const auto& [desktop, tool] : {std::pair{"LXQt", "pcmanfm-qt"}, std::pair{"LXDE", "pcmanfm"}}) {
    ThrowAwaySession session;
    session.MakeFakeTool(tool, session.LogArguments(tool));
    const std::string path = (session.Folder() / "out.bmp").string();
    EXPECT_EQ(ApplyIn(session, desktop, "../" + session.Folder().filename().string() + "/out.bmp").size(), 0u);
    const std::string expectedPath = (std::filesystem::current_path().parent_path() / session.Folder().filename() /
                                      "out.bmp").string();
    const std::string nudge = linux_platform::SameFileOtherSpelling(expectedPath);
    EXPECT_EQ(session.LoggedCalls(tool), (std::vector<std::vector<std::string>>{{"--set-wallpaper", nudge},
                                                                                {"--set-wallpaper", expectedPath}}))
        << desktop;
  }
}

}  // namespace
}  // namespace tessarin::testing
