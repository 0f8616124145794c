// GNOME, Cinnamon and MATE against the real dconf service on a private bus,
// through the real gsettings tool and the desktops' own schemas.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

#include "desktops/desktop_test_support.h"
#include "end_to_end/tessarin_process.h"
#include "linux/desktops/desktop_values.h"
#include "linux/desktops/linux_wallpaper.h"
#include "support/encode_bmp.h"
#include "support/fake_platform.h"

namespace tessarin::testing {
namespace {

using linux_platform::desktops::FileUri;
using linux_platform::desktops::LinuxWallpaper;
using linux_platform::desktops::ProcessToolRunner;
using Status = linux_platform::desktops::ToolOutcome::Status;

class GSettingsDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Installed("dbus-daemon") || !Installed("gsettings"))
      GTEST_SKIP() << "no dbus-daemon or gsettings";
    bus_ = std::make_unique<PrivateBus>(session_);
    ASSERT_TRUE(bus_->Started());
    session_.Variables().Set("GSETTINGS_BACKEND", "dconf");
  }

  std::string ApplyAs(const std::string& desktop, const std::string& path) {
    return ApplyIn(session_, desktop, path);
  }

  std::string Get(const std::string& schema, const std::string& key) {
    const auto value =
        ProcessToolRunner(session_.Variables()).Run("gsettings", {"get", schema, key});
    EXPECT_TRUE(value.Succeeded()) << schema << " " << key;
    return value.output;
  }

  ThrowAwaySession session_;
  std::unique_ptr<PrivateBus> bus_;
};

TEST_F(GSettingsDesktop, GnomeGetsTheAbsoluteUriInBothThePlainAndTheDarkKey) {
  const std::string relative = "walls/My Out \xc3\xa9.bmp";
  const std::string uri = FileUri((std::filesystem::current_path() / relative).string());
  ASSERT_NE(uri.find("My%20Out%20%C3%A9.bmp"), std::string::npos);

  EXPECT_EQ(ApplyAs("ubuntu:GNOME", relative), "");
  EXPECT_EQ(Get("org.gnome.desktop.background", "picture-uri"), "'" + uri + "'\n");
  EXPECT_EQ(Get("org.gnome.desktop.background", "picture-uri-dark"), "'" + uri + "'\n");
}

// GNOME Shell watches the file itself; the desktops that draw from GNOME's
// keys through GnomeBG are told again.
TEST_F(GSettingsDesktop, GnomeKeysAreChangedAgainWhenTheSamePathIsAppliedTwice) {
  const std::string path = (session_.Folder() / "out.bmp").string();
  const std::string uri = FileUri(path);
  BackgroundProgram monitor({"gsettings", "monitor", "org.gnome.desktop.background", "picture-uri"},
                            session_.Variables());
  // The monitor is listening once it reports a change made after it started.
  // Each probe is a new value: dconf tells nobody of a value set again.
  ProcessToolRunner tools(session_.Variables());
  bool listening = false;
  for (int attempt = 0; attempt < 50 && !listening; ++attempt) {
    tools.Run("gsettings", {"set", "org.gnome.desktop.background", "picture-uri",
                            "'file:///probe-" + std::to_string(attempt) + "'"});
    listening = monitor.WaitForOutput(
        [](const std::string& out) { return out.find("probe") != std::string::npos; },
        std::chrono::milliseconds(200));
  }
  ASSERT_TRUE(listening);

  ApplyAs("GNOME-Flashback", path);
  ASSERT_TRUE(monitor.WaitForOutput(
      [&](const std::string& out) { return out.find(uri) != std::string::npos; }));
  const std::size_t afterFirstRun = monitor.Output().size();
  ApplyAs("GNOME-Flashback", path);
  EXPECT_TRUE(monitor.WaitForOutput([&](const std::string& out) {
    return out.find(uri, afterFirstRun) != std::string::npos;
  })) << monitor.Output();
  EXPECT_EQ(Get("org.gnome.desktop.background", "picture-uri"), "'" + uri + "'\n");
}

TEST_F(GSettingsDesktop, CinnamonGetsTheUri) {
  const std::string path = (session_.Folder() / "cinnamon wall.bmp").string();
  EXPECT_EQ(ApplyAs("X-Cinnamon", path), "");
  EXPECT_EQ(Get("org.cinnamon.desktop.background", "picture-uri"), "'" + FileUri(path) + "'\n");
}

TEST_F(GSettingsDesktop, MateGetsThePathItselfWhateverItHolds) {
  const std::string path = (session_.Folder() / "it's a \\ \xc3\xa9.bmp").string();
  EXPECT_EQ(ApplyAs("MATE", path), "");
  EXPECT_EQ(linux_platform::desktops::ParseGVariantString(
                Get("org.mate.background", "picture-filename")
                    .substr(0, Get("org.mate.background", "picture-filename").size() - 1)),
            path);
}

// A key the administrator locked (a system database of dconf's with a lock)
// refuses the value: one line says so; a key the schema lacks says so too.
TEST_F(GSettingsDesktop, ALockedKeyIsOneLineOnTheLog) {
  if (!Installed("dconf")) GTEST_SKIP() << "no dconf tool to compile a locked database";
  const auto keyfiles = session_.Folder() / "db.d";
  std::filesystem::create_directories(keyfiles / "locks");
  WriteWholeFile(keyfiles / "00-wallpaper",
                 "[org/gnome/desktop/background]\npicture-uri='file:///kept.png'\n");
  WriteWholeFile(keyfiles / "locks/wallpaper", "/org/gnome/desktop/background/picture-uri\n");
  const auto database = session_.Folder() / "site";
  ASSERT_TRUE(ProcessToolRunner(session_.Variables())
                  .Run("dconf", {"compile", database.string(), keyfiles.string()})
                  .Succeeded());
  WriteWholeFile(session_.Folder() / "profile",
                 "user-db:user\nfile-db:" + database.string() + "\n");
  session_.Variables().Set("DCONF_PROFILE", (session_.Folder() / "profile").string());

  EXPECT_EQ(
      ApplyAs("GNOME", (session_.Folder() / "wall.bmp").string()),
      "Tessarin: the wallpaper may not show: org.gnome.desktop.background picture-uri is locked\n");
  EXPECT_EQ(Get("org.gnome.desktop.background", "picture-uri"), "'file:///kept.png'\n");
}

// The one mode under which each desktop shows no picture, and the others.
struct PictureModeCase {
  const char* name;
  const char* desktop;
  const char* schema;
  const char* key;
  const char* hidesPictures;
  const char* showsPicture;
  std::vector<std::string> otherModes;
};

void PrintTo(const PictureModeCase& mode, std::ostream* out) { *out << mode.desktop; }

class GSettingsPictureMode : public GSettingsDesktop,
                             public ::testing::WithParamInterface<PictureModeCase> {
 protected:
  void SetMode(const std::string& value) {
    const auto set = ProcessToolRunner(session_.Variables())
                         .Run("gsettings", {"set", GetParam().schema, GetParam().key, value});
    ASSERT_TRUE(set.Succeeded()) << value;
  }
  std::string Mode() { return Get(GetParam().schema, GetParam().key); }
  std::string Apply() {
    return ApplyAs(GetParam().desktop, (session_.Folder() / "wall.bmp").string());
  }
};

TEST_P(GSettingsPictureMode, AModeThatHidesEveryPictureBecomesOneThatShowsIt) {
  SetMode(GetParam().hidesPictures);
  EXPECT_EQ(Apply(), "");
  EXPECT_EQ(Mode(), std::string(GetParam().showsPicture) + "\n");
}

TEST_P(GSettingsPictureMode, EveryOtherModeStaysAsTheUserChoseIt) {
  for (const auto& mode : GetParam().otherModes) {
    SetMode(mode);
    EXPECT_EQ(Apply(), "");
    EXPECT_EQ(Mode(), mode + "\n");
  }
}

const std::vector<std::string> kShowingStyles = {"'wallpaper'", "'centered'", "'scaled'",
                                                 "'stretched'", "'zoom'",     "'spanned'"};
INSTANTIATE_TEST_SUITE_P(
    Desktops, GSettingsPictureMode,
    ::testing::Values(
        PictureModeCase{"Gnome", "GNOME", "org.gnome.desktop.background", "picture-options",
                        "'none'", "'zoom'", kShowingStyles},
        PictureModeCase{"Cinnamon", "X-Cinnamon", "org.cinnamon.desktop.background",
                        "picture-options", "'none'", "'zoom'", kShowingStyles},
        PictureModeCase{
            "Mate", "MATE", "org.mate.background", "draw-background", "false", "true", {"true"}}),
    [](const auto& test) { return std::string(test.param.name); });

// The built program on GNOME, against the real dconf: the desktop is told the
// file the run wrote, and the run's standard error stays empty.
class ProgramOnGnome : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Installed("dbus-daemon") || !Installed("gsettings"))
      GTEST_SKIP() << "no dbus-daemon or gsettings";
    user_.PassFirstRun();
    WriteWholeFile(user_.Home() / "canvas.bmp", EncodeBmp(PatternImage(16, 16, 1)));
    // dconf keeps its database in the user's configuration folder.
    session_.Variables().Set("HOME", user_.Home().string());
    session_.Variables().Set("XDG_CONFIG_HOME", (user_.Home() / ".config").string());
    bus_ = std::make_unique<PrivateBus>(session_);
    ASSERT_TRUE(bus_->Started());
  }

  void RunTo(const std::string& output) {
    const auto run = user_.Run(
        {"canvas.bmp,", "canvas.bmp,", "0,", "0,", "4,", "4,", output},
        {"XDG_CURRENT_DESKTOP=GNOME",
         "DBUS_SESSION_BUS_ADDRESS=" + session_.Variables().Get("DBUS_SESSION_BUS_ADDRESS"),
         "XDG_RUNTIME_DIR=" + session_.Variables().Get("XDG_RUNTIME_DIR")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.standardError, "");
  }

  std::string PictureUri() {
    return ProcessToolRunner(session_.Variables())
        .Run("gsettings", {"get", "org.gnome.desktop.background", "picture-uri"})
        .output;
  }

  std::filesystem::path RealHome() const { return std::filesystem::canonical(user_.Home()); }

  ThrowAwayUser user_;
  ThrowAwaySession session_;
  std::unique_ptr<PrivateBus> bus_;
};

TEST_F(ProgramOnGnome, TheWallpaperRunSetsTheAbsoluteUriOfItsOutput) {
  RunTo("out.bmp");
  EXPECT_EQ(PictureUri(), "'" + FileUri((RealHome() / "out.bmp").string()) + "'\n");
}

// "lnk/.." leads to the folder above the link's target, not back to the home.
TEST_F(ProgramOnGnome, TheDesktopIsToldTheFileALinkedFolderLedTo) {
  std::filesystem::create_directories(user_.Home() / "real/sub");
  std::filesystem::create_directory_symlink("real/sub", user_.Home() / "lnk");
  RunTo("lnk/../o.bmp");
  ASSERT_TRUE(std::filesystem::is_regular_file(user_.Home() / "real/o.bmp"));
  EXPECT_FALSE(std::filesystem::exists(user_.Home() / "o.bmp"));
  EXPECT_EQ(PictureUri(), "'" + FileUri((RealHome() / "real/o.bmp").string()) + "'\n");
}

// The exact calls, and what happens when the desktop does not keep the value.
class GSettingsCalls : public ::testing::Test {
 protected:
  std::string Apply(const std::string& desktop) {
    PatternPictures pictures({}, ports::RowOrder::TopDown);
    ReportedLines log;
    LinuxWallpaper(Environment({{"XDG_CURRENT_DESKTOP", desktop}}), tools_, pictures, log.Sink())
        .ShowAndKeep("/walls/out.bmp");
    return log.text;
  }
  ScriptedTools tools_;
};

std::vector<std::string> SetUri(const char* key, const char* uri) {
  return {"gsettings", "set", "org.gnome.desktop.background", key, std::string("'") + uri + "'"};
}
std::vector<std::string> GetKey(const char* key) {
  return {"gsettings", "get", "org.gnome.desktop.background", key};
}

// GNOME Shell and GnomeBG watch the file: their keys are only set. The others
// get another spelling of every key first, then the file.
TEST_F(GSettingsCalls, EachDesktopIsToldTheFileInTheWayThatMakesItReload) {
  tools_.Answer("gsettings", {"get"}, Outcome(Status::Succeeded, "'file:///walls/out.bmp'\n"));
  const std::vector<std::vector<std::string>> setAndRead{
      SetUri("picture-uri", "file:///walls/out.bmp"), GetKey("picture-uri"),
      SetUri("picture-uri-dark", "file:///walls/out.bmp"), GetKey("picture-uri-dark"),
      GetKey("picture-options")};
  EXPECT_EQ(Apply("GNOME"), "");
  EXPECT_EQ(tools_.calls, setAndRead);
  tools_.calls.clear();
  Apply("X-Cinnamon");  // GnomeBG watches the file too
  EXPECT_EQ(tools_.calls,
            (std::vector<std::vector<std::string>>{
                {"gsettings", "set", "org.cinnamon.desktop.background", "picture-uri",
                 "'file:///walls/out.bmp'"},
                {"gsettings", "get", "org.cinnamon.desktop.background", "picture-uri"},
                {"gsettings", "get", "org.cinnamon.desktop.background", "picture-options"}}));

  auto nudgedFirst = setAndRead;
  nudgedFirst.insert(nudgedFirst.begin(), {SetUri("picture-uri", "file:///walls/./out.bmp"),
                                           SetUri("picture-uri-dark", "file:///walls/./out.bmp")});
  for (const char* desktop : {"GNOME-Flashback", "Budgie"}) {
    tools_.calls.clear();
    EXPECT_EQ(Apply(desktop), "");
    EXPECT_EQ(tools_.calls, nudgedFirst) << desktop;
  }
}

// Budgie keeps the image of a file until the background that showed it has
// faded out: the file's own value comes well after the other spelling.
TEST_F(GSettingsCalls, BudgieGetsTheFileAfterAPause) {
  using Clock = std::chrono::steady_clock;
  tools_.Answer("gsettings", {"get"}, Outcome(Status::Succeeded, "'file:///walls/out.bmp'\n"));
  const auto started = Clock::now();
  Apply("Budgie:GNOME");
  EXPECT_GE(Clock::now() - started, std::chrono::seconds(2));
}

TEST_F(GSettingsCalls, AValueThatDidNotStickIsOneLineOnTheLog) {
  tools_.Answer("gsettings", {"get"}, Outcome(Status::Succeeded, "'file:///elsewhere.bmp'\n"));
  const std::string log = Apply("GNOME");
  EXPECT_EQ(
      log,
      "Tessarin: the wallpaper may not show: org.gnome.desktop.background picture-uri reads "
      "'file:///elsewhere.bmp' instead of file:///walls/out.bmp\n"
      "Tessarin: the wallpaper may not show: org.gnome.desktop.background picture-uri-dark reads "
      "'file:///elsewhere.bmp' instead of file:///walls/out.bmp\n");
}

// A refused value is one line, telling a key the schema lacks (silent for
// one a schema may lack) from a locked one and from any other refusal.
TEST_F(GSettingsCalls, ARefusedKeyIsOneLineThatSaysWhy) {
  tools_.Answer("gsettings", {"set", "org.gnome.desktop.background", "picture-uri-dark"},
                Outcome(Status::Failed));
  tools_.Answer("gsettings", {"writable", "org.gnome.desktop.background", "picture-uri-dark"},
                Outcome(Status::Failed));
  tools_.Answer("gsettings", {"get", "org.gnome.desktop.background", "picture-options"},
                Outcome(Status::Succeeded, "'none'\n"));
  tools_.Answer("gsettings", {"set", "org.gnome.desktop.background", "picture-options"},
                Outcome(Status::Failed));
  tools_.Answer("gsettings", {"writable", "org.gnome.desktop.background", "picture-options"},
                Outcome(Status::Succeeded, "true\n"));
  tools_.Answer("gsettings", {"get"}, Outcome(Status::Succeeded, "'file:///walls/out.bmp'\n"));
  EXPECT_EQ(Apply("GNOME"),
            "Tessarin: the wallpaper may not show: gsettings could not set "
            "org.gnome.desktop.background picture-options\n");

  tools_.Answer("gsettings", {"set", "org.cinnamon.desktop.background"}, Outcome(Status::Failed));
  tools_.Answer("gsettings", {"writable", "org.cinnamon.desktop.background"},
                Outcome(Status::Failed));
  EXPECT_EQ(Apply("X-Cinnamon"),
            "Tessarin: the wallpaper may not show: org.cinnamon.desktop.background "
            "picture-uri does not exist\n");
}

TEST_F(GSettingsCalls,
       DeepinsMissingSchemaIsSaidAndGnomesKeysStillSetAndAMissingToolEndsTheAttempt) {
  tools_.Answer("gsettings", {"set", "com.deepin.wrap.gnome.desktop.background"},
                Outcome(Status::Failed));
  tools_.Answer("gsettings", {"writable", "com.deepin.wrap.gnome.desktop.background"},
                Outcome(Status::Failed));
  tools_.Answer("gsettings", {"get"}, Outcome(Status::Succeeded, "'file:///walls/out.bmp'\n"));
  EXPECT_EQ(Apply("Deepin"),
            "Tessarin: the wallpaper may not show: com.deepin.wrap.gnome.desktop.background "
            "picture-uri does not exist\n");
  ASSERT_EQ(tools_.calls.size(), 9u);  // and the picture mode looked at
  EXPECT_EQ(tools_.calls[0][2], "com.deepin.wrap.gnome.desktop.background");
  EXPECT_EQ(tools_.calls[2][2], "org.gnome.desktop.background");

  ScriptedTools missing;
  missing.Answer("gsettings", {}, Outcome(Status::Missing));
  PatternPictures pictures({}, ports::RowOrder::TopDown);
  ReportedLines log;
  LinuxWallpaper(Environment(std::map<std::string, std::string>{{"XDG_CURRENT_DESKTOP", "MATE"}}),
                 missing, pictures, log.Sink())
      .ShowAndKeep("x.bmp");
  EXPECT_EQ(missing.calls.size(), 1u);
  EXPECT_EQ(log.text, "");
}

}  // namespace
}  // namespace tessarin::testing
