#pragma once

#include <string>

namespace tessarin::wallpaper {

// What one wallpaper run makes: all values as text; the four area values are
// converted only when the pictures are composed.
struct WallpaperRequest {
  std::string canvasPath;
  std::string insetPath;
  std::string x;
  std::string y;
  std::string width;
  std::string height;
  std::string outputPath;
};

}  // namespace tessarin::wallpaper
