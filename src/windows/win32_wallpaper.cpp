#include "windows/win32_wallpaper.h"

#include <windows.h>

#include "windows/registry_writer.h"
#include "windows/win32_files.h"
#include "windows/win32_text.h"

namespace tessarin::windows_platform {
namespace {

// The desktop takes paths of fewer than MAX_PATH characters and shows nothing
// for a longer one, silently; such a path goes in its short (8.3) form where
// the volume keeps short names and that form is short enough.
std::optional<std::wstring> ShortFormOfALongPath(const std::string& path) {
  if (Widen(path).size() < MAX_PATH) return std::nullopt;
  const std::wstring full = SystemPath(path);
  std::wstring shortForm(full.size() + 1, L'\0');
  const DWORD length =
      GetShortPathNameW(full.c_str(), shortForm.data(), static_cast<DWORD>(shortForm.size()));
  if (length == 0 || length >= shortForm.size()) return std::nullopt;
  shortForm.resize(length);
  if (shortForm.starts_with(L"\\\\?\\UNC\\")) {
    shortForm = L"\\\\" + shortForm.substr(8);
  } else if (shortForm.starts_with(L"\\\\?\\")) {
    shortForm = shortForm.substr(4);
  }
  if (shortForm.size() >= MAX_PATH) return std::nullopt;
  return shortForm;
}

void ShowNow(const std::string& path) {
  if (std::optional<std::wstring> shortForm = ShortFormOfALongPath(path)) {
    SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, shortForm->data(), 0);
    return;
  }
  if (std::optional<std::string> ansi = ToAnsiExactly(path)) {
    SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, ansi->data(), 0);
    return;
  }
  // The code page would hand the desktop '?' for some characters: another file.
  std::wstring wide = Widen(path);
  SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, wide.data(), 0);
}

}  // namespace

void Win32Wallpaper::ShowAndKeep(const std::string& path) {
  ShowNow(path);
  WriteCurrentUserValue(registry_, locale_, kDesktopKey, kWallpaperValue, path, kRegSz);
}

}  // namespace tessarin::windows_platform
