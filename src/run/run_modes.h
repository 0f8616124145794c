#pragma once

#include <string>

#include "base/exit_code.h"
#include "ports/platform.h"

// The run logic: which job this process does, and the two wallpaper jobs.
// None ends the process itself.
namespace tessarin::run {

// How a job leaves the run: ended with its status, or with the configuration
// window open, whose close then gives the status.
struct JobOutcome {
  ExitCode status = ExitCode::Done;
  bool windowOpen = false;

  static JobOutcome Ended(ExitCode status) { return {status, false}; }
  static JobOutcome WithWindowOpen() { return {ExitCode::Done, true}; }
};

// Chooses the job from the first-run marker and the command line and says
// how it left the run.
JobOutcome Main(const ports::Platform& platform);

// Makes the wallpaper that the command line's first seven comma-separated
// fields describe, or shows the usage; the run then ends.
ExitCode RunFromCommandLine(const ports::Platform& platform, const std::string& commandLine);

// Makes a wallpaper from the saved configuration with an inset picked at
// random from the inset folder; the run then ends. An incomplete
// configuration is reported and the configuration window opened instead.
JobOutcome RunFromSettings(const ports::Platform& platform);

}  // namespace tessarin::run
