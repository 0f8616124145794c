// Cinnamon.
#include "linux/desktops/gsettings_keys.h"

namespace tessarin::linux_platform {

void ApplyCinnamon(const DesktopTools& desktop, const std::string& path) {
  ApplyKeysAndShow(desktop, {{"org.cinnamon.desktop.background", "picture-uri", true}},
                   {"org.cinnamon.desktop.background", "picture-options", "'none'", "'zoom'"}, path,
                   Refresh::WatchesTheFile);
}

}  // namespace tessarin::linux_platform
