// GNOME and the desktops on its settings.
#include "linux/desktops/gnome_keys.h"

namespace tessarin::linux_platform {

void ApplyGnome(const DesktopTools& desktop, const std::string& path) {
  ApplyKeysAndShow(desktop, {std::begin(kGnomeKeys), std::end(kGnomeKeys)}, kGnomeMode, path,
                   Refresh::WatchesTheFile);
}

void ApplyGnomeKeys(const DesktopTools& desktop, const std::string& path) {
  ApplyKeysAndShow(desktop, {std::begin(kGnomeKeys), std::end(kGnomeKeys)}, kGnomeMode, path,
                   Refresh::OtherSpelling);
}

void ApplyBudgie(const DesktopTools& desktop, const std::string& path) {
  ApplyKeysAndShow(desktop, {std::begin(kGnomeKeys), std::end(kGnomeKeys)}, kGnomeMode, path,
                   Refresh::OtherSpellingThenPause);
}

}  // namespace tessarin::linux_platform
