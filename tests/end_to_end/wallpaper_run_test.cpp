// The built program, run as a user would, in a throw-away home without a display.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "end_to_end/tessarin_process.h"
#include "support/encode_bmp.h"
#include "support/fake_platform.h"
#include "support/temporary_folder.h"
#include "support/written_bmp.h"

namespace tessarin::testing {
namespace {

const std::string kNotice =
    "This application requires command line parameters or prior configuration before use.  "
    "Read the included README.TXT for further information\n";

WrittenBmp ReadBmp(const std::filesystem::path& path) {
  const std::string bytes = ReadWholeFile(path);
  return WrittenBmp(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

class WallpaperRun : public ::testing::Test {
 protected:
  WallpaperRun() {
    user.PassFirstRun();
    WriteWholeFile(Home() / "canvas.bmp", EncodeBmp(PatternImage(64, 48, 1)));
    WriteWholeFile(Home() / "inset.bmp", EncodeBmp(PatternImage(30, 20, 2)));
  }
  std::filesystem::path Home() const { return user.Home(); }
  std::string Path(const std::string& name) const { return (Home() / name).string(); }
  std::string Settings() const { return ReadWholeFile(user.ConfigFolder() / "Tessarin.ini"); }

  ThrowAwayUser user;
};

TEST(FirstRunOfTheProgram, ShowsOnlyTheNoticeEvenWithAFullCommandLine) {
  ThrowAwayUser user;
  WriteWholeFile(user.Home() / "canvas.bmp", EncodeBmp(PatternImage(8, 8, 1)));
  const auto run = user.Run({"canvas.bmp,", "canvas.bmp,", "0,", "0,", "1,", "1,", "out.bmp"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.standardError, kNotice);
  EXPECT_FALSE(std::filesystem::exists(user.Home() / "out.bmp"));
  EXPECT_EQ(ReadWholeFile(user.ConfigFolder() / "Tessarin.ini"), "[App]\nFirstRun=1\n");
  // The same command line on the next run makes the wallpaper.
  EXPECT_EQ(user.Run({"canvas.bmp,", "canvas.bmp,", "0,", "0,", "1,", "1,", "out.bmp"}).exitCode,
            0);
  EXPECT_TRUE(std::filesystem::exists(user.Home() / "out.bmp"));
}

TEST_F(WallpaperRun, ACommandLineRunWritesTheComposedBmpAndRecordsTheWallpaper) {
  const auto run = user.Run({"canvas.bmp,", "inset.bmp,", "10,", "20,", "12,", "5,", "out.bmp"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.standardError, "");
  const WrittenBmp out = ReadBmp(Home() / "out.bmp");
  ASSERT_EQ(out.Width(), 64);
  ASSERT_EQ(out.Height(), 48);
  EXPECT_EQ(out.Pixel(10, 20), (Bgr{0, 0, 2}));
  EXPECT_EQ(out.Pixel(21, 24), (Bgr{11, 4, 2}));  // the block is 12 wide and 5 high
  EXPECT_EQ(out.Pixel(22, 24), (Bgr{22, 24, 1}));
  EXPECT_EQ(out.Pixel(21, 25), (Bgr{21, 25, 1}));
  EXPECT_EQ(out.Pixel(9, 20), (Bgr{9, 20, 1}));
  EXPECT_EQ(FolderEntries(Home()),
            (std::vector<std::string>{".config", "canvas.bmp", "inset.bmp", "out.bmp"}));
}

// Each desktop's own settings keep the wallpaper for the next logon: the run
// writes no registry file of its own, and leaves one that is there alone.
TEST_F(WallpaperRun, WritesNoRegistryFile) {
  ASSERT_EQ(user.Run({"canvas.bmp,", "inset.bmp,", "1,", "1,", "1,", "1,", "out.bmp"}).exitCode, 0);
  EXPECT_EQ(FolderEntries(user.ConfigFolder()), std::vector<std::string>{"Tessarin.ini"});
}

TEST_F(WallpaperRun, LeavesAnExistingRegistryFileByteForByte) {
  const std::string old =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\desktop]\r\n"
      "\"Wallpaper\"=\"old.bmp\"\r\n; kept by hand";
  WriteWholeFile(user.ConfigFolder() / "registry.reg", old);
  ASSERT_EQ(user.Run({"canvas.bmp,", "inset.bmp,", "1,", "1,", "1,", "1,", "out.bmp"}).exitCode, 0);
  EXPECT_EQ(ReadWholeFile(user.ConfigFolder() / "registry.reg"), old);
}

TEST_F(WallpaperRun, AnIncompleteCommandLineShowsTheUsage) {
  const auto run = user.Run({"canvas.bmp,", "inset.bmp,", "10,", "20,", "12,", "out.bmp"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.standardError,
            "Command line incomplete:\nUsage: Tessarin [CanvasPicture], [RandomPicture], [X], [Y], "
            "[Height], [Width], [OutputBMP]\n");
  EXPECT_EQ(user.Run({"-c"}).exitCode, 2);
}

TEST_F(WallpaperRun, AMissingPictureIsReportedAndNothingWritten) {
  const auto run = user.Run({"canvas.bmp,", "nope.bmp,", "1,", "1,", "1,", "1,", "out.bmp"});
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_EQ(run.standardError, "[nope.bmp] does not exist... quitting.\n");
  EXPECT_FALSE(std::filesystem::exists(Home() / "out.bmp"));
}

// A named pipe swapped in for a picture would block a run that opened it for
// reading; `timeout` ends such a run (status 124) instead of the test.
TEST_F(WallpaperRun, ANamedPipeForAPictureIsAMissingPicture) {
  ASSERT_EQ(::mkfifo(Path("pipe.bmp").c_str(), 0644), 0);
  const auto run = user.Run({"canvas.bmp,", "pipe.bmp,", "1,", "1,", "1,", "1,", "out.bmp"}, {},
                            {"/usr/bin/timeout", "20"});
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_EQ(run.standardError, "[pipe.bmp] does not exist... quitting.\n");
  EXPECT_FALSE(std::filesystem::exists(Home() / "out.bmp"));
}

// A name may carry what a terminal takes for commands (here: set the window
// title, then red text); on standard error it is shown, not obeyed.
TEST_F(WallpaperRun, ControlCharactersOfANameAreWrittenEscaped) {
  const auto run = user.Run({"canvas.bmp,", "\x1b]0;owned\x07\x1b[31mBild-\xc3\xb6.bmp,", "1,",
                             "1,", "1,", "1,", "out.bmp"});
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_EQ(run.standardError,
            "[\\x1b]0;owned\\x07\\x1b[31mBild-\xc3\xb6.bmp] does not exist... quitting.\n");
}

TEST_F(WallpaperRun, AnUndecodablePictureStopsTheRunAndKeepsTheOldOutput) {
  WriteWholeFile(Home() / "broken.bmp", "BM this is not really a picture");
  WriteWholeFile(Home() / "out.bmp", "the old wallpaper");
  const auto run = user.Run({"canvas.bmp,", "broken.bmp,", "1,", "1,", "1,", "1,", "out.bmp"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.standardError.find("broken.bmp"), std::string::npos) << run.standardError;
  EXPECT_EQ(ReadWholeFile(Home() / "out.bmp"), "the old wallpaper");
  EXPECT_EQ(FolderEntries(Home()), (std::vector<std::string>{".config", "broken.bmp", "canvas.bmp",
                                                             "inset.bmp", "out.bmp"}));
}

TEST_F(WallpaperRun, ANonNumericAreaValueStopsTheRun) {
  const auto run = user.Run({"canvas.bmp,", "inset.bmp,", "ten,", "1,", "1,", "1,", "out.bmp"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.standardError.find("X \" ten\""), std::string::npos) << run.standardError;
  EXPECT_FALSE(std::filesystem::exists(Home() / "out.bmp"));
}

TEST_F(WallpaperRun, AnUnwritableOutputPathStopsTheRunNamingIt) {
  const auto run =
      user.Run({"canvas.bmp,", "inset.bmp,", "1,", "1,", "1,", "1,", "missing/folder/out.bmp"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.standardError.find("missing/folder/out.bmp"), std::string::npos)
      << run.standardError;
}

// A pipe at the output would block a run that opened it; a read-only output
// is kept as it is on Windows.
TEST_F(WallpaperRun, APipeOrAReadOnlyFileAtTheOutputStopsTheRunAndStays) {
  ASSERT_EQ(::mkfifo(Path("pipe.bmp").c_str(), 0644), 0);
  WriteWholeFile(Home() / "kept.bmp", "old");
  ASSERT_EQ(::chmod(Path("kept.bmp").c_str(), 0444), 0);
  for (const auto& [output, reason] :
       {std::pair{"pipe.bmp", "named pipe"}, {"kept.bmp", "Permission denied"}}) {
    const auto run = user.Run({"canvas.bmp,", "inset.bmp,", "1,", "1,", "1,", "1,", output});
    EXPECT_EQ(run.exitCode, 1) << output;
    EXPECT_NE(run.standardError.find(std::string(output) + ": "), std::string::npos)
        << run.standardError;
    EXPECT_NE(run.standardError.find(reason), std::string::npos) << run.standardError;
  }
  EXPECT_TRUE(std::filesystem::is_fifo(Home() / "pipe.bmp"));
  EXPECT_EQ(ReadWholeFile(Home() / "kept.bmp"), "old");
}

// Another user names a link in a shared folder like the user's output and
// points it into the user's home; the kernel would not follow it there, nor
// does the run, whatever fs.protected_symlinks says.
TEST_F(WallpaperRun, AnotherUsersLinkInASharedFolderDoesNotRedirectTheOutput) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as two users";
  constexpr uid_t kNobody = 65534;
  constexpr uid_t kDaemon = 1;
  const TemporaryFolder shared("tessarin-shared");
  ASSERT_EQ(::chmod(shared.Path().c_str(), 01777), 0);
  WriteWholeFile(Home() / ".profile", "the user's own");
  const auto hand = [&](const std::filesystem::path& path, uid_t owner) {
    ASSERT_EQ(::lchown(path.c_str(), owner, owner), 0) << path;
  };
  hand(Home(), kNobody);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(Home()))
    hand(entry.path(), kNobody);
  const std::string output = shared / "out.bmp";
  std::filesystem::create_symlink(Home() / ".profile", output);
  const std::vector<std::string> asNobody = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                             "--clear-groups"};
  const std::vector<std::string> arguments = {"canvas.bmp,", "inset.bmp,", "1,",  "1,",
                                              "1,",          "1,",         output};

  hand(output, kDaemon);
  const auto refused = user.Run(arguments, {}, asNobody);
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.standardError.find(output + ": cannot replace: the symbolic link " + output +
                                       " belongs to another user"),
            std::string::npos)
      << refused.standardError;
  EXPECT_EQ(ReadWholeFile(Home() / ".profile"), "the user's own");
  EXPECT_EQ(FolderEntries(shared.Path()), std::vector<std::string>{"out.bmp"});

  hand(output, kNobody);  // the user's own link is followed
  EXPECT_EQ(user.Run(arguments, {}, asNobody).exitCode, 0);
  EXPECT_EQ(ReadBmp(Home() / ".profile").Width(), 64);
}

TEST_F(WallpaperRun, TheOutputMayReplaceTheCanvas) {
  EXPECT_EQ(user.Run({"canvas.bmp,", "inset.bmp,", "0,", "0,", "2,", "2,", "canvas.bmp"}).exitCode,
            0);
  EXPECT_EQ(ReadBmp(Home() / "canvas.bmp").Pixel(1, 1), (Bgr{1, 1, 2}));
  EXPECT_EQ(ReadBmp(Home() / "canvas.bmp").Pixel(2, 2), (Bgr{2, 2, 1}));
}

TEST_F(WallpaperRun, TheSwitchSaysTheWindowNeedsADisplay) {
  const auto run = user.Run({"/C"});
  EXPECT_EQ(run.exitCode, 5);
  EXPECT_EQ(run.standardError, "Tessarin stopped: The configuration window needs a display.\n");
}

class SavedSettingsRun : public WallpaperRun {
 protected:
  void Configure(const std::string& insetFolder) {
    std::filesystem::create_directories(Home() / "insets");
    WriteWholeFile(user.ConfigFolder() / "Tessarin.ini",
                   "[App]\nFirstRun=1\nOutputFile=" + Path("wall.bmp") +
                       "\nCanvas=" + Path("canvas.bmp") + "\nInsertDir=" + insetFolder +
                       "\nX=3\nY=4\nH=2\nW=6\n");
  }
};

TEST_F(SavedSettingsRun, PicksAMatchingInsetAtRandomAndUsesWAsWidth) {
  Configure(Path("insets") + "/");
  WriteWholeFile(Home() / "insets" / "ONLY.BMP", EncodeBmp(PatternImage(10, 10, 7)));
  WriteWholeFile(Home() / "insets" / "notes.txt", "not a picture");
  WriteWholeFile(Home() / "insets" / "photo.png", "not a picture either");
  for (int run = 0; run < 3; ++run) {
    ASSERT_EQ(user.Run({}).exitCode, 0);
    const WrittenBmp out = ReadBmp(Home() / "wall.bmp");
    EXPECT_EQ(out.Pixel(3, 4), (Bgr{0, 0, 7}));
    EXPECT_EQ(out.Pixel(8, 5), (Bgr{5, 1, 7}));
    EXPECT_EQ(out.Pixel(9, 5), (Bgr{9, 5, 1}));
    EXPECT_EQ(out.Pixel(8, 6), (Bgr{8, 6, 1}));
  }
}

// Without any locale variable, names in any script are bytes the run passes
// through: from the command line, and from the settings and the inset folder.
TEST_F(WallpaperRun, NamesInAnyScriptNeedNoLocale) {
  std::filesystem::create_directory(Home() / "日本");
  std::filesystem::copy_file(Home() / "canvas.bmp", Home() / "日本" / "画布.bmp");
  std::filesystem::create_directory(Home() / "Grün");
  WriteWholeFile(Home() / "Grün" / "Ünterbild.BMP", EncodeBmp(PatternImage(10, 10, 7)));
  const auto run = user.Run(
      {"日本/画布.bmp,", "Grün/Ünterbild.BMP,", "3,", "4,", "6,", "2,", "日本/壁紙 ö.bmp"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.standardError, "");
  EXPECT_EQ(ReadBmp(Home() / "日本" / "壁紙 ö.bmp").Pixel(8, 5), (Bgr{5, 1, 7}));

  WriteWholeFile(user.ConfigFolder() / "Tessarin.ini",
                 "[App]\nFirstRun=1\nOutputFile=" + Path("Grün/../日本/壁紙.bmp") +
                     "\nCanvas=" + Path("日本/画布.bmp") + "\nInsertDir=" + Path("Grün") +
                     "\nX=3\nY=4\nH=2\nW=6\n");
  ASSERT_EQ(user.Run({}).exitCode, 0);
  EXPECT_EQ(ReadBmp(Home() / "日本" / "壁紙.bmp").Pixel(8, 5), (Bgr{5, 1, 7}));
}

TEST_F(SavedSettingsRun, AnIncompleteConfigurationShowsTheNoticeThenNeedsTheWindow) {
  Configure(Path("insets"));
  std::string settings = Settings();
  settings.replace(settings.find("W=6"), 3, "W=");
  WriteWholeFile(user.ConfigFolder() / "Tessarin.ini", settings);
  const auto run = user.Run({});
  EXPECT_EQ(run.exitCode, 5);
  EXPECT_EQ(run.standardError,
            kNotice + "Tessarin stopped: The configuration window needs a display.\n");
  EXPECT_FALSE(std::filesystem::exists(Home() / "wall.bmp"));
}

TEST_F(SavedSettingsRun, AnInsetFolderWithoutPicturesEndsWithoutWriting) {
  Configure(Path("insets"));
  WriteWholeFile(Home() / "insets" / "notes.txt", "x");
  const auto run = user.Run({});
  EXPECT_EQ(run.exitCode, 4);
  EXPECT_NE(run.standardError.find("holds no picture matching"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(Home() / "wall.bmp"));
}

TEST_F(SavedSettingsRun, AMissingInsetFolderStopsTheRun) {
  Configure(Path("nowhere"));
  const auto run = user.Run({});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.standardError.find(Path("nowhere")), std::string::npos) << run.standardError;
  EXPECT_FALSE(std::filesystem::exists(Home() / "wall.bmp"));
}

}  // namespace
}  // namespace tessarin::testing
