#pragma once

#include "platform/platform.h"
#include "wallpaper/wallpaper_request.h"

namespace tessarin {

enum class WallpaperOutcome { Made, PictureMissing };

// Composes the wallpaper the request describes, writes it as a BMP file and
// installs it. A missing picture is reported and nothing is written; every
// other failure stops the run (Failure) with the old output untouched.
WallpaperOutcome MakeWallpaper(const platform::Platform& platform, const WallpaperRequest& request);

}  // namespace tessarin
