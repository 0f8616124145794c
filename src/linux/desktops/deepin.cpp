// Deepin: its own schema, and GNOME's where Deepin also keeps that one.
#include "linux/desktops/gnome_keys.h"

namespace tessarin::linux_platform {

void ApplyDeepin(const DesktopTools& desktop, const std::string& path) {
  std::vector<GSettingsKey> keys{{"com.deepin.wrap.gnome.desktop.background", "picture-uri", true}};
  for (GSettingsKey key : kGnomeKeys) {
    key.optional = true;  // where Deepin keeps GNOME's schema
    keys.push_back(key);
  }
  ApplyKeysAndShow(desktop, keys, kGnomeMode, path, Refresh::OtherSpelling);
}

}  // namespace tessarin::linux_platform
