#pragma once

#include "base/exit_code.h"
#include "ports/platform.h"

namespace tessarin::run {

// The configuration window's life after Main has returned with it open: runs
// it until it closes and gives the status its close ends the run with.
ExitCode RunConfigWindow(const ports::Platform& platform);

// The whole run: Main, then the configuration window if Main left one open.
// Any exception (Failure or any other) becomes the failure stop: its message,
// then ExitCode::FailureStop. Returns the status the process is to end with; only
// the entry point ends the process.
ExitCode RunProgram(const ports::Platform& platform);

}  // namespace tessarin::run
