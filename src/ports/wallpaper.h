#pragma once

#include <string>

namespace tessarin::ports {

// The installation of the written file as the user's wallpaper.
class Wallpaper {
 public:
  virtual ~Wallpaper() = default;
  // Shows the picture at `path` as the wallpaper now, then keeps it for the
  // next logon, in that order. Both are a courtesy to a run whose job (the
  // written file) is done, so this never throws and never stops the run:
  // whatever fails (no desktop, a missing or hung tool, a refusing settings
  // service, no display, a picture it cannot read, running out of memory)
  // leaves the desktop and what it keeps as they were, and the user is not
  // told. The one thing an implementation may report is a setting that reads
  // back other than it was set, one line on standard error.
  virtual void ShowAndKeep(const std::string& path) = 0;
};

}  // namespace tessarin::ports
