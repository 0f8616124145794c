#include "wallpaper/install_wallpaper.h"

namespace tessarin::wallpaper {

void InstallWallpaper(const ports::Platform& platform, const std::string& outputPath) {
  const std::string installed = platform.pathRules.FileNamesIgnoreCase()
                                    ? platform.pathRules.LowerCase(outputPath)
                                    : outputPath;
  platform.wallpaper.ShowAndKeep(installed);
}

}  // namespace tessarin::wallpaper
