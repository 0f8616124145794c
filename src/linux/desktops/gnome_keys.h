#pragma once

#include "linux/desktops/gsettings_keys.h"

namespace tessarin::linux_platform {

// GNOME's wallpaper keys, which Deepin keeps too.
constexpr GSettingsKey kGnomeKeys[] = {
    {"org.gnome.desktop.background", "picture-uri", true},
    {"org.gnome.desktop.background", "picture-uri-dark", true, true},  // GNOME 42 and later
};
constexpr PictureMode kGnomeMode{"org.gnome.desktop.background", "picture-options", "'none'",
                                 "'zoom'"};

}  // namespace tessarin::linux_platform
