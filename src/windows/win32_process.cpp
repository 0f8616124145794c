#include "windows/win32_process.h"

#include <windows.h>

#include "windows/win32_text.h"

namespace tessarin::windows_platform {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

// The program's name follows the system's own rule for it: a quoted name ends
// at the next quote, an unquoted one at the first blank; no escapes.
std::string ArgumentsOf(std::wstring_view commandLine) {
  std::size_t at = 0;
  while (at < commandLine.size() && IsBlank(commandLine[at])) ++at;
  if (at < commandLine.size() && commandLine[at] == L'"') {
    const std::size_t closing = commandLine.find(L'"', at + 1);
    at = closing == std::wstring_view::npos ? commandLine.size() : closing + 1;
  }
  while (at < commandLine.size() && !IsBlank(commandLine[at])) ++at;
  while (at < commandLine.size() && IsBlank(commandLine[at])) ++at;
  return Narrow(commandLine.substr(at));
}

Win32Process::Win32Process() : commandLine_(ArgumentsOf(GetCommandLineW())) {}

void Win32Process::EndProgram(ExitCode status) { ExitProcess(static_cast<UINT>(status)); }

}  // namespace tessarin::windows_platform
