#pragma once

#include <string>
#include <string_view>

#include "base/exit_code.h"
#include "ports/process.h"

namespace tessarin::windows_platform {

// The arguments of a Windows command line: the program's own name (quoted or
// not) and the blanks after it removed, everything else kept as it stands.
std::string ArgumentsOf(std::wstring_view commandLine);

class Win32Process : public ports::Process {
 public:
  // The command line GetCommandLineW gives.
  Win32Process();
  std::string CommandLine() const override { return commandLine_; }
  // Ends the process with this status. Only the entry point calls it.
  [[noreturn]] static void EndProgram(ExitCode status);

 private:
  std::string commandLine_;
};

}  // namespace tessarin::windows_platform
