#pragma once

#include <string>

#include "linux/desktops/backends.h"
#include "linux/desktops/desktop_table.h"
#include "linux/desktops/environment.h"
#include "linux/desktops/tool_runner.h"
#include "linux/stderr_messages.h"
#include "ports/pictures.h"
#include "ports/wallpaper.h"

namespace tessarin::linux_platform::desktops {

// Shows the wallpaper through the session's desktop (the row of `desktops`
// the environment chooses), in the way that desktop keeps it for the next
// logon too: each desktop's own settings keep it, so showing is keeping. Each
// desktop is told the file's real path. What it swallows and reports is
// ports::Wallpaper's; the reports go to `report`, standard error unless the
// caller says otherwise. The table must outlive the object.
class LinuxWallpaper : public ports::Wallpaper {
 public:
  LinuxWallpaper(Environment environment, ToolRunner& tools, ports::Pictures& pictures,
                 ReportLine report = WriteToStderr, const DesktopTable& desktops = KnownDesktops())
      : environment_(std::move(environment)),
        tools_(tools),
        pictures_(pictures),
        report_(std::move(report)),
        desktops_(desktops) {}

  void ShowAndKeep(const std::string& path) override;

 private:
  Environment environment_;
  ToolRunner& tools_;
  ports::Pictures& pictures_;
  ReportLine report_;
  const DesktopTable& desktops_;
};

}  // namespace tessarin::linux_platform::desktops
