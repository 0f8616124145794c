#pragma once

#include <string>

#include "base/exit_code.h"
#include "ports/platform.h"

// The run logic: which job this process does, and the two wallpaper jobs.
// Each returns the status the run ends with; none ends the process itself.
namespace tessarin::run_modes {

// Chooses the job from the first-run marker and the command line and returns
// its status. After the first-run notice, and with the configuration window
// left open, that is ExitCode::Done: the window's close then ends the run.
ExitCode Main(const ports::Platform& platform);

// Makes the wallpaper that the command line's first seven comma-separated
// fields describe, or shows the usage; the run then ends.
ExitCode RunFromCommandLine(const ports::Platform& platform, const std::string& commandLine);

// Makes a wallpaper from the saved configuration with an inset picked at
// random from the inset folder; the run then ends. An incomplete
// configuration is reported and the configuration window opened instead.
ExitCode RunFromSettings(const ports::Platform& platform);

}  // namespace tessarin::run_modes
