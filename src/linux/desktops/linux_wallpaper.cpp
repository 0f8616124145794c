#include "linux/desktops/linux_wallpaper.h"

#include <sstream>

#include "linux/desktops/desktop_values.h"
#include "linux/desktops/x11_root.h"
#include "text/ascii_text.h"

namespace tessarin::linux_platform {
namespace {

// A desktop as XDG_CURRENT_DESKTOP or DESKTOP_SESSION names it.
DesktopKind KindNamed(std::string name) {
  name = AsciiLower(name);
  name = name.substr(name.rfind('/') + 1);  // some display managers give a session file
  if (name.size() > 8 && name.ends_with(".desktop")) name.resize(name.size() - 8);
  static const std::pair<const char*, DesktopKind> kNames[] = {
      {"gnome", DesktopKind::Gnome},
      {"gnome-classic", DesktopKind::Gnome},
      {"gnome-flashback", DesktopKind::GnomeKeys},
      {"ubuntu", DesktopKind::Gnome},
      {"unity", DesktopKind::GnomeKeys},
      {"budgie", DesktopKind::Budgie},
      {"budgie-desktop", DesktopKind::Budgie},
      {"pantheon", DesktopKind::GnomeKeys},
      {"x-cinnamon", DesktopKind::Cinnamon},
      {"cinnamon", DesktopKind::Cinnamon},
      {"mate", DesktopKind::Mate},
      {"deepin", DesktopKind::Deepin},
      {"dde", DesktopKind::Deepin},
      {"kde", DesktopKind::Kde},
      {"plasma", DesktopKind::Kde},
      {"plasmawayland", DesktopKind::Kde},
      {"plasmax11", DesktopKind::Kde},
      {"xfce", DesktopKind::Xfce},
      {"xubuntu", DesktopKind::Xfce},
      {"lxqt", DesktopKind::Lxqt},
      {"lxde", DesktopKind::Lxde},
      {"sway", DesktopKind::Sway},
  };
  for (const auto& [known, kind] : kNames) {
    if (name == known) return kind;
  }
  return DesktopKind::None;
}

}  // namespace

void DesktopTools::ReportMismatch(const std::string& setting, const std::string& expected,
                                  const std::string& found) const {
  Report(setting + " reads " + found + " instead of " + expected);
}

void DesktopTools::Report(const std::string& problem) const {
  report("Tessarin: the wallpaper may not show: " + problem);
}

DesktopKind ChooseDesktop(const Environment& environment) {
  std::istringstream desktops(environment.Get("XDG_CURRENT_DESKTOP"));
  std::string entry;
  while (std::getline(desktops, entry, ':')) {
    if (const auto kind = KindNamed(entry); kind != DesktopKind::None) return kind;
  }
  if (const auto kind = KindNamed(environment.Get("DESKTOP_SESSION")); kind != DesktopKind::None)
    return kind;
  if (!environment.Get("SWAYSOCK").empty()) return DesktopKind::Sway;
  if (!environment.Get("DISPLAY").empty()) return DesktopKind::X11Root;
  return DesktopKind::None;
}

void LinuxWallpaper::ShowAndKeep(const std::string& path) {
  try {
    Apply(ChooseDesktop(environment_), RealPath(path));
  } catch (...) {
    // The wallpaper is a courtesy to a run whose file is written: nothing stops it here.
  }
}

void LinuxWallpaper::Apply(DesktopKind kind, const std::string& path) {
  const DesktopTools desktop{tools_, report_, environment_};
  switch (kind) {
    case DesktopKind::Gnome:
      return ApplyGnome(desktop, path);
    case DesktopKind::GnomeKeys:
      return ApplyGnomeKeys(desktop, path);
    case DesktopKind::Budgie:
      return ApplyBudgie(desktop, path);
    case DesktopKind::Cinnamon:
      return ApplyCinnamon(desktop, path);
    case DesktopKind::Mate:
      return ApplyMate(desktop, path);
    case DesktopKind::Deepin:
      return ApplyDeepin(desktop, path);
    case DesktopKind::Kde:
      return ApplyKde(desktop, path);
    case DesktopKind::Xfce:
      return ApplyXfce(desktop, path);
    case DesktopKind::Lxqt:
      return ApplyLxqt(desktop, path);
    case DesktopKind::Lxde:
      return ApplyLxde(desktop, path);
    case DesktopKind::Sway:
      return ApplySway(desktop, path);
    case DesktopKind::X11Root: {
      const auto outcome = RunInChild(
          [&] { return SetX11RootPicture(environment_.Get("DISPLAY"), path, pictures_); });
      if (outcome.Succeeded() && !outcome.output.empty()) desktop.Report(outcome.output);
      return;
    }
    case DesktopKind::None:
      return;
  }
}

}  // namespace tessarin::linux_platform
