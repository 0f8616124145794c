// The desktops whose shells cannot run here: Plasma against a stand-in for
// its scripting object on a private bus, reached by the real dbus-send; sway
// and pcmanfm through fake tools on PATH that record how they were called.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "desktops/desktop_test_support.h"
#include "linux/desktops/backends.h"
#include "linux/desktops/desktop_values.h"
#include "linux/desktops/linux_wallpaper.h"
#include "support/temporary_folder.h"

namespace tessarin::testing {
namespace {

using linux_platform::desktops::FileUri;
using linux_platform::desktops::LinuxWallpaper;
using linux_platform::desktops::ProcessToolRunner;

class KdeDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Installed("dbus-daemon") || !Installed("dbus-send") || !Installed("gdbus") ||
        !Installed("python3")) {
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
        std::vector<std::string>{"python3", "-m", "dbusmock", "-t", PLASMASHELL_STAND_IN, "-p",
                                 json},
        session_.Variables());
    const auto waited =
        ProcessToolRunner(session_.Variables(), std::chrono::seconds(10))
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
  EXPECT_NE(script.find("var nudge = \"" +
                        FileUri(session_.Folder().string() + "/./plasma wall.bmp") + "\""),
            std::string::npos);
  EXPECT_NE(script.find("var uri = \"" + FileUri(path_) + "\""), std::string::npos);
  EXPECT_LT(script.find("writeConfig(\"Image\", nudge)"),
            script.find("writeConfig(\"Image\", uri)"));
  EXPECT_NE(script.find("desktops().forEach"), std::string::npos);
  EXPECT_NE(script.find("\"org.kde.image\""), std::string::npos);
}

TEST_F(KdeDesktop, AnImageTheShellDidNotTakeIsOneLineOnTheLog) {
  StartShell(", \"kept\": \"file:///old.png\"");
  EXPECT_EQ(ApplyIn(session_, "KDE", path_),
            "Tessarin: the wallpaper may not show: the Plasma desktop's Image reads "
            "file:///old.png instead of " +
                FileUri(path_) + "\n");
}

// Locked widgets make the shell answer with an error: one line says so.
TEST_F(KdeDesktop, AScriptTheShellRefusesIsOneLineOnTheLog) {
  StartShell(", \"locked\": true");
  EXPECT_EQ(ApplyIn(session_, "KDE", path_),
            "Tessarin: the wallpaper may not show: the Plasma shell refused the script that sets "
            "the wallpaper\n");
  EXPECT_EQ(RecordedScripts().size(), 1u);
}

TEST_F(KdeDesktop, NoShellOnTheBusIsPassedOverSilently) {
  EXPECT_EQ(ApplyIn(session_, "KDE", path_), "");
}

TEST(KdeDesktopTools, QdbusCarriesTheScriptWhereDbusSendIsMissing) {
  using Status = linux_platform::desktops::ToolOutcome::Status;
  ScriptedTools tools;
  tools.Answer("dbus-send", {}, Outcome(Status::Missing));
  tools.Answer("qdbus6", {}, Outcome(Status::Missing));
  tools.Answer("qdbus", {}, Outcome(Status::Succeeded, "file:///walls/out.bmp\n"));
  PatternPictures pictures({}, ports::RowOrder::TopDown);
  ReportedLines log;
  LinuxWallpaper(Environment(std::map<std::string, std::string>{{"DESKTOP_SESSION", "plasma"}}),
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
  const std::string quoted =
      "\"'" + session.Folder().string() + "/a'\\ \\\"'quoted'\\\"\\ 'wall.bmp'\"";
  EXPECT_EQ(session.LoggedCalls("swaymsg"),
            (std::vector<std::vector<std::string>>{{"output", "*", "bg", quoted, "fill"}}));
}

// pcmanfm-qt's profile for the LXQt session, in the user's configuration.
std::filesystem::path WriteProfile(ThrowAwaySession& session, const std::string& settings) {
  const auto file = session.Folder() / "home/.config/pcmanfm-qt/lxqt/settings.conf";
  std::filesystem::create_directories(file.parent_path());
  WriteWholeFile(file, settings);
  return file;
}

TEST(ShellToolDesktops, PcmanfmGetsAnotherSpellingFirstThenTheFile) {
  for (const auto& [desktop, tool] :
       {std::pair{"LXQt", "pcmanfm-qt"}, std::pair{"LXDE", "pcmanfm"}}) {
    ThrowAwaySession session;
    WriteProfile(session, "[Desktop]\nWallpaperMode=zoom\n");
    session.MakeFakeTool(tool, session.LogArguments(tool));
    const std::string path = (session.Folder() / "out.bmp").string();
    EXPECT_EQ(
        ApplyIn(session, desktop, "../" + session.Folder().filename().string() + "/out.bmp").size(),
        0u);
    const std::string expectedPath =
        (std::filesystem::current_path().parent_path() / session.Folder().filename() / "out.bmp")
            .string();
    const std::string nudge = linux_platform::desktops::SameFileOtherSpelling(expectedPath);
    EXPECT_EQ(session.LoggedCalls(tool),
              (std::vector<std::vector<std::string>>{{"--set-wallpaper", nudge},
                                                     {"--set-wallpaper", expectedPath}}))
        << desktop;
  }
}

// A desktop too busy to answer within the time limit may still take the cut-off
// call and save its profile after the run's own change: the mode is kept over
// that save.
TEST(ShellToolDesktops, PcmanfmQtKeepsTheModeOverTheSaveOfACallCutOff) {
  ThrowAwaySession session;
  const auto own = WriteProfile(session, "[Desktop]\nWallpaperMode=stretch\n");
  // The other spelling's call, saved by the desktop after the run cut it off;
  // each save writes the mode the desktop started with.
  session.MakeFakeTool("pcmanfm-qt",
                       "case \"$2\" in */./*)\n"
                       "  setsid -f sh -c 'sleep 2.3; printf \"[Desktop]\\nWallpaper=%s"
                       "\\nWallpaperMode=none\\n\" \"$1\" > \"$2.new\";"
                       " mv \"$2.new\" \"$2\"' sh \"$2\" '" +
                           own.string() + "'\n  sleep 10;;\nesac");
  const std::string path = (session.Folder() / "out.bmp").string();
  const std::string nudge = linux_platform::desktops::SameFileOtherSpelling(path);
  EXPECT_EQ(ApplyIn(session, "LXQt", path), "");
  const auto saved = "[Desktop]\nWallpaper=" + nudge + "\nWallpaperMode=";
  for (int tries = 0; tries < 100 && !ReadWholeFile(own).starts_with(saved); ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(ReadWholeFile(own), saved + "stretch\n");
}

// A running desktop saves its profile as it takes each wallpaper: pcmanfm-qt
// 1.2 with the mode it started with, whatever its command line said, and so
// again as it ends; a desktop that keeps the mode given is left unwarned.
struct LxqtSaveCase {
  const char* name;
  const char* savedMode;  // shell text: the mode the fake desktop saves
  bool warned;
};

void PrintTo(const LxqtSaveCase& save, std::ostream* out) { *out << save.name; }

class LxqtDesktopSave : public ::testing::TestWithParam<LxqtSaveCase> {};

TEST_P(LxqtDesktopSave, AModeTheDesktopWillUndoIsSaid) {
  ThrowAwaySession session;
  const auto own = WriteProfile(session, "[Desktop]\nWallpaperMode=none\n");
  session.MakeFakeTool("pcmanfm-qt", std::string("printf '[Desktop]\\nWallpaper=%s\\n"
                                                 "WallpaperMode=%s\\n' \"$2\" ") +
                                         GetParam().savedMode + " > '" + own.string() + "'");
  const std::string said = ApplyIn(session, "LXQt", (session.Folder() / "out.bmp").string());
  EXPECT_EQ(said.find("pcmanfm-qt will hide it again at the next logon") != std::string::npos,
            GetParam().warned)
      << said;
  EXPECT_NE(ReadWholeFile(own).find("WallpaperMode=stretch\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Desktops, LxqtDesktopSave,
                         ::testing::Values(LxqtSaveCase{"KeepsTheModeItStartedWith", "none", true},
                                           LxqtSaveCase{"KeepsTheModeGiven",
                                                        "\"${3#--wallpaper-mode=}\"", false}),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace tessarin::testing

namespace tessarin::testing {
namespace {

// pcmanfm-qt's profile as the fake tool finds it, and what the run should do.
struct LxqtModeCase {
  const char* name;
  std::optional<std::string> ownProfile;     // the user's settings.conf
  std::optional<std::string> systemProfile;  // in XDG_CONFIG_DIRS
  bool switchesMode;
  std::optional<std::string> ownProfileAfter;
};

void PrintTo(const LxqtModeCase& lxqt, std::ostream* out) { *out << lxqt.name; }

class LxqtWallpaperMode : public ::testing::TestWithParam<LxqtModeCase> {};

TEST_P(LxqtWallpaperMode, OnlyAModeThatHidesThePictureIsSwitched) {
  ThrowAwaySession session;
  session.MakeFakeTool("pcmanfm-qt", session.LogArguments("pcmanfm-qt"));
  std::filesystem::path own;
  if (GetParam().ownProfile) own = WriteProfile(session, *GetParam().ownProfile);
  const auto system = session.Folder() / "xdg";
  if (GetParam().systemProfile) {
    std::filesystem::create_directories(system / "pcmanfm-qt/lxqt");
    WriteWholeFile(system / "pcmanfm-qt/lxqt/settings.conf", *GetParam().systemProfile);
  }
  session.Variables().Set("XDG_CONFIG_DIRS",
                          (session.Folder() / "none").string() + ":" + system.string());
  const std::string path = (session.Folder() / "out.bmp").string();

  EXPECT_EQ(ApplyIn(session, "LXQt", path), "");
  const auto calls = session.LoggedCalls("pcmanfm-qt");
  ASSERT_EQ(calls.size(), 2u);
  std::vector<std::string> last{"--set-wallpaper", path};
  if (GetParam().switchesMode) last.push_back("--wallpaper-mode=stretch");
  EXPECT_EQ(calls[1], last);
  if (GetParam().ownProfileAfter) {
    EXPECT_EQ(ReadWholeFile(own), *GetParam().ownProfileAfter);
  } else {  // no profile of the user's own is made
    EXPECT_FALSE(std::filesystem::exists(session.Folder() / "home/.config/pcmanfm-qt"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, LxqtWallpaperMode,
    ::testing::Values(LxqtModeCase{"OwnProfileNone",
                                   "[Desktop]\nBgColor=#000080\nWallpaperMode=none\n", std::nullopt,
                                   true, "[Desktop]\nBgColor=#000080\nWallpaperMode=stretch\n"},
                      LxqtModeCase{"OwnProfileWithoutMode", "[Desktop]\nWallpaper=/old.png\n",
                                   std::nullopt, true,
                                   "[Desktop]\nWallpaper=/old.png\nWallpaperMode=stretch\n"},
                      LxqtModeCase{"OwnProfileFit", "[Desktop]\nWallpaperMode=fit\n", std::nullopt,
                                   false, "[Desktop]\nWallpaperMode=fit\n"},
                      LxqtModeCase{"SystemProfileStretch", std::nullopt,
                                   "[Desktop]\nWallpaperMode=stretch\n", false, std::nullopt},
                      LxqtModeCase{"SystemProfileNone", std::nullopt,
                                   "[Desktop]\nWallpaperMode=none\n", true, std::nullopt},
                      LxqtModeCase{"NoProfile", std::nullopt, std::nullopt, true, std::nullopt}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace tessarin::testing
