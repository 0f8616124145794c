#pragma once

#include <string>

namespace tessarin::ports {

class Desktop {
 public:
  virtual ~Desktop() = default;
  // Shows the picture at `path` as the wallpaper now. Showing it at once is a
  // courtesy (the registry keeps the wallpaper for the next logon), so this
  // never throws and never stops the run: whatever fails (no desktop, a
  // missing or hung tool, a refusing settings service, no display, a picture
  // it cannot read, running out of memory) leaves the desktop as it was. The
  // one thing an implementation may report is a setting that reads back other
  // than it was set, one line on standard error.
  virtual void ApplyWallpaperNow(const std::string& path) = 0;
};

}  // namespace tessarin::ports
