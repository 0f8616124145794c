#pragma once

#include <string>

#include "base/exit_code.h"
#include "ports/process.h"

namespace tessarin::linux_platform {

class LinuxProcess : public ports::Process {
 public:
  LinuxProcess(int argc, char** argv);
  // The arguments joined with single spaces, as a shell split them.
  std::string CommandLine() const override { return commandLine_; }
  // Flushes what was written and exits at once, running no destructors (the
  // GUI module's toolkit is never torn down). Only the entry point calls it.
  [[noreturn]] static void EndProgram(ExitCode status);

 private:
  std::string commandLine_;
};

}  // namespace tessarin::linux_platform
