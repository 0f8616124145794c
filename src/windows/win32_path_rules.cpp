#include "windows/win32_path_rules.h"

#include <windows.h>

#include "windows/win32_text.h"

namespace tessarin::windows_platform {

std::string Win32PathRules::LowerCase(const std::string& text) const {
  std::wstring wide = Widen(text);
  if (!wide.empty()) CharLowerBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  return Narrow(wide);
}

}  // namespace tessarin::windows_platform
