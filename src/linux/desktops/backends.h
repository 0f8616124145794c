#pragma once

#include <functional>
#include <string>

#include "linux/desktops/environment.h"
#include "linux/desktops/tool_runner.h"
#include "ports/pictures.h"

namespace tessarin::linux_platform::desktops {

// Takes one line about a wallpaper that may not show.
using ReportLine = std::function<void(const std::string&)>;

// What every desktop backend works with: the tools the desktop is reached
// through, where a value that did not stick is reported, the session's
// variables (where a desktop keeps its own configuration), and the pictures
// a desktop that draws the wallpaper itself reads.
struct DesktopTools {
  ToolRunner& tools;
  const ReportLine& report;
  const Environment& environment;
  ports::Pictures& pictures;

  void ReportMismatch(const std::string& setting, const std::string& expected,
                      const std::string& found) const;
  void Report(const std::string& problem) const;
};

// The desktops whose wallpaper takes code of its own (and the X root window,
// x11_root.h); the others are rows of GSettings keys (desktop_table.cpp).
// Each takes the wallpaper's absolute path and gives up quietly on what
// ports::Wallpaper swallows, reporting only a value that did not stick.

// Plasma 5 and 6: a shell script, over D-Bus, for every desktop.
void ApplyKde(const DesktopTools& desktop, const std::string& path);

// Every last-image property of the xfce4-desktop channel, or new ones.
void ApplyXfce(const DesktopTools& desktop, const std::string& path);

// LXDE ("pcmanfm") and LXQt ("pcmanfm-qt", whose wallpaper mode that hides
// the picture is also switched).
void ApplyLxde(const DesktopTools& desktop, const std::string& path);
void ApplyLxqt(const DesktopTools& desktop, const std::string& path);

// sway and the wlroots compositors speaking its protocol.
void ApplySway(const DesktopTools& desktop, const std::string& path);

}  // namespace tessarin::linux_platform::desktops
