#pragma once

#include <string>

namespace tessarin::platform {

class Desktop {
 public:
  virtual ~Desktop() = default;
  // Shows the picture at `path` as the wallpaper now. Failures are silent.
  virtual void ApplyWallpaperNow(const std::string& path) = 0;
};

}  // namespace tessarin::platform
