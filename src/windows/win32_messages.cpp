#include "windows/win32_messages.h"

#include <windows.h>

#include "windows/win32_text.h"

namespace tessarin::windows_platform {

void Win32Messages::Show(const std::string& text) {
  MessageBoxW(nullptr, Widen(text).c_str(), L"Tessarin", MB_OK);
}

}  // namespace tessarin::windows_platform
