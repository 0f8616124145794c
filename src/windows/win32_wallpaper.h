#pragma once

#include "ports/locale.h"
#include "ports/wallpaper.h"
#include "windows/registry.h"

namespace tessarin::windows_platform {

// Where the desktop's wallpaper is kept for the next logon.
inline constexpr const char* kDesktopKey = "Control Panel\\desktop";
inline constexpr const char* kWallpaperValue = "Wallpaper";

// Shows the wallpaper with SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, path,
// 0): at once, neither saved to the profile nor broadcast. A path the ANSI code
// page cannot hold goes to SystemParametersInfoW instead. Then keeps it: the
// registry writer puts the path in HKCU\Control Panel\desktop, Wallpaper
// (REG_SZ), which the next logon shows. Every status is ignored.
class Win32Wallpaper : public ports::Wallpaper {
 public:
  Win32Wallpaper(Registry& registry, const ports::Locale& locale)
      : registry_(registry), locale_(locale) {}
  void ShowAndKeep(const std::string& path) override;

 private:
  Registry& registry_;
  const ports::Locale& locale_;
};

}  // namespace tessarin::windows_platform
