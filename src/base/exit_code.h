#pragma once

namespace tessarin {

// The process's exit status: 0 only when the run did its job.
enum class ExitCode : int {
  Done = 0,            // first-run notice shown, wallpaper written, window closed
  FailureStop = 1,     // an unexpected failure stopped the run
  Usage = 2,           // command line incomplete
  PictureMissing = 3,  // canvas or inset does not exist
  NoInsets = 4,        // the inset folder holds no matching picture
  NoDisplay = 5,       // the configuration window could not be shown
};

}  // namespace tessarin
