// LXQt and LXDE: pcmanfm-qt and pcmanfm take the wallpaper on their command line.
#include <filesystem>
#include <optional>
#include <sstream>
#include <vector>

#include "base/failure.h"
#include "linux/atomic_update.h"
#include "linux/config_folder.h"
#include "linux/desktops/backends.h"
#include "linux/desktops/desktop_values.h"
#include "linux/ini_settings.h"

namespace tessarin::linux_platform {
namespace {

// pcmanfm saves the wallpaper in its own configuration; it reloads only a
// path that differs from the one it shows, hence the other spelling first.
// `last` goes after the file's own path on the final call.
void SetWallpaper(const DesktopTools& desktop, const std::string& tool, const std::string& path,
                  const std::vector<std::string>& last = {}) {
  const auto nudge = desktop.tools.Run(tool, {"--set-wallpaper", SameFileOtherSpelling(path)});
  if (nudge.Unreachable()) return;
  std::vector<std::string> arguments{"--set-wallpaper", path};
  arguments.insert(arguments.end(), last.begin(), last.end());
  desktop.tools.Run(tool, arguments);
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
bool HidesPictures(const std::optional<std::filesystem::path>& settings) {
  std::string content;
  try {
    if (settings) content = ReadStoredFile(*settings);
  } catch (const Failure&) {
    return false;  // what pcmanfm-qt would read is not known: the mode stays
  }
  return IniValue(content, "Desktop", "WallpaperMode").value_or("none") == "none";
}

constexpr const char* kShowingMode = "stretch";

// pcmanfm-qt 1.2 does not save a mode given on its command line: its desktop
// switches, but each save (as of every new wallpaper) writes the mode it
// started with. So a profile of the user's own that still names the hiding
// mode after the change gets the showing one, for the next logon. No profile
// is made: a new one would hide the system's profile from pcmanfm-qt.
void KeepShowingMode(const DesktopTools& desktop) {
  const auto settings = ProfileSettings(desktop.environment);
  const auto own =
      ConfigHome(desktop.environment.Get("XDG_CONFIG_HOME"), desktop.environment.Get("HOME")) /
      kLxqtProfile / "settings.conf";
  std::error_code error;
  if (settings != own || !std::filesystem::is_regular_file(own, error) || !HidesPictures(own))
    return;
  try {
    UpdateFileAtomically(own, [](const std::string& content) {
      return IniWithValue(content, "Desktop", "WallpaperMode", kShowingMode);
    });
  } catch (const Failure& failure) {
    desktop.Report("pcmanfm-qt's wallpaper mode is not kept for the next logon: " +
                   std::string(failure.what()));
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
  if (HidesPictures(ProfileSettings(desktop.environment))) {
    SetWallpaper(desktop, "pcmanfm-qt", path, {"--wallpaper-mode=" + std::string(kShowingMode)});
  } else {
    SetWallpaper(desktop, "pcmanfm-qt", path);
  }
  KeepShowingMode(desktop);
}

}  // namespace tessarin::linux_platform
