// The desktops Tessarin knows, one row each.
#include "linux/desktops/desktop_table.h"

#include <sstream>

#include "linux/desktops/x11_root.h"
#include "text/ascii_text.h"

namespace tessarin::linux_platform::desktops {
namespace {

// GNOME's wallpaper keys, which the desktops drawing from them share and
// Deepin keeps too.
constexpr GSettingsKey kGnomeUri{"org.gnome.desktop.background", "picture-uri", true};
constexpr GSettingsKey kGnomeDarkUri{"org.gnome.desktop.background", "picture-uri-dark", true,
                                     true};  // GNOME 42 and later
constexpr PictureMode kGnomeMode{"org.gnome.desktop.background", "picture-options", "'none'",
                                 "'zoom'"};

// A key of a schema the desktop may lack: missing, it is passed over silently.
constexpr GSettingsKey Optional(GSettingsKey key) {
  key.optional = true;
  return key;
}

// The row whose names hold `name` as XDG_CURRENT_DESKTOP or DESKTOP_SESSION
// gives it; none when no row's does.
const Desktop* RowNamed(const DesktopTable& desktops, std::string name) {
  name = text::AsciiLower(name);
  name = name.substr(name.rfind('/') + 1);  // some display managers give a session file
  if (name.size() > 8 && name.ends_with(".desktop")) name.resize(name.size() - 8);
  for (const auto& desktop : desktops) {
    for (const auto& known : desktop.names) {
      if (name == known) return &desktop;
    }
  }
  return nullptr;
}

}  // namespace

const DesktopTable& KnownDesktops() {
  static const DesktopTable desktops{
      {.title = "GNOME Shell",
       .names = {"gnome", "gnome-classic", "ubuntu"},
       .apply =
           GSettingsWallpaper{{kGnomeUri, kGnomeDarkUri}, kGnomeMode, Refresh::WatchesTheFile}},
      {.title = "Budgie",
       .names = {"budgie", "budgie-desktop"},
       .apply =
           GSettingsWallpaper{
               {kGnomeUri, kGnomeDarkUri}, kGnomeMode, Refresh::OtherSpellingThenPause}},
      {.title = "Other desktops on GNOME's keys",
       .names = {"gnome-flashback", "unity", "pantheon"},
       .apply = GSettingsWallpaper{{kGnomeUri, kGnomeDarkUri}, kGnomeMode, Refresh::OtherSpelling}},
      {.title = "Cinnamon",
       .names = {"x-cinnamon", "cinnamon"},
       .apply = GSettingsWallpaper{{{"org.cinnamon.desktop.background", "picture-uri", true}},
                                   {"org.cinnamon.desktop.background", "picture-options", "'none'",
                                    "'zoom'"},
                                   Refresh::WatchesTheFile}},
      // MATE's picture-options has no value that hides the picture; its
      // draw-background does.
      {.title = "MATE",
       .names = {"mate"},
       .apply = GSettingsWallpaper{{{"org.mate.background", "picture-filename", false}},
                                   {"org.mate.background", "draw-background", "false", "true"},
                                   Refresh::WatchesTheFile}},
      // Its own schema, and GNOME's where Deepin also keeps that one.
      {.title = "Deepin",
       .names = {"deepin", "dde"},
       .apply =
           GSettingsWallpaper{{{"com.deepin.wrap.gnome.desktop.background", "picture-uri", true},
                               Optional(kGnomeUri),
                               Optional(kGnomeDarkUri)},
                              kGnomeMode,
                              Refresh::OtherSpelling}},
      {.title = "KDE Plasma 5 and 6",
       .names = {"kde", "plasma", "plasmawayland", "plasmax11"},
       .apply = ApplyKde},
      {.title = "XFCE", .names = {"xfce", "xubuntu"}, .apply = ApplyXfce},
      {.title = "LXQt", .names = {"lxqt"}, .apply = ApplyLxqt},
      {.title = "LXDE", .names = {"lxde"}, .apply = ApplyLxde},
      {.title = "sway and wlroots compositors speaking its protocol",
       .names = {"sway"},
       .runsWhereSet = "SWAYSOCK",
       .apply = ApplySway},
      {.title = "Any other X11 session",
       .names = {},
       .runsWhereSet = "DISPLAY",
       .apply = ApplyX11Root},
  };
  return desktops;
}

const Desktop* ChooseDesktop(const Environment& environment, const DesktopTable& desktops) {
  std::istringstream entries(environment.Get("XDG_CURRENT_DESKTOP"));
  for (std::string entry; std::getline(entries, entry, ':');) {
    if (const auto* desktop = RowNamed(desktops, entry)) return desktop;
  }
  if (const auto* desktop = RowNamed(desktops, environment.Get("DESKTOP_SESSION"))) return desktop;
  for (const auto& desktop : desktops) {
    if (!desktop.runsWhereSet.empty() && !environment.Get(desktop.runsWhereSet).empty()) {
      return &desktop;
    }
  }
  return nullptr;
}

void ApplyDesktop(const Desktop& desktop, const DesktopTools& tools, const std::string& path) {
  if (const auto* keys = std::get_if<GSettingsWallpaper>(&desktop.apply)) {
    ApplyKeysAndShow(tools, *keys, path);
  } else {
    std::get<ApplyWallpaper>(desktop.apply)(tools, path);
  }
}

}  // namespace tessarin::linux_platform::desktops
