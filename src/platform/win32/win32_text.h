#pragma once

#include <string>
#include <string_view>

namespace tessarin::win32_platform {

// Text is UTF-8 inside the program and UTF-16 at the system's wide entry points.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// The system's own description of an error code (GetLastError, LSTATUS).
std::string ErrorText(unsigned long error);

}  // namespace tessarin::win32_platform
