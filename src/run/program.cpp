#include "run/program.h"

#include <cstdlib>
#include <new>

#include "platform/failure.h"
#include "run/run_modes.h"
#include "run/report_message.h"

namespace tessarin {

void EndProgram(const platform::Platform& platform, ExitCode status) {
  platform.process.EndProgram(status);
  std::abort();  // a platform whose end returned: never go on with the run
}

void StopOnFailure(const platform::Platform& platform, const std::string& what, ExitCode status) {
  ReportMessage(platform, "Tessarin stopped: " + what);
  EndProgram(platform, status);
}

void RunProgram(const platform::Platform& platform) {
  try {
    run_modes::Main(platform);
  } catch (const Failure& failure) {
    StopOnFailure(platform, failure.what(), failure.Status());
  } catch (const std::bad_alloc&) {
    StopOnFailure(platform, "out of memory");
  }
}

}  // namespace tessarin
