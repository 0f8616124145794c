#pragma once

#include <string>
#include <variant>
#include <vector>

#include "linux/desktops/backends.h"
#include "linux/desktops/environment.h"
#include "linux/desktops/gsettings_keys.h"

namespace tessarin::linux_platform::desktops {

// A desktop whose wallpaper takes code of its own (backends.h).
using ApplyWallpaper = void (*)(const DesktopTools& desktop, const std::string& path);

// One desktop Tessarin knows: the names its sessions go by, and how its
// wallpaper is set, shown now and kept for the next logon. A desktop is one
// row; only one that needs code of its own also has a file.
struct Desktop {
  std::string title;  // as docs/desktops.md names it
  // As XDG_CURRENT_DESKTOP or DESKTOP_SESSION give them, in lower case.
  std::vector<std::string> names;
  // A variable whose presence says the desktop runs where no name does.
  std::string runsWhereSet = {};
  // Its GSettings keys (gsettings_keys.h), or its own code.
  std::variant<GSettingsWallpaper, ApplyWallpaper> apply;
};

using DesktopTable = std::vector<Desktop>;

// Every desktop Tessarin knows, in the order docs/desktops.md lists them.
const DesktopTable& KnownDesktops();

// The desktop the session runs: the first entry of XDG_CURRENT_DESKTOP that
// names a row, else DESKTOP_SESSION, else the first row whose variable is set
// (a sway socket, then a plain X display); none when nothing says.
const Desktop* ChooseDesktop(const Environment& environment,
                             const DesktopTable& desktops = KnownDesktops());

// Sets the wallpaper (its absolute path) as the desktop's row says.
void ApplyDesktop(const Desktop& desktop, const DesktopTools& tools, const std::string& path);

}  // namespace tessarin::linux_platform::desktops
