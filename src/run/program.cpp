#include "run/program.h"

#include <new>
#include <string>

#include "platform/failure.h"
#include "run/report_message.h"
#include "run/run_modes.h"

namespace tessarin {
namespace {

// The failure stop: shows what failed; the run then ends non-zero.
ExitCode StopOnFailure(const platform::Platform& platform, const std::string& what) {
  ReportMessage(platform, "Tessarin stopped: " + what);
  return ExitCode::FailureStop;
}

}  // namespace

ExitCode RunConfigWindow(const platform::Platform& platform) {
  return platform.configWindow.RunUntilClosed();
}

ExitCode RunProgram(const platform::Platform& platform) {
  try {
    const ExitCode status = run_modes::Main(platform);
    // A job that opened the window returned Done: the run lasts until it closes.
    return status == ExitCode::Done ? RunConfigWindow(platform) : status;
  } catch (const Failure& failure) {
    return StopOnFailure(platform, failure.what());
  } catch (const std::bad_alloc&) {
    return StopOnFailure(platform, "out of memory");
  }
}

}  // namespace tessarin
