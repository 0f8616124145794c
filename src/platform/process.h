#pragma once

#include <string>

#include "platform/exit_code.h"

namespace tessarin::platform {

class Process {
 public:
  virtual ~Process() = default;

  // The program's arguments as one text, without the program's own name.
  virtual std::string CommandLine() const = 0;

  // Stops the process at once: nothing of the caller runs afterwards.
  [[noreturn]] virtual void EndProgram(ExitCode status) = 0;
};

}  // namespace tessarin::platform
