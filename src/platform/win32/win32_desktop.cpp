#include "platform/win32/win32_desktop.h"

#include <windows.h>

#include "platform/win32/win32_conventions.h"

namespace tessarin::win32_platform {

void Win32Desktop::ApplyWallpaperNow(const std::string& path) {
  std::string ansi = ToAnsi(path);
  SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, ansi.data(), 0);
}

}  // namespace tessarin::win32_platform
