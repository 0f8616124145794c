// LXQt and LXDE: pcmanfm-qt and pcmanfm take the wallpaper on their command line.
#include "linux/desktops/backends.h"
#include "linux/desktops/desktop_values.h"

namespace tessarin::linux_platform {

// pcmanfm saves the wallpaper in its own configuration; it reloads only a
// path that differs from the one it shows, hence the other spelling first.
void ApplyPcmanfm(const DesktopTools& desktop, const std::string& tool, const std::string& path) {
  const auto nudge = desktop.tools.Run(tool, {"--set-wallpaper", SameFileOtherSpelling(path)});
  if (nudge.Unreachable()) return;
  desktop.tools.Run(tool, {"--set-wallpaper", path});
}

}  // namespace tessarin::linux_platform
