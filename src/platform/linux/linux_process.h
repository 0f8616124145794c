#pragma once

#include <string>

#include "platform/process.h"

namespace tessarin::linux_platform {

class LinuxProcess : public platform::Process {
 public:
  LinuxProcess(int argc, char** argv);
  // The arguments joined with single spaces, as a shell split them.
  std::string CommandLine() const override { return commandLine_; }
  // Flushes what was written and exits at once, running no destructors.
  [[noreturn]] void EndProgram(ExitCode status) override;

 private:
  std::string commandLine_;
};

}  // namespace tessarin::linux_platform
