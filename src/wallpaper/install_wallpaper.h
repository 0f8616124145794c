#pragma once

#include <string>

#include "ports/platform.h"

namespace tessarin {

// Where the desktop's wallpaper is recorded for the next logon.
inline constexpr const char* kDesktopKey = "Control Panel\\desktop";
inline constexpr const char* kWallpaperValue = "Wallpaper";

// Makes the written file the user's wallpaper: shown now, then recorded so
// that it stays after the next logon. Failures are silent. Where letter case
// does not distinguish file names the path is lower-cased; elsewhere that
// would name another file, so it is used as given.
void InstallWallpaper(const ports::Platform& platform, const std::string& outputPath);

}  // namespace tessarin
