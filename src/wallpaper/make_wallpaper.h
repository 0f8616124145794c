#pragma once

#include <optional>
#include <string>

#include "ports/platform.h"
#include "wallpaper/wallpaper_request.h"

namespace tessarin::wallpaper {

// What MakeWallpaper did: made the wallpaper, or found a picture missing.
struct WallpaperOutcome {
  // The path of the missing picture (the canvas's when both are missing), as
  // the request gave it; empty when the wallpaper was made.
  std::optional<std::string> missingPicture;
};

// Composes the wallpaper the request describes, writes it as a BMP file and
// installs it. A missing picture is returned for the caller to report, and
// nothing is written; every other failure stops the run (Failure) with the
// old output untouched. When several things are wrong, the failure reported
// is the first in the order of the steps: the canvas, the inset (its block),
// the area values (height, width, Y, X), the output.
WallpaperOutcome MakeWallpaper(const ports::Platform& platform, const WallpaperRequest& request);

}  // namespace tessarin::wallpaper
