#pragma once

#include <functional>
#include <string>

#include "linux/desktops/backends.h"
#include "linux/desktops/environment.h"
#include "linux/desktops/tool_runner.h"
#include "linux/stderr_messages.h"
#include "ports/pictures.h"
#include "ports/wallpaper.h"

namespace tessarin::linux_platform {

enum class DesktopKind {
  None,
  Gnome,
  GnomeKeys,
  Budgie,
  Cinnamon,
  Mate,
  Deepin,
  Kde,
  Xfce,
  Lxqt,
  Lxde,
  Sway,
  X11Root
};

// The desktop the session runs: the first entry of XDG_CURRENT_DESKTOP that
// names a known desktop, else DESKTOP_SESSION, else a sway socket, else a
// plain X display.
DesktopKind ChooseDesktop(const Environment& environment);

// Shows the wallpaper through the session's desktop, in the way that desktop
// keeps it for the next logon too: each desktop's own settings keep it, so
// showing is keeping. Each desktop is told the file's real path. What it
// swallows and reports is ports::Wallpaper's; the reports go to `report`,
// standard error unless the caller says otherwise.
class LinuxWallpaper : public ports::Wallpaper {
 public:
  LinuxWallpaper(Environment environment, ToolRunner& tools, ports::Pictures& pictures,
                 ReportLine report = WriteToStderr)
      : environment_(std::move(environment)),
        tools_(tools),
        pictures_(pictures),
        report_(std::move(report)) {}

  void ShowAndKeep(const std::string& path) override;

 private:
  void Apply(DesktopKind kind, const std::string& absolutePath);

  Environment environment_;
  ToolRunner& tools_;
  ports::Pictures& pictures_;
  ReportLine report_;
};

}  // namespace tessarin::linux_platform
