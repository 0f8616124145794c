#pragma once

#include <string>

#include "platform/platform.h"

// The run logic: which job this process does, and the two wallpaper jobs.
namespace tessarin::run_modes {

// Chooses the job from the first-run marker and the command line. Returns
// when there is nothing more to do here: after the first-run notice, or with
// the configuration window open.
void Main(const platform::Platform& platform);

// Makes the wallpaper that the command line's first seven comma-separated
// fields describe, or shows the usage; then ends the program.
[[noreturn]] void RunFromCommandLine(const platform::Platform& platform,
                                     const std::string& commandLine);

// Makes a wallpaper from the saved configuration with an inset picked at
// random from the inset folder, then ends the program. An incomplete
// configuration is reported and the configuration window opened instead.
void RunFromSettings(const platform::Platform& platform);

}  // namespace tessarin::run_modes
