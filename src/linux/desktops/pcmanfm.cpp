// LXQt and LXDE: pcmanfm-qt and pcmanfm take the wallpaper on their command line.
#include <chrono>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string_view>
#include <thread>
#include <vector>

#include "base/failure.h"
#include "linux/atomic_update.h"
#include "linux/config_folder.h"
#include "linux/desktops/backends.h"
#include "linux/desktops/desktop_values.h"
#include "linux/ini_settings.h"

namespace tessarin::linux_platform::desktops {
namespace {

// pcmanfm saves the wallpaper in its own configuration; it reloads only a
// path that differs from the one it shows, hence the other spelling first.
// `last` goes after the file's own path on the final call. Returns the path
// of a call cut off at the time limit: the desktop may still take it later.
std::optional<std::string> SetWallpaper(const DesktopTools& desktop, const std::string& tool,
                                        const std::string& path,
                                        const std::vector<std::string>& last = {}) {
  const std::string nudgePath = SameFileOtherSpelling(path);
  const auto nudge = desktop.tools.Run(tool, {"--set-wallpaper", nudgePath});
  if (nudge.Unreachable()) {
    if (nudge.status == ToolOutcome::Status::TimedOut) return nudgePath;
    return std::nullopt;
  }
  std::vector<std::string> arguments{"--set-wallpaper", path};
  arguments.insert(arguments.end(), last.begin(), last.end());
  if (desktop.tools.Run(tool, arguments).status == ToolOutcome::Status::TimedOut) return path;
  return std::nullopt;
}

// The profile the LXQt session starts pcmanfm-qt's desktop with.
constexpr const char* kLxqtProfile = "pcmanfm-qt/lxqt";

// The settings file pcmanfm-qt reads for the profile: in the user's own
// profile folder when that exists, else in the first system configuration
// folder (XDG_CONFIG_DIRS) that has one; none when no folder has it.
std::optional<std::filesystem::path> ProfileSettings(const Environment& environment) {
  std::vector<std::filesystem::path> folders{
      ConfigHome(environment.Get("XDG_CONFIG_HOME"), environment.Get("HOME"))};
  std::istringstream systemFolders(
      environment.Has("XDG_CONFIG_DIRS") ? environment.Get("XDG_CONFIG_DIRS") : "/etc/xdg");
  for (std::string folder; std::getline(systemFolders, folder, ':');) {
    if (!folder.empty()) folders.emplace_back(folder);
  }
  for (const auto& folder : folders) {
    std::error_code error;
    if (std::filesystem::is_directory(folder / kLxqtProfile, error)) {
      return folder / kLxqtProfile / "settings.conf";
    }
  }
  return std::nullopt;
}

// The mode the profile names; "none" draws the background colour alone, and
// is what pcmanfm-qt uses where its profile names no mode.
bool NamesHidingMode(std::string_view content) {
  return IniValue(content, "Desktop", "WallpaperMode").value_or("none") == "none";
}

bool HidesPictures(const std::optional<std::filesystem::path>& settings) {
  std::string content;
  try {
    if (settings) content = ReadStoredFile(*settings);
  } catch (const Failure&) {
    return false;  // what pcmanfm-qt would read is not known: the mode stays
  }
  return NamesHidingMode(content);
}

constexpr const char* kShowingMode = "stretch";

// The wallpaper a profile names; none while it cannot be read.
std::optional<std::string> ProfileWallpaper(const std::filesystem::path& settings) {
  try {
    return IniValue(ReadStoredFile(settings), "Desktop", "Wallpaper");
  } catch (const Failure&) {
    return std::nullopt;
  }
}

// pcmanfm-qt saves its profile as it takes each wallpaper, before its client
// returns; a busy desktop may take a call cut off at the time limit later, and
// that save would undo a mode kept before it. So such a call's save is
// awaited, for as long again.
void AwaitSaveOf(const std::filesystem::path& settings, const std::string& wallpaper) {
  const auto deadline = std::chrono::steady_clock::now() + limits::kToolTimeLimit;
  while (ProfileWallpaper(settings) != wallpaper && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// pcmanfm-qt 1.2 does not keep a mode given on its command line: its desktop
// switches, but each save (as of every new wallpaper, and as it ends at the
// logout) writes the mode it started with. So a profile of the user's own that
// still names the hiding mode after the change gets the showing one, which the
// next logon reads when the desktop ended without its save; where the desktop
// saved our wallpaper with the hiding mode, its save at the logout will undo
// that, and the user is told. No profile is made: a new one would hide the
// system's profile from pcmanfm-qt.
void KeepShowingMode(const DesktopTools& desktop, const std::string& path,
                     const std::optional<std::string>& cutOff) {
  const auto settings = ProfileSettings(desktop.environment);
  const auto own =
      ConfigHome(desktop.environment.Get("XDG_CONFIG_HOME"), desktop.environment.Get("HOME")) /
      kLxqtProfile / "settings.conf";
  std::error_code error;
  if (settings != own || !std::filesystem::is_regular_file(own, error)) return;
  if (cutOff) AwaitSaveOf(own, *cutOff);
  std::string saved;
  try {
    saved = ReadStoredFile(own);
  } catch (const Failure&) {
    return;  // what pcmanfm-qt would read is not known: the mode stays
  }
  if (!NamesHidingMode(saved)) return;
  const bool desktopKeepsHidingMode = IniValue(saved, "Desktop", "Wallpaper") == path;
  try {
    UpdateFileAtomically(own, [](const std::string& content) {
      return IniWithValue(content, "Desktop", "WallpaperMode", kShowingMode);
    });
  } catch (const Failure& failure) {
    desktop.Report("pcmanfm-qt's wallpaper mode is not kept for the next logon: " +
                   std::string(failure.what()));
    return;
  }
  if (desktopKeepsHidingMode) {
    desktop.Report(
        "pcmanfm-qt will hide it again at the next logon: its desktop saves the wallpaper mode "
        "it started with (none) as it ends; another mode chosen in its desktop preferences "
        "keeps the wallpaper");
  }
}

}  // namespace

void ApplyLxde(const DesktopTools& desktop, const std::string& path) {
  SetWallpaper(desktop, "pcmanfm", path);  // pcmanfm shows a picture whatever its mode was
}

// Only the mode that hides the picture is changed; any other the user chose
// stays. Stretch rather than zoom: pcmanfm-qt 1.2 lists zoom among the modes
// its command line takes, but its desktop does not switch to it.
void ApplyLxqt(const DesktopTools& desktop, const std::string& path) {
  std::vector<std::string> last;
  if (HidesPictures(ProfileSettings(desktop.environment))) {
    last.push_back("--wallpaper-mode=" + std::string(kShowingMode));
  }
  KeepShowingMode(desktop, path, SetWallpaper(desktop, "pcmanfm-qt", path, last));
}

}  // namespace tessarin::linux_platform::desktops
