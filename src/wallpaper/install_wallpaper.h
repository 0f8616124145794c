#pragma once

#include <string>

#include "ports/platform.h"

namespace tessarin::wallpaper {

// Makes the written file the user's wallpaper through the platform: shown
// now, then kept for the next logon; failures are silent. Where letter case
// does not distinguish file names the path is lower-cased; elsewhere that
// would name another file, so it is used as given.
void InstallWallpaper(const ports::Platform& platform, const std::string& outputPath);

}  // namespace tessarin::wallpaper
