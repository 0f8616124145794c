#include "wallpaper/install_wallpaper.h"

#include "wallpaper/registry_writer.h"

namespace tessarin {

void InstallWallpaper(const ports::Platform& platform, const std::string& outputPath) {
  const std::string installed = platform.conventions.FileNamesIgnoreCase()
                                    ? platform.conventions.LowerCase(outputPath)
                                    : outputPath;
  platform.desktop.ApplyWallpaperNow(installed);
  registry_writer::WriteCurrentUserValue(platform.registry, platform.conventions, kDesktopKey,
                                  kWallpaperValue, installed, registry_writer::kRegSz);
}

}  // namespace tessarin
