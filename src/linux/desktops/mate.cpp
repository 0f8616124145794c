// MATE.
#include "linux/desktops/gsettings_keys.h"

namespace tessarin::linux_platform {

// MATE's picture-options has no value that hides the picture; this key does.
void ApplyMate(const DesktopTools& desktop, const std::string& path) {
  ApplyKeysAndShow(desktop, {{"org.mate.background", "picture-filename", false}},
                   {"org.mate.background", "draw-background", "false", "true"}, path,
                   Refresh::WatchesTheFile);
}

}  // namespace tessarin::linux_platform
