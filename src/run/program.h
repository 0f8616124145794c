#pragma once

#include <string>

#include "platform/platform.h"

namespace tessarin {

// Ends the program at once with this status: nothing after it runs.
[[noreturn]] void EndProgram(const platform::Platform& platform, ExitCode status);

// The failure stop: shows what failed, then ends the program non-zero.
[[noreturn]] void StopOnFailure(const platform::Platform& platform, const std::string& what,
                                ExitCode status = ExitCode::FailureStop);

// Runs Main and turns an unexpected failure into the failure stop: the
// failure's message, then the end of the program with a non-zero status.
// Returns when Main returns without ending the program.
void RunProgram(const platform::Platform& platform);

}  // namespace tessarin
