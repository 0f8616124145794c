#pragma once

#include "ports/desktop.h"

namespace tessarin::win32_platform {

// SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, path, 0): shown at once,
// neither saved to the profile nor broadcast (the registry write does the former).
// A path the ANSI code page cannot hold goes to SystemParametersInfoW instead.
class Win32Desktop : public ports::Desktop {
 public:
  void ApplyWallpaperNow(const std::string& path) override;
};

}  // namespace tessarin::win32_platform
