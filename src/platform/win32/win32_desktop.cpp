#include "platform/win32/win32_desktop.h"

#include <windows.h>

#include "platform/win32/win32_text.h"

namespace tessarin::win32_platform {

void Win32Desktop::ApplyWallpaperNow(const std::string& path) {
  if (std::optional<std::string> ansi = ToAnsiExactly(path)) {
    SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, ansi->data(), 0);
    return;
  }
  // The code page would hand the desktop '?' for some characters: another file.
  std::wstring wide = Widen(path);
  SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, wide.data(), 0);
}

}  // namespace tessarin::win32_platform
