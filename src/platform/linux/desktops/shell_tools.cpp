// Desktops whose own tool takes the wallpaper on its command line.
#include "platform/linux/desktops/backends.h"
#include "platform/linux/desktops/desktop_values.h"
#include "text/ascii_text.h"

namespace tessarin::linux_platform {
// pcmanfm saves the wallpaper in its own configuration; it reloads only a
// path that differs from the one it shows, hence the other spelling first.
void ApplyPcmanfm(const DesktopReach& reach, const std::string& tool, const std::string& path) {
  const auto nudge = reach.tools.Run(tool, {"--set-wallpaper", SameFileOtherSpelling(path)});
  if (nudge.Unreachable()) return;
  reach.tools.Run(tool, {"--set-wallpaper", path});
}

// sway starts a new background client for every bg command, which reads the
// file afresh: one call is enough. It joins swaymsg's arguments into one
// command and splits it again at blanks outside double quotes.
void ApplySway(const DesktopReach& reach, const std::string& path) {
  reach.tools.Run("swaymsg", {"output", "*", "bg", BackslashQuoted(path, '"'), "fill"});
}

}  // namespace tessarin::linux_platform
