#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "base/failure.h"
#include "limits/decode_limits.h"
#include "limits/run_limits.h"

namespace tessarin::windows_platform {

// What a run may take on Windows. The system's picture services decode in the
// program's own process, so the memory bound holds the whole run rather than
// one decoder (what the Linux run keeps within): kWindowsJobMiB
// (limits/run_limits.h). One picture's decoding is bounded by its thread's
// processor time and a net on the wait, the decode limits'
// (DecodeLimits::decodeProcessorSeconds and decodeWaitSeconds, as the Linux
// run's decoder processes have).

// Puts the process in a job of its own that limits its committed memory to
// kWindowsJobMiB, so that an allocation past it fails rather than the system
// paging for everyone. The job lasts as long as the process is in it. A
// process that cannot be placed in one runs on without (see the definition).
void PlaceRunInMemoryJob();

// The processor time a thread has used, kernel and user; none when the
// system cannot say (a wait bounded by it needs a net of its own).
std::chrono::nanoseconds ProcessorTimeOf(void* thread);

// The failure stops past a bound, naming the picture's file.
Failure PictureTookTooMuchProcessorTime(const std::string& path,
                                        const limits::DecodeLimits& limits);
Failure DecoderWaitedTooLong(const std::string& path, const limits::DecodeLimits& limits);
Failure PictureNeedsTooMuchMemory(const std::string& path);

}  // namespace tessarin::windows_platform
