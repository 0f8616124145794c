#include "run/run_modes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <system_error>

#include "run/program.h"
#include "run/report_message.h"
#include "settings/settings.h"
#include "support/fake_platform.h"

namespace tessarin::testing {
namespace {

const std::string kNotice =
    "This application requires command line parameters or prior configuration before use.  "
    "Read the included README.TXT for further information";
const std::string kUsage =
    "Command line incomplete:\r\n"
    "Usage: Tessarin [CanvasPicture], [RandomPicture], [X], [Y], [Height], [Width], [OutputBMP]";

class RunModesTest : public ::testing::Test {
 protected:
  RunModesTest() {
    fake.settings.Set("FirstRun", "1");
    fake.files.ordinaryFiles = {"a.bmp", "b.jpg", "/pics/one.bmp", "/pics/two.jpg"};
    fake.pictures.images["a.bmp"] = PatternImage(64, 48, 1);
    fake.pictures.images["b.jpg"] = PatternImage(40, 30, 2);
    fake.pictures.images["/pics/one.bmp"] = PatternImage(40, 30, 3);
    fake.pictures.images["/pics/two.jpg"] = PatternImage(40, 30, 4);
  }

  // Runs the program as the entry point does; the status the process ends with.
  ExitCode Run(const std::string& commandLine) {
    fake.process.commandLine = commandLine;
    return run::RunProgram(fake.platform);
  }

  void SaveConfiguration() {
    for (const auto& [key, value] :
         std::map<std::string, std::string>{{"OutputFile", "/out/wall.bmp"},
                                            {"Canvas", "a.bmp"},
                                            {"InsertDir", "/pics/"},
                                            {"X", "10"},
                                            {"Y", "20"},
                                            {"H", "5"},
                                            {"W", "7"}}) {
      fake.settings.Set(key, value);
    }
    fake.files.folders["/pics/"] = {"one.bmp", "notes.txt", "photo.png", "two.jpg"};
    fake.files.folders["/pics"] = fake.files.folders["/pics/"];
  }

  FakePlatform fake;
};

TEST_F(RunModesTest, TheFirstRunShowsOnlyTheNoticeAndRecordsIt) {
  fake.settings.values.clear();
  EXPECT_EQ(Run("a.bmp, b.jpg, 10, 20, 100, 50, out.bmp"), ExitCode::Done);
  EXPECT_EQ(fake.messages.shown, std::vector<std::string>{kNotice});
  EXPECT_EQ(fake.settings.Get("FirstRun"), "1");
  EXPECT_TRUE(fake.files.written.empty());

  fake.messages.shown.clear();
  EXPECT_EQ(Run("a.bmp, b.jpg, 10, 20, 100, 50, out.bmp"), ExitCode::Done);
  EXPECT_TRUE(fake.messages.shown.empty());
  EXPECT_EQ(fake.files.written.count("out.bmp"), 1u);
}

TEST_F(RunModesTest, OnTheFirstRunEvenTheSwitchOnlyShowsTheNotice) {
  fake.settings.values.clear();
  EXPECT_EQ(Run("/C"), ExitCode::Done);
  EXPECT_EQ(fake.configWindow.opened, 0);
  EXPECT_EQ(Run("/C"), ExitCode::Done);
  EXPECT_EQ(fake.configWindow.opened, 1);
}

TEST_F(RunModesTest, AnyNonEmptyFirstRunMarkerCounts) {
  fake.settings.Set("FirstRun", "0");
  EXPECT_EQ(Run("/c"), ExitCode::Done);
  EXPECT_EQ(fake.configWindow.opened, 1);
  EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(RunModesTest, OnlyTheExactSwitchesOpenTheWindow) {
  EXPECT_EQ(Run("/C"), ExitCode::Done);
  EXPECT_EQ(Run("/c"), ExitCode::Done);
  EXPECT_EQ(fake.configWindow.opened, 2);
  for (const char* other : {"-c", "/config", " /C", "/C ", "/C,"}) {
    fake.messages.shown.clear();
    EXPECT_EQ(Run(other), ExitCode::Usage) << other;
    EXPECT_EQ(fake.messages.shown, std::vector<std::string>{kUsage}) << other;
  }
  EXPECT_EQ(fake.configWindow.opened, 2);
}

TEST_F(RunModesTest, FewerThanSevenFieldsShowTheUsageAndWriteNothing) {
  EXPECT_EQ(Run("a.bmp, b.jpg, 10, 20, 100, out.bmp"), ExitCode::Usage);
  EXPECT_EQ(fake.messages.shown, std::vector<std::string>{kUsage});
  EXPECT_TRUE(fake.pictures.opened.empty());
  EXPECT_TRUE(fake.files.written.empty());
}

TEST_F(RunModesTest, TheFifthFieldIsTheWidthAndTheSixthTheHeight) {
  EXPECT_EQ(Run("a.bmp, b.jpg, 10, 20, 30, 5, out.bmp"), ExitCode::Done);
  EXPECT_EQ(fake.pictures.blocksRead.back(), std::make_pair(30, 5));
  EXPECT_EQ(fake.wallpaper.installed, std::vector<std::string>{"out.bmp"});
}

TEST_F(RunModesTest, PathsAreTrimmedOfSpacesOnlyAndExtraFieldsIgnored) {
  fake.files.ordinaryFiles.insert("\ta.bmp");
  fake.pictures.images["\ta.bmp"] = PatternImage(8, 8, 9);
  EXPECT_EQ(Run("  \ta.bmp  ,b.jpg,1,1,1,1,  out.bmp  ,extra,,more"), ExitCode::Done);
  EXPECT_EQ(fake.pictures.opened.front(), "\ta.bmp");
  EXPECT_EQ(fake.files.written.count("out.bmp"), 1u);
}

TEST_F(RunModesTest, SixCommasGiveSevenFieldsEvenWhenSomeAreEmpty) {
  // Seven fields: the empty canvas path is reported as missing.
  EXPECT_EQ(Run(",b.jpg,1,1,1,1,out.bmp"), ExitCode::PictureMissing);
  EXPECT_EQ(fake.messages.shown, std::vector<std::string>{"[] does not exist... quitting."});
  // Seven fields with empty area values: a failure stop, not the usage.
  fake.messages.shown.clear();
  EXPECT_EQ(Run("a.bmp,b.jpg,,,,,out.bmp"), ExitCode::FailureStop);
  ASSERT_EQ(fake.messages.shown.size(), 1u);
  EXPECT_EQ(fake.messages.shown[0].rfind("Tessarin stopped: ", 0), 0u);
}

TEST_F(RunModesTest, AWindowThatCannotOpenGoesThroughTheFailureStopWithItsOwnStatus) {
  fake.configWindow.openFails =
      Failure(FailureKind::NoDisplay, "The configuration window needs a display.");
  EXPECT_EQ(Run("/C"), ExitCode::NoDisplay);
  EXPECT_EQ(
      fake.messages.shown,
      std::vector<std::string>{"Tessarin stopped: The configuration window needs a display."});
}

TEST_F(RunModesTest, AMissingPictureEndsTheRunWithItsOwnStatus) {
  EXPECT_EQ(Run("a.bmp, missing.jpg, 1, 1, 1, 1, out.bmp"), ExitCode::PictureMissing);
  EXPECT_EQ(fake.messages.shown,
            std::vector<std::string>{"[missing.jpg] does not exist... quitting."});
}

TEST_F(RunModesTest, TheSavedRunUsesWAsWidthAndHAsHeightWithARandomInset) {
  SaveConfiguration();
  fake.random.value = 0.0;
  EXPECT_EQ(Run(""), ExitCode::Done);
  EXPECT_EQ(fake.pictures.opened, (std::vector<std::string>{"a.bmp", "/pics/one.bmp"}));
  EXPECT_EQ(fake.pictures.blocksRead.back(), std::make_pair(7, 5));
  EXPECT_EQ(fake.files.written.count("/out/wall.bmp"), 1u);
  EXPECT_EQ(fake.wallpaper.installed, std::vector<std::string>{"/out/wall.bmp"});
}

TEST_F(RunModesTest, TheDrawCoversEveryMatchingPictureAndNothingElse) {
  SaveConfiguration();
  fake.random.value = 0.49;  // two matches: index 0
  Run("");
  EXPECT_EQ(fake.pictures.opened.back(), "/pics/one.bmp");
  fake.random.value = 0.5;
  Run("");
  EXPECT_EQ(fake.pictures.opened.back(), "/pics/two.jpg");
  fake.random.value = 0.9999999999999999;
  Run("");
  EXPECT_EQ(fake.pictures.opened.back(), "/pics/two.jpg");
}

TEST_F(RunModesTest, TheInsetPathHasOneSeparatorWithOrWithoutTheFoldersTrailingOne) {
  SaveConfiguration();
  fake.settings.Set("InsertDir", "/pics");
  EXPECT_EQ(Run(""), ExitCode::Done);
  EXPECT_EQ(fake.pictures.opened.back(), "/pics/one.bmp");

  fake.pathRules.separator = '\\';
  fake.settings.Set("InsertDir", "C:\\Pics\\");
  fake.files.folders["C:\\Pics\\"] = {"PHOTO.JPG"};
  fake.files.ordinaryFiles.insert("C:\\Pics\\PHOTO.JPG");
  fake.pictures.images["C:\\Pics\\PHOTO.JPG"] = PatternImage(4, 4, 5);
  EXPECT_EQ(Run(""), ExitCode::Done);
  EXPECT_EQ(fake.pictures.opened.back(), "C:\\Pics\\PHOTO.JPG");
}

TEST_F(RunModesTest, AnIncompleteConfigurationShowsTheNoticeAndOpensTheWindow) {
  SaveConfiguration();
  fake.settings.Set("W", "");
  EXPECT_EQ(Run(""), ExitCode::Done);
  EXPECT_EQ(fake.messages.shown, std::vector<std::string>{kNotice});
  EXPECT_EQ(fake.configWindow.opened, 1);
  EXPECT_TRUE(fake.pictures.opened.empty());

  fake.settings.values = {{"Tessarin/App/FirstRun", "1"}};  // nothing configured
  EXPECT_EQ(Run(""), ExitCode::Done);
  EXPECT_EQ(fake.configWindow.opened, 2);
}

TEST_F(RunModesTest, AnOpenWindowRunsUntilItClosesAndItsCloseEndsTheRun) {
  fake.configWindow.closeStatus = ExitCode::NoInsets;  // whatever the form's unload gave
  EXPECT_EQ(Run("/C"), ExitCode::NoInsets);
  EXPECT_EQ(fake.configWindow.ran, 1);
  // A failure in one of its events is the failure stop.
  fake.configWindow.failureInAnEvent = "Tessarin.ini: read-only";
  EXPECT_EQ(Run("/C"), ExitCode::FailureStop);
  EXPECT_EQ(fake.messages.shown,
            std::vector<std::string>{"Tessarin stopped: Tessarin.ini: read-only"});
  // The jobs that make a wallpaper leave no window to run.
  EXPECT_EQ(Run("a.bmp, b.jpg, 1, 1, 1, 1, out.bmp"), ExitCode::Done);
  EXPECT_EQ(fake.configWindow.ran, 2);
  // Main says so itself: only the jobs that opened it leave it open.
  for (const auto& [commandLine, open] :
       {std::pair{"/C", true}, {"a.bmp, b.jpg, 1, 1, 1, 1, o.bmp", false}}) {
    fake.process.commandLine = commandLine;
    EXPECT_EQ(run::Main(fake.platform).windowOpen, open) << commandLine;
  }
}

TEST_F(RunModesTest, AZeroCoordinateIsAValidSetting) {
  SaveConfiguration();
  fake.settings.Set("X", "0");
  fake.settings.Set("Y", "0");
  EXPECT_EQ(Run(""), ExitCode::Done);
  EXPECT_EQ(fake.configWindow.opened, 0);
}

TEST_F(RunModesTest, AFolderWithoutMatchingPicturesEndsWithoutWriting) {
  SaveConfiguration();
  fake.files.folders["/pics/"] = {"notes.txt", "photo.png"};
  EXPECT_EQ(Run(""), ExitCode::NoInsets);
  ASSERT_EQ(fake.messages.shown.size(), 1u);
  EXPECT_EQ(
      fake.messages.shown[0],
      "[/pics/] holds no picture matching *.jpg; *.jpeg; *.gif; *.bmp; *.ico; *.wmf... quitting.");
  EXPECT_TRUE(fake.files.written.empty());
  EXPECT_TRUE(fake.wallpaper.installed.empty());
}

TEST_F(RunModesTest, AMissingInsetFolderIsAFailureStop) {
  SaveConfiguration();
  fake.settings.Set("InsertDir", "/nowhere/");
  EXPECT_EQ(Run(""), ExitCode::FailureStop);
  ASSERT_EQ(fake.messages.shown.size(), 1u);
  EXPECT_NE(fake.messages.shown[0].find("/nowhere/"), std::string::npos);
  EXPECT_TRUE(fake.files.written.empty());
}

TEST_F(RunModesTest, ARefusedSettingsWriteIsAFailureStop) {
  fake.settings.values.clear();
  fake.settings.refuseWrites = true;
  EXPECT_EQ(Run(""), ExitCode::FailureStop);
  EXPECT_EQ(fake.messages.shown.size(), 2u);  // the notice, then the failure
}

// Whatever a platform throws ends the run with the failure stop, never an abort.
struct Unexpected {
  const char* name;
  std::function<void()> raise;
  const char* message;  // what the failure stop says, in part
};

void PrintTo(const Unexpected& param, std::ostream* out) { *out << param.name; }

class AnyExceptionTest : public RunModesTest, public ::testing::WithParamInterface<Unexpected> {};

TEST_P(AnyExceptionTest, BecomesTheFailureStopWithItsMessage) {
  fake.pictures.whenOpening = GetParam().raise;
  EXPECT_EQ(Run("a.bmp, b.jpg, 1, 1, 1, 1, out.bmp"), ExitCode::FailureStop);
  ASSERT_EQ(fake.messages.shown.size(), 1u);
  EXPECT_THAT(fake.messages.shown[0], ::testing::StartsWith("Tessarin stopped: "));
  EXPECT_THAT(fake.messages.shown[0], ::testing::HasSubstr(GetParam().message));
  EXPECT_TRUE(fake.files.written.empty());
}

INSTANTIATE_TEST_SUITE_P(
    RunModes, AnyExceptionTest,
    ::testing::Values(
        Unexpected{"Failure",
                   [] { throw Failure::InFile(FailureKind::DamagedPicture, "a.bmp", "damaged"); },
                   "a.bmp: damaged"},
        Unexpected{"SystemError",
                   [] {
                     throw std::system_error(
                         std::make_error_code(std::errc::resource_unavailable_try_again),
                         "cannot start a thread");
                   },
                   "cannot start a thread"},
        Unexpected{"FilesystemError",
                   [] {
                     throw std::filesystem::filesystem_error(
                         "cannot look", "conf/Tessarin.ini",
                         std::make_error_code(std::errc::permission_denied));
                   },
                   "conf/Tessarin.ini"},
        Unexpected{"LogicError", [] { throw std::out_of_range("index 9 of 3"); }, "index 9 of 3"},
        Unexpected{"OutOfMemory", [] { throw std::bad_alloc(); }, "out of memory"},
        Unexpected{"NotAStdException", [] { throw 42; }, "unexpected error"}),
    [](const ::testing::TestParamInfo<Unexpected>& test) { return test.param.name; });

}  // namespace
}  // namespace tessarin::testing
