#include "windows/win32_locale.h"

#include <windows.h>

#include "windows/win32_text.h"

namespace tessarin::windows_platform {

std::string Win32Locale::DecimalSeparator() const {
  wchar_t separator[8] = {};
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) <= 1) return ".";
  return Narrow(separator);
}

}  // namespace tessarin::windows_platform
