#include <gtest/gtest.h>

#include <filesystem>

#include "desktops/desktop_test_support.h"
#include "end_to_end/tessarin_process.h"
#include "linux/desktops/desktop_values.h"
#include "linux/desktops/linux_wallpaper.h"

namespace tessarin::testing {
namespace {

using linux_platform::ChooseDesktop;
using linux_platform::DesktopKind;

Environment With(std::map<std::string, std::string> variables) {
  return Environment(std::move(variables));
}

TEST(ChooseDesktop, TakesTheFirstKnownEntryOfTheCurrentDesktopList) {
  EXPECT_EQ(ChooseDesktop(With({{"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}})), DesktopKind::Gnome);
  EXPECT_EQ(ChooseDesktop(With({{"XDG_CURRENT_DESKTOP", "Budgie:GNOME"}})), DesktopKind::Budgie);
  EXPECT_EQ(ChooseDesktop(With({{"XDG_CURRENT_DESKTOP", "GNOME-Flashback:GNOME"}})),
            DesktopKind::GnomeKeys);
  EXPECT_EQ(ChooseDesktop(With({{"XDG_CURRENT_DESKTOP", "X-Cinnamon"}})), DesktopKind::Cinnamon);
  EXPECT_EQ(ChooseDesktop(With({{"XDG_CURRENT_DESKTOP", "MATE"}})), DesktopKind::Mate);
  EXPECT_EQ(ChooseDesktop(With({{"XDG_CURRENT_DESKTOP", "Deepin"}})), DesktopKind::Deepin);
  EXPECT_EQ(ChooseDesktop(With({{"XDG_CURRENT_DESKTOP", "KDE"}})), DesktopKind::Kde);
  EXPECT_EQ(ChooseDesktop(With({{"XDG_CURRENT_DESKTOP", "XFCE"}})), DesktopKind::Xfce);
  EXPECT_EQ(ChooseDesktop(With({{"XDG_CURRENT_DESKTOP", "LXQt"}})), DesktopKind::Lxqt);
  EXPECT_EQ(ChooseDesktop(With({{"XDG_CURRENT_DESKTOP", "LXDE"}})), DesktopKind::Lxde);
  EXPECT_EQ(ChooseDesktop(With({{"XDG_CURRENT_DESKTOP", "sway"}})), DesktopKind::Sway);
  // An unknown first entry is passed over; the first known one wins.
  EXPECT_EQ(ChooseDesktop(With({{"XDG_CURRENT_DESKTOP", "Unknown:XFCE:GNOME"}})),
            DesktopKind::Xfce);
}

TEST(ChooseDesktop, FallsBackToTheSessionNameThenToWhatIsRunning) {
  EXPECT_EQ(ChooseDesktop(With({{"XDG_CURRENT_DESKTOP", "i3"}, {"DESKTOP_SESSION", "plasma"}})),
            DesktopKind::Kde);
  EXPECT_EQ(ChooseDesktop(With({{"DESKTOP_SESSION", "/usr/share/xsessions/xfce.desktop"}})),
            DesktopKind::Xfce);
  EXPECT_EQ(ChooseDesktop(With({{"XDG_CURRENT_DESKTOP", "Hyprland"},
                                {"SWAYSOCK", "/run/sway.sock"},
                                {"DISPLAY", ":0"}})),
            DesktopKind::Sway);
  EXPECT_EQ(ChooseDesktop(With({{"XDG_CURRENT_DESKTOP", "i3"}, {"DISPLAY", ":0"}})),
            DesktopKind::X11Root);
  EXPECT_EQ(ChooseDesktop(With({{"XDG_CURRENT_DESKTOP", "i3"}})), DesktopKind::None);
  EXPECT_EQ(ChooseDesktop(With({})), DesktopKind::None);
}

TEST(DesktopValues, TheRealPathFollowsLinksBeforeItsDotDotSteps) {
  using linux_platform::RealPath;
  ThrowAwaySession session;
  const auto real = std::filesystem::canonical(session.Folder());
  std::filesystem::create_directories(real / "real/sub");
  std::filesystem::create_directory_symlink("real/sub", real / "lnk");
  WriteWholeFile(real / "real/o.bmp", "");
  EXPECT_EQ(RealPath((session.Folder() / "lnk/../o.bmp").string()), (real / "real/o.bmp").string());
  // Of a file not there, the folders that are there are resolved.
  EXPECT_EQ(RealPath((session.Folder() / "lnk/./../new.bmp").string()),
            (real / "real/new.bmp").string());
  EXPECT_EQ(RealPath("/no-such-folder/../walls/./out.bmp"), "/walls/out.bmp");
  EXPECT_EQ(RealPath("out.bmp"), (std::filesystem::current_path() / "out.bmp").string());
}

TEST(DesktopValues, FileUrisArePercentEncoded) {
  using linux_platform::FileUri;
  EXPECT_EQ(FileUri("/walls/My Pictures/\xc3\xa9t\xc3\xa9#1%.bmp"),
            "file:///walls/My%20Pictures/%C3%A9t%C3%A9%231%25.bmp");
  EXPECT_EQ(FileUri("/a-b_c~d.e/x'y\"z\\"), "file:///a-b_c~d.e/x%27y%22z%5C");
  EXPECT_EQ(linux_platform::SameFileOtherSpelling("/walls/out.bmp"), "/walls/./out.bmp");
}

TEST(DesktopValues, GVariantStringsRoundTrip) {
  using linux_platform::GVariantString;
  using linux_platform::ParseGVariantString;
  EXPECT_EQ(GVariantString("/it's a\\b"), "'/it\\'s a\\\\b'");
  EXPECT_EQ(ParseGVariantString(GVariantString("/it's a\\b")), "/it's a\\b");
  // gsettings prints a string holding a quote in double quotes.
  EXPECT_EQ(ParseGVariantString("\"/it's \\\\ x\""), "/it's \\ x");
  EXPECT_EQ(ParseGVariantString("'tab\\there \\u00e9'"), "tab\there \xc3\xa9");
  EXPECT_EQ(ParseGVariantString("'unterminated"), std::nullopt);
  EXPECT_EQ(ParseGVariantString("'a' 'b'"), std::nullopt);
  EXPECT_EQ(ParseGVariantString("'bad \\u12'"), std::nullopt);
  EXPECT_EQ(ParseGVariantString("@ms nothing"), std::nullopt);
}

}  // namespace
}  // namespace tessarin::testing
