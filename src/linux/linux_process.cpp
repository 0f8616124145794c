#include "linux/linux_process.h"

#include <unistd.h>

#include <cstdio>

namespace tessarin::linux_platform {

LinuxProcess::LinuxProcess(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine_ += ' ';
    commandLine_ += argv[i];
  }
}

void LinuxProcess::EndProgram(ExitCode status) {
  std::fflush(nullptr);
  ::_exit(static_cast<int>(status));
}

}  // namespace tessarin::linux_platform
