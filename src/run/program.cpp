#include "run/program.h"

#include <exception>
#include <new>
#include <string>

#include "base/failure.h"
#include "run/report_message.h"
#include "run/run_modes.h"

namespace tessarin::run {
namespace {

// The failure stop: shows what failed; the run then ends non-zero, with the
// failure's own status where it has one.
ExitCode StopOnFailure(const ports::Platform& platform, const std::string& what,
                       ExitCode status = ExitCode::FailureStop) {
  try {
    ReportMessage(platform, "Tessarin stopped: " + what);
  } catch (...) {
    // Not even the message could be shown: the status still tells the failure.
  }
  return status;
}

}  // namespace

ExitCode RunConfigWindow(const ports::Platform& platform) {
  return platform.configWindow.RunUntilClosed();
}

ExitCode RunProgram(const ports::Platform& platform) {
  try {
    const JobOutcome outcome = Main(platform);
    // A job that opened the window: the run lasts until it closes.
    return outcome.windowOpen ? RunConfigWindow(platform) : outcome.status;
  } catch (const Failure& failure) {
    return StopOnFailure(platform, failure.what(), failure.Status());
  } catch (const std::bad_alloc&) {
    return StopOnFailure(platform, "out of memory");
  } catch (const std::exception& failure) {
    // Whatever the standard library throws (a thread that cannot
    // start, a file system error): the run never aborts.
    return StopOnFailure(platform, failure.what());
  } catch (...) {
    return StopOnFailure(platform, "an unexpected error of unknown kind");
  }
}

}  // namespace tessarin::run
