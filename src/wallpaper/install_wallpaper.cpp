#include "wallpaper/install_wallpaper.h"

#include "wallpaper/reg_calls.h"

namespace tessarin {

void InstallWallpaper(const platform::Platform& platform, const std::string& outputPath) {
  const std::string installed = platform.conventions.FileNamesIgnoreCase()
                                    ? platform.conventions.LowerCase(outputPath)
                                    : outputPath;
  platform.desktop.ApplyWallpaperNow(installed);
  RegCalls::WriteCurrentUserValue(platform.registry, platform.conventions, kDesktopKey,
                                  kWallpaperValue, installed, RegCalls::kRegSz);
}

}  // namespace tessarin
