#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "desktops/desktop_test_support.h"
#include "end_to_end/tessarin_process.h"
#include "linux/desktops/desktop_table.h"
#include "linux/desktops/desktop_values.h"
#include "linux/desktops/linux_wallpaper.h"
#include "text/ascii_text.h"

namespace tessarin::testing {
namespace {

using linux_platform::desktops::ChooseDesktop;
using linux_platform::desktops::DesktopTable;
using linux_platform::desktops::KnownDesktops;

constexpr const char* kSway = "sway and wlroots compositors speaking its protocol";

// The title of the row the variables choose, "none" when none.
std::string Chosen(std::map<std::string, std::string> variables,
                   const DesktopTable& desktops = linux_platform::desktops::KnownDesktops()) {
  const auto* desktop = ChooseDesktop(Environment(std::move(variables)), desktops);
  return desktop == nullptr ? "none" : desktop->title;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Every name of every row, in any letter case, in either variable (a session
// file's path too), chooses that row; so does a row's variable alone.
TEST(ChooseDesktop, EveryNameOfEveryRowChoosesThatRow) {
  for (const auto& desktop : linux_platform::desktops::KnownDesktops()) {
    for (const auto& name : desktop.names) {
      EXPECT_EQ(Chosen({{"XDG_CURRENT_DESKTOP", "Unknown:" + Upper(name)}}), desktop.title);
      EXPECT_EQ(Chosen({{"DESKTOP_SESSION", "/usr/share/xsessions/" + name + ".desktop"}}),
                desktop.title);
    }
    if (!desktop.runsWhereSet.empty()) {
      EXPECT_EQ(Chosen({{desktop.runsWhereSet, "set"}}), desktop.title);
    }
  }
}

TEST(ChooseDesktop, TakesTheFirstKnownEntryOfTheCurrentDesktopList) {
  EXPECT_EQ(Chosen({{"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}}), "GNOME Shell");
  EXPECT_EQ(Chosen({{"XDG_CURRENT_DESKTOP", "Budgie:GNOME"}}), "Budgie");
  EXPECT_EQ(Chosen({{"XDG_CURRENT_DESKTOP", "GNOME-Flashback:GNOME"}}),
            "Other desktops on GNOME's keys");
  EXPECT_EQ(Chosen({{"XDG_CURRENT_DESKTOP", "X-Cinnamon"}}), "Cinnamon");
  EXPECT_EQ(Chosen({{"XDG_CURRENT_DESKTOP", "MATE"}}), "MATE");
  EXPECT_EQ(Chosen({{"XDG_CURRENT_DESKTOP", "Deepin"}}), "Deepin");
  EXPECT_EQ(Chosen({{"XDG_CURRENT_DESKTOP", "KDE"}}), "KDE Plasma 5 and 6");
  EXPECT_EQ(Chosen({{"XDG_CURRENT_DESKTOP", "XFCE"}}), "XFCE");
  EXPECT_EQ(Chosen({{"XDG_CURRENT_DESKTOP", "LXQt"}}), "LXQt");
  EXPECT_EQ(Chosen({{"XDG_CURRENT_DESKTOP", "LXDE"}}), "LXDE");
  EXPECT_EQ(Chosen({{"XDG_CURRENT_DESKTOP", "sway"}}), kSway);
  // An unknown first entry is passed over; the first known one wins.
  EXPECT_EQ(Chosen({{"XDG_CURRENT_DESKTOP", "Unknown:XFCE:GNOME"}}), "XFCE");
}

TEST(ChooseDesktop, FallsBackToTheSessionNameThenToWhatIsRunning) {
  EXPECT_EQ(Chosen({{"XDG_CURRENT_DESKTOP", "i3"}, {"DESKTOP_SESSION", "plasma"}}),
            "KDE Plasma 5 and 6");
  EXPECT_EQ(Chosen({{"DESKTOP_SESSION", "/usr/share/xsessions/xfce.desktop"}}), "XFCE");
  EXPECT_EQ(
      Chosen(
          {{"XDG_CURRENT_DESKTOP", "Hyprland"}, {"SWAYSOCK", "/run/sway.sock"}, {"DISPLAY", ":0"}}),
      kSway);
  EXPECT_EQ(Chosen({{"XDG_CURRENT_DESKTOP", "i3"}, {"DISPLAY", ":0"}}), "Any other X11 session");
  EXPECT_EQ(Chosen({{"XDG_CURRENT_DESKTOP", "i3"}}), "none");
  EXPECT_EQ(Chosen({}), "none");
}

// The first cells of the table under "## Which desktop" in docs/desktops.md,
// its heading row left out.
std::vector<std::string> DocumentedDesktops() {
  std::ifstream doc(TESSARIN_DESKTOPS_DOC);
  std::vector<std::string> cells;
  bool inSection = false;
  for (std::string line; std::getline(doc, line);) {
    if (line.starts_with("## ")) {
      inSection = line == "## Which desktop";
    } else if (inSection && line.starts_with("| ")) {
      cells.push_back(line.substr(2, line.find(" |", 2) - 2));
    }
  }
  if (!cells.empty()) cells.erase(cells.begin());
  return cells;
}

// What a cell puts in backquotes, in lower case.
std::set<std::string> Quoted(const std::string& cell) {
  std::set<std::string> quoted;
  for (auto open = cell.find('`'); open != std::string::npos; open = cell.find('`', open + 1)) {
    const auto close = cell.find('`', open + 1);
    if (close == std::string::npos) break;
    quoted.insert(text::AsciiLower(cell.substr(open + 1, close - open - 1)));
    open = close;
  }
  return quoted;
}

// The doc lists the table's rows in its order, each by its title, with every
// name and the variable that choose it and nothing else.
TEST(DesktopTable, TheDocListsEveryRowWithWhatChoosesIt) {
  const auto cells = DocumentedDesktops();
  ASSERT_EQ(cells.size(), linux_platform::desktops::KnownDesktops().size());
  for (std::size_t row = 0; row < cells.size(); ++row) {
    const auto& desktop = linux_platform::desktops::KnownDesktops()[row];
    EXPECT_TRUE(cells[row].starts_with(desktop.title)) << cells[row];
    std::set<std::string> choosers(desktop.names.begin(), desktop.names.end());
    if (!desktop.runsWhereSet.empty()) choosers.insert(text::AsciiLower(desktop.runsWhereSet));
    EXPECT_EQ(Quoted(cells[row]), choosers) << desktop.title;
  }
}

// A desktop added as a row is chosen by its name and applied from its row
// alone: GSettings keys as data, or code of its own.
TEST(DesktopTable, ANewRowIsChosenAndAppliedFromTheRowAlone) {
  using linux_platform::desktops::DesktopTools;
  using linux_platform::desktops::GSettingsWallpaper;
  using Status = linux_platform::desktops::ToolOutcome::Status;
  using Calls = std::vector<std::vector<std::string>>;
  DesktopTable desktops = linux_platform::desktops::KnownDesktops();
  desktops.push_back(
      {.title = "Keys",
       .names = {"keys-desktop"},
       .apply = GSettingsWallpaper{{{"org.example.background", "picture", false}},
                                   {"org.example.background", "mode", "'hidden'", "'shown'"},
                                   linux_platform::desktops::Refresh::WatchesTheFile}});
  desktops.push_back({.title = "Code",
                      .names = {"code-desktop"},
                      .apply = +[](const DesktopTools& desktop, const std::string& path) {
                        desktop.tools.Run("code-desktop-tool", {path});
                      }});
  EXPECT_EQ(Chosen({{"XDG_CURRENT_DESKTOP", "keys-desktop"}}), "none");

  ScriptedTools tools;
  tools.Answer("gsettings", {"get", "org.example.background", "picture"},
               Outcome(Status::Succeeded, "'/walls/out.bmp'\n"));
  tools.Answer("gsettings", {"get", "org.example.background", "mode"},
               Outcome(Status::Succeeded, "'hidden'\n"));
  PatternPictures pictures({}, ports::RowOrder::TopDown);
  ReportedLines log;
  const auto apply = [&](const std::string& name) {
    tools.calls.clear();
    linux_platform::desktops::LinuxWallpaper(Environment({{"XDG_CURRENT_DESKTOP", name}}), tools,
                                             pictures, log.Sink(), desktops)
        .ShowAndKeep("/walls/out.bmp");
    return tools.calls;
  };
  EXPECT_EQ(apply("Keys-Desktop"),
            (Calls{{"gsettings", "set", "org.example.background", "picture", "'/walls/out.bmp'"},
                   {"gsettings", "get", "org.example.background", "picture"},
                   {"gsettings", "get", "org.example.background", "mode"},
                   {"gsettings", "set", "org.example.background", "mode", "'shown'"},
                   {"gsettings", "get", "org.example.background", "mode"}}));
  // The scripted mode still reads as hidden.
  EXPECT_EQ(log.text,
            "Tessarin: the wallpaper may not show: org.example.background mode reads 'hidden' "
            "instead of 'shown'\n");
  EXPECT_EQ(apply("code-desktop"), (Calls{{"code-desktop-tool", "/walls/out.bmp"}}));
}

TEST(DesktopValues, TheRealPathFollowsLinksBeforeItsDotDotSteps) {
  using linux_platform::desktops::RealPath;
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
  using linux_platform::desktops::FileUri;
  EXPECT_EQ(FileUri("/walls/My Pictures/\xc3\xa9t\xc3\xa9#1%.bmp"),
            "file:///walls/My%20Pictures/%C3%A9t%C3%A9%231%25.bmp");
  EXPECT_EQ(FileUri("/a-b_c~d.e/x'y\"z\\"), "file:///a-b_c~d.e/x%27y%22z%5C");
  EXPECT_EQ(linux_platform::desktops::SameFileOtherSpelling("/walls/out.bmp"), "/walls/./out.bmp");
}

TEST(DesktopValues, GVariantStringsRoundTrip) {
  using linux_platform::desktops::GVariantString;
  using linux_platform::desktops::ParseGVariantString;
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
