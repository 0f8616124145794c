#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessarin::windows_platform {

// Text is UTF-8 inside the program and UTF-16 at the system's wide entry points.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// The text in the ANSI code page, as the system's "A" entry points take it,
// when the code page holds every character of it; nothing when it would turn
// some into '?' or a look-alike.
std::optional<std::string> ToAnsiExactly(std::string_view utf8);

// The system's own description of an error code (GetLastError, LSTATUS).
std::string ErrorText(unsigned long error);

}  // namespace tessarin::windows_platform
