// Deepin: its own schema, and GNOME's where Deepin also keeps that one.
#include "linux/desktops/gnome_keys.h"

namespace tessarin::linux_platform {

void ApplyDeepin(const DesktopTools& desktop, const std::string& path) {
  std::vector<GSettingsKey> keys{{"com.deepin.wrap.gnome.desktop.background", "picture-uri", true}};
  keys.insert(keys.end(), std::begin(kGnomeKeys), std::end(kGnomeKeys));
  ApplyKeysAndShow(desktop, keys, kGnomeMode, path);
}

}  // namespace tessarin::linux_platform
