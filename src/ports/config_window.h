#pragma once

#include "base/exit_code.h"

namespace tessarin::ports {

// The configuration window. The order of calls: Main calls Open (at most
// once) and returns saying so; the run's entry then calls RunUntilClosed once,
// which runs the window until it closes. The window's events run only inside
// RunUntilClosed, and no exception ever crosses the toolkit.
class ConfigWindow {
 public:
  virtual ~ConfigWindow() = default;

  // Shows the window without waiting for it. Throws Failure when the window
  // cannot be created; where no window can be shown at all (no display), the
  // Failure's status is ExitCode::NoDisplay, and the failure stop says so
  // outside any window. RunUntilClosed then gives ExitCode::Done at once.
  virtual void Open() = 0;

  // Runs the window's events until it closes; returns the status the run
  // ends with (the form's, on unload), ExitCode::Done at once when the window
  // was never opened. A failure that stopped one of its events (a refused
  // settings write) is thrown from here, once the event loop has been left.
  virtual ExitCode RunUntilClosed() = 0;
};

}  // namespace tessarin::ports
