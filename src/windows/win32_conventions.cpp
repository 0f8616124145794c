#include "windows/win32_conventions.h"

#include <windows.h>

#include "windows/win32_text.h"

namespace tessarin::win32_platform {

std::string Win32Conventions::LowerCase(const std::string& text) const {
  std::wstring wide = Widen(text);
  if (!wide.empty()) CharLowerBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  return Narrow(wide);
}

std::string Win32Conventions::DecimalSeparator() const {
  wchar_t separator[8] = {};
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) <= 1) return ".";
  return Narrow(separator);
}

}  // namespace tessarin::win32_platform
